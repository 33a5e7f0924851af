// The merge as its algorithm reads (one lookup per source element), as the reference for
// the indexed merge, and random documents to compare the two on.
#ifndef ZAN_TESTS_XML_MERGE_REFERENCE_H_
#define ZAN_TESTS_XML_MERGE_REFERENCE_H_

#include <random>
#include <string>

#include "base/GenException.h"
#include "platform/com/com_error.h"
#include "platform/dom/node_list.h"
#include "xml/XmlBasicQKParser.h"

namespace zan::xml::test {

using zan::dom::Element;
using zan::dom::Node;
using zan::dom::NodeList;
inline constexpr int kAdd = CXmlBasicQKParser::MERGE_ADD;
inline constexpr int kReplace = CXmlBasicQKParser::MERGE_REPLACE;

inline constexpr char kClass[] = "CXmlBasicQKParser";
inline constexpr char kMethod[] = "mergeByAttribute";

inline bool ReferenceMergeNode(CXmlBasicQKParser& dest, const Node& s, const Element& p, const std::string& m,
                        const std::string& v, int f, const std::string& k) {
  std::string tag;
  try {
    Element source(s);
    tag = source.tagName();
    const std::string key = dest.getAttribute(source, k);
    const std::string marker = dest.getAttribute(source, m);
    // The children that carry the key attribute with exactly that value (compared as a
    // value: a key holding quotes matches only itself).
    const NodeList carriers = p.selectNodes("*[@" + k + "]");
    Element match;
    long matches = 0;
    for (long i = 0; i < carriers.length(); ++i) {
      const Element c(carriers.item(i));
      if (c.getAttribute(k) == key && matches++ == 0) match = c;
    }
    if (matches > 1) throw CGenException("Merge found more then one node match", 1, kClass, kMethod);
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

inline bool ReferenceMerge(CXmlBasicQKParser& dest, const CXmlBasicQKParser& source, const std::string& m,
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

// A destination with a long sibling list (its lookups go through a table), and sources that
// make the merge change that list while it still looks things up in it.
inline std::string LongListDestination() {
  std::string d = "<r><g pkid=\"g\">";
  for (int i = 1; i <= 20; ++i) d += "<e pkid=\"" + std::to_string(i) + "\">v" + std::to_string(i) + "</e>";
  return d + "<e pkid=\"\">empty</e><e>none</e><e pkid=\"7\">seven again</e><f/></g></r>";
}

inline const char* const kLongListSources[] = {
    "<r><g pkid=\"g\"><e pkid=\"30\">a</e><e pkid=\"30\" dirty=\"1\">b</e><e pkid=\"30\"><c/></e></g></r>",
    "<r><g pkid=\"g\"><e pkid=\"5\" dirty=\"1\"><x pkid=\"x\"/></e><e pkid=\"5\"><y pkid=\"y\"/></e></g></r>",
    "<r><g pkid=\"g\"><e dirty=\"1\">new empty</e><e>again</e><e pkid=\"\">third</e></g></r>",
    "<r><g pkid=\"g\"><e pkid=\"7\"/></g></r>",
    "<r><g pkid=\"g\"><e pkid=\"3\" dirty=\"1\"/><e pkid=\"3\" dirty=\"1\">twice</e><f pkid=\"3\"/></g></r>",
    "<r><g pkid=\"g\"><f dirty=\"1\"><n/></f><f><m/></f><e pkid=\"20\" dirty=\"1\"/><e pkid=\"21\"/></g></r>",
};

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
    if (Pick(4) != 0) {
      const std::string key = rare_ && Pick(40) == 0 ? "it's" : Pick(2) == 0 ? std::to_string(10 + Pick(40)) : kKeys[Pick(4)];
      e += " pkid=\"" + key + "\"";
    }
    const int marker = Pick(8);
    if (marker < 2) e += " dirty=\"1\"";
    if (marker == 2) e += " dirty=\"0\"";
    e += ">";
    if (depth < 4 && Pick(3) != 0) {
      // Now and then a long sibling list, so that lookups go through the tables too.
      const int n = depth == 2 && Pick(6) == 0 ? 17 + Pick(24) : Pick(4);
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
template <class Document, class MergeCall>
std::string Observe(const Document& dest, MergeCall merge) {
  std::string result;
  try {
    result = merge() ? "true" : "false";
  } catch (const CGenException& e) {
    result = "code " + std::to_string(e.GetErrorCode()) + ": " + e.GetFullText();
  } catch (const _com_error& e) {
    result = "com " + std::to_string(e.Error()) + ": " + e.Description();
  }
  return result + "\n" + dest.getXml();
}

}  // namespace zan::xml::test

#endif
