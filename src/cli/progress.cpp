#include "cli/progress.h"

#include <chrono>
#include <cstdio>
#include <filesystem>

#include "cli/format.h"
#include "cli/local_path.h"

namespace zancli {

DirStats CountFiles(const std::string& dir) {
  namespace fs = std::filesystem;
  DirStats s;
  std::error_code ec;
  fs::recursive_directory_iterator it(LocalPath(dir), fs::directory_options::skip_permission_denied, ec);
  for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    std::error_code ec2;
    if (it->is_regular_file(ec2) && !it->is_symlink(ec2)) {
      ++s.files;
      uintmax_t size = it->file_size(ec2);
      if (!ec2) s.bytes += size;
    }
  }
  return s;
}


TransferProgress::TransferProgress(bool enabled, std::string verb, std::string dir, bool watch, DirStats total)
    : verb_(std::move(verb)), dir_(std::move(dir)), watch_(watch), total_(total) {
  if (enabled) thread_ = std::thread(&TransferProgress::Run, this);
}

TransferProgress::~TransferProgress() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  thread_.join();
  if (drawn_) {
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
  }
}

void TransferProgress::Run() {
  static const char* spinner[] = {"|", "/", "-", "\\"};
  const auto start = std::chrono::steady_clock::now();
  std::unique_lock<std::mutex> lock(mutex_);
  // Quick transfers draw nothing.
  wake_.wait_for(lock, std::chrono::milliseconds(300), [this] { return stop_; });
  for (unsigned tick = 0; !stop_; ++tick) {
    drawn_ = true;
    lock.unlock();
    DirStats s = watch_ ? CountFiles(dir_) : total_;
    auto secs = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start).count();
    std::string line = watch_ ? verb_ + " into " + dir_ + ": " + std::to_string(s.files) + " files, " +
                                    HumanBytes(s.bytes) + " there so far"
                              : verb_ + " " + dir_ + ": " + std::to_string(s.files) + " files, " + HumanBytes(s.bytes);
    std::fprintf(stderr, "\r\033[K%s %s (%llds)", spinner[tick % 4], line.c_str(), static_cast<long long>(secs));
    std::fflush(stderr);
    lock.lock();
    wake_.wait_for(lock, std::chrono::milliseconds(200), [this] { return stop_; });
  }
}

}  // namespace zancli
