// The type library that describes IZANApi to late-bound callers, loaded for a test: the one
// the stand-in runtime builds from the module's description (Linux), or the one the build
// compiled from the IDL into the DLL (Windows, loaded by the system from ZANClient.tlb).
#ifndef ZAN_TESTS_API_DESCRIBED_TYPELIB_H_
#define ZAN_TESTS_API_DESCRIBED_TYPELIB_H_

#include "zanclient/com.h"

namespace zan::test {

HRESULT LoadDescribedTypeLib(ITypeLib** out);

}  // namespace zan::test

#endif
