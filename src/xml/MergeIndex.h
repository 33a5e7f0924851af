// MergeIndex: the merge's lookup of a destination parent's children by key. It answers
// exactly what the selection "*[@K='key']" with the parent as context answers (the child
// elements that carry attribute K with that value, in document order), from a table built
// once per parent, so a merge costs time linear in the documents. The merge reports its own
// changes (added, replaced) so the tables stay exact; other changes of the destination
// during the index's life are not seen. A key attribute that is not a plain name, or a key
// holding an apostrophe, is looked up with the real selection (which raises the platform's
// invalid-XPath error where the expression is invalid). Lives for one merge; one thread.
#ifndef ZAN_XML_MERGEINDEX_H_
#define ZAN_XML_MERGEINDEX_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/dom/element.h"

class MergeIndex {
 public:
  struct Match {
    long count = 0;             // how many children match
    zan::dom::Element first;    // the first of them (empty when none)
  };

  explicit MergeIndex(std::string keyAttribute);

  Match find(const zan::dom::Element& parent, const std::string& key);
  // child was appended under parent.
  void added(const zan::dom::Element& parent, const zan::dom::Element& child);
  // newChild took oldChild's place under parent.
  void replaced(const zan::dom::Element& parent, const zan::dom::Element& oldChild,
                const zan::dom::Element& newChild);

 private:
  using Table = std::unordered_map<std::string, std::vector<zan::dom::Element>>;
  Table& tableFor(const zan::dom::Element& parent);
  void insert(Table& table, const zan::dom::Element& child);

  std::string m_key;
  bool m_plainKey;  // K needs no XPath to be understood
  std::unordered_map<std::uintptr_t, Table> m_tables;
};

#endif
