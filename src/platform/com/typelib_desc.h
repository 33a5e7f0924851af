// A type library described as data: the library, its dual interfaces with their methods and
// its coclasses. This is what a module's type library holds and what dispatch needs of it.
// Every method returns HRESULT and takes BSTR parameters: in parameters, optionally followed
// by one out-retval (BSTR*).
#ifndef ZAN_PLATFORM_COM_TYPELIB_DESC_H_
#define ZAN_PLATFORM_COM_TYPELIB_DESC_H_

#include <string>
#include <string_view>
#include <vector>

#include "zanclient/com.h"

namespace zan::tlb {

// The vtable slot of an interface's first own method: after QueryInterface, AddRef, Release,
// GetTypeInfoCount, GetTypeInfo, GetIDsOfNames and Invoke.
constexpr UINT kFirstMethodSlot = 7;
// The most in parameters a method may have.
constexpr size_t kMaxInParams = 6;

struct ParamDesc {
  std::string name;
  bool outRetval = false;  // [out, retval] BSTR*; else [in] BSTR
};

struct MethodDesc {
  std::string name;
  DISPID dispid = 0;
  UINT vtableSlot = 0;  // index in the interface's vtable, kFirstMethodSlot for the first method
  std::vector<ParamDesc> params;
  std::string helpString;

  size_t InCount() const { return params.size() - (HasOut() ? 1 : 0); }
  bool HasOut() const { return !params.empty() && params.back().outRetval; }
};

struct InterfaceDesc {
  IID iid;
  std::string name;
  std::string helpString;
  bool dual = true;  // dual (derived from IDispatch); else a dispinterface
  std::vector<MethodDesc> methods;

  const MethodDesc* FindMethod(DISPID dispid) const;
  // Compares names ASCII case-insensitively, as OLE matches names.
  const MethodDesc* FindMethod(std::u16string_view name) const;
};

struct CoClassDesc {
  CLSID clsid;
  std::string name;
  std::string helpString;
  IID defaultInterface;
};

struct TypeLibDesc {
  GUID libid;
  WORD majorVersion = 1;
  WORD minorVersion = 0;
  LCID lcid = 0;
  std::string name;
  std::string helpString;
  // The library's type infos are the interfaces, then the coclasses, in this order.
  std::vector<InterfaceDesc> interfaces;
  std::vector<CoClassDesc> coclasses;

  const InterfaceDesc* FindInterface(REFIID iid) const;
};

// S_OK for a consistent description, else E_INVALIDARG: a method name, DISPID or vtable slot
// used twice in an interface, DISPID_UNKNOWN, a slot before kFirstMethodSlot, an empty or
// repeated parameter name, an out-retval that is not last, more than kMaxInParams in
// parameters, or a coclass whose default interface is not in the library.
HRESULT Validate(const TypeLibDesc& desc);

// ASCII case-insensitive equality of a UTF-16 name and an 8-bit name.
bool NameMatches(std::u16string_view a, std::string_view b);

}  // namespace zan::tlb

#endif
