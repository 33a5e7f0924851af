#include "cli/context.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "cli/format.h"
#include "cli/progress.h"

namespace zancli {

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
  if (!outcome.error.empty()) std::cerr << PlainLines(MaskPasswords(outcome.error)) << "\n";
  return code;
}

bool Context::ShowProgress() const { return !options.quiet && StderrIsTerminal(); }

std::string ReadInput(const std::string& path) {
  if (path == "-") {
    std::ostringstream s;
    s << std::cin.rdbuf();
    return s.str();
  }
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) throw UsageError(path + " is a directory, not a file");
  std::ifstream in(path, std::ios::binary);
  if (!in) throw UsageError("cannot read " + path);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw UsageError("cannot read " + path);
  return text;
}

void WriteOutput(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) throw UsageError("cannot write " + path);
}

}  // namespace zancli
