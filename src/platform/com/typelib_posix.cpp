#include "platform/com/typelib.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/com/guid.h"
#include "platform/com/registry.h"
#include "platform/com/typeinfo.h"

namespace zan::tlb {

namespace {

constexpr const char* kPSOAInterface = "{00020424-0000-0000-C000-000000000046}";
constexpr const char* kPSDispatch = "{00020420-0000-0000-C000-000000000046}";

std::mutex g_descriptionsMutex;
std::vector<const TypeLibDesc*> g_descriptions;

std::string Hex(unsigned value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%x", value);
  return buf;
}

std::string VersionName(WORD major, WORD minor) { return Hex(major) + "." + Hex(minor); }

const char* SysKindName(SYSKIND kind) {
  switch (kind) {
    case SYS_WIN16:
      return "win16";
    case SYS_WIN32:
      return "win32";
    case SYS_MAC:
      return "mac";
    case SYS_WIN64:
      return "win64";
    case SYS_LINUX64:
      return "linux64";
  }
  return nullptr;
}

// "<major>.<minor>" in hexadecimal.
std::optional<std::pair<WORD, WORD>> ParseVersion(std::string_view text) {
  const size_t dot = text.find('.');
  if (dot == std::string_view::npos || dot == 0 || dot + 1 == text.size()) return std::nullopt;
  unsigned parts[2] = {0, 0};
  std::string_view pieces[2] = {text.substr(0, dot), text.substr(dot + 1)};
  for (int i = 0; i < 2; ++i) {
    if (pieces[i].size() > 4) return std::nullopt;
    for (char c : pieces[i]) {
      unsigned d;
      if (c >= '0' && c <= '9')
        d = static_cast<unsigned>(c - '0');
      else if (c >= 'a' && c <= 'f')
        d = static_cast<unsigned>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F')
        d = static_cast<unsigned>(c - 'A' + 10);
      else
        return std::nullopt;
      parts[i] = parts[i] * 16 + d;
    }
  }
  return std::make_pair(static_cast<WORD>(parts[0]), static_cast<WORD>(parts[1]));
}

const TypeLibDesc* FindDescription(const GUID& libid, WORD major, WORD minor) {
  std::lock_guard<std::mutex> lock(g_descriptionsMutex);
  for (const TypeLibDesc* d : g_descriptions)
    if (d->libid == libid && d->majorVersion == major && d->minorVersion == minor) return d;
  return nullptr;
}

}  // namespace

void RegisterTypeLibDescription(const TypeLibDesc* desc) {
  if (!desc) return;
  std::lock_guard<std::mutex> lock(g_descriptionsMutex);
  std::erase_if(g_descriptions, [&](const TypeLibDesc* d) {
    return d->libid == desc->libid && d->majorVersion == desc->majorVersion && d->minorVersion == desc->minorVersion;
  });
  g_descriptions.push_back(desc);
}

void UnregisterTypeLibDescription(const TypeLibDesc* desc) {
  std::lock_guard<std::mutex> lock(g_descriptionsMutex);
  std::erase(g_descriptions, desc);
}

HRESULT RegisterTypeLib(const TypeLibDesc& desc, std::string_view modulePath, std::string_view helpDir) {
  if (HRESULT hr = Validate(desc); FAILED(hr)) return hr;
  const std::string libid = GuidToString(desc.libid);
  const std::string version = VersionName(desc.majorVersion, desc.minorVersion);
  return reg::Update([&](reg::Key& root) {
    reg::Key* v = nullptr;
    if (HRESULT hr = root.Create("TypeLib\\" + libid + "\\" + version, &v); FAILED(hr)) return hr;
    v->SetValue("", reg::Value::String(desc.helpString.empty() ? desc.name : desc.helpString));
    v->CreateSubkey(Hex(desc.lcid))
        .CreateSubkey(SysKindName(SYS_LINUX64))
        .SetValue("", reg::Value::String(std::string(modulePath)));
    v->CreateSubkey("FLAGS").SetValue("", reg::Value::String("0"));
    v->CreateSubkey("HELPDIR").SetValue("", reg::Value::String(std::string(helpDir)));
    for (const InterfaceDesc& itf : desc.interfaces) {
      reg::Key* k = nullptr;
      if (HRESULT hr = root.Create("Interface\\" + GuidToString(itf.iid), &k); FAILED(hr)) return hr;
      k->SetValue("", reg::Value::String(itf.name));
      const char* marshaller = itf.dual ? kPSOAInterface : kPSDispatch;
      k->CreateSubkey("ProxyStubClsid").SetValue("", reg::Value::String(marshaller));
      k->CreateSubkey("ProxyStubClsid32").SetValue("", reg::Value::String(marshaller));
      reg::Key& t = k->CreateSubkey("TypeLib");
      t.SetValue("", reg::Value::String(libid));
      t.SetValue("Version", reg::Value::String(version));
    }
    return S_OK;
  });
}

}  // namespace zan::tlb

using namespace zan;

extern "C" HRESULT UnRegisterTypeLib(REFGUID libID, WORD wVerMajor, WORD wVerMinor, LCID lcid, SYSKIND syskind) {
  const char* kind = tlb::SysKindName(syskind);
  if (!kind) return E_INVALIDARG;
  const std::string libid = GuidToString(libID);
  const std::string version = tlb::VersionName(wVerMajor, wVerMinor);
  return reg::Update([&](reg::Key& root) {
    reg::Key* lib = root.Find("TypeLib\\" + libid);
    reg::Key* v = lib ? lib->FindSubkey(version) : nullptr;
    reg::Key* locale = v ? v->FindSubkey(tlb::Hex(lcid)) : nullptr;
    if (!locale || !locale->RemoveSubkey(kind)) return TYPE_E_REGISTRYACCESS;
    if (locale->subkeys().empty()) v->RemoveSubkey(tlb::Hex(lcid));
    const bool otherLocales = std::any_of(v->subkeys().begin(), v->subkeys().end(), [](const reg::Key& k) {
      return !reg::NameEquals(k.name(), "FLAGS") && !reg::NameEquals(k.name(), "HELPDIR");
    });
    if (otherLocales) return S_OK;
    if (reg::Key* interfaces = root.FindSubkey("Interface")) {
      std::vector<std::string> doomed;
      for (const reg::Key& itf : interfaces->subkeys()) {
        const reg::Key* t = itf.FindSubkey("TypeLib");
        const reg::Value* id = t ? t->FindValue("") : nullptr;
        const reg::Value* ver = t ? t->FindValue("Version") : nullptr;
        if (id && ver && reg::NameEquals(id->text, libid) && reg::NameEquals(ver->text, version))
          doomed.push_back(itf.name());
      }
      for (const std::string& name : doomed) interfaces->RemoveSubkey(name);
      if (interfaces->subkeys().empty() && interfaces->values().empty()) root.RemoveSubkey("Interface");
    }
    lib->RemoveSubkey(version);
    if (lib->subkeys().empty()) {
      reg::Key* typeLibs = root.FindSubkey("TypeLib");
      typeLibs->RemoveSubkey(libid);
      if (typeLibs->subkeys().empty() && typeLibs->values().empty()) root.RemoveSubkey("TypeLib");
    }
    return S_OK;
  });
}

extern "C" HRESULT LoadRegTypeLib(REFGUID rguid, WORD wVerMajor, WORD wVerMinor, LCID lcid, ITypeLib** pptlib) {
  if (!pptlib) return E_INVALIDARG;
  *pptlib = nullptr;
  const std::string libid = GuidToString(rguid);
  std::optional<std::pair<WORD, WORD>> found;
  const HRESULT hr = reg::Read([&](const reg::Key& root) {
    const reg::Key* lib = root.Find("TypeLib\\" + libid);
    if (!lib) return TYPE_E_LIBNOTREGISTERED;
    const LCID candidates[] = {lcid, lcid & 0x3FF, 0, 9};
    for (const reg::Key& v : lib->subkeys()) {
      const auto version = tlb::ParseVersion(v.name());
      if (!version || version->first != wVerMajor || version->second < wVerMinor) continue;
      if (found && found->second >= version->second) continue;
      for (LCID c : candidates) {
        const reg::Key* path = v.Find(tlb::Hex(c) + "\\" + tlb::SysKindName(SYS_LINUX64));
        const reg::Value* value = path ? path->FindValue("") : nullptr;
        if (value && value->type == reg::ValueType::kString && !value->text.empty()) {
          found = version;
          break;
        }
      }
    }
    return found ? S_OK : TYPE_E_LIBNOTREGISTERED;
  });
  if (FAILED(hr)) return hr;
  const tlb::TypeLibDesc* desc = tlb::FindDescription(rguid, found->first, found->second);
  if (!desc) return TYPE_E_CANTLOADLIBRARY;
  return tlb::LoadTypeLibFromDescription(*desc, pptlib);
}
