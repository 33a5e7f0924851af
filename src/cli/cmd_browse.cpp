// projects, ls, tree: browsing the repository one level at a time.
#include <algorithm>
#include <iostream>
#include <memory>
#include <set>

#include "cli/commands.h"
#include "cli/format.h"
#include "cli/listing.h"

namespace zancli {

namespace {

// Lists parentId (GetProjects when isRoot) into *nodes; prints a failure and returns its exit
// code, or 0.
int List(Context& ctx, const std::string& parentId, bool isRoot, std::vector<Node>* nodes, std::string* raw) {
  Outcome r;
  int code = 0;
  if (!ctx.Call(isRoot ? "GetProjects" : "GetChildren", isRoot ? std::vector<std::string>{}
                                                                : std::vector<std::string>{parentId},
                &r, &code))
    return code;
  if (raw) *raw = r.text;
  std::string error;
  if (!ReadListing(r.text, parentId, nodes, &error)) {
    std::cerr << "zan: the module's response is not an item set: " << error << "\n";
    return kExitServerError;
  }
  // The server's order is arbitrary; people read names in order (--xml keeps the server's).
  std::stable_sort(nodes->begin(), nodes->end(), [](const Node& a, const Node& b) { return a.name < b.name; });
  return 0;
}

int PrintListing(Context& ctx, const std::string& parentId, bool isRoot) {
  std::vector<Node> nodes;
  std::string raw;
  if (int code = List(ctx, parentId, isRoot, &nodes, &raw)) return code;
  if (ctx.options.xml) {
    std::cout << ForStdout(raw) << "\n";
    return 0;
  }
  if (nodes.empty()) {
    std::cout << (isRoot ? std::string("no projects") : parentId + " has no children") << "\n";
    return 0;
  }
  std::vector<std::vector<std::string>> rows;
  for (const Node& n : nodes) rows.push_back({n.name, KindLabel(n.type), n.hasChildren ? "yes" : "no", n.id});
  std::cout << Table({"NAME", "KIND", "CHILDREN", "ID"}, rows);
  return 0;
}

struct TreeRow {
  std::string label;  // branch drawing + name
  std::string kind;
  bool hasChildren;
};

// Bounds of a tree walk, whatever the server says: levels below the start, and nodes shown.
constexpr int kMaxTreeLevels = 64;
constexpr size_t kMaxTreeRows = 100000;

// What a walk has seen: the ids listed so far (a node is listed once) and whether a guard
// stopped a descent.
struct TreeWalk {
  std::set<std::string> listed;
  bool guarded = false;
};

// Adds the subtree under parentId to rows. Descends into nodes marked as having children only:
// listing an empty node makes the module rewrite its has-children flag on the server. A child
// whose name is not one path segment (its id would name another node, even an ancestor), a
// node listed before, and anything beyond the bounds are shown but not descended into.
int Walk(Context& ctx, const std::string& parentId, bool isRoot, const std::string& indent, int depthLeft, int level,
         TreeWalk* walk, std::vector<TreeRow>* rows) {
  std::vector<Node> nodes;
  if (int code = List(ctx, parentId, isRoot, &nodes, nullptr)) return code;
  for (size_t i = 0; i < nodes.size(); ++i) {
    const Node& n = nodes[i];
    bool last = i + 1 == nodes.size();
    if (rows->size() >= kMaxTreeRows) {
      std::cerr << "zan: the tree has more than " << kMaxTreeRows << " nodes; the rest is not shown\n";
      walk->guarded = true;
      return 0;
    }
    rows->push_back({indent + (last ? "└── " : "├── ") + n.name, "[" + KindLabel(n.type) + "]", n.hasChildren});
    if (!n.hasChildren || depthLeft == 1) continue;
    if (!IsPathSegment(n.name)) {
      std::cerr << "zan: not descending into a node whose name is not a path segment: '" << n.name << "' in '"
                << parentId << "'\n";
      walk->guarded = true;
    } else if (level + 1 >= kMaxTreeLevels) {
      std::cerr << "zan: the tree is deeper than " << kMaxTreeLevels << " levels; not descending into " << n.id
                << "\n";
      walk->guarded = true;
    } else if (!walk->listed.insert(n.id).second) {
      std::cerr << "zan: " << n.id << " was listed before; not descending again\n";
      walk->guarded = true;
    } else if (int code = Walk(ctx, n.id, false, indent + (last ? "    " : "│   "), depthLeft - 1, level + 1, walk,
                               rows)) {
      return code;
    }
  }
  return 0;
}

int PrintTree(Context& ctx, const std::string& id, int depth) {
  std::vector<TreeRow> rows;
  bool isRoot = id.empty();
  std::string top;
  if (isRoot) {
    top = MaskPasswords(ctx.session().server()) + "\n";
  } else {
    // The top line names the node itself with its kind.
    Outcome r;
    int code = 0;
    if (!ctx.Call("GetProjectProperties", {id}, &r, &code)) return code;
    std::vector<std::pair<std::string, std::string>> props;
    std::string error, type;
    bool has = false;
    if (ReadProperties(r.text, &props, &error)) {
      for (const auto& [k, v] : props) {
        if (k == "ZAN_NODE_TYPE") type = v;
        if (k == "ZAN_HAS_CHILDREN") has = v == "TRUE";
      }
    }
    rows.push_back({id, "[" + KindLabel(type) + "]", has});
  }
  TreeWalk walk;
  walk.listed.insert(id);
  if (int code = Walk(ctx, id, isRoot, "", depth, 0, &walk, &rows)) return code;
  std::vector<std::vector<std::string>> table;
  for (const TreeRow& row : rows) table.push_back({row.label, row.kind, row.hasChildren ? "+" : ""});
  std::cout << TerminalSafe(top) << Table({}, table);
  // A tree the server describes as endless or with names that are no path is a server fault.
  return walk.guarded ? kExitServerError : 0;
}

}  // namespace

void AddBrowseCommands(CLI::App& app, Context& ctx) {
  CLI::App* projects = AddCommand(app, "projects", "List the projects on the server (GetProjects)",
                                  "One row per project: name, kind, whether it has children, and its id.",
                                  "  zan projects\n  zan --xml projects        # the raw response");
  projects->callback([&ctx] { ctx.action = [&ctx] { return PrintListing(ctx, "", true); }; });

  auto lsId = std::make_shared<std::string>();
  CLI::App* ls = AddCommand(app, "ls", "List the children of a node (GetChildren)",
                            "One row per child: name, kind (project, folder, bp), whether it has children, and "
                            "the id to use in other commands.",
                            "  zan ls Alpha\n  zan ls Alpha/Designs");
  ls->add_option("ID", *lsId, "the node, named by its path below the server (\"\" lists the root)");
  ls->callback([&ctx, lsId] { ctx.action = [&ctx, lsId] { return PrintListing(ctx, *lsId, false); }; });

  struct TreeArgs {
    std::string id;
    int depth = 0;
  };
  auto t = std::make_shared<TreeArgs>();
  CLI::App* tree = AddCommand(app, "tree", "Show the tree below a node or the server root",
                              "An indented tree with [kind] per node and '+' for a node that has children. It "
                              "descends only into nodes marked as having children (GetProjects, GetChildren), at "
                              "most 64 levels deep, and never into a node whose name is not one path segment.",
                              "  zan tree\n  zan tree Alpha --depth 2");
  tree->add_option("ID", t->id, "the node to start from (default: the server root)");
  tree->add_option("--depth", t->depth, "levels to show (default: all)")->check(CLI::NonNegativeNumber);
  tree->callback([&ctx, t] { ctx.action = [&ctx, t] { return PrintTree(ctx, t->id, t->depth); }; });
}

}  // namespace zancli
