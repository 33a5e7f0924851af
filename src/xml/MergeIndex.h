// MergeIndex: the merge's lookup of a destination parent's child elements by key. It answers
// exactly what the selection "*[@K='key']" with the parent as context answers (how many
// child elements carry attribute K with that value, and the first of them in document
// order), in time independent of the number of siblings: small parents are scanned, larger
// ones get a table built once. The merge reports its own changes (added, replaced) so the
// tables stay exact; other changes of the destination during the index's life are not seen.
// Keys are compared as values, whatever they hold (quotes and brackets included): a key
// matches only itself. A key attribute that is not a plain name is found with the selection
// "*[@K]" (which raises the platform's invalid-XPath error for an invalid name).
//
// Keys::kPkidOrTag reads a child's key as stamping merge keys would have written it (its
// pkid when not empty, else its tag name), for a destination that is not stamped.
// Lives for one merge, while handles keep both documents alive; one thread.
#ifndef ZAN_XML_MERGEINDEX_H_
#define ZAN_XML_MERGEINDEX_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/dom/node_view.h"

class MergeIndex {
 public:
  enum class Keys { kAttribute, kPkidOrTag };
  struct Match {
    long count = 0;               // how many children match
    zan::dom::NodeView first;     // the first of them (empty when none)
  };

  MergeIndex(std::string keyAttribute, Keys keys);

  // The merge key of an element whose pkid attribute is pkid (absent: nullopt) and whose tag
  // is tag: the pkid when not empty, else the tag. The one statement of that rule.
  static std::string_view PkidOrTag(std::optional<std::string_view> pkid, std::string_view tag) {
    return pkid && !pkid->empty() ? *pkid : tag;
  }

  Match find(zan::dom::NodeView parent, std::string_view key);
  // child was appended as parent's last child.
  void added(zan::dom::NodeView parent, zan::dom::NodeView child);
  // newChild took oldChild's place under parent.
  void replaced(zan::dom::NodeView parent, zan::dom::NodeView oldChild, zan::dom::NodeView newChild);

 private:
  // Parents with more element children than this get a table.
  static constexpr long kScanLimit = 16;
  struct Entry {
    zan::dom::NodeView first;
    long count = 0;
  };
  // Open addressing over keys that are views into the destination document (its key
  // attributes and tag names do not change while the index lives). The probed array holds
  // only hash bits and item numbers, so that it stays small; the items keep insertion
  // (document) order.
  class Table {
   public:
    explicit Table(size_t expected);
    // The entry of key; created (empty) when absent.
    Entry& at(std::string_view key);
    // The entry of key, or null. Lookups that follow the document order of the keys (a
    // client's copy lists what it kept in the stored order) are answered from the items
    // after the previous answer, without probing.
    const Entry* find(std::string_view key);

   private:
    struct Item {
      std::string_view key;
      Entry entry;
    };
    // The slot for key: its item, or the empty slot where it belongs.
    size_t slotOf(std::string_view key, uint32_t tag) const;
    void grow();

    std::vector<uint64_t> m_slots;  // 0: empty; else hash tag << 32 | item number + 1
    std::vector<Item> m_items;
    size_t m_cursor = 0;  // the item after the previous answer
  };

  std::optional<std::string_view> keyOf(zan::dom::NodeView child) const;
  // parent's table, made on first use.
  Table& build(zan::dom::NodeView parent);
  // parent's table when it has one, else null.
  Table* tableOf(zan::dom::NodeView parent);
  // The first child of parent (in document order) among a and b.
  static zan::dom::NodeView earlier(zan::dom::NodeView parent, zan::dom::NodeView a, zan::dom::NodeView b);
  zan::dom::NodeView firstWithKey(zan::dom::NodeView parent, std::string_view key) const;

  // The keys of the children of the small parent looked at last (consecutive lookups
  // usually share a parent); dropped when that parent changes.
  struct Recent {
    std::uintptr_t parent = 0;
    std::vector<std::pair<std::string_view, zan::dom::NodeView>> keys;
  };

  std::string m_key;
  Keys m_keys;
  bool m_plainKey;  // K needs no XPath to be understood
  std::unordered_map<std::uintptr_t, Table> m_tables;
  // The parent whose table answered last (consecutive lookups usually share a parent).
  std::uintptr_t m_tableParent = 0;
  Table* m_table = nullptr;
  Recent m_recent;
};

#endif
