// The host's system calls on Windows: the wide command line and environment converted to
// UTF-8; a console shows UTF-8 output (its code page) and escape sequences (its modes) while
// zan runs; a file or pipe gets the UTF-8 bytes. Standard output stays in text mode, so its
// lines end in CR LF as a Windows program's do.
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>

#include "cli/host_system.h"
#include "cli/utf.h"

namespace zancli {

namespace {

std::string Narrow(const wchar_t* text) {
  return Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(text)));
}

std::wstring Wide(const char* utf8) {
  const std::u16string text = Utf8ToUtf16(utf8);
  return std::wstring(text.begin(), text.end());
}

// The console's settings as they were before Utf8Console changed them.
struct SavedConsole {
  UINT codePage = 0;  // 0: unchanged
  DWORD modes[2] = {};
  bool modeSet[2] = {};
};
SavedConsole saved;
const DWORD kOutputHandles[2] = {STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};

bool IsConsole(DWORD which) {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(which), &mode) != 0;
}

}  // namespace

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return {argv, argv + argc};
  std::vector<std::string> out;
  for (int i = 0; i < count; ++i) out.push_back(Narrow(wide[i]));
  LocalFree(wide);
  return out;
}

Utf8Console::Utf8Console() {
  _setmode(_fileno(stdin), _O_BINARY);
  if (IsConsole(STD_OUTPUT_HANDLE) || IsConsole(STD_ERROR_HANDLE)) {
    saved.codePage = GetConsoleOutputCP();
    SetConsoleOutputCP(CP_UTF8);
  }
  for (int i = 0; i < 2; ++i) {
    HANDLE handle = GetStdHandle(kOutputHandles[i]);
    if (GetConsoleMode(handle, &saved.modes[i]))
      saved.modeSet[i] = SetConsoleMode(handle, saved.modes[i] | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
  }
}

Utf8Console::~Utf8Console() {
  std::fflush(stdout);
  std::fflush(stderr);
  for (int i = 0; i < 2; ++i) {
    if (saved.modeSet[i]) SetConsoleMode(GetStdHandle(kOutputHandles[i]), saved.modes[i]);
  }
  if (saved.codePage != 0) SetConsoleOutputCP(saved.codePage);
  saved = SavedConsole();
}

bool StdoutIsTerminal() { return IsConsole(STD_OUTPUT_HANDLE); }

bool StderrIsTerminal() { return IsConsole(STD_ERROR_HANDLE); }

std::string EnvironmentValue(const char* name) {
  const wchar_t* value = _wgetenv(Wide(name).c_str());
  return value ? Narrow(value) : std::string();
}

}  // namespace zancli
