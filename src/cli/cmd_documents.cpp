// mbp get|set|get-file|set-file and info get|set: the MBP document of a business process and
// the project-information document of a project.
#include <iostream>
#include <memory>

#include "cli/commands.h"
#include "cli/format.h"
#include "cli/xml_text.h"

namespace zancli {

namespace {

struct DocArgs {
  std::string id;
  std::string file;  // input file, output file or directory, by command
};

// Prints a document: the raw text with --xml, else indented for reading.
void PrintDocument(Context& ctx, const std::string& text) {
  std::cout << (ctx.options.xml ? ForStdout(text) + "\n" : TerminalSafe(Indented(text)));
  std::cout.flush();
}

int GetDocument(Context& ctx, const char* op, const DocArgs& a) {
  Outcome r;
  int code = 0;
  if (!ctx.Call(op, {a.id}, &r, &code)) return code;
  if (!a.file.empty()) {
    WriteOutput(a.file, r.text);
    std::cout << "wrote " << a.file << "\n";
    return 0;
  }
  PrintDocument(ctx, r.text);
  return 0;
}

// Sends a changed copy; the module merges the elements marked dirty="1" into the stored document
// and answers the merged document, which is printed.
int SetDocument(Context& ctx, const char* op, const char* root, const DocArgs& a) {
  std::string text = ReadInput(a.file);
  std::string error;
  if (!CheckDocument(text, root, &error)) throw UsageError("bad document " + a.file + ": " + error);
  Outcome r;
  int code = 0;
  if (!ctx.Call(op, {a.id, text}, &r, &code)) return code;
  PrintDocument(ctx, r.text);
  return 0;
}

}  // namespace

void AddDocumentCommands(CLI::App& app, Context& ctx) {
  CLI::App* mbp = app.add_subcommand("mbp", "Read or update the MBP document of a business process");
  mbp->fallthrough();
  mbp->require_subcommand(0, 1);
  mbp->footer(
      "Examples:\n  zan mbp get Alpha/Designs/Billing -o mbp.xml\n"
      "  zan mbp set Alpha/Designs/Billing mbp.xml\n");

  auto get = std::make_shared<DocArgs>();
  CLI::App* g = AddCommand(*mbp, "get", "Print the MBP document (GetMBP)",
                           "Printed indented for reading; --xml prints it as the module returns it, and -o writes "
                           "that text to a file. The copy carries the process's id on /mbp/bp.",
                           "  zan mbp get Alpha/Designs/Billing\n  zan mbp get Alpha/Designs/Billing -o mbp.xml");
  g->add_option("ID", get->id, "the business process's id")->required();
  g->add_option("-o,--output", get->file, "write the document, exactly as returned, to this file");
  g->callback([&ctx, get] {
    ctx.action = [&ctx, get] {
      RequireNodeId(get->id);
      return GetDocument(ctx, "GetMBP", *get);
    };
  });

  auto set = std::make_shared<DocArgs>();
  CLI::App* s = AddCommand(*mbp, "set", "Merge a changed copy into the MBP document (SetMBP)",
                           "Mark each changed element with dirty=\"1\": it replaces the stored element with "
                           "everything below it. Unmarked elements keep the server's content, new elements are "
                           "added, nothing is deleted. Prints the merged document as stored.",
                           "  zan mbp get Alpha/Designs/Billing -o mbp.xml\n"
                           "  # edit mbp.xml: <default pkid=\"1\" refid=\"4\" dirty=\"1\"/>\n"
                           "  zan mbp set Alpha/Designs/Billing mbp.xml");
  s->add_option("ID", set->id, "the business process's id")->required();
  s->add_option("FILE", set->file, "the changed document (- reads standard input)")->required();
  s->callback([&ctx, set] {
    ctx.action = [&ctx, set] {
      RequireNodeId(set->id);
      return SetDocument(ctx, "SetMBP", "mbp", *set);
    };
  });

  auto getFile = std::make_shared<DocArgs>();
  CLI::App* gf = AddCommand(*mbp, "get-file", "Write the MBP document into DIR/MBP.xml (GetMBPFile)",
                            "The module itself writes the file; DIR must exist.",
                            "  zan mbp get-file Alpha/Designs/Billing ./work");
  gf->add_option("ID", getFile->id, "the business process's id")->required();
  gf->add_option("DIR", getFile->file, "an existing local directory")->required();
  gf->callback([&ctx, getFile] {
    ctx.action = [&ctx, getFile] {
      RequireNodeId(getFile->id);
      Outcome r;
      int code = 0;
      if (!ctx.Call("GetMBPFile", {getFile->id, getFile->file}, &r, &code)) return code;
      std::cout << "wrote " << getFile->file << "/MBP.xml\n";
      return 0;
    };
  });

  auto setFile = std::make_shared<DocArgs>();
  CLI::App* sf = AddCommand(*mbp, "set-file", "Merge a changed copy read from a file (SetMBPFile)",
                            "The module itself reads the file; zan checks it first, so a missing or malformed "
                            "file changes nothing.",
                            "  zan mbp set-file Alpha/Designs/Billing ./work/MBP.xml");
  sf->add_option("ID", setFile->id, "the business process's id")->required();
  sf->add_option("FILE", setFile->file, "the changed document")->required();
  sf->callback([&ctx, setFile] {
    ctx.action = [&ctx, setFile] {
      RequireNodeId(setFile->id);
      std::string error;
      if (!CheckDocument(ReadInput(setFile->file), "mbp", &error))
        throw UsageError("bad document " + setFile->file + ": " + error);
      Outcome r;
      int code = 0;
      if (!ctx.Call("SetMBPFile", {setFile->id, setFile->file}, &r, &code)) return code;
      PrintDocument(ctx, r.text);
      return 0;
    };
  });

  CLI::App* info = app.add_subcommand("info", "Read or update the project-information document of a project");
  info->fallthrough();
  info->require_subcommand(0, 1);
  info->footer("Examples:\n  zan info get Alpha\n  zan info set Alpha mpr.xml\n");

  auto iget = std::make_shared<DocArgs>();
  CLI::App* ig = AddCommand(*info, "get", "Print the project information (GetProjectInfo)",
                            "Printed indented for reading; --xml prints it as the module returns it, and -o writes "
                            "that text to a file. Its projectName holds the project's id.",
                            "  zan info get Alpha\n  zan info get Alpha -o mpr.xml");
  ig->add_option("PROJECT", iget->id, "the project's id")->required();
  ig->add_option("-o,--output", iget->file, "write the document, exactly as returned, to this file");
  ig->callback([&ctx, iget] {
    ctx.action = [&ctx, iget] {
      RequireNodeId(iget->id);
      return GetDocument(ctx, "GetProjectInfo", *iget);
    };
  });

  auto iset = std::make_shared<DocArgs>();
  CLI::App* is = AddCommand(*info, "set", "Merge a changed copy into the project information (SetProjectInfo)",
                            "Mark changed elements with dirty=\"1\"; prints the merged document as stored.",
                            "  zan info set Alpha mpr.xml");
  is->add_option("PROJECT", iset->id, "the project's id")->required();
  is->add_option("FILE", iset->file, "the changed document (- reads standard input)")->required();
  is->callback([&ctx, iset] {
    ctx.action = [&ctx, iset] {
      RequireNodeId(iset->id);
      return SetDocument(ctx, "SetProjectInfo", "projectinfo", *iset);
    };
  });
}

}  // namespace zancli
