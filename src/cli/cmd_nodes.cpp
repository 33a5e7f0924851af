// mkproject, mkfolder, mkbp, rm, props, set-props: creating, deleting and describing nodes.
#include <iostream>
#include <memory>

#include "cli/commands.h"
#include "cli/format.h"
#include "cli/listing.h"
#include "cli/xml_text.h"

namespace zancli {

namespace {

using Properties = std::vector<std::pair<std::string, std::string>>;

struct PropArgs {
  std::vector<std::string> props;  // NAME=VALUE
  std::string file;                // an item-set XML file
};

void AddPropOptions(CLI::App* cmd, PropArgs& a) {
  cmd->add_option("--prop", a.props, "a property NAME=VALUE to store on the node (repeatable)")
      ->expected(1)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  cmd->add_option("--props-file", a.file, "properties as item-set XML: <QKXItem><NAME>VALUE</NAME>...</QKXItem>");
}

// The properties of --props-file then --prop, checked; throws UsageError on bad input.
Properties CollectProperties(const PropArgs& a, const std::vector<std::string>& more = {}) {
  Properties props;
  std::string error;
  if (!a.file.empty() && !ParseProperties(ReadInput(a.file), &props, &error))
    throw UsageError("bad properties in " + a.file + ": " + error);
  std::vector<std::string> args = a.props;
  args.insert(args.end(), more.begin(), more.end());
  for (const std::string& arg : args) {
    std::pair<std::string, std::string> p;
    if (!ParsePropertyArg(arg, &p, &error)) throw UsageError("bad property: " + error);
    props.push_back(std::move(p));
  }
  return props;
}

enum class Kind { kProject, kFolder, kBp };

struct KindArgs {
  bool project = false;
  bool folder = false;
  bool bp = false;
};

void AddKindFlags(CLI::App* cmd, KindArgs& k) {
  auto* p = cmd->add_flag("--project", k.project, "the node is a project");
  auto* f = cmd->add_flag("--folder", k.folder, "the node is a folder");
  auto* b = cmd->add_flag("--bp", k.bp, "the node is a business process");
  p->excludes(f)->excludes(b);
  f->excludes(b);
}

const char* KindName(Kind k) { return k == Kind::kProject ? "project" : k == Kind::kFolder ? "folder" : "bp"; }

// The operation of that family for the kind: Get/Set/Delete + Project/Folder/BusinessProcess.
const char* OperationFor(const std::string& family, Kind k) {
  static const char* names[3][3] = {
      {"GetProjectProperties", "GetFolderProperties", "GetBusinessProcessProperties"},
      {"SetProjectProperties", "SetFolderProperties", "SetBusinessProcessProperties"},
      {"DeleteProject", "DeleteFolder", "DeleteBusinessProcess"},
  };
  int row = family == "Get" ? 0 : family == "Set" ? 1 : 2;
  return names[row][static_cast<int>(k)];
}

// The node's kind from the flags, else read from its ZAN_NODE_TYPE. Returns 0, or the exit
// code of a failure it printed.
int ResolveKind(Context& ctx, const std::string& id, const KindArgs& flags, Kind* kind) {
  if (flags.project || flags.folder || flags.bp) {
    *kind = flags.project ? Kind::kProject : flags.folder ? Kind::kFolder : Kind::kBp;
    return 0;
  }
  Outcome r;
  int code = 0;
  if (!ctx.Call("GetProjectProperties", {id}, &r, &code)) return code;
  Properties props;
  std::string error, type;
  if (!ReadProperties(r.text, &props, &error)) {
    std::cerr << "zan: the module's response is not an item set: " << error << "\n";
    return kExitServerError;
  }
  for (const auto& [k, v] : props)
    if (k == "ZAN_NODE_TYPE") type = v;
  if (type == "ZAN_PROJECT") *kind = Kind::kProject;
  else if (type == "ZAN_FOLDER") *kind = Kind::kFolder;
  else if (type == "ZAN_BP") *kind = Kind::kBp;
  else
    throw UsageError("cannot tell what " + id + " is (its ZAN_NODE_TYPE is " +
                     (type.empty() ? std::string("missing") : "'" + type + "'") +
                     "); pass --project, --folder or --bp");
  return 0;
}

int Create(Context& ctx, const char* op, const std::vector<std::string>& args, const std::string& what) {
  Outcome r;
  int code = 0;
  if (!ctx.Call(op, args, &r, &code)) return code;
  if (ctx.options.xml)
    std::cout << ForStdout(r.text) << "\n";
  else
    std::cout << "created " << what << "\n";
  return 0;
}

int ShowProps(Context& ctx, const std::string& id, const KindArgs& flags) {
  Kind kind;
  if (int code = ResolveKind(ctx, id, flags, &kind)) return code;
  Outcome r;
  int code = 0;
  if (!ctx.Call(OperationFor("Get", kind), {id}, &r, &code)) return code;
  if (ctx.options.xml) {
    std::cout << ForStdout(r.text) << "\n";
    return 0;
  }
  Properties props;
  std::string error;
  if (!ReadProperties(r.text, &props, &error)) {
    std::cerr << "zan: the module's response is not an item set: " << error << "\n";
    return kExitServerError;
  }
  std::vector<std::vector<std::string>> rows;
  for (const auto& [k, v] : props) rows.push_back({k, v});
  std::cout << Table({"PROPERTY", "VALUE"}, rows);
  return 0;
}

int SetProps(Context& ctx, const std::string& id, const Properties& props, const KindArgs& flags) {
  Kind kind;
  if (int code = ResolveKind(ctx, id, flags, &kind)) return code;
  Outcome r;
  int code = 0;
  if (!ctx.Call(OperationFor("Set", kind), {id, BuildProperties(props)}, &r, &code)) return code;
  if (ctx.options.xml)
    std::cout << ForStdout(r.text) << "\n";
  else
    std::cout << "set " << props.size() << (props.size() == 1 ? " property" : " properties") << " on "
              << KindName(kind) << " " << id << "\n";
  return 0;
}

int Remove(Context& ctx, const std::string& id, const KindArgs& flags) {
  Kind kind;
  if (int code = ResolveKind(ctx, id, flags, &kind)) return code;
  Outcome r;
  int code = 0;
  if (!ctx.Call(OperationFor("Delete", kind), {id}, &r, &code)) return code;
  if (ctx.options.xml)
    std::cout << ForStdout(r.text) << "\n";
  else
    std::cout << "deleted " << KindName(kind) << " " << id << "\n";
  return 0;
}

}  // namespace

void AddNodeCommands(CLI::App& app, Context& ctx) {
  struct CreateArgs {
    std::string parent;
    std::string name;
    PropArgs props;
  };

  auto mp = std::make_shared<CreateArgs>();
  CLI::App* mkproject = AddCommand(app, "mkproject", "Create a project (CreateProject)",
                                   "The project is created under the server root and receives a copy of the "
                                   "server's project-information template; --prop values are stored on it.",
                                   "  zan mkproject Alpha --prop ZAN_DESCRIPTION=Sales");
  mkproject->add_option("NAME", mp->name, "the project's name (its id)")->required();
  AddPropOptions(mkproject, mp->props);
  mkproject->callback([&ctx, mp] {
    ctx.action = [&ctx, mp] {
      RequireNonEmpty(mp->name, "NAME");
      std::string props = BuildProperties(CollectProperties(mp->props));
      return Create(ctx, "CreateProject", {mp->name, props}, "project " + mp->name);
    };
  });

  auto mf = std::make_shared<CreateArgs>();
  CLI::App* mkfolder = AddCommand(app, "mkfolder", "Create a folder under a node (CreateFolder)",
                                  "--prop values are stored on the new folder.",
                                  "  zan mkfolder Alpha Designs --prop ZAN_DESCRIPTION=\"Design work\"");
  mkfolder->add_option("PARENT", mf->parent, "the parent node's id")->required();
  mkfolder->add_option("NAME", mf->name, "the folder's name")->required();
  AddPropOptions(mkfolder, mf->props);
  mkfolder->callback([&ctx, mf] {
    ctx.action = [&ctx, mf] {
      RequireNonEmpty(mf->name, "NAME");
      std::string props = BuildProperties(CollectProperties(mf->props));
      return Create(ctx, "CreateFolder", {mf->parent, mf->name, props}, "folder " + ChildId(mf->parent, mf->name));
    };
  });

  auto mb = std::make_shared<CreateArgs>();
  CLI::App* mkbp = AddCommand(app, "mkbp", "Create a business process under a node (CreateBusinessProcess)",
                              "Its MBP.xml starts from the server's MBP template. The module stores no caller "
                              "properties at this creation, so zan writes --prop values afterwards "
                              "(SetBusinessProcessProperties).",
                              "  zan mkbp Alpha/Designs Billing\n"
                              "  zan mkbp Alpha/Designs Invoicing --prop ZAN_DESCRIPTION=Invoices");
  mkbp->add_option("PARENT", mb->parent, "the parent node's id")->required();
  mkbp->add_option("NAME", mb->name, "the business process's name")->required();
  AddPropOptions(mkbp, mb->props);
  mkbp->callback([&ctx, mb] {
    ctx.action = [&ctx, mb] {
      RequireNonEmpty(mb->name, "NAME");
      Properties props = CollectProperties(mb->props);
      std::string id = ChildId(mb->parent, mb->name);
      if (int code = Create(ctx, "CreateBusinessProcess", {mb->parent, mb->name, BuildProperties(props)},
                            "business process " + id))
        return code;
      if (props.empty()) return 0;
      KindArgs bp;
      bp.bp = true;
      return SetProps(ctx, id, props, bp);
    };
  });

  struct NodeArgs {
    std::string id;
    KindArgs kind;
    std::vector<std::string> props;
    PropArgs propArgs;
  };

  auto rmArgs = std::make_shared<NodeArgs>();
  CLI::App* rm = AddCommand(app, "rm", "Delete a node with everything below it",
                            "Calls DeleteProject, DeleteFolder or DeleteBusinessProcess, chosen by the node's kind "
                            "as read from its properties, or by --project/--folder/--bp. A node that does not "
                            "exist is reported as not found before anything is deleted.",
                            "  zan rm Alpha/Designs/Billing\n  zan rm Alpha --project");
  rm->add_option("ID", rmArgs->id, "the node's id")->required();
  AddKindFlags(rm, rmArgs->kind);
  rm->callback([&ctx, rmArgs] {
    ctx.action = [&ctx, rmArgs] {
      RequireNodeId(rmArgs->id);
      return Remove(ctx, rmArgs->id, rmArgs->kind);
    };
  });

  auto propsArgs = std::make_shared<NodeArgs>();
  CLI::App* props = AddCommand(app, "props", "Show a node's properties",
                               "Shows the properties the module reads: ZAN_NAME, ZAN_NODE_TYPE, ZAN_HAS_CHILDREN "
                               "and ZAN_DESCRIPTION. Calls GetProjectProperties, GetFolderProperties or "
                               "GetBusinessProcessProperties, chosen by the node's kind as read from its "
                               "properties, or by a flag.",
                               "  zan props Alpha\n  zan props Alpha/Designs --folder");
  props->add_option("ID", propsArgs->id, "the node's id")->required();
  AddKindFlags(props, propsArgs->kind);
  props->callback([&ctx, propsArgs] {
    ctx.action = [&ctx, propsArgs] {
      RequireNodeId(propsArgs->id);
      return ShowProps(ctx, propsArgs->id, propsArgs->kind);
    };
  });

  auto setArgs = std::make_shared<NodeArgs>();
  CLI::App* setProps = AddCommand(app, "set-props", "Write properties on a node",
                                  "Calls SetProjectProperties, SetFolderProperties or SetBusinessProcessProperties, "
                                  "chosen by the node's kind or by a flag. Every property is checked before "
                                  "anything is sent: names are XML names without ':' or spaces, and a "
                                  "--props-file must be a flat item set.",
                                  "  zan set-props Alpha/Designs ZAN_DESCRIPTION=\"Design work\" Owner=kim\n"
                                  "  zan set-props Alpha --props-file props.xml");
  setProps->add_option("ID", setArgs->id, "the node's id")->required();
  setProps->add_option("NAME=VALUE", setArgs->props, "properties to write");
  setProps->add_option("--props-file", setArgs->propArgs.file,
                       "properties as item-set XML: <QKXItem><NAME>VALUE</NAME>...</QKXItem>");
  AddKindFlags(setProps, setArgs->kind);
  setProps->callback([&ctx, setArgs] {
    ctx.action = [&ctx, setArgs] {
      RequireNodeId(setArgs->id);
      Properties p = CollectProperties(setArgs->propArgs, setArgs->props);
      if (p.empty()) throw UsageError("set-props needs at least one NAME=VALUE or --props-file");
      return SetProps(ctx, setArgs->id, p, setArgs->kind);
    };
  });
}

}  // namespace zancli
