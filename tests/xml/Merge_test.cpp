// The merge of a source document into a destination by key attribute.
#include <string>

#include "platform/dom/node_list.h"
#include "xml/XmlBasicQKParser.h"
#include "merge_reference.h"
#include "xml_fixture.h"

namespace zan::xml::test {
namespace {

CXmlBasicQKParser Loaded(const std::string& text) {
  CXmlBasicQKParser p;
  p.newDocument("NEW");
  p.loadXml(text);
  return p;
}

// The merged destination's text, or the error as "code: description".
std::string Merge(const std::string& destination, const std::string& source, int flags = kAdd,
                  const std::string& key = "pkid") {
  CXmlBasicQKParser d = Loaded(destination);
  CXmlBasicQKParser s = Loaded(source);
  std::string out;
  const std::string outcome = Outcome([&] { out = d.mergeByAttribute(s, "dirty", "1", flags, key) ? "" : "false:"; });
  return outcome == "ok" ? out + d.getXml() : outcome;
}

TEST(MergeTest, MarkedElementsReplaceTheirCounterpart) {
  EXPECT_EQ(Merge("<r><e pkid=\"1\" a=\"old\"><t>A</t><x/></e></r>", "<r><e pkid=\"1\" dirty=\"1\" a=\"new\"><t>B</t></e></r>"),
            "<r><e pkid=\"1\" a=\"new\"><t>B</t></e></r>");
  EXPECT_EQ(Merge("<r><e pkid=\"1\"><t pkid=\"\">A</t></e><f pkid=\"2\"/></r>",
                  "<r><e pkid=\"1\" dirty=\"2\"><t>B</t></e></r>"),
            "<r><e pkid=\"1\"><t pkid=\"\">A</t></e><f pkid=\"2\"/></r>")
      << "another marker value is no marker; the leaf keeps its text";
}

TEST(MergeTest, UnmarkedElementsAreMergedChildByChild) {
  EXPECT_EQ(Merge("<r><e pkid=\"1\"><t pkid=\"t\">A</t><keep pkid=\"k\"/></e></r>",
                  "<r><e pkid=\"1\" a=\"ignored\"><t pkid=\"t\">B</t><n pkid=\"n\">new</n><!--skipped--></e></r>"),
            "<r><e pkid=\"1\"><t pkid=\"t\">A</t><keep pkid=\"k\"/><n pkid=\"n\">new</n></e></r>");
  EXPECT_EQ(Merge("<r><e pkid=\"1\"><t pkid=\"t\">A</t></e></r>",
                  "<r><e pkid=\"1\"><t pkid=\"t\" dirty=\"1\">B</t></e></r>"),
            "<r><e pkid=\"1\"><t pkid=\"t\">B</t></e></r>");
}

TEST(MergeTest, NewElementsAreAppendedOnlyWithMergeAdd) {
  const std::string d = "<r><e pkid=\"1\"/></r>";
  const std::string s = "<r><n pkid=\"9\" dirty=\"1\"><c/></n></r>";
  EXPECT_EQ(Merge(d, s, kAdd), "<r><e pkid=\"1\"/><n pkid=\"9\"><c/></n></r>");
  EXPECT_EQ(Merge(d, s, 0), d);
  EXPECT_EQ(Merge(d, s, kReplace), d);
}

TEST(MergeTest, MergeReplaceReplacesWithoutMarker) {
  EXPECT_EQ(Merge("<r><e pkid=\"1\">A</e></r>", "<r><e pkid=\"1\">B</e></r>", kReplace | kAdd),
            "<r><e pkid=\"1\">B</e></r>");
}

TEST(MergeTest, NothingIsDeletedAndNoMarkerRemains) {
  EXPECT_EQ(Merge("<r dirty=\"1\"><a pkid=\"1\" dirty=\"0\"/><b pkid=\"2\"><c dirty=\"1\"/></b></r>",
                  "<r><b pkid=\"2\"><d pkid=\"4\" dirty=\"1\"><e dirty=\"1\"/></d></b></r>"),
            "<r><a pkid=\"1\"/><b pkid=\"2\"><c/><d pkid=\"4\"><e/></d></b></r>");
}

TEST(MergeTest, KeysCompareAsStrings) {
  // A source element without the key matches children whose key is present and empty...
  EXPECT_EQ(Merge("<r><a pkid=\"\">A</a></r>", "<r><b dirty=\"1\">B</b></r>"), "<r><b>B</b></r>");
  // ...but not children without the key attribute.
  EXPECT_EQ(Merge("<r><a>A</a></r>", "<r><b dirty=\"1\">B</b></r>"), "<r><a>A</a><b>B</b></r>");
}

TEST(MergeTest, DuplicateKeysFailWithTheSourceTags) {
  const std::string d = "<r><g pkid=\"g\"><e pkid=\"1\"/><e pkid=\"1\"/></g></r>";
  EXPECT_EQ(Merge(d, "<r><g pkid=\"g\"><e pkid=\"1\"/></g></r>"),
            "1: Merge found more then one node match Error in source Tag: e Error in source Tag: g");
  CXmlBasicQKParser dest = Loaded(d);
  CXmlBasicQKParser src = Loaded("<r><g pkid=\"g\"><e pkid=\"1\"/></g></r>");
  CGenException e = Raised([&] { dest.mergeByAttribute(src, "dirty", "1", kAdd, "pkid"); });
  EXPECT_EQ(e.GetClassName(), "CXmlBasicQKParser");
  EXPECT_EQ(e.GetMethodName(), "mergeByAttribute");
  const std::string full = e.GetFullText();
  EXPECT_EQ(full,
            "Merge found more then one node match Error in source Tag: e Error in source Tag: g\n\r\n\r"
            "Error 1: Merge found more then one node match Error in source Tag: e Error in source Tag: g "
            "(CXmlBasicQKParser::mergeByAttribute) \n\r"
            "Error 1: Merge found more then one node match Error in source Tag: e Error in source Tag: g "
            "(CXmlBasicQKParser::mergeByAttribute) \n\r"
            "Error 1: Merge found more then one node match Error in source Tag: e "
            "(CXmlBasicQKParser::mergeByAttribute) \n\r"
            "Error 1: Merge found more then one node match (CXmlBasicQKParser::mergeByAttribute) \n\r");
  // Unmatched duplicates do not matter; neither do duplicates no source element looks for.
  EXPECT_EQ(Merge("<r><e pkid=\"1\"/><e pkid=\"1\"/></r>", "<r><f pkid=\"2\"/></r>"),
            "<r><e pkid=\"1\"/><e pkid=\"1\"/><f pkid=\"2\"/></r>");
}

TEST(MergeTest, ANonElementUnderTheSourceRootFails) {
  const std::string nullStatus = std::to_string(E_POINTER);
  EXPECT_EQ(Merge("<r/>", "<r><!--comment--></r>"), nullStatus + ":  Error in source Tag: ");
  EXPECT_EQ(Merge("<r/>", "<r><?pi x?></r>"), nullStatus + ":  Error in source Tag: ");
  // Earlier changes stay.
  CXmlBasicQKParser d = Loaded("<r/>");
  CXmlBasicQKParser s = Loaded("<r><a pkid=\"1\"/><!--c--></r>");
  EXPECT_NE(Outcome([&] { d.mergeByAttribute(s, "dirty", "1", kAdd, "pkid"); }), "ok");
  EXPECT_EQ(d.getXml(), "<r><a pkid=\"1\"/></r>");
}

TEST(MergeTest, KeysAreComparedAsValuesWhateverTheyHold) {
  // A key is never placed into an expression: quotes and brackets match only themselves.
  struct Case {
    const char* destination;
    const char* source;
    const char* merged;
  } cases[] = {
      {"<r><a pkid=\"1\">A</a></r>", "<r><x pkid=\"x' or '1'='1\" dirty=\"1\">X</x></r>",
       "<r><a pkid=\"1\">A</a><x pkid=\"x' or '1'='1\">X</x></r>"},
      {"<r><a pkid=\"it's\">A</a><b pkid=\"2\"/></r>", "<r><a pkid=\"it's\" dirty=\"1\">B</a></r>",
       "<r><a pkid=\"it's\">B</a><b pkid=\"2\"/></r>"},
      {"<r><a pkid='say \"hi\"'>A</a></r>", "<r><a pkid='say \"hi\"' dirty=\"1\">B</a></r>",
       "<r><a pkid=\"say &quot;hi&quot;\">B</a></r>"},
      {"<r><a pkid=\"1\">A</a></r>", "<r><a pkid=\"1']|//*[@pkid='1\" dirty=\"1\">B</a></r>",
       "<r><a pkid=\"1\">A</a><a pkid=\"1']|//*[@pkid='1\">B</a></r>"},
      {"<r><g pkid=\"\"><a pkid=\"1\"/></g></r>", "<r><g><b pkid=\"it's\"/></g></r>",
       "<r><g pkid=\"\"><a pkid=\"1\"/><b pkid=\"it's\"/></g></r>"},
  };
  for (const Case& c : cases) EXPECT_EQ(Merge(c.destination, c.source), c.merged) << c.source;
}

TEST(MergeTest, OddKeyAttributeNamesGoToTheSelection) {
  // The key attribute decides how the selection is built; odd names go to the selection.
  EXPECT_EQ(Merge("<r><a k=\"1\">A</a></r>", "<r><a k=\"1\" dirty=\"1\">B</a></r>", kAdd, "k"), "<r><a k=\"1\">B</a></r>");
  EXPECT_EQ(Merge("<r/>", "<r><a/></r>", kAdd, "a b"), "1001: No space allowed in Tag Error in source Tag: a");
  const std::string invalid = Merge("<r/>", "<r><a/></r>", kAdd, "k]");
  EXPECT_EQ(invalid.substr(0, std::to_string(E_FAIL).size()), std::to_string(E_FAIL)) << invalid;
}

TEST(MergeTest, TheIndexFollowsTheMergesOwnChanges) {
  // The second new sibling finds the first one, appended a moment before.
  EXPECT_EQ(Merge("<r/>", "<r><a pkid=\"1\">first</a><a pkid=\"1\" dirty=\"1\">second</a></r>"),
            "<r><a pkid=\"1\">second</a></r>");
  // A replaced element is found in its replacement.
  EXPECT_EQ(Merge("<r><a pkid=\"1\">old</a></r>",
                  "<r><a pkid=\"1\" dirty=\"1\"><x pkid=\"x\"/></a><a pkid=\"1\"><y pkid=\"y\"/></a></r>"),
            "<r><a pkid=\"1\"><x pkid=\"x\"/><y pkid=\"y\"/></a></r>");
  // A replacement without the key leaves the index: the next element no longer matches it.
  EXPECT_EQ(Merge("<r><a k=\"1\">old</a></r>", "<r><b k=\"1\" dirty=\"1\">new</b><c k=\"1\">more</c></r>", kAdd, "dirty"),
            "<r><a k=\"1\">old</a><b k=\"1\">new</b><c k=\"1\">more</c></r>");
}

TEST(MergeTest, LongSiblingListsAnswerAsTheSelectionDoes) {
  const std::string d = LongListDestination();
  for (const char* s : kLongListSources) {
    for (int flags = 0; flags < 4; ++flags) {
      // The marker is the key attribute in the second round: replacements lose their key.
      for (const char* marker : {"dirty", "pkid"}) {
        CXmlBasicQKParser indexed = Loaded(d);
        CXmlBasicQKParser reference = Loaded(d);
        const CXmlBasicQKParser source = Loaded(s);
        EXPECT_EQ(Observe(indexed, [&] { return indexed.mergeByAttribute(source, marker, "1", flags, "pkid"); }),
                  Observe(reference, [&] { return ReferenceMerge(reference, source, marker, "1", flags, "pkid"); }))
            << "S=" << s << "\nflags=" << flags << " marker=" << marker;
      }
    }
  }
}

TEST(MergeTest, TheIndexedMergeAnswersAsTheSelectionDoes) {
  RandomDocument random(20240611);
  int failures = 0;
  for (int round = 0; round < 3000 && !::testing::Test::HasFailure(); ++round) {
    const std::string d = random.Make(round % 5 == 0);
    const std::string s = random.Make(round % 5 == 0);
    const int flags = round % 4;
    CXmlBasicQKParser indexed = Loaded(d);
    CXmlBasicQKParser reference = Loaded(d);
    const CXmlBasicQKParser source = Loaded(s);
    const std::string expected =
        Observe(reference, [&] { return ReferenceMerge(reference, source, "dirty", "1", flags, "pkid"); });
    EXPECT_EQ(Observe(indexed, [&] { return indexed.mergeByAttribute(source, "dirty", "1", flags, "pkid"); }),
              expected)
        << "D=" << d << "\nS=" << s << "\nflags=" << flags;
    if (expected.substr(0, 4) == "code") ++failures;
  }
  EXPECT_GT(failures, 30) << "the random documents exercise the failures too";
}

}  // namespace
}  // namespace zan::xml::test
