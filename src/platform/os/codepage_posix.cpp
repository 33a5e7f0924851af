// Lead bytes on POSIX: the one double-byte code page the module offers, 932.
#include "platform/os/codepage.h"

namespace zan::os {

bool IsDBCSLeadByte(unsigned char b) {
  if (GetACP() != kCodePageShiftJis) return false;
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

}  // namespace zan::os
