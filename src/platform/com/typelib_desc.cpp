#include "platform/com/typelib_desc.h"

#include <set>

#include "platform/com/names.h"

namespace zan::tlb {

namespace {
char16_t Fold(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c; }
}  // namespace

bool NameMatches(std::u16string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Fold(a[i]) != Fold(static_cast<char16_t>(static_cast<unsigned char>(b[i])))) return false;
  return true;
}

const MethodDesc* InterfaceDesc::FindMethod(DISPID dispid) const {
  for (const MethodDesc& m : methods)
    if (m.dispid == dispid) return &m;
  return nullptr;
}

const MethodDesc* InterfaceDesc::FindMethod(std::u16string_view name) const {
  for (const MethodDesc& m : methods)
    if (NameMatches(name, m.name)) return &m;
  return nullptr;
}

const InterfaceDesc* TypeLibDesc::FindInterface(REFIID iid) const {
  for (const InterfaceDesc& i : interfaces)
    if (i.iid == iid) return &i;
  return nullptr;
}

namespace {

// Case-insensitive set of names.
struct FoldedLess {
  bool operator()(const std::string& a, const std::string& b) const { return reg::NameLess(a, b); }
};

bool ValidMethod(const MethodDesc& m) {
  if (m.name.empty() || m.dispid == DISPID_UNKNOWN || m.vtableSlot < kFirstMethodSlot) return false;
  std::set<std::string, FoldedLess> names;
  for (size_t i = 0; i < m.params.size(); ++i) {
    const ParamDesc& p = m.params[i];
    if (p.name.empty() || !names.insert(p.name).second) return false;
    if (p.outRetval && i + 1 != m.params.size()) return false;
  }
  return m.InCount() <= kMaxInParams;
}

}  // namespace

HRESULT Validate(const TypeLibDesc& desc) {
  for (const InterfaceDesc& itf : desc.interfaces) {
    std::set<std::string, FoldedLess> names;
    std::set<DISPID> dispids;
    std::set<UINT> slots;
    for (const MethodDesc& m : itf.methods) {
      if (!ValidMethod(m) || !names.insert(m.name).second || !dispids.insert(m.dispid).second ||
          !slots.insert(m.vtableSlot).second)
        return E_INVALIDARG;
    }
  }
  for (const CoClassDesc& c : desc.coclasses)
    if (!desc.FindInterface(c.defaultInterface)) return E_INVALIDARG;
  return S_OK;
}

}  // namespace zan::tlb
