// Progress of a transfer between a local directory and the server, shown on a terminal only.
// The module copies synchronously and reports nothing while it works, so the host watches the
// local side: during a download a background thread counts what the directory holds; during an
// upload the line shows the totals being sent and the time so far.
#ifndef ZAN_CLI_PROGRESS_H_
#define ZAN_CLI_PROGRESS_H_

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace zancli {

struct DirStats {
  uint64_t files = 0;
  uint64_t bytes = 0;
};

// Regular files below dir, recursively (symbolic links not followed); unreadable parts are
// skipped. A missing dir counts as empty.
DirStats CountFiles(const std::string& dir);

// Draws one status line on standard error, refreshed by a background thread, until destroyed
// (the line is then cleared). With enabled false it does nothing at all. The thread touches only
// the local file system and standard error, never the module.
class TransferProgress {
 public:
  // verb: "downloading" / "uploading". For a download (watch = true) the thread recounts dir;
  // for an upload (watch = false) it shows total.
  TransferProgress(bool enabled, std::string verb, std::string dir, bool watch, DirStats total);
  ~TransferProgress();
  TransferProgress(const TransferProgress&) = delete;
  TransferProgress& operator=(const TransferProgress&) = delete;

 private:
  void Run();

  std::string verb_;
  std::string dir_;
  bool watch_;
  DirStats total_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;   // guarded by mutex_
  bool drawn_ = false;  // guarded by mutex_ (read after join)
  std::thread thread_;
};

}  // namespace zancli

#endif
