#include "xml/MergeIndex.h"

#include <algorithm>
#include <utility>

#include "platform/com/com_error.h"
#include "platform/dom/node_list.h"
#include "xml/XPathNames.h"

MergeIndex::MergeIndex(std::string keyAttribute) : m_key(std::move(keyAttribute)), m_plainKey(zan::xml::IsPlainXPathName(m_key)) {}

void MergeIndex::insert(Table& table, const zan::dom::Element& child) {
  if (std::optional<std::string> value = child.getAttribute(m_key)) table[*value].push_back(child);
}

MergeIndex::Table& MergeIndex::tableFor(const zan::dom::Element& parent) {
  auto [it, created] = m_tables.try_emplace(parent.id());
  if (created) {
    for (zan::dom::Node c = parent.firstChild(); c; c = c.nextSibling()) {
      if (c.nodeType() == zan::dom::NODE_ELEMENT) insert(it->second, zan::dom::Element(c));
    }
  }
  return it->second;
}

MergeIndex::Match MergeIndex::find(const zan::dom::Element& parent, const std::string& key) {
  if (!parent) throw _com_error(E_POINTER);  // as the selection through an empty reference
  Match m;
  if (!m_plainKey || key.find('\'') != std::string::npos) {
    const zan::dom::NodeList found = parent.selectNodes("*[@" + m_key + "='" + key + "']");
    m.count = found.length();
    m.first = zan::dom::Element(found.item(0));
    return m;
  }
  const Table& table = tableFor(parent);
  auto it = table.find(key);
  if (it == table.end() || it->second.empty()) return m;
  m.count = static_cast<long>(it->second.size());
  m.first = it->second.front();
  return m;
}

void MergeIndex::added(const zan::dom::Element& parent, const zan::dom::Element& child) {
  auto it = m_tables.find(parent.id());
  if (it != m_tables.end()) insert(it->second, child);
}

void MergeIndex::replaced(const zan::dom::Element& parent, const zan::dom::Element& oldChild,
                          const zan::dom::Element& newChild) {
  auto it = m_tables.find(parent.id());
  if (it == m_tables.end()) return;
  Table& table = it->second;
  if (std::optional<std::string> value = oldChild.getAttribute(m_key)) {
    auto entry = table.find(*value);
    if (entry != table.end()) {
      std::vector<zan::dom::Element>& list = entry->second;
      list.erase(std::remove(list.begin(), list.end(), oldChild), list.end());
    }
  }
  // The new child stands where the old one stood: keep document order among equal keys.
  if (std::optional<std::string> value = newChild.getAttribute(m_key)) {
    std::vector<zan::dom::Element>& list = table[*value];
    list.push_back(newChild);
    if (list.size() > 1) {
      // Re-establish document order by walking the parent once (rare: duplicate keys).
      std::vector<zan::dom::Element> ordered;
      for (zan::dom::Node c = parent.firstChild(); c; c = c.nextSibling()) {
        if (std::find(list.begin(), list.end(), c) != list.end()) ordered.emplace_back(c);
      }
      list = std::move(ordered);
    }
  }
}

