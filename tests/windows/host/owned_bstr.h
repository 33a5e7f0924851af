// One BSTR owned by the test (system allocator), for the C++ host tests.
#ifndef ZAN_TESTS_WINDOWS_HOST_OWNED_BSTR_H_
#define ZAN_TESTS_WINDOWS_HOST_OWNED_BSTR_H_

#include <windows.h>

#include <string>

namespace zan::test {

// Null when default-constructed; a copy of text otherwise.
class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(const std::wstring& text) : b_(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
  ~Bstr() { SysFreeString(b_); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR get() const { return b_; }
  // The out parameter, emptied (its previous string freed).
  BSTR* out() {
    SysFreeString(b_);
    b_ = nullptr;
    return &b_;
  }
  std::wstring text() const { return b_ ? std::wstring(b_, SysStringLen(b_)) : std::wstring(); }

 private:
  BSTR b_ = nullptr;
};

}  // namespace zan::test

#endif
