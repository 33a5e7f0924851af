// The type library ZANCLIENTLib 1.0 as data: the coclass ZANApi and the dual interface IZANApi
// with its 24 methods (names, dispatch identifiers, vtable slots in interface order,
// parameter names, help strings), as the module registers it and dispatch serves it.
#ifndef ZAN_API_ZANAPITYPEINFO_H_
#define ZAN_API_ZANAPITYPEINFO_H_

#include "platform/com/typelib_desc.h"

namespace zan::api {

// The description; built on first use, alive until the process ends. Thread-safe.
const tlb::TypeLibDesc& ZANClientTypeLib();

}  // namespace zan::api

#endif
