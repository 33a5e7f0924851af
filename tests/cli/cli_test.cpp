// zan end to end: the built binary against the real Apache server, each command's output and
// exit code, and bad input refused before anything reaches the server.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "cli/zan_process.h"
#include "platform/http/transport.h"
#include "support/dav_server.h"
#include "support/fault_server.h"
#include "support/host.h"
#include "support/temp_dir.h"

namespace zan::test {
namespace {

static const bool kDavServer = DavServer::Register();

// A URL nothing listens on: the discard port of the loopback address.
const char* kDeadServer = "http://127.0.0.1:9";

std::string Describe(const ZanRun& r) {
  return "exit " + std::to_string(r.code) + "\n--- stdout\n" + r.out + "--- stderr\n" + r.err;
}

// NAME -> VALUE from a two-column table (the header row included).
std::map<std::string, std::string> Columns(const std::string& table) {
  std::map<std::string, std::string> out;
  std::istringstream lines(table);
  for (std::string line; std::getline(lines, line);) {
    size_t gap = line.find("  ");
    if (gap == std::string::npos) continue;
    out[line.substr(0, gap)] = line.substr(line.find_first_not_of(' ', gap));
  }
  return out;
}

class CliTest : public DavTest {
 protected:
  // zan --server R ARGS, with this test's own registry file.
  ZanRun Zan(std::vector<std::string> args, const std::string& stdinText = "") {
    args.insert(args.begin(), {"--server", R()});
    return RunZan(args, {{"ZANCLIENT_REGISTRY", temp_ / "registry"}}, stdinText);
  }
  // The standard output of a command that must succeed quietly.
  std::string Ok(const std::vector<std::string>& args) {
    ZanRun r = Zan(args);
    EXPECT_EQ(0, r.code) << Describe(r);
    EXPECT_EQ("", r.err) << Describe(r);
    return r.out;
  }
  // Requests the server has logged for this test's root so far. Apache writes a log line
  // after the response has gone out, so the count is read until it stops changing.
  int ServerRequests() {
    int last = LoggedRequests();
    for (int stable = 0, tries = 0; stable < 3 && tries < 40; ++tries) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      const int now = LoggedRequests();
      stable = now == last ? stable + 1 : 0;
      last = now;
    }
    return last;
  }
  int LoggedRequests() {
    std::ifstream log(DavServer::Dir() + "/logs/access.log");
    const std::string path = R().substr(Server().size());
    int n = 0;
    for (std::string line; std::getline(log, line);)
      if (line.find(" " + path + "/") != std::string::npos || line.find(" " + path + " ") != std::string::npos) ++n;
    return n;
  }
  void MakeTree() {
    Ok({"mkproject", "Alpha", "--prop", "ZAN_DESCRIPTION=Sales"});
    Ok({"mkfolder", "Alpha", "Designs"});
    Ok({"mkbp", "Alpha/Designs", "Billing"});
  }
  std::string Mbp() { return Get(Url("Alpha/Designs/Billing/MBP.xml")); }

  TempDir temp_;
};

TEST(CliHelp, EveryCommandHasHelpWithAnExample) {
  ZanRun top = RunZan({"--help"});
  EXPECT_EQ(0, top.code);
  EXPECT_NE(std::string::npos, top.out.find("Exit codes:")) << top.out;
  EXPECT_NE(std::string::npos, top.out.find("3  not found")) << top.out;
  for (const char* cmd : {"projects", "ls", "tree", "mkproject", "mkfolder", "mkbp", "rm", "props", "set-props",
                          "mbp get", "mbp set", "mbp get-file", "mbp set-file", "info get", "info set", "download",
                          "upload", "call", "register", "unregister", "mbp", "info"}) {
    std::vector<std::string> args;
    std::istringstream words(cmd);
    for (std::string w; words >> w;) args.push_back(w);
    args.push_back("--help");
    ZanRun r = RunZan(args);
    EXPECT_EQ(0, r.code) << cmd << "\n" << Describe(r);
    EXPECT_NE(std::string::npos, r.out.find("Example")) << cmd << "\n" << r.out;
  }
}

TEST(CliUsage, BadInputIsRefusedBeforeTheServerWithExitCode2) {
  struct Case {
    std::vector<std::string> args;
    int code;
    const char* message;
  };
  const std::string s = kDeadServer;
  const Case cases[] = {
      {{}, 2, "a command is required"},
      {{"bogus"}, 2, "unknown command 'bogus'"},
      {{"mbp", "bogus"}, 2, "zan mbp: unknown command 'bogus'"},
      {{"--server", s, "mkfolder", "Alpha"}, 2, "NAME is required"},
      {{"--server", s, "ls", "a", "b"}, 2, "unexpected argument 'b'"},
      {{"--server", s, "call", "Foo"}, 2, "unknown operation 'Foo'"},
      {{"--server", s, "call", "GetChildren"}, 2, "GetChildren takes 1 argument after the server (Parent), got 0"},
      {{"--server", s, "call", "SetFolderProperties", "A", "<QKXItem><a>1</a"}, 2, "bad Properties: not well-formed"},
      {{"--server", s, "call", "SetFolderProperties", "A", ""}, 2, "Properties is empty"},
      {{"--server", s, "call", "SetMBP", "A", "<mpb/>"}, 2, "expected <mbp>"},
      {{"--server", s, "set-props", "A", "a b=1"}, 2, "'a b' is not a property name"},
      {{"--server", s, "set-props", "A", "a:b=1"}, 2, "'a:b' is not a property name"},
      {{"--server", s, "set-props", "A", "noequals"}, 2, "'noequals' is not NAME=VALUE"},
      {{"--server", s, "set-props", "A"}, 2, "needs at least one NAME=VALUE"},
      {{"--server", s, "mkproject", "A", "--prop", "QKXItem=1"}, 2, "contains QKXItem"},
      {{"--server", s, "rm", "/"}, 2, "'/' does not name a node"},
      {{"--server", s, "rm", "Alpha/.."}, 2, "'Alpha/..' does not name a node"},
      {{"--server", s, "rm", "A", "--folder", "--bp"}, 2, "excludes"},
      {{"--server", s, "mbp", "set", "A", "/nonexistent.xml"}, 2, "cannot read /nonexistent.xml"},
      {{"--server", s, "download", "A", "dir"}, 2, "--env is required"},
      {{"--server", s, "upload", "A", "/nonexistent-dir"}, 2, "/nonexistent-dir is not a directory"},
      {{"ls", "A"}, 4, "no server: pass --server URL or set ZAN_SERVER"},
      // The system's own reason (dlopen's, or Windows' text and number).
      {{"--module", "/nonexistent/ZANClient.so", "--server", s, "ls", "A"}, 5,
       OnWindows() ? "(error 126)" : "cannot open shared object"},
  };
  for (const Case& c : cases) {
    ZanRun r = RunZan(c.args);
    std::string args;
    for (const auto& a : c.args) args += " '" + a + "'";
    EXPECT_EQ(c.code, r.code) << "zan" << args << "\n" << Describe(r);
    EXPECT_NE(std::string::npos, r.err.find(c.message)) << "zan" << args << "\n" << Describe(r);
    EXPECT_EQ("", r.out) << "zan" << args;
  }
}

TEST_F(CliTest, BuildsAndShowsTheRepository) {
  EXPECT_EQ("no projects\n", Ok({"projects"}));
  EXPECT_EQ("created project Alpha\n", Ok({"mkproject", "Alpha", "--prop", "ZAN_DESCRIPTION=Sales"}));
  EXPECT_EQ("created folder Alpha/Designs\n", Ok({"mkfolder", "Alpha", "Designs"}));
  EXPECT_EQ("created business process Alpha/Designs/Billing\n", Ok({"mkbp", "Alpha/Designs", "Billing"}));
  EXPECT_EQ("created business process Alpha/Designs/Audit\n", Ok({"mkbp", "Alpha/Designs", "Audit"}));

  EXPECT_EQ(
      "NAME   KIND     CHILDREN  ID\n"
      "Alpha  project  yes       Alpha\n",
      Ok({"projects"}));
  EXPECT_EQ(
      "NAME     KIND  CHILDREN  ID\n"
      "Audit    bp    no        Alpha/Designs/Audit\n"
      "Billing  bp    no        Alpha/Designs/Billing\n",
      Ok({"ls", "Alpha/Designs"}));
  EXPECT_EQ("Alpha/Designs/Billing has no children\n", Ok({"ls", "Alpha/Designs/Billing"}));
  EXPECT_EQ(R() + "\n"
                  "└── Alpha            [project]  +\n"
                  "    └── Designs      [folder]   +\n"
                  "        ├── Audit    [bp]\n"
                  "        └── Billing  [bp]\n",
            Ok({"tree"}));
  EXPECT_EQ(
      "Alpha        [project]  +\n"
      "└── Designs  [folder]   +\n",
      Ok({"tree", "Alpha", "--depth", "1"}));

  std::map<std::string, std::string> props = Columns(Ok({"props", "Alpha"}));
  EXPECT_EQ("VALUE", props["PROPERTY"]);
  EXPECT_EQ("Sales", props["ZAN_DESCRIPTION"]);
  EXPECT_EQ("ZAN_PROJECT", props["ZAN_NODE_TYPE"]);
  EXPECT_EQ("TRUE", props["ZAN_HAS_CHILDREN"]);
  EXPECT_EQ("ZAN_BP", Columns(Ok({"props", "Alpha/Designs/Billing"}))["ZAN_NODE_TYPE"]);

  std::string raw = Ok({"--xml", "ls", "Alpha"});
  EXPECT_EQ(0u, raw.find("<?xml")) << raw;
  EXPECT_NE(std::string::npos, raw.find("<ZAN_NAME>Designs</ZAN_NAME>")) << raw;
  // Global options work after the command too.
  EXPECT_EQ(raw, Ok({"ls", "Alpha", "--xml"}));
}

// Writes the node properties straight on the server, as an older client or another tool could.
// As the module writes them, so that lighttpd stores them all: the collection URL in the
// slash form, one <set> per property (lighttpd does not store every one of several in one).
int SetNodeProperties(const std::string& url, const std::string& name, const std::string& type,
                      const std::string& hasChildren) {
  const std::string body =
      "<?xml version=\"1.0\"?><D:propertyupdate xmlns:D=\"DAV:\"><D:set><D:prop><D:ZAN_NAME>" + name +
      "</D:ZAN_NAME></D:prop></D:set><D:set><D:prop><D:ZAN_NODE_TYPE>" + type +
      "</D:ZAN_NODE_TYPE></D:prop></D:set><D:set><D:prop><D:ZAN_HAS_CHILDREN>" + hasChildren +
      "</D:ZAN_HAS_CHILDREN></D:prop></D:set></D:propertyupdate>";
  http::Request request;
  request.method = "PROPPATCH";
  request.url = url + "/";
  request.headers = {{"Content-Type", "text/xml; charset=utf-8"}};
  request.body = body;
  return static_cast<int>(http::Perform(request).status);
}

// The status a server answers a PROPPATCH that stored every property with.
int Stored() { return DavServer::IsLighttpd() ? 204 : 207; }

TEST_F(CliTest, TreeEndsOnAnyRepositoryWithNamesThatAreNoPathAndBoundsItsDepth) {
  MakeTree();
  // The module refuses to store such a name ...
  ZanRun r = Zan({"set-props", "Alpha/Designs", "ZAN_NAME=.."});
  EXPECT_EQ(2, r.code) << Describe(r);
  EXPECT_NE(std::string::npos, r.err.find("Invalid value '..' for ZAN_NAME")) << Describe(r);
  // ... but a server may hold one already: its listing would name the parent again.
  ASSERT_EQ(Stored(), SetNodeProperties(Url("Alpha/Designs"), "..", "ZAN_FOLDER", "TRUE"));
  r = Zan({"tree"});
  EXPECT_EQ(1, r.code) << Describe(r);
  EXPECT_EQ(R() + "\n"
                  "└── Alpha   [project]  +\n"
                  "    └── ..  [folder]   +\n",
            r.out);
  EXPECT_NE(std::string::npos, r.err.find("not descending into a node whose name is not a path segment: '..'"))
      << Describe(r);

  // A chain deeper than any tree zan descends: shown to the bound, then a note.
  ASSERT_EQ(Stored(), SetNodeProperties(Url("Alpha/Designs"), "Designs", "ZAN_FOLDER", "TRUE"));
  std::string chain = "Alpha/Designs/Billing";
  for (int level = 0; level < 66; ++level) {
    chain += "/n";
    ASSERT_EQ(201, Mkcol(Url(chain)));
    ASSERT_EQ(Stored(), SetNodeProperties(Url(chain), "n", "ZAN_FOLDER", "TRUE"));
  }
  ASSERT_EQ(Stored(), SetNodeProperties(Url("Alpha/Designs/Billing"), "Billing", "ZAN_BP", "TRUE"));
  r = Zan({"tree", "Alpha"});
  EXPECT_EQ(1, r.code) << Describe(r);
  EXPECT_NE(std::string::npos, r.err.find("the tree is deeper than 64 levels")) << Describe(r);
  EXPECT_EQ(1 + 64, std::count(r.out.begin(), r.out.end(), '\n')) << r.out;  // Alpha, then 64 levels
}

TEST_F(CliTest, WritesPropertiesAndRefusesMalformedOnesWithoutTouchingTheServer) {
  MakeTree();
  EXPECT_EQ("set 2 properties on folder Alpha/Designs\n",
            Ok({"set-props", "Alpha/Designs", "ZAN_DESCRIPTION=Design work", "Owner=kim <k&m>"}));
  temp_.Write("props.xml", "<QKXItem>\n  <Reviewer>lee</Reviewer>\n  <!-- a note -->\n</QKXItem>\n");
  EXPECT_EQ("set 1 property on bp Alpha/Designs/Billing\n",
            Ok({"set-props", "Alpha/Designs/Billing", "--props-file", temp_ / "props.xml"}));
  // props shows the four properties the module reads; the others are on the server.
  EXPECT_EQ("Design work", Columns(Ok({"props", "Alpha/Designs"}))["ZAN_DESCRIPTION"]);
  EXPECT_NE(std::string::npos, Propfind(Url("Alpha/Designs"), "0").find("kim &lt;k&amp;m&gt;"));
  EXPECT_NE(std::string::npos, Propfind(Url("Alpha/Designs/Billing"), "0").find(">lee<"));

  // Apache marks an ETag weak for the first second after a change; only the mark may differ.
  const auto stored = [&] {
    std::string text = Propfind(Url("Alpha/Designs"), "0");
    if (const size_t weak = text.find("getetag>W/"); weak != std::string::npos) text.erase(weak + 8, 2);
    return text;
  };
  const std::string before = stored();
  const int requests = ServerRequests();
  struct Case {
    std::vector<std::string> args;
    const char* file;  // content of bad.xml, when the case reads it
    const char* message;
  };
  const Case cases[] = {
      {{"set-props", "Alpha/Designs", "--props-file", temp_ / "bad.xml"}, "<QKXItem><Owner>x</Owner", "not well-formed"},
      {{"set-props", "Alpha/Designs", "--props-file", temp_ / "bad.xml"}, "<QKXItem>text</QKXItem>", "outside an item"},
      {{"set-props", "Alpha/Designs", "--props-file", temp_ / "bad.xml"},
       "<QKXItem><Owner><x/></Owner></QKXItem>", "holds elements"},
      {{"set-props", "Alpha/Designs", "--props-file", temp_ / "bad.xml"}, "", "not well-formed"},
      {{"set-props", "Alpha/Designs", "Owner=x", "bad name=1"}, nullptr, "not a property name"},
      {{"call", "SetFolderProperties", "Alpha/Designs", "<QKXItem><Owner>x</Owner>"}, nullptr, "not well-formed"},
      {{"mkfolder", "Alpha", "Notes", "--prop", "=x"}, nullptr, "a property name is empty"},
  };
  for (const Case& c : cases) {
    if (c.file) temp_.Write("bad.xml", c.file);
    ZanRun r = Zan(c.args);
    EXPECT_EQ(2, r.code) << c.args[0] << " " << (c.file ? c.file : "") << "\n" << Describe(r);
    EXPECT_NE(std::string::npos, r.err.find(c.message)) << Describe(r);
  }
  EXPECT_EQ(requests, ServerRequests()) << "bad input reached the server";
  EXPECT_EQ(before, stored());
  EXPECT_FALSE(Exists(Url("Alpha/Notes")));
}

TEST_F(CliTest, FailuresPrintTheFullErrorTextAndExitByClass) {
  MakeTree();
  struct Case {
    std::vector<std::string> args;
    int code;
    std::vector<std::string> messages;
  };
  const Case cases[] = {
      {{"ls", "Nope"}, 3, {"zan: GetChildren failed: not found (0x80040066)\n", "Item wasn't found.\n\nError 102: "}},
      {{"props", "Nope"}, 3, {"GetProjectProperties failed: not found (0x80040194)", "The item you requested was not found."}},
      {{"rm", "Alpha/Nope"}, 3, {"not found (0x80040194)"}},
      {{"props", "Alpha/Designs/Billing/MBP.xml"}, 2, {"ZAN_NODE_TYPE is missing); pass --project, --folder or --bp"}},
      {{"mkproject", "Alpha"}, 1, {"CreateProject failed: server error (0x8"}},
      {{"download", "Alpha/Designs/Billing", temp_ / "d", "--env", "nope"}, 2, {"DownloadBP failed: bad input", "Xml path not found"}},
  };
  for (const Case& c : cases) {
    ZanRun r = Zan(c.args);
    EXPECT_EQ(c.code, r.code) << c.args[0] << " " << c.args[1] << "\n" << Describe(r);
    for (const std::string& m : c.messages) EXPECT_NE(std::string::npos, r.err.find(m)) << m << "\n" << Describe(r);
    EXPECT_EQ("", r.out);
  }
  EXPECT_TRUE(Exists(Url("Alpha/Designs/Billing")));

  ZanRun empty = RunZan({"--server", "", "projects"});
  EXPECT_EQ(4, empty.code) << Describe(empty);
  EXPECT_NE(std::string::npos, empty.err.find("not connected (0x80040067)\nThe ZAN Server is not Connected")) << empty.err;
  ZanRun dead = RunZan({"projects"}, {{"ZAN_SERVER", kDeadServer}});
  EXPECT_EQ(4, dead.code) << Describe(dead);
  EXPECT_NE(std::string::npos, dead.err.find(std::string("(0x80040068)\nCan not Connect to ") + kDeadServer)) << dead.err;
}

TEST_F(CliTest, MergesAMarkedChangeIntoTheStoredDocuments) {
  MakeTree();
  std::string shown = Ok({"mbp", "get", "Alpha/Designs/Billing"});
  EXPECT_NE(std::string::npos, shown.find("id=\"Alpha/Designs/Billing\"")) << shown;
  EXPECT_EQ("wrote " + (temp_ / "mbp.xml") + "\n", Ok({"mbp", "get", "Alpha/Designs/Billing", "-o", temp_ / "mbp.xml"}));
  std::string doc = temp_.Read("mbp.xml");
  EXPECT_EQ(doc + "\n", Ok({"--xml", "mbp", "get", "Alpha/Designs/Billing"}));

  // Mark the bp element changed: it replaces the stored one with everything below it.
  size_t bp = doc.find("<bp");
  ASSERT_NE(std::string::npos, bp) << doc;
  doc.insert(bp + 3, " dirty=\"1\" owner=\"kim\"");
  temp_.Write("changed.xml", doc);
  std::string merged = Ok({"mbp", "set", "Alpha/Designs/Billing", temp_ / "changed.xml"});
  EXPECT_NE(std::string::npos, merged.find("owner=\"kim\"")) << merged;
  EXPECT_EQ(std::string::npos, merged.find("dirty=")) << merged;
  EXPECT_NE(std::string::npos, Mbp().find("owner=\"kim\"")) << Mbp();
  EXPECT_NE(std::string::npos, Ok({"mbp", "get", "Alpha/Designs/Billing"}).find("owner=\"kim\""));

  // Standard input, and the module reading and writing files itself.
  std::string viaStdin = Zan({"mbp", "set", "Alpha/Designs/Billing", "-"}, doc).out;
  EXPECT_NE(std::string::npos, viaStdin.find("owner=\"kim\"")) << viaStdin;
  EXPECT_EQ("wrote " + temp_.path() + "/MBP.xml\n", Ok({"mbp", "get-file", "Alpha/Designs/Billing", temp_.path()}));
  EXPECT_NE(std::string::npos, temp_.Read("MBP.xml").find("owner=\"kim\""));
  EXPECT_NE(std::string::npos, Ok({"mbp", "set-file", "Alpha/Designs/Billing", temp_ / "changed.xml"}).find("<mbp"));

  // Bad documents change nothing and send nothing.
  const std::string stored = Mbp();
  const int requests = ServerRequests();
  for (const char* bad : {"<mbp><bp></mbp>", "<projectinfo/>", ""}) {
    temp_.Write("bad.xml", bad);
    for (const char* cmd : {"set", "set-file"}) {
      ZanRun r = Zan({"mbp", cmd, "Alpha/Designs/Billing", temp_ / "bad.xml"});
      EXPECT_EQ(2, r.code) << cmd << " " << bad << "\n" << Describe(r);
      EXPECT_NE(std::string::npos, r.err.find("bad document")) << Describe(r);
    }
  }
  EXPECT_EQ(2, Zan({"mbp", "set-file", "Alpha/Designs/Billing", temp_ / "missing.xml"}).code);
  EXPECT_EQ(requests, ServerRequests()) << "bad input reached the server";
  EXPECT_EQ(stored, Mbp());

  // The module's own file write into a directory that is not there: bad input.
  ZanRun noDir = Zan({"mbp", "get-file", "Alpha/Designs/Billing", temp_ / "no/such/dir"});
  EXPECT_EQ(2, noDir.code) << Describe(noDir);
  EXPECT_NE(std::string::npos, noDir.err.find("Could not write to file")) << noDir.err;

  // Project information.
  std::string info = Ok({"info", "get", "Alpha"});
  EXPECT_NE(std::string::npos, info.find("<projectName>Alpha</projectName>")) << info;
  Ok({"info", "get", "Alpha", "-o", temp_ / "mpr.xml"});
  std::string mpr = temp_.Read("mpr.xml");
  size_t root = mpr.find("<projectinfo");
  ASSERT_NE(std::string::npos, root) << mpr;
  mpr.insert(root + 12, " dirty=\"1\" phase=\"two\"");
  EXPECT_NE(std::string::npos, Ok({"info", "set", "Alpha", temp_ / "mpr.xml"}).find("<projectinfo")) << mpr;
  ZanRun wrongRoot = Zan({"info", "set", "Alpha", temp_ / "changed.xml"});
  EXPECT_EQ(2, wrongRoot.code);
  EXPECT_NE(std::string::npos, wrongRoot.err.find("expected <projectinfo>")) << wrongRoot.err;
}

TEST_F(CliTest, UploadsAndDownloadsForAnEnvironment) {
  MakeTree();
  // An environment "cli": parameter file 3.prm, configuration file 8.cfg.
  temp_.Write("env.xml",
              "<mbp><bp dirty=\"1\"><datasets><defaults><default pkid=\"cli\" refid=\"3\"/></defaults></datasets>"
              "<profiles><defaults><default pkid=\"cli\" refid=\"8\"/></defaults></profiles></bp></mbp>");
  Ok({"mbp", "set", "Alpha/Designs/Billing", temp_ / "env.xml"});

  temp_.Write("up/app.usr", "[General]\nName=Billing\n");
  temp_.Write("up/data/readme.txt", "hello");
  EXPECT_EQ("uploaded " + (temp_ / "up") + " (2 files, 28 B) as the AppFiles of Alpha/Designs/Billing\n",
            Ok({"upload", "Alpha/Designs/Billing", temp_ / "up"}));
  EXPECT_EQ("app.usr\ndata/", List(Url("Alpha/Designs/Billing/AppFiles")));

  std::string downloaded = Ok({"download", "Alpha/Designs/Billing", temp_ / "down", "--env", "cli"});
  EXPECT_EQ(0u, downloaded.find("downloaded Alpha/Designs/Billing for environment cli into " + (temp_ / "down") +
                                " (now holding 2 files, "))
      << downloaded;
  std::string usr = temp_.Read("down/app.usr");
  EXPECT_NE(std::string::npos, usr.find("ParameterFile=3.prm")) << usr;
  EXPECT_NE(std::string::npos, usr.find("DefaultCfg=8.cfg")) << usr;
  EXPECT_EQ("hello", temp_.Read("down/data/readme.txt"));
}

TEST_F(CliTest, DownloadingAMissingBusinessProcessIsNotFound) {
  MakeTree();
  ZanRun r = Zan({"download", "Alpha/Designs/Nope", temp_ / "down", "--env", "cli"});
  EXPECT_EQ(3, r.code) << Describe(r);
  EXPECT_EQ("", r.out);
}

TEST_F(CliTest, AnEndlessDocumentFileIsRefusedAtTheCap) {
  MakeTree();
  ZanRun r = RunZan({"--server", R(), "mbp", "set-file", "Alpha/Designs/Billing", "/dev/zero"},
                    {{"ZANCLIENT_REGISTRY", temp_ / "registry"}, {"ZANCLIENT_MAX_XML_SIZE", "100000"}});
  EXPECT_EQ(2, r.code) << Describe(r);
  EXPECT_NE(std::string::npos, r.err.find("larger than the limit of 100000 bytes (ZANCLIENT_MAX_XML_SIZE)")) << r.err;
}

TEST_F(CliTest, ADeeplyNestedDocumentIsPrintedInLinearTime) {
  MakeTree();
  std::string doc = "<mbp><bp id=\"x\">";
  for (int i = 0; i < 5000; ++i) doc += "<a>";
  for (int i = 0; i < 5000; ++i) doc += "</a>";
  doc += "</bp></mbp>";
  ASSERT_EQ(204, Put(Url("Alpha/Designs/Billing/MBP.xml"), doc));
  ZanRun r = Zan({"mbp", "get", "Alpha/Designs/Billing"});
  EXPECT_EQ(0, r.code) << Describe(r).substr(0, 2000);
  // Indented, 5000 levels would print about 25 MB of blanks.
  EXPECT_LT(r.out.size(), 4 * doc.size());
  EXPECT_NE(std::string::npos, r.out.find("<a><a><a>"));
}

// zan against a stand-in server that serves the templates and answers listings badly.
class CliHostileServerTest : public ::testing::Test {
 protected:
  static std::string Reply(const std::string& statusLine, const std::string& body) {
    return "HTTP/1.1 " + statusLine + "\r\nContent-Type: text/xml\r\nConnection: close\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
  }
  static std::string Answer(const std::string& head) {
    if (head.rfind("GET ", 0) == 0 && head.find("/Templates/MBP.xml") != std::string::npos)
      return Reply("200 OK", "<mbp><bp/></mbp>");
    if (head.rfind("GET ", 0) == 0 && head.find("/Templates/MPR.xml") != std::string::npos)
      return Reply("200 OK", "<projectinfo/>");
    if (head.find(" /bad") != std::string::npos) return Reply("207 Multi-Status", "<D:multistatus xmlns:D='DAV:'>");
    if (head.find(" /esc") != std::string::npos)
      return Reply("207 Multi-Status",
                   "<D:multistatus xmlns:D='DAV:'><D:response><D:href>/esc/x</D:href><D:propstat><D:prop>"
                   "<D:ZAN_NAME>a\xC2\x9B" "31mred</D:ZAN_NAME><D:ZAN_NODE_TYPE>ZAN_FOLDER</D:ZAN_NODE_TYPE>"
                   "<D:ZAN_HAS_CHILDREN>0</D:ZAN_HAS_CHILDREN></D:prop><D:status>HTTP/1.1 200 OK</D:status>"
                   "</D:propstat></D:response></D:multistatus>");
    if (head.find(" /err") != std::string::npos) return Reply("500 \x1B[2Jboom", "");
    return Reply("404 Not Found", "");
  }
  ZanRun Zan(const std::vector<std::string>& args) {
    std::vector<std::string> all = {"--server", server_.Url()};
    all.insert(all.end(), args.begin(), args.end());
    return RunZan(all, {{"ZANCLIENT_REGISTRY", temp_ / "registry"}});
  }
  FaultServer server_{&Answer};
  TempDir temp_;
};

TEST_F(CliHostileServerTest, AMalformedListingIsAServerError) {
  ZanRun r = Zan({"ls", "bad"});
  EXPECT_EQ(1, r.code) << Describe(r);
  EXPECT_NE(std::string::npos, r.err.find("not a well-formed multistatus")) << r.err;
}

TEST_F(CliHostileServerTest, ControlCharactersFromTheServerAreEscaped) {
  ZanRun listing = Zan({"ls", "esc"});
  EXPECT_EQ(0, listing.code) << Describe(listing);
  EXPECT_NE(std::string::npos, listing.out.find("a\\u009B31mred")) << listing.out;
  EXPECT_EQ(std::string::npos, listing.out.find("\xC2\x9B")) << listing.out;

  ZanRun failure = Zan({"ls", "err"});
  EXPECT_EQ(1, failure.code) << Describe(failure);
  EXPECT_NE(std::string::npos, failure.err.find("HTTP/1.1 500 \\x1B[2Jboom")) << failure.err;
  EXPECT_EQ(std::string::npos, failure.err.find('\x1B')) << failure.err;
}

TEST_F(CliTest, DeletesByTheKindReadFromTheNode) {
  MakeTree();
  EXPECT_EQ("deleted bp Alpha/Designs/Billing\n", Ok({"rm", "Alpha/Designs/Billing"}));
  EXPECT_EQ("Alpha/Designs has no children\n", Ok({"ls", "Alpha/Designs"}));
  EXPECT_EQ("deleted folder Alpha/Designs\n", Ok({"rm", "Alpha/Designs", "--folder"}));
  EXPECT_EQ("deleted project Alpha\n", Ok({"rm", "Alpha"}));
  EXPECT_EQ("no projects\n", Ok({"projects"}));
  EXPECT_TRUE(Exists(Url("Templates/MBP.xml")));
}

TEST_F(CliTest, CallsAnyOperationByNameOnceTheTypeLibraryIsRegistered) {
  ZAN_SKIP_ON_WINDOWS("registering writes the system registry, which the run's other tests share "
                      "(the Windows tours register zan.exe's module)");
  MakeTree();
  ZanRun unregistered = Zan({"call", "GetChildren", "Alpha"});
  EXPECT_EQ(5, unregistered.code) << Describe(unregistered);
  EXPECT_NE(std::string::npos, unregistered.err.find("run 'zan register'")) << unregistered.err;

  std::string registered = Ok({"register"});
  EXPECT_EQ(0u, registered.find("registered the ZANApi class")) << registered;
  EXPECT_NE(std::string::npos, Ok({"call", "GetChildren", "Alpha"}).find("<ZAN_NAME>Designs</ZAN_NAME>"));
  EXPECT_EQ(Ok({"--xml", "ls", "Alpha"}), Ok({"call", "GetChildren", "Alpha"}));
  Ok({"call", "CreateFolder", "Alpha", "Notes", "<QKXItem><ZAN_DESCRIPTION>n</ZAN_DESCRIPTION></QKXItem>"});
  EXPECT_EQ("n", Columns(Ok({"props", "Alpha/Notes"}))["ZAN_DESCRIPTION"]);
  EXPECT_EQ("", Ok({"call", "Delete", "Alpha"}));
  EXPECT_EQ("", Ok({"call", "Move", "Alpha", "Beta"}));
  EXPECT_TRUE(Exists(Url("Alpha")));
  EXPECT_EQ("", Ok({"call", "GetMBPFile", "Alpha/Designs/Billing", temp_.path()}));
  EXPECT_NE(std::string::npos, temp_.Read("MBP.xml").find("<mbp"));

  ZanRun missing = Zan({"call", "GetChildren", "Nope"});
  EXPECT_EQ(3, missing.code) << Describe(missing);
  EXPECT_NE(std::string::npos, missing.err.find("Item wasn't found.")) << missing.err;

  EXPECT_NE(std::string::npos, Ok({"call", "--list"}).find("DownloadBP"));
  EXPECT_EQ(0u, Ok({"unregister"}).find("unregistered"));
  EXPECT_EQ(5, Zan({"call", "GetChildren", "Alpha"}).code);
}

}  // namespace
}  // namespace zan::test
