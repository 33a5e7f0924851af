// What every zan command shares: the global options, the module and the one ZANApi object
// (both made on first use), the way a failure is reported, and the command chosen on the
// command line. Main thread only.
#ifndef ZAN_CLI_CONTEXT_H_
#define ZAN_CLI_CONTEXT_H_

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/exit_codes.h"
#include "cli/module.h"
#include "cli/session.h"

namespace zancli {

// A mistake on the command line found after parsing (exit code 2).
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// No server URL was given (exit code 4).
class NoServerError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct GlobalOptions {
  std::string server;
  bool haveServer = false;  // --server given or ZAN_SERVER set (an empty URL counts)
  std::string modulePath;   // --module
  bool xml = false;         // print responses as the module's raw XML text
  bool quiet = false;       // no progress line
};

class Context {
 public:
  GlobalOptions options;
  // The chosen command; set by its CLI11 callback, run by main after parsing.
  std::function<int()> action;

  // Loads the module on first use; throws HostError when it cannot.
  const Module& module();
  // Creates the object on first use; throws NoServerError without a server URL, HostError when
  // the module refuses.
  Session& session();

  // Calls the operation of that name early-bound. On failure prints it (PrintFailure) and
  // returns false with *exitCode set.
  bool Call(const char* op, const std::vector<std::string>& args, Outcome* out, int* exitCode);

  // Prints "zan: OP failed: CLASS (0xHHHHHHHH)" and the module's full error text on stderr;
  // returns the exit code of the failure.
  int PrintFailure(const std::string& op, const Outcome& outcome);

  // Whether a progress line may be drawn (standard error is a terminal and not --quiet).
  bool ShowProgress() const;

 private:
  std::unique_ptr<Module> module_;
  std::unique_ptr<Session> session_;
};

// Reads a whole file ("-" is standard input); throws UsageError naming the file on failure.
std::string ReadInput(const std::string& path);
// Writes a whole file; throws UsageError naming the file on failure.
void WriteOutput(const std::string& path, const std::string& text);

}  // namespace zancli

#endif
