// Host-side owners for what the module hands out: interface references (released once) and
// BSTRs (allocated and freed with the module's own SysAllocStringLen / SysFreeString).
#ifndef ZAN_CLI_HOST_TYPES_H_
#define ZAN_CLI_HOST_TYPES_H_

#include <string>
#include <string_view>

#include "cli/module.h"
#include "cli/utf.h"

namespace zancli {

// OLECHAR is one UTF-16 code unit on every system: char16_t off Windows, wchar_t on it.
inline OLECHAR* OleChars(char16_t* text) { return reinterpret_cast<OLECHAR*>(text); }
inline std::u16string_view Utf16View(const OLECHAR* text, size_t length) {
  return {reinterpret_cast<const char16_t*>(text), length};
}

// Owns one reference to an interface; releases it on destruction. Non-copyable, movable.
template <class T>
class Ref {
 public:
  Ref() = default;
  ~Ref() { reset(); }
  Ref(Ref&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
  Ref& operator=(Ref&& o) noexcept {
    if (this != &o) {
      reset();
      p_ = o.p_;
      o.p_ = nullptr;
    }
    return *this;
  }
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For out parameters: releases the current reference first.
  T** out() {
    reset();
    return &p_;
  }
  void** out_void() { return reinterpret_cast<void**>(out()); }
  void reset() {
    if (p_) p_->Release();
    p_ = nullptr;
  }

 private:
  T* p_ = nullptr;
};

// Owns one BSTR of the module. Non-copyable, movable; exports must outlive it.
class Bstr {
 public:
  explicit Bstr(const Exports& e) : e_(&e) {}
  Bstr(const Exports& e, std::string_view utf8) : e_(&e) {
    std::u16string wide = Utf8ToUtf16(utf8);
    b_ = e.SysAllocStringLen(OleChars(wide.data()), static_cast<UINT>(wide.size()));
  }
  ~Bstr() { e_->SysFreeString(b_); }
  Bstr(Bstr&& o) noexcept : e_(o.e_), b_(o.b_) { o.b_ = nullptr; }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  Bstr& operator=(Bstr&&) = delete;

  BSTR get() const { return b_; }
  // For out parameters: frees the current string first.
  BSTR* out() {
    e_->SysFreeString(b_);
    b_ = nullptr;
    return &b_;
  }
  // The text as UTF-8; a null BSTR is "".
  std::string Utf8() const { return b_ ? Utf16ToUtf8(Utf16View(b_, e_->SysStringLen(b_))) : ""; }

 private:
  const Exports* e_;
  BSTR b_ = nullptr;
};

}  // namespace zancli

#endif
