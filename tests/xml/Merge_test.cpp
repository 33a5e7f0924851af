// The merge of a source document into a destination by key attribute.
#include <random>
#include <string>

#include "platform/dom/node_list.h"
#include "xml/XmlBasicQKParser.h"
#include "xml_fixture.h"

namespace zan::xml::test {
namespace {

using zan::dom::Element;
using zan::dom::Node;
using zan::dom::NodeList;

constexpr int kAdd = CXmlBasicQKParser::MERGE_ADD;
constexpr int kReplace = CXmlBasicQKParser::MERGE_REPLACE;

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

TEST(MergeTest, AKeyWithAnApostropheRaisesTheXPathError) {
  const std::string outcome = Merge("<r><g pkid=\"\"><a pkid=\"1\"/></g></r>", "<r><g><b pkid=\"it's\"/></g></r>");
  EXPECT_EQ(outcome.substr(0, std::to_string(E_FAIL).size() + 1), std::to_string(E_FAIL) + ":");
  const std::string suffixes = " Error in source Tag: b Error in source Tag: g";
  EXPECT_EQ(outcome.substr(outcome.size() - suffixes.size()), suffixes) << outcome;
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

// ---------------------------------------------------------------------------------------
// The merge as its algorithm reads, one selection per source element, as the reference for
// the indexed merge on random documents.

const char kClass[] = "CXmlBasicQKParser";
const char kMethod[] = "mergeByAttribute";

bool ReferenceMergeNode(CXmlBasicQKParser& dest, const Node& s, const Element& p, const std::string& m,
                        const std::string& v, int f, const std::string& k) {
  std::string tag;
  try {
    Element source(s);
    tag = source.tagName();
    const std::string key = dest.getAttribute(source, k);
    const std::string marker = dest.getAttribute(source, m);
    const NodeList selected = p.selectNodes("*[@" + k + "='" + key + "']");
    if (selected.length() > 1) throw CGenException("Merge found more then one node match", 1, kClass, kMethod);
    const Element match(selected.item(0));
    if (!match) {
      if ((f & kAdd) == kAdd) return static_cast<bool>(dest.appendCopy(p, source));
      return true;
    }
    if ((f & kReplace) == kReplace || marker == v) {
      const Element copy(source.cloneNode(true));
      copy.removeAttribute(m);
      p.replaceChild(copy, match);
      return true;
    }
    const NodeList children = source.childNodes();
    const long count = children.length();
    if (count == 0 || (count == 1 && children.item(0).nodeTypeString() != "element")) return true;
    for (long i = 0; i < count; ++i) {
      if (children.item(i).nodeTypeString() != "element") continue;
      if (!ReferenceMergeNode(dest, children.item(i), match, m, v, f, k)) return false;
    }
    return true;
  } catch (const _com_error& e) {
    CGenException error(e, kClass, kMethod);
    error.Rethrow(e.Description() + " Error in source Tag: " + tag, e.Error(), kClass, kMethod);
  } catch (CGenException& e) {
    e.Rethrow(e.GetErrorDescription() + " Error in source Tag: " + tag, e.GetErrorCode(), kClass, kMethod);
  } catch (...) {
    throw CGenException("Unknown Error. Error in source Tag: " + tag, 0, kClass, kMethod);
  }
}

bool ReferenceMerge(CXmlBasicQKParser& dest, const CXmlBasicQKParser& source, const std::string& m,
                    const std::string& v, int f, const std::string& k) {
  try {
    const NodeList children = source.getRoot().childNodes();
    for (long i = 0; i < children.length(); ++i) {
      if (!ReferenceMergeNode(dest, children.item(i), dest.getRoot(), m, v, f, k)) return false;
    }
    const NodeList marked = dest.getRoot().selectNodes("//*[@" + m + "]");
    for (long i = 0; i < marked.length(); ++i) Element(marked.item(i)).removeAttribute(m);
    return true;
  } catch (const _com_error& e) {
    throw CGenException(e, kClass, kMethod);
  } catch (CGenException& e) {
    e.Rethrow(e.GetErrorDescription(), e.GetErrorCode(), kClass, kMethod);
  }
}

// Random documents over a few tags and keys, so that matches, duplicates, missing and empty
// keys, markers, leaves and the occasional apostrophe or comment all occur.
class RandomDocument {
 public:
  explicit RandomDocument(unsigned seed) : rng_(seed) {}

  std::string Make(bool rare) {
    rare_ = rare;
    std::string out = "<r>";
    const int n = Pick(5);
    for (int i = 0; i < n; ++i) out += Element(1);
    return out + "</r>";
  }

 private:
  int Pick(int n) { return static_cast<int>(rng_() % static_cast<unsigned>(n)); }

  std::string Element(int depth) {
    static const char* kTags[] = {"a", "b", "c"};
    static const char* kKeys[] = {"1", "2", "3", ""};
    std::string e = "<";
    const std::string tag = kTags[Pick(3)];
    e += tag;
    if (Pick(4) != 0) e += std::string(" pkid=\"") + (rare_ && Pick(40) == 0 ? "it's" : kKeys[Pick(4)]) + "\"";
    if (Pick(4) == 0) e += " dirty=\"1\"";
    if (Pick(8) == 0) e += " dirty=\"0\"";
    e += ">";
    if (depth < 4 && Pick(3) != 0) {
      const int n = Pick(4);
      for (int i = 0; i < n; ++i) e += Element(depth + 1);
      if (rare_ && Pick(10) == 0) e += "<!--c-->";
    } else if (Pick(2) == 0) {
      e += "text" + std::to_string(Pick(3));
    }
    return e + "</" + tag + ">";
  }

  std::mt19937 rng_;
  bool rare_ = false;
};

// Everything a merge shows: its result or its error's full text, and the destination after it.
template <class MergeCall>
std::string Observe(CXmlBasicQKParser& dest, MergeCall merge) {
  std::string result;
  try {
    result = merge() ? "true" : "false";
  } catch (const CGenException& e) {
    result = "code " + std::to_string(e.GetErrorCode()) + ": " + e.GetFullText();
  }
  return result + "\n" + dest.getXml();
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
  EXPECT_GT(failures, 100) << "the random documents exercise the failures too";
}

}  // namespace
}  // namespace zan::xml::test
