// download, upload: a business process's AppFiles tree to and from a local directory.
#include <filesystem>
#include <iostream>
#include <memory>

#include "cli/commands.h"
#include "cli/format.h"
#include "cli/local_path.h"
#include "cli/progress.h"

namespace zancli {

namespace {

struct TransferArgs {
  std::string id;
  std::string dir;
  std::string env;
};

std::string Summary(const DirStats& s) {
  return std::to_string(s.files) + (s.files == 1 ? " file, " : " files, ") + HumanBytes(s.bytes);
}

int Download(Context& ctx, const TransferArgs& a) {
  Session& session = ctx.session();
  Outcome r;
  {
    TransferProgress progress(ctx.ShowProgress(), "downloading", a.dir, true, {});
    r = session.Call("DownloadBP", {a.id, a.dir, a.env});
  }
  if (!r.ok()) return ctx.PrintFailure("DownloadBP", r);
  if (ctx.options.xml) {
    std::cout << ForStdout(r.text) << "\n";
    return 0;
  }
  std::cout << "downloaded " << a.id << " for environment " << a.env << " into " << a.dir << " (now holding "
            << Summary(CountFiles(a.dir)) << ")\n";
  return 0;
}

int Upload(Context& ctx, const TransferArgs& a) {
  std::error_code ec;
  if (!std::filesystem::is_directory(LocalPath(a.dir), ec)) throw UsageError(a.dir + " is not a directory");
  Session& session = ctx.session();
  DirStats total = CountFiles(a.dir);
  Outcome r;
  {
    TransferProgress progress(ctx.ShowProgress(), "uploading", a.dir, false, total);
    r = session.Call("UploadBP", {a.id, a.dir});
  }
  if (!r.ok()) return ctx.PrintFailure("UploadBP", r);
  if (ctx.options.xml) {
    std::cout << ForStdout(r.text) << "\n";
    return 0;
  }
  std::cout << "uploaded " << a.dir << " (" << Summary(total) << ") as the AppFiles of " << a.id << "\n";
  return 0;
}

}  // namespace

void AddTransferCommands(CLI::App& app, Context& ctx) {
  auto d = std::make_shared<TransferArgs>();
  CLI::App* download = AddCommand(
      app, "download", "Copy a business process's files into a local directory (DownloadBP)",
      "Copies the AppFiles tree for one environment: every downloaded .usr file gets the environment's "
      "ParameterFile and DefaultCfg in its [General] section. Local files the server does not have stay. "
      "Shows progress on a terminal.",
      "  zan download Alpha/Designs/Billing ./billing --env 1");
  download->add_option("ID", d->id, "the business process's id")->required();
  download->add_option("DIR", d->dir, "the local directory (created when missing)")->required();
  download->add_option("--env,-e", d->env, "the environment: a pkid of the MBP's dataset and profile defaults")
      ->required();
  download->callback([&ctx, d] {
    ctx.action = [&ctx, d] {
      RequireNodeId(d->id);
      RequireNonEmpty(d->dir, "DIR");
      return Download(ctx, *d);
    };
  });

  auto u = std::make_shared<TransferArgs>();
  CLI::App* upload = AddCommand(app, "upload", "Copy a local directory up as a business process's files (UploadBP)",
                                "The AppFiles tree on the server then holds exactly what the directory holds. "
                                "Shows progress on a terminal.",
                                "  zan upload Alpha/Designs/Billing ./billing");
  upload->add_option("ID", u->id, "the business process's id")->required();
  upload->add_option("DIR", u->dir, "the local directory")->required();
  upload->callback([&ctx, u] {
    ctx.action = [&ctx, u] {
      RequireNodeId(u->id);
      return Upload(ctx, *u);
    };
  });
}

}  // namespace zancli
