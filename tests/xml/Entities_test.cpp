// The MBP and project-information entities: their places in the documents and the merge.
#include <fstream>
#include <sstream>
#include <string>

#include "xml/MBPEntity.h"
#include "xml/ProjectInfoEntity.h"
#include "merge_reference.h"
#include "support/time_stamp.h"
#include "xml_fixture.h"

namespace zan::xml::test {
namespace {

std::string Template(const std::string& name) {
  std::ifstream in(std::string(ZAN_SOURCE_DIR) + "/tests/data/Templates/" + name);
  std::ostringstream text;
  text << in.rdbuf();
  EXPECT_FALSE(text.str().empty()) << name;
  return text.str();
}

const char kMbp[] =
    "<mbp lastmodified=\"\"><bp id=\"\" name=\"Billing\"><datasets><defaults>"
    "<default pkid=\"DEV\" refid=\"3\"/><default pkid=\"TEST\" refid=\"17\"/><default pkid=\"PROD\" refid=\"0\"/>"
    "<default pkid=\"ONLYDATA\" refid=\"5\"/><default pkid=\"NOREF\"/>"
    "</defaults></datasets><profiles><defaults>"
    "<default pkid=\"DEV\" refid=\"dev_local\"/><default pkid=\"TEST\" refid=\"0\"/>"
    "</defaults></profiles></bp></mbp>";

TEST(EntitiesTest, FreshEntities) {
  EXPECT_EQ(CMBPEntity().getXml(), kPrologue) << "the processing instructions alone";
  EXPECT_EQ(CProjectInfoEntity().getXml(), kPrologue + "<ZANDataEntity/>");
  EXPECT_EQ(CZANDataEntity().getXml(), kPrologue + "<ZANDataEntity/>");
  EXPECT_EQ(CZANDataEntity("<x/>").getXml(), "<x/>");
  EXPECT_EQ(CMBPEntity(std::u16string_view(u"<mbp/>")).getXml(), "<mbp/>");
  CMBPEntity fresh;
  EXPECT_EQ(Outcome([&] { fresh.setBPId("A"); }), "0: Xml path not found /mbp/bp");
}

TEST(EntitiesTest, ParameterAndConfigurationFiles) {
  CMBPEntity mbp(kMbp);
  struct Case {
    const char* environment;
    const char* parameterFile;
    const char* configFile;
  } cases[] = {
      {"DEV", "3.prm", "dev_local.cfg"},
      {"TEST", "17.prm", ""},
      {"PROD", "", "0: Xml path not found /mbp/bp/profiles/defaults/default[@pkid='PROD']"},
      {"ONLYDATA", "5.prm", "0: Xml path not found /mbp/bp/profiles/defaults/default[@pkid='ONLYDATA']"},
      {"QA", "0: Xml path not found /mbp/bp/datasets/defaults/default[@pkid='QA']",
       "0: Xml path not found /mbp/bp/profiles/defaults/default[@pkid='QA']"},
      {"NOREF", "com 80020005: Type mismatch.", "0: Xml path not found /mbp/bp/profiles/defaults/default[@pkid='NOREF']"},
  };
  for (const Case& c : cases) {
    std::string name;
    std::string outcome = Outcome([&] { name = mbp.getParameterFileName(c.environment); });
    EXPECT_EQ(outcome == "ok" ? name : outcome, c.parameterFile) << c.environment;
    outcome = Outcome([&] { name = mbp.getConfigFileName(c.environment); });
    EXPECT_EQ(outcome == "ok" ? name : outcome, c.configFile) << c.environment;
  }
  CGenException e = Raised([&] { mbp.getParameterFileName("QA"); });
  EXPECT_EQ(e.GetClassName(), "CZANDataEntity");
  EXPECT_EQ(e.GetMethodName(), "getNodeByPath");
}

TEST(EntitiesTest, EnvironmentNamesAreComparedAsValues) {
  // An environment name is never placed into an expression: quotes and brackets find only
  // the default that carries exactly that name.
  CMBPEntity mbp(
      "<mbp><bp><datasets><defaults><default pkid=\"DEV\" refid=\"3\"/><default pkid=\"O'Neil\" refid=\"4\"/>"
      "<default pkid='say \"hi\"' refid=\"5\"/></defaults></datasets></bp></mbp>");
  struct Case {
    const char* environment;
    const char* parameterFile;
  } cases[] = {
      {"O'Neil", "4.prm"},
      {"say \"hi\"", "5.prm"},
      {"zz' or '1'='1", "0: Xml path not found /mbp/bp/datasets/defaults/default[@pkid='zz' or '1'='1']"},
      {"DEV']|//default[@pkid='DEV", "0: Xml path not found /mbp/bp/datasets/defaults/default[@pkid='DEV']|//default[@pkid='DEV']"},
      {"dev", "0: Xml path not found /mbp/bp/datasets/defaults/default[@pkid='dev']"},
  };
  for (const Case& c : cases) {
    std::string name;
    const std::string outcome = Outcome([&] { name = mbp.getParameterFileName(c.environment); });
    EXPECT_EQ(outcome == "ok" ? name : outcome, c.parameterFile) << c.environment;
  }
}

TEST(EntitiesTest, IdAndTimeStamps) {
  CMBPEntity mbp(kMbp);
  mbp.setBPId("Alpha/Designs/Billing");
  mbp.setLastModified("2004-03-01 17:05:09");
  EXPECT_EQ(mbp.getNodeByPath("/mbp/bp").getAttribute("id"), "Alpha/Designs/Billing");
  EXPECT_EQ(mbp.getNodeByPath("/mbp").getAttribute("lastmodified"), "2004-03-01 17:05:09");
  EXPECT_TRUE(zan::test::IsTimeStamp(GetTimeStamp())) << GetTimeStamp();
  CProjectInfoEntity mpr;
  mpr.loadXml("<projectinfo><projectName>old<b>child</b></projectName></projectinfo>");
  mpr.setProjectName("Alpha & Beta");
  mpr.setLastModified("2004-03-01 17:05:09");
  EXPECT_EQ(mpr.getXml(),
            "<projectinfo lastmodified=\"2004-03-01 17:05:09\"><projectName>Alpha &amp; Beta</projectName></projectinfo>");
  CProjectInfoEntity none;
  EXPECT_EQ(Outcome([&] { none.setProjectName("x"); }), "0: Xml path not found /projectinfo/projectName");
}

TEST(EntitiesTest, MergeKeysArePkidElseTheTag) {
  CMBPEntity mbp("<mbp><bp pkid=\"\"><x pkid=\"5\"/><y/></bp></mbp>");
  mbp.stampMergeKeys("_k");
  EXPECT_EQ(mbp.getXml(), "<mbp _k=\"mbp\"><bp pkid=\"\" _k=\"bp\"><x pkid=\"5\" _k=\"5\"/><y _k=\"y\"/></bp></mbp>");
  mbp.stampMergeKeys("_k");
  EXPECT_EQ(mbp.getXml(), "<mbp _k=\"mbp\"><bp pkid=\"\" _k=\"bp\"><x pkid=\"5\" _k=\"5\"/><y _k=\"y\"/></bp></mbp>")
      << "overwritten, not repeated";
}

// The stored document after merging changed into stored as the engine does.
std::string MergeMbp(const std::string& stored, const std::string& changed) {
  CMBPEntity current(stored);
  const CMBPEntity client(changed);
  std::string outcome = Outcome([&] { current.mergeChanges(client, "dirty", "1", CXmlBasicQKParser::MERGE_ADD); });
  return outcome == "ok" ? current.getXml() : outcome;
}

const char kStored[] =
    "<mbp lastmodified=\"t0\"><bp id=\"\"><datasets><defaults>"
    "<default pkid=\"5\" refid=\"1\">A</default><default pkid=\"6\" refid=\"2\"/>"
    "</defaults></datasets><notes>kept</notes></bp></mbp>";

TEST(EntitiesTest, MergeOfAClientsChanges) {
  // An unmarked edit of a leaf does not reach the stored document; a marked one does.
  EXPECT_EQ(MergeMbp(kStored, "<mbp><bp><datasets><defaults><default pkid=\"5\" refid=\"9\">B</default>"
                              "</defaults></datasets></bp></mbp>"),
            kStored);
  EXPECT_EQ(MergeMbp(kStored, "<mbp><bp><datasets><defaults><default pkid=\"5\" refid=\"9\" dirty=\"1\">B</default>"
                              "</defaults></datasets></bp></mbp>"),
            "<mbp lastmodified=\"t0\"><bp id=\"\"><datasets><defaults>"
            "<default pkid=\"5\" refid=\"9\">B</default><default pkid=\"6\" refid=\"2\"/>"
            "</defaults></datasets><notes>kept</notes></bp></mbp>");
  // A new default comes after the existing ones of its parent; what the client lacks stays.
  EXPECT_EQ(MergeMbp(kStored, "<mbp><bp><datasets><defaults><default pkid=\"9\" refid=\"3\"/>"
                              "</defaults></datasets></bp></mbp>"),
            "<mbp lastmodified=\"t0\"><bp id=\"\"><datasets><defaults>"
            "<default pkid=\"5\" refid=\"1\">A</default><default pkid=\"6\" refid=\"2\"/><default pkid=\"9\" refid=\"3\"/>"
            "</defaults></datasets><notes>kept</notes></bp></mbp>");
  // A marked bp replaces the whole process, its id included; the document elements are never compared.
  EXPECT_EQ(MergeMbp(kStored, "<mbp lastmodified=\"client\"><bp id=\"X\" dirty=\"1\"><notes>new</notes></bp></mbp>"),
            "<mbp lastmodified=\"t0\"><bp id=\"X\"><notes>new</notes></bp></mbp>");
  // Two pkid-less siblings with one tag cannot be told apart.
  EXPECT_EQ(MergeMbp("<mbp><bp><step/><step/></bp></mbp>", "<mbp><bp><step dirty=\"1\"/></bp></mbp>"),
            "1: Merge found more then one node match Error in source Tag: step Error in source Tag: bp");
}

TEST(EntitiesTest, NoMergeKeyOrMarkerSurvives) {
  CMBPEntity current(Template("MBP.xml"));
  CMBPEntity client(Template("MBP.xml"));
  client.getNodeByPath("/mbp/bp/datasets/defaults/default[@pkid='TEST']").setAttribute("dirty", "1");
  client.getNodeByPath("/mbp/bp/datasets/defaults/default[@pkid='TEST']").setAttribute("refid", "18");
  client.getNodeByPath("/mbp/bp/steps").setAttribute("dirty", "0");
  const std::string clientBefore = client.getXml();
  EXPECT_TRUE(current.mergeChanges(client, "dirty", "1", CXmlBasicQKParser::MERGE_ADD));
  const std::string merged = current.getXml();
  EXPECT_EQ(merged.find("_pkid"), std::string::npos);
  EXPECT_EQ(merged.find("dirty"), std::string::npos);
  EXPECT_EQ(current.getParameterFileName("TEST"), "18.prm");
  EXPECT_EQ(client.getXml(), clientBefore) << "the client's document is not stamped";
}

// The merge reads the changed document and never writes to it, whatever the marker and flags
// (a marker that would change keys stamps a clone of it).
TEST(EntitiesTest, MergeLeavesTheChangedDocumentAsItWas) {
  const std::string stored = Template("MBP.xml");
  CMBPEntity marked(stored);
  marked.getNodeByPath("/mbp/bp/datasets/defaults/default[@pkid='TEST']").setAttribute("dirty", "1");
  marked.getNodeByPath("/mbp/bp/datasets/defaults/default[@pkid='TEST']").setAttribute("refid", "18");
  const std::string changedText = marked.getXml();
  for (const char* marker : {"dirty", "pkid", "_pkid", "refid"}) {
    for (int flags = 0; flags < 4; ++flags) {
      CMBPEntity current(stored);
      const CMBPEntity changed(changedText);
      try {
        current.mergeChanges(changed, marker, "1", flags);
      } catch (...) {  // a failing merge leaves it as it was too
      }
      EXPECT_EQ(changed.getXml(), changedText) << marker << " " << flags;
    }
  }
  CProjectInfoEntity info;
  info.loadXml(Template("MPR.xml"));
  CProjectInfoEntity client;
  client.loadXml("<projectinfo><contacts><contact pkid=\"ops\" mail=\"m\" dirty=\"1\"/></contacts></projectinfo>");
  const std::string clientText = client.getXml();
  EXPECT_TRUE(info.mergeChanges(client, "dirty", "1", CXmlBasicQKParser::MERGE_ADD));
  EXPECT_EQ(client.getXml(), clientText);
}

// Copies of an entity clone its document: a change to one is never seen by the other.
TEST(EntitiesTest, CopiesCloneTheDocument) {
  const CMBPEntity original(Template("MBP.xml"));
  const std::string text = original.getXml();
  CMBPEntity copy(original);
  CMBPEntity assigned;
  assigned = original;
  copy.setLastModified("copy");
  assigned.setBPId("assigned");
  EXPECT_EQ(original.getXml(), text);
  EXPECT_NE(copy.getXml(), text);
  EXPECT_EQ(assigned.getNodeByPath("/mbp/bp").getAttribute("id"), "assigned");
  EXPECT_NE(copy.getNodeByPath("/mbp/bp").getAttribute("id"), "assigned");
  CProjectInfoEntity info;
  info.loadXml(Template("MPR.xml"));
  const std::string infoText = info.getXml();
  CProjectInfoEntity infoCopy(info);
  infoCopy.setProjectName("copy");
  EXPECT_EQ(info.getXml(), infoText);
  EXPECT_NE(infoCopy.getXml(), infoText);
}

TEST(EntitiesTest, TemplatesServeTheEntities) {
  CMBPEntity mbp(Template("MBP.xml"));
  EXPECT_EQ(mbp.getParameterFileName("DEV"), "3.prm");
  EXPECT_EQ(mbp.getConfigFileName("PROD"), "prod_cluster.cfg");
  EXPECT_EQ(mbp.getParameterFileName("PROD"), "");
  EXPECT_EQ(mbp.getConfigFileName("TEST"), "");
  mbp.setBPId("Alpha/Billing");
  mbp.setLastModified(GetTimeStamp());
  CProjectInfoEntity mpr;
  mpr.loadXml(Template("MPR.xml"));
  mpr.setProjectName("Alpha");
  EXPECT_EQ(mpr.getNodeByPath("/projectinfo/projectName").text(), "Alpha");
  CProjectInfoEntity client;
  client.loadXml("<projectinfo><contacts><contact pkid=\"ops\" mail=\"new@example.com\" dirty=\"1\"/>"
                 "<contact pkid=\"qa\" name=\"QA\"/></contacts></projectinfo>");
  EXPECT_TRUE(mpr.mergeChanges(client, "dirty", "1", CXmlBasicQKParser::MERGE_ADD));
  EXPECT_NE(mpr.getXml().find("<contact pkid=\"ops\" mail=\"new@example.com\"/><contact pkid=\"qa\" name=\"QA\"/>"),
            std::string::npos)
      << mpr.getXml();
}

// mergeChanges as its steps read: both documents stamped, the merge by "_pkid" with one
// selection per source element, the stamps removed again.
bool ReferenceMergeChanges(CMBPEntity& current, const CMBPEntity& changed, int flags) {
  CMBPEntity source(changed);
  source.stampMergeKeys("_pkid");
  current.stampMergeKeys("_pkid");
  const bool merged = ReferenceMerge(current.getParser(), source.getParser(), "dirty", "1", flags, "_pkid");
  current.removeAttributeEverywhere("_pkid");
  return merged;
}

TEST(EntitiesTest, MergeChangesOfLongSiblingListsAnswersAsItsStepsDo) {
  const std::string d = LongListDestination();
  for (const char* s : kLongListSources) {
    for (int flags = 0; flags < 4; ++flags) {
      CMBPEntity current(d);
      CMBPEntity reference(d);
      const CMBPEntity changed(s);
      const CMBPEntity referenceChanged(s);
      EXPECT_EQ(Observe(current, [&] { return current.mergeChanges(changed, "dirty", "1", flags); }),
                Observe(reference, [&] { return ReferenceMergeChanges(reference, referenceChanged, flags); }))
          << "S=" << s << "\nflags=" << flags;
    }
  }
}

TEST(EntitiesTest, MergeChangesAnswersAsItsStepsDo) {
  RandomDocument random(7);
  int failures = 0;
  for (int round = 0; round < 2000 && !::testing::Test::HasFailure(); ++round) {
    const std::string d = random.Make(round % 5 == 0);
    const std::string s = random.Make(round % 5 == 0);
    const int flags = round % 4;
    CMBPEntity current(d);
    CMBPEntity reference(d);
    const CMBPEntity changed(s);
    const CMBPEntity referenceChanged(s);
    const std::string expected =
        Observe(reference, [&] { return ReferenceMergeChanges(reference, referenceChanged, flags); });
    EXPECT_EQ(Observe(current, [&] { return current.mergeChanges(changed, "dirty", "1", flags); }), expected)
        << "D=" << d << "\nS=" << s << "\nflags=" << flags;
    EXPECT_EQ(changed.getXml(), referenceChanged.getXml()) << "the client's document keeps the same stamps";
    if (expected.substr(0, 4) == "code") ++failures;
  }
  EXPECT_GT(failures, 30);
}

}  // namespace
}  // namespace zan::xml::test
