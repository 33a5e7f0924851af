// zan.exe as a child process: CreateProcessW with pipes for its standard streams, read by one
// thread each. zan writes its standard output and error in text mode, so their CR LF line ends
// come back as LF, as on Linux.
#include <windows.h>

#include <cstring>
#include <stdexcept>
#include <thread>

#include "cli/zan_process.h"
#include "platform/os/codepage.h"

namespace zan::test {
namespace {

struct Handle {
  HANDLE h = nullptr;
  ~Handle() { Close(); }
  void Close() {
    if (h) CloseHandle(h);
    h = nullptr;
  }
};

// A pipe whose end `inherited` (0 read, 1 write) the child gets.
void MakePipe(Handle& read, Handle& write, int inherited) {
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  if (!CreatePipe(&read.h, &write.h, &sa, 0)) throw std::runtime_error("CreatePipe failed");
  SetHandleInformation(inherited == 0 ? write.h : read.h, HANDLE_FLAG_INHERIT, 0);
}

std::wstring Wide(const std::string& utf8) {
  const std::u16string w = os::MultiByteToWide(utf8);
  return std::wstring(w.begin(), w.end());
}

// One argument as the C runtime's command-line parser reads it back.
std::wstring Quote(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  size_t slashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++slashes;
      continue;
    }
    out.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
    slashes = 0;
    out += c;
  }
  out.append(slashes * 2, L'\\');
  return out + L"\"";
}

// Name=value entries of this process's environment, as UTF-16.
std::wstring Environment(const std::map<std::string, std::string>& env) {
  std::wstring block;
  wchar_t* strings = GetEnvironmentStringsW();
  for (const wchar_t* e = strings; *e; e += std::wcslen(e) + 1) {
    const std::wstring entry = e;
    const std::wstring name = entry.substr(0, entry.find(L'=', 1));
    bool dropped = name == L"ZAN_SERVER" || name == L"ZANCLIENT_MODULE" || name == L"ZANCLIENT_REGISTRY";
    for (const auto& kv : env) dropped = dropped || _wcsicmp(name.c_str(), Wide(kv.first).c_str()) == 0;
    if (!dropped) block += entry + L'\0';
  }
  FreeEnvironmentStringsW(strings);
  for (const auto& [k, v] : env) block += Wide(k + "=" + v) + L'\0';
  return block + L'\0';
}

void ReadAll(HANDLE pipe, std::string& sink) {
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) sink.append(buffer, got);
}

std::string LfLineEnds(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i)
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
  return out;
}

}  // namespace

ZanRun RunZan(const std::vector<std::string>& args, const std::map<std::string, std::string>& env,
              const std::string& stdinText) {
  std::wstring command = Quote(Wide(ZAN_CLI_EXE));
  for (const std::string& a : args) command += L" " + Quote(Wide(a));
  std::wstring environment = Environment(env);

  Handle inRead, inWrite, outRead, outWrite, errRead, errWrite;
  MakePipe(inRead, inWrite, 0);
  MakePipe(outRead, outWrite, 1);
  MakePipe(errRead, errWrite, 1);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = inRead.h;
  si.hStdOutput = outWrite.h;
  si.hStdError = errWrite.h;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW,
                      environment.data(), nullptr, &si, &pi))
    throw std::runtime_error("CreateProcess failed for " + std::string(ZAN_CLI_EXE));
  Handle process{pi.hProcess}, thread{pi.hThread};
  inRead.Close();
  outWrite.Close();
  errWrite.Close();

  ZanRun run;
  std::thread errReader([&] { ReadAll(errRead.h, run.err); });
  std::thread outReader([&] { ReadAll(outRead.h, run.out); });
  DWORD written = 0;
  if (!stdinText.empty()) WriteFile(inWrite.h, stdinText.data(), static_cast<DWORD>(stdinText.size()), &written, nullptr);
  inWrite.Close();
  outReader.join();
  errReader.join();
  WaitForSingleObject(process.h, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.h, &code);
  run.code = static_cast<int>(code);
  run.out = LfLineEnds(run.out);
  run.err = LfLineEnds(run.err);
  return run;
}

}  // namespace zan::test
