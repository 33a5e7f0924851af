// call, register, unregister: any operation by its own name through IDispatch, and the
// module's self-registration that late binding needs.
#include <iostream>
#include <memory>

#include "cli/commands.h"
#include "cli/format.h"
#include "cli/operations.h"
#include "cli/xml_text.h"

namespace zancli {

namespace {

std::string OperationList() {
  std::vector<std::vector<std::string>> rows;
  for (const Operation& op : Operations()) {
    std::string params;
    for (const char* p : op.params) params += std::string(params.empty() ? "" : " ") + p;
    rows.push_back({op.name, params, op.out ? std::string("-> ") + op.out : ""});
  }
  return Table({"OPERATION", "ARGUMENTS AFTER THE SERVER", "RESULT"}, rows);
}

// Checks the XML arguments before anything is sent: properties must be an item set of plain
// NAME/VALUE items (empty only where a creation takes none), documents must parse with their
// root element. Throws UsageError.
void CheckArguments(const Operation& op, const std::vector<std::string>& args) {
  if (args.size() != op.params.size()) {
    std::string names;
    for (const char* p : op.params) names += std::string(names.empty() ? "" : ", ") + p;
    throw UsageError(std::string(op.name) + " takes " + std::to_string(op.params.size()) +
                     (op.params.size() == 1 ? " argument" : " arguments") + " after the server" +
                     (names.empty() ? "" : " (" + names + ")") + ", got " + std::to_string(args.size()));
  }
  std::string opName = op.name;
  for (size_t i = 0; i < args.size(); ++i) {
    std::string param = op.params[i];
    std::string error;
    if (param == "Properties") {
      if (args[i].empty()) {
        if (opName.rfind("Create", 0) == 0) continue;
        throw UsageError(opName + ": Properties is empty; give at least one item");
      }
      std::vector<std::pair<std::string, std::string>> props;
      if (!ParseProperties(args[i], &props, &error)) throw UsageError(opName + ": bad Properties: " + error);
    } else if (param == "MBP" || param == "ProjectInfo") {
      if (!CheckDocument(args[i], param == "MBP" ? "mbp" : "projectinfo", &error))
        throw UsageError(opName + ": bad " + param + ": " + error);
    } else if (param == "BPFile") {
      if (!CheckDocument(ReadInput(args[i]), "mbp", &error))
        throw UsageError(opName + ": bad BPFile " + args[i] + ": " + error);
    }
  }
}

struct CallArgs {
  std::string operation;
  std::vector<std::string> args;
  bool list = false;
};

int Call(Context& ctx, const CallArgs& a) {
  if (a.list) {
    std::cout << OperationList();
    return 0;
  }
  if (a.operation.empty()) throw UsageError("call needs an OPERATION; 'zan call --list' shows the 24 operations");
  const Operation* op = FindOperation(a.operation);
  if (op == nullptr)
    throw UsageError("unknown operation '" + a.operation + "'; 'zan call --list' shows the 24 operations");
  CheckArguments(*op, a.args);
  Outcome r = ctx.session().Invoke(op->name, a.args);
  if (!r.ok()) {
    int code = ctx.PrintFailure(op->name, r);
    if (code == kExitModule)
      std::cerr << "zan: late binding needs the type library registered: run 'zan register'\n";
    return code;
  }
  if (!r.text.empty()) std::cout << ForStdout(r.text) << "\n";
  return 0;
}

int Register(Context& ctx, bool on) {
  const Module& m = ctx.module();
  HRESULT hr = on ? m.exports().DllRegisterServer() : m.exports().DllUnregisterServer();
  if (FAILED(hr)) {
    std::cerr << "zan: " << (on ? "DllRegisterServer" : "DllUnregisterServer") << " failed (" << StatusText(hr)
              << ")\n";
    return kExitModule;
  }
  std::cout << (on ? "registered" : "unregistered") << " the ZANApi class and the ZANCLIENTLib type library of "
            << m.path() << "\n";
  return 0;
}

}  // namespace

void AddModuleCommands(CLI::App& app, Context& ctx) {
  auto c = std::make_shared<CallArgs>();
  CLI::App* call = AddCommand(
      app, "call", "Call any operation by its own name (IDispatch)",
      "Late-bound through IDispatch (GetIDsOfNames, Invoke): the arguments follow the operation's parameters "
      "after serverUrl (see --list) and the result is printed as the module returns it. XML arguments "
      "(Properties, MBP, ProjectInfo, BPFile) are checked before the call. Needs the type library registered "
      "('zan register'). Put '--' before arguments that start with '-'.",
      "  zan call --list\n"
      "  zan call GetChildren Alpha\n"
      "  zan call SetFolderProperties Alpha/Designs '<QKXItem><Owner>kim</Owner></QKXItem>'\n"
      "  zan call Move Alpha Beta                 # Delete and Move do nothing and succeed");
  call->add_option("OPERATION", c->operation, "the operation's name, e.g. GetChildren");
  call->add_option("ARGS", c->args, "its arguments after the server URL");
  call->add_flag("--list", c->list, "list the operations with their parameters");
  call->callback([&ctx, c] { ctx.action = [&ctx, c] { return Call(ctx, *c); }; });

  const char* registryNote = module_system::kRegistryNote;
  CLI::App* reg = AddCommand(app, "register", "Register the module (DllRegisterServer)",
                             std::string("Registers the ZANApi class, its ProgIDs and the type library that "
                                         "late-bound callers ('zan call') need. ") + registryNote,
                             "  zan register\n  ZANCLIENT_REGISTRY=/tmp/reg zan register");
  reg->callback([&ctx] { ctx.action = [&ctx] { return Register(ctx, true); }; });

  CLI::App* unreg = AddCommand(app, "unregister", "Remove the module's registration (DllUnregisterServer)",
                               registryNote, "  zan unregister");
  unreg->callback([&ctx] { ctx.action = [&ctx] { return Register(ctx, false); }; });
}

}  // namespace zancli
