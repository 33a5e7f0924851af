// The platform's COM error exception: a failure status and an optional description,
// thrown by every platform stand-in when a call fails.
#ifndef ZAN_PLATFORM_COM_COM_ERROR_H_
#define ZAN_PLATFORM_COM_COM_ERROR_H_

#include <string>
#include <utility>

#include "zanclient/com.h"

class _com_error {
 public:
  explicit _com_error(HRESULT hr, std::string description = {}) : hr_(hr), description_(std::move(description)) {}
  // The failure status.
  HRESULT Error() const { return hr_; }
  // The description (8-bit, process code page); empty when none is attached.
  const std::string& Description() const { return description_; }

 private:
  HRESULT hr_;
  std::string description_;
};

#endif
