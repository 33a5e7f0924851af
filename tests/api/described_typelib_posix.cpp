#include "api/ZANApiTypeInfo.h"
#include "described_typelib.h"
#include "platform/com/typeinfo.h"

namespace zan::test {

HRESULT LoadDescribedTypeLib(ITypeLib** out) { return tlb::LoadTypeLibFromDescription(api::ZANClientTypeLib(), out); }

}  // namespace zan::test
