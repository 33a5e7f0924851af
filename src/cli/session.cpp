#include "cli/session.h"

#include "cli/exit_codes.h"

namespace zancli {

namespace {

std::string Text(const Exports& e, BSTR b) {
  return b ? Utf16ToUtf8(Utf16View(b, e.SysStringLen(b))) : "";
}

}  // namespace

Session::Session(const Module& module, std::string serverUrl) : module_(module), server_(std::move(serverUrl)) {
  const Exports& e = module_.exports();
  Ref<IClassFactory> factory;
  HRESULT hr = e.DllGetClassObject(zanclient::kClsidZANApi, IID_IClassFactory, factory.out_void());
  if (FAILED(hr)) throw HostError("the module gives no class object for ZANApi (" + StatusText(hr) + ")", hr);
  hr = factory->CreateInstance(nullptr, zanclient::kIidIZANApi, api_.out_void());
  if (FAILED(hr)) throw HostError("the module cannot create a ZANApi object (" + StatusText(hr) + ")", hr);
}

std::string Session::TakeErrorText() {
  Ref<IErrorInfo> info;
  if (module_.exports().GetErrorInfo(0, info.out()) != S_OK || !info) return "";
  Bstr text(module_.exports());
  if (FAILED(info->GetDescription(text.out()))) return "";
  return text.Utf8();
}

Outcome Session::Call(const Operation& op, const std::vector<std::string>& args) {
  const Exports& e = module_.exports();
  Bstr url(e, server_);
  std::vector<Bstr> owned;
  owned.reserve(args.size());
  std::vector<BSTR> in;
  for (const std::string& a : args) {
    owned.emplace_back(e, a);
    in.push_back(owned.back().get());
  }
  Bstr out(e);
  Outcome r;
  r.hr = op.invoke(api_.get(), url.get(), in.data(), op.out ? out.out() : nullptr);
  if (r.ok())
    r.text = out.Utf8();
  else
    r.error = TakeErrorText();
  return r;
}

Outcome Session::Call(const char* name, const std::vector<std::string>& args) {
  return Call(*FindOperation(name), args);
}

Outcome Session::Invoke(const std::string& name, const std::vector<std::string>& args) {
  const Exports& e = module_.exports();
  Outcome r;
  Ref<IDispatch> disp;
  r.hr = api_->QueryInterface(IID_IDispatch, disp.out_void());
  if (FAILED(r.hr)) return r;

  std::u16string wide = Utf8ToUtf16(name);
  LPOLESTR names[1] = {OleChars(wide.data())};
  DISPID id = DISPID_UNKNOWN;
  r.hr = disp->GetIDsOfNames(GUID_NULL, names, 1, 0, &id);
  if (FAILED(r.hr)) {
    r.error = TakeErrorText();
    return r;
  }

  // Arguments go in reverse order: serverUrl, the first parameter, is the last VARIANT.
  std::vector<Bstr> owned;
  owned.reserve(args.size() + 1);
  owned.emplace_back(e, server_);
  for (const std::string& a : args) owned.emplace_back(e, a);
  std::vector<VARIANT> vars(owned.size());
  for (size_t i = 0; i < owned.size(); ++i) {
    VARIANT& v = vars[owned.size() - 1 - i];
    v = VARIANT{};
    v.vt = VT_BSTR;
    v.bstrVal = owned[i].get();
  }
  DISPPARAMS params{vars.data(), nullptr, static_cast<UINT>(vars.size()), 0};
  VARIANT result{};
  result.vt = VT_EMPTY;
  EXCEPINFO excep{};
  UINT argErr = 0;
  r.hr = disp->Invoke(id, GUID_NULL, 0, DISPATCH_METHOD, &params, &result, &excep, &argErr);

  if (r.hr == DISP_E_EXCEPTION) {
    if (excep.pfnDeferredFillIn) excep.pfnDeferredFillIn(&excep);
    if (excep.scode != 0) r.hr = excep.scode;
    r.error = Text(e, excep.bstrDescription);
  } else if (FAILED(r.hr)) {
    r.error = TakeErrorText();
  }
  e.SysFreeString(excep.bstrSource);
  e.SysFreeString(excep.bstrDescription);
  e.SysFreeString(excep.bstrHelpFile);
  if (result.vt == VT_BSTR) {
    if (r.ok()) r.text = Text(e, result.bstrVal);
    e.SysFreeString(result.bstrVal);
  }
  return r;
}

}  // namespace zancli
