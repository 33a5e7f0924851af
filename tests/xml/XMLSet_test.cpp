#include "xml/XMLSet.h"

#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/com/bstr.h"
#include "support/temp_dir.h"
#include "xml_fixture.h"

namespace zan::xml::test {
namespace {

const std::string kNull = "com " + Hex(E_POINTER);

// The item set of the example: two items and one inner set.
XMLSet ExampleSet() {
  XMLSet set;
  set.addItem("ZAN_NAME", "A");
  set.addItem("ZAN_DESCRIPTION", "B");
  XMLSet inner;
  inner.addItem("ZAN_NAME", "C");
  set.addInnerSet(inner);
  return set;
}

// "name=value;" per item, nested sets as "name{...}".
std::string Walk(XMLSet& set) {
  std::string out;
  std::string name;
  std::string value;
  for (set.moveFirst(); !set.isEOF(); set.moveNext()) {
    set.getItem(set.getCursor(), name, value);
    if (set.hasInnerSet(set.getCursor())) {
      XMLSet inner;
      set.getInnerSet(set.getCursor(), inner);
      out += name + "{" + Walk(inner) + "}";
    } else {
      out += name + "=" + value + ";";
    }
  }
  return out;
}

TEST(XMLSetTest, DefaultSetIsThePrologueAndAnEmptyRoot) {
  XMLSet set;
  EXPECT_EQ(set.getXml(), kPrologue + "<QKXItem/>");
  EXPECT_EQ(set.getCount(), 0);
  EXPECT_TRUE(set.isEmpty());
  set.moveFirst();
  EXPECT_TRUE(set.isEOF());
  EXPECT_EQ(set.getRoot().tagName(), "QKXItem");
}

TEST(XMLSetTest, ExampleSetSerialisesExactly) {
  XMLSet set = ExampleSet();
  EXPECT_EQ(set.getXml(), kPrologue +
                              "<QKXItem><ZAN_NAME>A</ZAN_NAME><ZAN_DESCRIPTION>B</ZAN_DESCRIPTION>"
                              "<QKXItem><ZAN_NAME>C</ZAN_NAME></QKXItem></QKXItem>");
  EXPECT_EQ(Walk(set), "ZAN_NAME=A;ZAN_DESCRIPTION=B;QKXItem{ZAN_NAME=C;}");
  std::string name;
  std::string value;
  set.getItem(2, name, value);
  EXPECT_EQ(value, "C") << "an inner set's value is its text run together";
}

TEST(XMLSetTest, ItemTagRules) {
  struct Case {
    const char* name;
    const char* outcome;
  } cases[] = {
      {"ZAN_NAME", "ok"},
      {"a:href", "ok"},
      {"DefaultQKXMLSETItem", "ok"},
      {"a b", "1001: No space allowed in Tag"},
      {"", "1001: No space allowed in Tag"},
      {"QKXItem", "1001: No space allowed in Tag"},
      {"myQKXItems", "1001: No space allowed in Tag"},
  };
  for (const Case& c : cases) {
    XMLSet set;
    EXPECT_EQ(Outcome([&] { set.addItem(c.name, "v"); }), c.outcome) << c.name;
  }
  XMLSet set;
  set.addItem("DefaultQKXMLSETItem", "v");
  set.addItem("xDefaultQKXMLSETItemyDefaultQKXMLSETItem", "w");
  EXPECT_EQ(set.getXml(), kPrologue + "<QKXItem><QKXItem>v</QKXItem><xQKXItemyQKXItem>w</xQKXItemyQKXItem></QKXItem>");
  // The naming rule looks at spaces only; the DOM refuses other impossible names.
  EXPECT_EQ(Outcome([&] { set.addItem("1st", "v"); }).substr(0, 12), "com " + Hex(E_FAIL));
}

TEST(XMLSetTest, RootTagRulesOfTheConstructors) {
  EXPECT_EQ(Outcome([] { XMLSet s("QKXItem"); }), "1001: No space allowed in Tag");
  EXPECT_EQ(Outcome([] { XMLSet s("a b"); }), "1001: No space allowed in Tag");
  EXPECT_EQ(Outcome([] { XMLSet s(""); }), "1001: No space allowed in Tag");
  EXPECT_EQ(XMLSet("DefaultQKXMLSETItem").getXml(), XMLSet().getXml());
  EXPECT_EQ(XMLSet("Props").getXml(), kPrologue + "<Props/>");
  EXPECT_EQ(Outcome([] { XMLSet s(std::u16string(), "DefaultQKXMLSETItem"); }), "1003: XMLSet passed Xml not valid");
  EXPECT_EQ(Outcome([] { XMLSet s(std::u16string(), "a b"); }), "1003: XMLSet passed Xml not valid")
      << "the text is tested first";
  EXPECT_EQ(Outcome([] { XMLSet s(u"<r><a>1</a></r>", "a b"); }), "1001: No space allowed in Tag")
      << "even though the text would replace the root";
  XMLSet fromText(u"<r><a>1</a></r>", "DefaultQKXMLSETItem");
  EXPECT_EQ(fromText.getXml(), "<r><a>1</a></r>");
  XMLSet fromNarrow(std::string_view("<r><a>1</a></r>"), "Props");
  EXPECT_EQ(fromNarrow.getCount(), 1);
}

TEST(XMLSetTest, RepeatedNamesAndLookups) {
  XMLSet set;
  set.addItem("K", "first");
  set.addItem("K", "second");
  EXPECT_EQ(set.getCount(), 2);
  std::string value = "untouched";
  EXPECT_TRUE(set.findItem("K", value));
  EXPECT_EQ(value, "first");
  EXPECT_TRUE(set.hasItem("K"));
  EXPECT_FALSE(set.hasItem("k")) << "case-sensitive";
  value = "untouched";
  EXPECT_FALSE(set.findItem("missing", value));
  EXPECT_EQ(value, "untouched");
  std::u16string wide;
  EXPECT_TRUE(set.findItem("K", wide));
  EXPECT_EQ(wide, u"first");
  std::string narrow;
  EXPECT_TRUE(set.getItemValue("K", narrow));
  EXPECT_EQ(narrow, "first");
}

TEST(XMLSetTest, IndexesOutsideTheItemsFail) {
  XMLSet set = ExampleSet();
  std::string name;
  std::string value;
  XMLSet target;
  for (long index : {-1L, 3L, 100L}) {
    EXPECT_EQ(Outcome([&] { set.getItem(index, name, value); }), "1002: XMLSet Child Count Error") << index;
    EXPECT_EQ(Outcome([&] { set.hasInnerSet(index); }), "1002: XMLSet Child Count Error") << index;
    EXPECT_EQ(Outcome([&] { set.getInnerSet(index, target); }), "1002: XMLSet Child Count Error") << index;
  }
  EXPECT_FALSE(set.isValidIndex(3));
  EXPECT_TRUE(set.isValidIndex(2));
  XMLSet empty;
  EXPECT_FALSE(empty.isValidIndex(0));
}

TEST(XMLSetTest, InnerSetDetection) {
  XMLSet set(u"<r><text>t</text><one><x/></one><two>t<!--c--></two><none/><comment><!--c--></comment>"
             u"<mixed>t<x/></mixed></r>",
             "DefaultQKXMLSETItem");
  const bool expected[] = {false, true, true, false, false, true};
  for (long i = 0; i < set.getCount(); ++i) EXPECT_EQ(set.hasInnerSet(i), expected[i]) << i;
}

TEST(XMLSetTest, GetInnerSetAppendsElementChildrenOnly) {
  XMLSet set(u"<r><group><a>1</a>text<!--c--><b>2</b></group></r>", "DefaultQKXMLSETItem");
  XMLSet target("Target");
  target.addItem("existing", "0");
  set.getInnerSet(0, target);
  EXPECT_EQ(target.getXml(), kPrologue + "<Target><existing>0</existing><a>1</a><b>2</b></Target>");
  XMLSet byTag;
  EXPECT_TRUE(set.getInnerSetByTag("group", byTag));
  EXPECT_EQ(Walk(byTag), "a=1;b=2;");
  EXPECT_FALSE(set.getInnerSetByTag("other", byTag));
}

TEST(XMLSetTest, CursorPastTheEndIsNotEof) {
  XMLSet set;
  set.addItem("a", "1");
  set.moveFirst();
  set.moveNext();
  EXPECT_TRUE(set.isEOF());
  set.moveNext();
  EXPECT_FALSE(set.isEOF());
  EXPECT_EQ(set.getCursor(), 2);
}

TEST(XMLSetTest, TextRoundTripKeepsStructureAndEscapes) {
  XMLSet set = ExampleSet();
  set.addItem("ZAN_NOTE", "<b>&amp; \"quoted\"</b>");
  set.addItem("ZAN_EMPTY", "");
  set.addItem("ZAN_WIDE", "\xe6\x97\xa5\xe6\x9c\xac");
  std::u16string wide;
  set.getXml(wide);
  XMLSet copy(wide, "DefaultQKXMLSETItem");
  EXPECT_EQ(copy.getXml(), set.getXml());
  EXPECT_EQ(Walk(copy),
            "ZAN_NAME=A;ZAN_DESCRIPTION=B;QKXItem{ZAN_NAME=C;}ZAN_NOTE=<b>&amp; \"quoted\"</b>;ZAN_EMPTY=;"
            "ZAN_WIDE=\xe6\x97\xa5\xe6\x9c\xac;");
}

TEST(XMLSetTest, PrefixedNamesCompareWhole) {
  XMLSet reply(u"<a:multistatus xmlns:a=\"DAV:\"><a:response><a:href>/x</a:href>"
               u"<a:propstat><a:status>HTTP/1.1 200 OK</a:status></a:propstat></a:response></a:multistatus>",
               "DefaultQKXMLSETItem");
  XMLSet response;
  reply.getInnerSet(0, response);
  std::string value;
  EXPECT_TRUE(response.findItem("a:href", value));
  EXPECT_EQ(value, "/x");
  EXPECT_FALSE(response.hasItem("href"));
  XMLSet propstat;
  EXPECT_TRUE(response.getInnerSetByTag("a:propstat", propstat));
  EXPECT_TRUE(propstat.findItem("a:status", value));
  EXPECT_EQ(value, "HTTP/1.1 200 OK");
}

TEST(XMLSetTest, MalformedTextLeavesNoRootAndTheNextUseRaisesNullPointer) {
  for (const char* text : {"<r><a>1</a>", "not xml", "<r/><r/>"}) {
    XMLSet set;
    set.addItem("a", "1");
    set.loadXml(text);
    EXPECT_EQ(set.getXml(), "") << text;
    std::string name;
    std::string value;
    EXPECT_EQ(Outcome([&] { set.getCount(); }), kNull) << text;
    EXPECT_EQ(Outcome([&] { set.isEmpty(); }), kNull) << text;
    EXPECT_EQ(Outcome([&] { set.getItem(0, name, value); }), kNull) << text;
    EXPECT_EQ(Outcome([&] { set.addItem("b", "2"); }), kNull) << text;
    EXPECT_EQ(Outcome([&] { set.findItem("a", value); }), kNull) << text;
    EXPECT_EQ(Outcome([&] { set.isEOF(); }), kNull) << text;
  }
}

TEST(XMLSetTest, LastTopLevelCommentLeavesNoRoot) {
  XMLSet set;
  set.loadXml("<r><a>1</a></r><!--trailer-->");
  EXPECT_FALSE(set.getRoot());
  EXPECT_EQ(Outcome([&] { set.getCount(); }), kNull);
  set.loadXml("<?xml version=\"1.0\"?><!--c--><r><a>1</a></r>");
  EXPECT_EQ(set.getCount(), 1);
}

TEST(XMLSetTest, ItemsThatAreNotElementsRaiseNullPointerWhenRead) {
  XMLSet set(u"<r><a>1</a><!--note--><b>2</b></r>", "DefaultQKXMLSETItem");
  EXPECT_EQ(set.getCount(), 3) << "counted";
  std::string name;
  std::string value;
  XMLSet target;
  EXPECT_EQ(Outcome([&] { set.getItem(1, name, value); }), kNull);
  EXPECT_EQ(Outcome([&] { set.hasInnerSet(1); }), kNull);
  EXPECT_EQ(Outcome([&] { set.getInnerSet(1, target); }), kNull);
  EXPECT_EQ(Outcome([&] { set.getInnerSetByTag("b", target); }), kNull);
  EXPECT_EQ(Outcome([&] { set.findItem("b", value); }), kNull);
  EXPECT_TRUE(set.findItem("a", value)) << "found before the comment is reached";
}

TEST(XMLSetTest, CopiesOwnTheirDocument) {
  XMLSet original = ExampleSet();
  original.moveFirst();
  original.moveNext();
  XMLSet copy(original);
  EXPECT_EQ(copy.getCursor(), 0);
  copy.addItem("extra", "x");
  EXPECT_EQ(original.getCount(), 3);
  EXPECT_EQ(copy.getCount(), 4);
  XMLSet assigned("Other");
  assigned = copy;
  EXPECT_EQ(assigned.getXml(), copy.getXml());
  assigned.addItem("more", "y");
  EXPECT_EQ(copy.getCount(), 4);
  XMLSet moved(std::move(assigned));
  EXPECT_EQ(moved.getCount(), 5);
  assigned = original;  // a moved-from set takes a document again
  EXPECT_EQ(assigned.getCount(), 3);
}

// A copy is the document itself, cloned: values that a serialised and parsed again text
// would lose (white space only) come through exactly, and the copies stay apart.
TEST(XMLSetTest, CopiesCloneTheDocumentExactly) {
  for (const char* value : {"  ", "\t", "\n", "\r\n", " a "}) {
    XMLSet original;
    original.addItem("v", value);
    XMLSet inner;
    inner.addItem("w", value);
    original.addInnerSet(inner);
    XMLSet copy(original);
    XMLSet assigned("Other");
    assigned = original;
    for (XMLSet* set : {&copy, &assigned}) {
      std::string text;
      EXPECT_TRUE(set->findItem("v", text));
      EXPECT_EQ(text, value);
      XMLSet innerCopy;
      set->getInnerSet(1, innerCopy);
      EXPECT_TRUE(innerCopy.findItem("w", text));
      EXPECT_EQ(text, value);
      EXPECT_EQ(set->getXml(), original.getXml());
    }
    copy.addItem("extra", "x");
    EXPECT_EQ(original.getCount(), 2);
    EXPECT_EQ(assigned.getCount(), 2);
  }
}

TEST(XMLSetTest, AutomationValuesAreStoredAsText) {
  zan::Bstr text(u"B\u00e4r");
  VARIANT s{};
  s.vt = VT_BSTR;
  s.bstrVal = text.get();
  VARIANT n{};
  n.vt = VT_I4;
  n.lVal = -42;
  VARIANT b{};
  b.vt = VT_BOOL;
  b.boolVal = VARIANT_TRUE;
  VARIANT null{};
  null.vt = VT_NULL;
  XMLSet set;
  set.addItem("s", s);
  set.addItem("n", n);
  set.addItem("b", b);
  EXPECT_EQ(Outcome([&] { set.addItem("null", null); }), "com " + Hex(DISP_E_TYPEMISMATCH) + ": Type mismatch.");
  EXPECT_EQ(Outcome([&] { set.addItem("a b", s); }), "1001: No space allowed in Tag");
  EXPECT_EQ(Walk(set), "s=B\xc3\xa4r;n=-42;b=-1;") << "a failed conversion adds nothing";
}

TEST(XMLSetTest, FilesRoundTrip) {
  zan::test::TempDir dir;
  XMLSet set = ExampleSet();
  set.saveToFile(dir / "set");
  EXPECT_EQ(dir.Read("set.xml"), set.getXml());
  XMLSet loaded;
  loaded.loadFromFile(dir / "set.xml");
  EXPECT_EQ(loaded.getXml(), set.getXml());
}

// Runs dump into a temporary file inside a temporary current directory.
std::string Dump(XMLSet& set, zan::test::TempDir& dir) {
  char cwd[4096];
  EXPECT_NE(getcwd(cwd, sizeof cwd), nullptr);
  EXPECT_EQ(chdir(dir.path().c_str()), 0);
  FILE* out = std::tmpfile();
  set.dump(out);
  std::rewind(out);
  std::string text;
  for (int c; (c = std::fgetc(out)) != EOF;) text += static_cast<char>(c);
  std::fclose(out);
  EXPECT_EQ(chdir(cwd), 0);
  return text;
}

TEST(XMLSetTest, DumpListsItemsAndInnerSets) {
  zan::test::TempDir dir;
  XMLSet set = ExampleSet();
  EXPECT_EQ(Dump(set, dir),
            "Root :QKXItem\n\r[Item ] ZAN_NAME ,Value: A\n\r[Item ] ZAN_DESCRIPTION ,Value: B\n\r"
            "Root :QKXItem\n\r[Item ] ZAN_NAME ,Value: C\n\r");
  EXPECT_EQ(dir.Read("inner.xml"), kPrologue + "<QKXItem><ZAN_NAME>C</ZAN_NAME></QKXItem>");
  XMLSet empty;
  EXPECT_EQ(Dump(empty, dir), "");
}

}  // namespace
}  // namespace zan::xml::test
