#include "cli/context.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "cli/format.h"
#include "cli/host_system.h"
#include "cli/local_path.h"
#include "cli/progress.h"

namespace zancli {

namespace {

// ZANCLIENT_MAX_XML_SIZE when it is a positive whole number, else 256 MiB (as the module).
uint64_t MaxInputBytes() {
  const std::string text = EnvironmentValue("ZANCLIENT_MAX_XML_SIZE");
  uint64_t value = 0;
  for (const char* p = text.c_str(); *p; ++p) {
    if (*p < '0' || *p > '9' || value > (UINT64_MAX - 9) / 10) return 256ull << 20;
    value = value * 10 + static_cast<uint64_t>(*p - '0');
  }
  return value > 0 ? value : 256ull << 20;
}

}  // namespace

const Module& Context::module() {
  if (!module_) {
    std::string error;
    module_ = FindAndLoadModule(options.modulePath, &error);
    if (!module_) throw HostError(error, E_FAIL);
  }
  return *module_;
}

Session& Context::session() {
  if (!session_) {
    if (!options.haveServer)
      throw NoServerError("no server: pass --server URL or set ZAN_SERVER (e.g. http://127.0.0.1:8080)");
    const Module& m = module();
    session_ = std::make_unique<Session>(m, options.server);
  }
  return *session_;
}

bool Context::Call(const char* op, const std::vector<std::string>& args, Outcome* out, int* exitCode) {
  *out = session().Call(op, args);
  if (out->ok()) return true;
  *exitCode = PrintFailure(op, *out);
  return false;
}

int Context::PrintFailure(const std::string& op, const Outcome& outcome) {
  ExitCode code = ExitCodeFor(outcome.hr, outcome.error);
  std::cerr << "zan: " << op << " failed: " << ExitCodeName(code) << " (" << StatusText(outcome.hr) << ")\n";
  if (!outcome.error.empty()) std::cerr << TerminalSafe(PlainLines(MaskPasswords(outcome.error))) << "\n";
  return code;
}

bool Context::ShowProgress() const { return !options.quiet && StderrIsTerminal(); }

std::string ReadInput(const std::string& path) {
  // A document is read whole, up to the module's own cap (ZANCLIENT_MAX_XML_SIZE), so an
  // endless input such as /dev/zero is refused instead of filling memory.
  const uint64_t cap = MaxInputBytes();
  std::ifstream file;
  std::istream* in = &std::cin;
  if (path != "-") {
    std::error_code ec;
    if (std::filesystem::is_directory(LocalPath(path), ec)) throw UsageError(path + " is a directory, not a file");
    file.open(LocalPath(path), std::ios::binary);
    if (!file) throw UsageError("cannot read " + path);
    in = &file;
  }
  std::string text;
  char buffer[65536];
  while (*in) {
    in->read(buffer, sizeof buffer);
    const auto n = static_cast<size_t>(in->gcount());
    if (text.size() + n > cap)
      throw UsageError(path + " is larger than the limit of " + std::to_string(cap) + " bytes (ZANCLIENT_MAX_XML_SIZE)");
    text.append(buffer, n);
  }
  if (in->bad()) throw UsageError("cannot read " + path);
  return text;
}

void WriteOutput(const std::string& path, const std::string& text) {
  std::ofstream out(LocalPath(path), std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) throw UsageError("cannot write " + path);
}

}  // namespace zancli
