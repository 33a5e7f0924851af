// The portable half of file.h: ownership of the handle (Close is the backend's).
#include "platform/os/file.h"

#include <utility>

namespace zan::os {

File::~File() { Close(); }

File::File(File&& other) noexcept : handle_(std::exchange(other.handle_, kClosed)) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, kClosed);
  }
  return *this;
}

}  // namespace zan::os
