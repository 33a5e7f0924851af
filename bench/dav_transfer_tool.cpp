// Copies one directory tree between a local directory and a server collection with
// DirUploadDownload, the way a business-process upload or download does, and prints the
// wall time. Used by bench/transfer.sh beside curl and rclone.
//   dav_transfer_tool SERVER_URL SOURCE DESTINATION
#include <chrono>
#include <cstdio>
#include <exception>

#include "base/GenException.h"
#include "dav/DavADOManager.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s SERVER_URL SOURCE DESTINATION\n", argv[0]);
    return 2;
  }
  CDavADOManager manager;
  const auto start = std::chrono::steady_clock::now();
  bool ok = false;
  try {
    ok = manager.DirUploadDownload(argv[1], argv[2], argv[3], "", "", 1);
  } catch (const CGenException& e) {
    std::fprintf(stderr, "%s\n", e.GetFullText().c_str());
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%.3f\n", seconds);
  return ok ? 0 : 1;
}
