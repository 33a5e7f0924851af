#include "xml/MergeIndex.h"

#include <utility>

#include "platform/com/com_error.h"
#include "platform/dom/node_list.h"
#include "xml/XPathNames.h"

using zan::dom::NodeView;

namespace {
uint32_t TagOf(std::string_view key) {
  const size_t h = std::hash<std::string_view>()(key);
  return static_cast<uint32_t>(h ^ (h >> 32));
}
}  // namespace

MergeIndex::Table::Table(size_t expected) {
  size_t capacity = 16;
  while (capacity < expected * 2) capacity *= 2;
  m_slots.assign(capacity, 0);
  m_items.reserve(expected);
}

size_t MergeIndex::Table::slotOf(std::string_view key, uint32_t tag) const {
  const size_t mask = m_slots.size() - 1;
  for (size_t i = tag & mask;; i = (i + 1) & mask) {
    const uint64_t slot = m_slots[i];
    if (slot == 0) return i;
    if (static_cast<uint32_t>(slot >> 32) == tag && m_items[static_cast<uint32_t>(slot) - 1].key == key) return i;
  }
}

void MergeIndex::Table::grow() {
  m_slots.assign(m_slots.size() * 2, 0);
  const size_t mask = m_slots.size() - 1;
  for (size_t n = 0; n < m_items.size(); ++n) {
    const uint32_t tag = TagOf(m_items[n].key);
    size_t i = tag & mask;
    while (m_slots[i] != 0) i = (i + 1) & mask;
    m_slots[i] = static_cast<uint64_t>(tag) << 32 | (n + 1);
  }
}

MergeIndex::Entry& MergeIndex::Table::at(std::string_view key) {
  if ((m_items.size() + 1) * 2 > m_slots.size()) grow();
  const uint32_t tag = TagOf(key);
  const size_t i = slotOf(key, tag);
  if (m_slots[i] == 0) {
    m_items.push_back(Item{key, Entry{}});
    m_slots[i] = static_cast<uint64_t>(tag) << 32 | m_items.size();
  }
  return m_items[static_cast<uint32_t>(m_slots[i]) - 1].entry;
}

const MergeIndex::Entry* MergeIndex::Table::find(std::string_view key) {
  // The next few items first: the client may have dropped one or two in between.
  constexpr size_t kLookAhead = 3;
  for (size_t i = m_cursor; i < m_items.size() && i < m_cursor + kLookAhead; ++i) {
    if (m_items[i].key == key) {
      m_cursor = i + 1;
      return &m_items[i].entry;
    }
  }
  const uint64_t slot = m_slots[slotOf(key, TagOf(key))];
  if (!slot) return nullptr;
  m_cursor = static_cast<uint32_t>(slot);  // item number + 1: the item after this one
  return &m_items[m_cursor - 1].entry;
}

MergeIndex::MergeIndex(std::string keyAttribute, Keys keys)
    : m_key(std::move(keyAttribute)), m_keys(keys), m_plainKey(zan::xml::IsPlainXPathName(m_key)) {}

std::optional<std::string_view> MergeIndex::keyOf(NodeView child) const {
  if (m_keys == Keys::kAttribute) return child.attribute(m_key.c_str());
  return PkidOrTag(child.attribute("pkid"), child.name());
}

MergeIndex::Table& MergeIndex::build(NodeView parent) {
  size_t children = 0;
  for (NodeView c = parent.firstChild(); c; c = c.nextSibling()) ++children;
  Table& table = m_tables.try_emplace(parent.id(), children).first->second;
  for (NodeView c = parent.firstChild(); c; c = c.nextSibling()) {
    if (!c.isElement()) continue;
    if (const std::optional<std::string_view> key = keyOf(c)) {
      Entry& entry = table.at(*key);
      if (entry.count++ == 0) entry.first = c;
    }
  }
  m_tableParent = parent.id();
  m_table = &table;
  return table;
}

MergeIndex::Table* MergeIndex::tableOf(NodeView parent) {
  if (m_tableParent == parent.id()) return m_table;
  auto tableAt = m_tables.find(parent.id());
  if (tableAt == m_tables.end()) return nullptr;
  m_tableParent = parent.id();
  m_table = &tableAt->second;
  return m_table;
}

MergeIndex::Match MergeIndex::find(NodeView parent, std::string_view key) {
  if (!parent) throw _com_error(E_POINTER);  // as the selection through an empty reference
  if (!m_plainKey) {
    // An odd key attribute name goes to the selection (which rejects invalid names); the key
    // itself is compared as a value, never placed into the expression.
    const zan::dom::NodeList carriers = parent.node().selectNodes("*[@" + m_key + "]");
    Match m;
    for (long i = 0; i < carriers.length(); ++i) {
      const NodeView child(carriers.item(i));
      const std::optional<std::string_view> k = child.attribute(m_key.c_str());
      if (k && *k == key && m.count++ == 0) m.first = child;
    }
    return m;
  }
  if (m_recent.parent != parent.id()) {
    if (Table* table = tableOf(parent)) {
      const Entry* entry = table->find(key);
      return entry ? Match{entry->count, entry->first} : Match{};
    }
    // A small parent: its children's keys, once; a larger one gets its table.
    m_recent.parent = 0;
    m_recent.keys.clear();
    long elements = 0;
    for (NodeView c = parent.firstChild(); c; c = c.nextSibling()) {
      if (!c.isElement()) continue;
      if (++elements > kScanLimit) {
        const Entry* entry = build(parent).find(key);
        return entry ? Match{entry->count, entry->first} : Match{};
      }
      if (const std::optional<std::string_view> k = keyOf(c)) m_recent.keys.emplace_back(*k, c);
    }
    m_recent.parent = parent.id();
  }
  Match m;
  for (const auto& [k, child] : m_recent.keys) {
    if (k == key && m.count++ == 0) m.first = child;
  }
  return m;
}

void MergeIndex::added(NodeView parent, NodeView child) {
  if (m_recent.parent == parent.id()) m_recent.parent = 0;
  Table* table = tableOf(parent);
  if (!table) return;
  if (const std::optional<std::string_view> key = keyOf(child)) {
    Entry& entry = table->at(*key);
    if (entry.count++ == 0) entry.first = child;  // appended last: an earlier first stays first
  }
}

void MergeIndex::replaced(NodeView parent, NodeView oldChild, NodeView newChild) {
  if (m_recent.parent == parent.id()) m_recent.parent = 0;
  Table* found = tableOf(parent);
  if (!found) return;
  Table& table = *found;
  if (const std::optional<std::string_view> key = keyOf(oldChild)) {
    Entry& entry = table.at(*key);
    if (entry.count > 0) --entry.count;
    if (entry.first == oldChild) entry.first = entry.count ? firstWithKey(parent, *key) : NodeView();
  }
  if (const std::optional<std::string_view> key = keyOf(newChild)) {
    Entry& entry = table.at(*key);
    entry.first = entry.count++ == 0 ? newChild : earlier(parent, entry.first, newChild);
  }
}

NodeView MergeIndex::earlier(NodeView parent, NodeView a, NodeView b) {
  for (NodeView c = parent.firstChild(); c; c = c.nextSibling()) {
    if (c == a || c == b) return c;
  }
  return a;
}

NodeView MergeIndex::firstWithKey(NodeView parent, std::string_view key) const {
  for (NodeView c = parent.firstChild(); c; c = c.nextSibling()) {
    if (!c.isElement()) continue;
    const std::optional<std::string_view> k = keyOf(c);
    if (k && *k == key) return c;
  }
  return NodeView();
}
