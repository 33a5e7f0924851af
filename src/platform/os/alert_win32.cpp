// The default alert on Windows: the modal message box, only where someone can answer it.
#include <windows.h>

#include "platform/os/alert.h"
#include "platform/os/environment.h"
#include "platform/os/lasterror.h"
#include "platform/os/win32_text.h"

namespace zan::os {

namespace {

// True when the process runs on the interactive window station ("WinSta0") and it is visible:
// a service, a scheduled task or a session without a display has no one to press OK.
bool InteractiveDesktop() {
  HWINSTA station = ::GetProcessWindowStation();
  if (!station) return false;
  USEROBJECTFLAGS flags{};
  DWORD needed = 0;
  if (!::GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, &needed) ||
      (flags.dwFlags & WSF_VISIBLE) == 0) {
    return false;
  }
  wchar_t name[64] = {};
  if (!::GetUserObjectInformationW(station, UOI_NAME, name, sizeof name - sizeof name[0], &needed)) return false;
  return ::lstrcmpiW(name, L"WinSta0") == 0;
}

}  // namespace

void DefaultAlertSink(std::string_view caption, std::string_view text) {
  if (!EnvironmentValue(kEnvDiagnostics).empty() || !InteractiveDesktop()) {
    DiagnosticLineSink(caption, text);
    return;
  }
  const uint32_t lastError = LastError();  // an alert never changes the thread's last error
  const std::wstring wideText = internal::Wide(text);
  const std::wstring wideCaption = internal::Wide(caption);
  const int answer = ::MessageBoxW(nullptr, wideText.c_str(), wideCaption.c_str(), MB_OK | MB_ICONSTOP);
  SetLastError(lastError);
  // No box could be shown (no display driver: Wine without a display answers -1 at once).
  if (answer <= 0) DiagnosticLineSink(caption, text);
}

}  // namespace zan::os
