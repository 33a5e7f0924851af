// Loading the module on Windows: LoadLibraryW with the wide form of the path, the loading
// thread in a single-threaded apartment while the module is loaded (the class is
// apartment-threaded, as a COM host would create it). The BSTR and error-information calls are
// the system's (oleaut32, linked into zan): a DLL does not export them.
#include <windows.h>

#include <filesystem>

#include "cli/local_path.h"
#include "cli/module.h"
#include "cli/utf.h"

namespace zancli::module_system {

namespace {

std::wstring Wide(const std::string& utf8) {
  const std::u16string text = Utf8ToUtf16(utf8);
  return std::wstring(text.begin(), text.end());
}

std::string Narrow(const wchar_t* text, size_t length) {
  return Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(text), length));
}

// The system's text for an error code about a file, without its trailing line end; an insert
// "%1" is the file's name.
std::string ErrorText(DWORD code, const std::string& file) {
  wchar_t* buffer = nullptr;
  DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                    FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::string text = buffer ? Narrow(buffer, length) : std::string();
  LocalFree(buffer);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  if (size_t at = text.find("%1"); at != std::string::npos) text.replace(at, 2, file);
  return text.empty() ? "error " + std::to_string(code) : text + " (error " + std::to_string(code) + ")";
}

// What Open hands out: the library, and whether Open joined the thread to an apartment (so
// Close leaves it again).
struct Loaded {
  HMODULE library;
  bool joinedApartment;
};

// Directory of the running executable ("" when unknown).
std::string ExecutableDir() {
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (length == 0) return "";
    if (length < name.size()) {
      name.resize(length);
      return Utf8Path(std::filesystem::path(name).parent_path());
    }
    name.resize(name.size() * 2);
  }
}

}  // namespace

const char kFileName[] = "ZANClient.DLL";
const char kRegistryNote[] =
    "The registration goes to the system registry (HKEY_CLASSES_ROOT), as regsvr32 writes it.";

void* Open(const std::string& path, std::string* error) {
  HMODULE library = LoadLibraryW(Wide(path).c_str());
  if (library == nullptr) {
    const DWORD code = GetLastError();
    *error = "cannot load " + path + ": " + ErrorText(code, Utf8Path(LocalPath(path).filename()));
    return nullptr;
  }
  // S_FALSE: the thread was in the apartment already, and still counts once.
  const bool joined = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  return new Loaded{library, joined};
}

void* Symbol(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<Loaded*>(library)->library, name));
}

void Close(void* library) {
  auto* loaded = static_cast<Loaded*>(library);
  FreeLibrary(loaded->library);
  if (loaded->joinedApartment) CoUninitialize();
  delete loaded;
}

bool ResolveAutomation(void*, Exports* e, std::string*) {
  e->SysAllocStringLen = &::SysAllocStringLen;
  e->SysFreeString = &::SysFreeString;
  e->SysStringLen = &::SysStringLen;
  e->GetErrorInfo = &::GetErrorInfo;
  return true;
}

std::vector<std::string> InstalledCandidates() {
  std::string dir = ExecutableDir();
  if (dir.empty()) return {};
  // Installed, the DLL lies beside zan.exe in the bin directory.
  return {dir + "\\" + kFileName};
}

}  // namespace zancli::module_system
