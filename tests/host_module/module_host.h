// A host of the ZANClient module for tests: loads the module file with dlopen (the test is
// not linked with the module's code), resolves its exports, and converts between UTF-8 and
// the module's BSTRs.
#ifndef ZAN_TESTS_HOST_MODULE_MODULE_HOST_H_
#define ZAN_TESTS_HOST_MODULE_MODULE_HOST_H_

#include <string>
#include <string_view>
#include <vector>

#include "zanclient/ZANClient.h"

namespace zan::test {

class ModuleHost {
 public:
  // Loads the module at path (RTLD_NOW | RTLD_LOCAL); throws std::runtime_error with dlerror
  // when it cannot be loaded or lacks an export.
  explicit ModuleHost(const std::string& path);
  // dlclose.
  ~ModuleHost();
  ModuleHost(const ModuleHost&) = delete;
  ModuleHost& operator=(const ModuleHost&) = delete;

  // The module built by this tree (ZAN_CLIENT_MODULE), loaded once per test executable.
  static ModuleHost& Built();

  const std::string& path() const { return path_; }
  // The address of an exported symbol; null when the module does not export it.
  void* Symbol(const char* name) const;
  // The same, for an export the module must have; throws std::runtime_error without it.
  void* RequiredSymbol(const char* name) const;
  // out = RequiredSymbol(name) as a function of out's type.
  template <typename F>
  void Resolve(const char* name, F*& out) const {
    out = reinterpret_cast<F*>(RequiredSymbol(name));
  }

  HRESULT (*DllGetClassObject)(REFCLSID, REFIID, void**) = nullptr;
  HRESULT (*DllCanUnloadNow)() = nullptr;
  HRESULT (*DllRegisterServer)() = nullptr;
  HRESULT (*DllUnregisterServer)() = nullptr;
  BSTR (*SysAllocString)(const OLECHAR*) = nullptr;
  BSTR (*SysAllocStringLen)(const OLECHAR*, UINT) = nullptr;
  void (*SysFreeString)(BSTR) = nullptr;
  UINT (*SysStringLen)(BSTR) = nullptr;
  HRESULT (*GetErrorInfo)(ULONG, IErrorInfo**) = nullptr;
  const CLSID* clsid = nullptr;  // the module's CLSID_ZANApi
  const IID* iid = nullptr;      // IID_IZANApi
  const GUID* libid = nullptr;   // LIBID_ZANCLIENTLib

  // The module's class factory (one reference); throws when DllGetClassObject fails.
  IClassFactory* Factory() const;
  // A new object through the factory, asked for IZANApi; throws on failure.
  IZANApi* Create() const;

  // A new BSTR (module allocator) holding text; the caller frees it with SysFreeString.
  BSTR Alloc(std::string_view utf8) const;
  // The UTF-8 text of a BSTR (null is "").
  std::string Text(BSTR b) const;
  // The text, then SysFreeString.
  std::string Take(BSTR b) const;
  // The calling thread's error information taken from the module: its description, or
  // "<no error information>"; with source, "source|" before it.
  std::string TakeErrorText(bool withSource = false) const;

 private:
  std::string path_;
  void* handle_ = nullptr;
};

// "0x80040066" for a status.
std::string Hex(HRESULT hr);

}  // namespace zan::test

#endif
