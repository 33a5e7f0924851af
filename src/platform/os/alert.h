// The error alert: the system's modal "ZAN" message box behind a replaceable sink, and the one
// place every diagnostic line of the module goes (the module never writes to standard
// output). The default sink shows the modal box only on Windows, in an interactive desktop
// session, while ZANCLIENT_DIAGNOSTICS is unset; everywhere else it writes one line to
// standard error. ZANCLIENT_DIAGNOSTICS chooses the line and where it goes ("off" silences it,
// "stderr" is standard error, any other value names a file the lines are appended to), and a
// host or a test may install its own sink.
#ifndef ZAN_PLATFORM_OS_ALERT_H_
#define ZAN_PLATFORM_OS_ALERT_H_

#include <functional>
#include <string>
#include <string_view>

namespace zan::os {

constexpr std::string_view kAlertCaption = "ZAN";
constexpr const char* kEnvDiagnostics = "ZANCLIENT_DIAGNOSTICS";

using AlertSink = std::function<void(std::string_view caption, std::string_view text)>;

// Shows text with the caption "ZAN" through the current sink, on the calling thread; returns
// when the sink returns. Any thread.
void ShowErrorAlert(std::string_view text);
// Installs sink (an empty one installs the default) and returns the previous sink, which is
// never empty. Any thread; a sink already running finishes with its own code.
AlertSink SetAlertSink(AlertSink sink);
// The default sink: on Windows a modal MessageBoxW (caption, text, stop icon, OK) when the
// process runs on the visible interactive window station and ZANCLIENT_DIAGNOSTICS is unset
// (a box nobody can see would hang the host), falling back to the line when no box can be
// shown; else DiagnosticLineSink. Both read the variable
// on every call.
void DefaultAlertSink(std::string_view caption, std::string_view text);
// caption + ": " + text on one line of standard error (or where ZANCLIENT_DIAGNOSTICS says),
// each run of line breaks (CR, LF) inside the text shown as one blank and those at its ends
// dropped. Never changes the thread's last error.
void DiagnosticLineSink(std::string_view caption, std::string_view text);
// The one-line form the default sink writes, without its final line feed.
std::string AlertLine(std::string_view caption, std::string_view text);

}  // namespace zan::os

#endif
