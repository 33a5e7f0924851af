// The zan commands, one group per file; each Add* registers its subcommands on the app and
// sets ctx.action when one of them is chosen.
#ifndef ZAN_CLI_COMMANDS_H_
#define ZAN_CLI_COMMANDS_H_

#include <CLI/CLI.hpp>

#include <string>

#include "cli/context.h"

namespace zancli {

// projects, ls, tree
void AddBrowseCommands(CLI::App& app, Context& ctx);
// mkproject, mkfolder, mkbp, rm, props, set-props
void AddNodeCommands(CLI::App& app, Context& ctx);
// mbp get|set|get-file|set-file, info get|set
void AddDocumentCommands(CLI::App& app, Context& ctx);
// download, upload
void AddTransferCommands(CLI::App& app, Context& ctx);
// call, register, unregister
void AddModuleCommands(CLI::App& app, Context& ctx);

// A subcommand that accepts the global options after its own arguments too. summary is its
// one line in the command list; its own --help adds details (wrapped) and the examples.
CLI::App* AddCommand(CLI::App& parent, const std::string& name, const std::string& summary,
                     const std::string& details, const std::string& examples);

// Throws UsageError when text is empty ("NAME must not be empty").
void RequireNonEmpty(const std::string& text, const std::string& what);

// Throws UsageError unless id names a node below the server root: not empty, not made of
// separators only, and without "." or ".." segments (which would address the root or leave it).
void RequireNodeId(const std::string& id);

}  // namespace zancli

#endif
