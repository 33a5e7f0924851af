// ITypeLib and ITypeInfo objects over a type library description. Served for real: the
// library's GetTypeInfoCount, GetTypeInfo, GetTypeInfoType, GetTypeInfoOfGuid, GetLibAttr,
// ReleaseTLibAttr and GetDocumentation; the type information's GetNames, GetIDsOfNames,
// Invoke (invoke.h), GetDocumentation and GetContainingTypeLib. The others return E_NOTIMPL
// (the Release* members do nothing). Reference counts are atomic; the objects hold no other
// state and may be used from any thread.
#ifndef ZAN_PLATFORM_COM_TYPEINFO_H_
#define ZAN_PLATFORM_COM_TYPEINFO_H_

#include "platform/com/typelib_desc.h"
#include "zanclient/com.h"

namespace zan::tlb {

// A library object for desc, which must outlive it and every type information taken from it.
// E_INVALIDARG when the description is not consistent (Validate); *out gets one reference.
HRESULT LoadTypeLibFromDescription(const TypeLibDesc& desc, ITypeLib** out);

}  // namespace zan::tlb

#endif
