// Names as the registry and type libraries compare them: ASCII case-insensitively, bytes outside
// ASCII as they are.
#ifndef ZAN_PLATFORM_COM_NAMES_H_
#define ZAN_PLATFORM_COM_NAMES_H_

#include <string_view>

namespace zan::reg {

bool NameEquals(std::string_view a, std::string_view b);
bool NameLess(std::string_view a, std::string_view b);

}  // namespace zan::reg

#endif
