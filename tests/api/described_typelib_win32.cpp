#include <string>

#include "described_typelib.h"
#include "platform/os/codepage.h"

namespace zan::test {

HRESULT LoadDescribedTypeLib(ITypeLib** out) {
  std::u16string path = os::MultiByteToWide(ZAN_TYPELIB_FILE);
  for (char16_t& c : path)
    if (c == u'/') c = u'\\';
  return LoadTypeLibEx(reinterpret_cast<const wchar_t*>(path.c_str()), REGKIND_NONE, out);
}

}  // namespace zan::test
