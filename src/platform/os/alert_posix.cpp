// The default alert on POSIX: there is no modal box, only the diagnostic line.
#include "platform/os/alert.h"

namespace zan::os {

void DefaultAlertSink(std::string_view caption, std::string_view text) { DiagnosticLineSink(caption, text); }

}  // namespace zan::os
