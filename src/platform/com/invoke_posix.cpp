#include "platform/com/invoke.h"

#include <array>
#include <cstring>
#include <utility>

#include "platform/com/bstr.h"
#include "platform/com/errorinfo.h"

namespace zan::tlb {

HRESULT IdsOfNames(const InterfaceDesc& itf, LPOLESTR* rgszNames, UINT cNames, DISPID* rgDispId) {
  if (cNames == 0) return S_OK;
  if (!rgszNames || !rgDispId) return E_INVALIDARG;
  for (UINT i = 0; i < cNames; ++i) rgDispId[i] = DISPID_UNKNOWN;
  const MethodDesc* m = rgszNames[0] ? itf.FindMethod(std::u16string_view(rgszNames[0])) : nullptr;
  if (!m) return DISP_E_UNKNOWNNAME;
  rgDispId[0] = m->dispid;
  HRESULT hr = S_OK;
  const size_t inCount = m->InCount();
  for (UINT i = 1; i < cNames; ++i) {
    for (size_t p = 0; rgszNames[i] && p < inCount; ++p) {
      if (NameMatches(std::u16string_view(rgszNames[i]), m->params[p].name)) {
        rgDispId[i] = static_cast<DISPID>(p);
        break;
      }
    }
    if (rgDispId[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
  }
  return hr;
}

namespace {

using AnyFunction = void (*)();
template <size_t>
using BstrArg = BSTR;

// Calls fn as HRESULT(void* self, BSTR x N [, BSTR* out]).
template <size_t... I>
HRESULT CallSlot(AnyFunction fn, void* self, const BSTR* in, BSTR* out, std::index_sequence<I...>) {
  if (out) return reinterpret_cast<HRESULT (*)(void*, BstrArg<I>..., BSTR*)>(fn)(self, in[I]..., out);
  return reinterpret_cast<HRESULT (*)(void*, BstrArg<I>...)>(fn)(self, in[I]...);
}

using Caller = HRESULT (*)(AnyFunction, void*, const BSTR*, BSTR*);

template <size_t... N>
constexpr std::array<Caller, sizeof...(N)> MakeCallers(std::index_sequence<N...>) {
  return {[](AnyFunction fn, void* self, const BSTR* in, BSTR* out) {
    return CallSlot(fn, self, in, out, std::make_index_sequence<N>());
  }...};
}

constexpr auto kCallers = MakeCallers(std::make_index_sequence<kMaxInParams + 1>());

// The string of one argument (not copied: the caller owns it).
HRESULT ArgumentString(const VARIANT& v, BSTR* out, bool allowVariantRef = true) {
  switch (v.vt) {
    case VT_BSTR:
      *out = v.bstrVal;
      return S_OK;
    case VT_BSTR | VT_BYREF:
      if (!v.pbstrVal) return DISP_E_TYPEMISMATCH;
      *out = *v.pbstrVal;
      return S_OK;
    case VT_EMPTY:
      *out = nullptr;
      return S_OK;
    case VT_ERROR:
      return v.scode == DISP_E_PARAMNOTFOUND ? DISP_E_PARAMNOTOPTIONAL : DISP_E_TYPEMISMATCH;
    case VT_VARIANT | VT_BYREF:
      if (!allowVariantRef || !v.pvarVal) return DISP_E_TYPEMISMATCH;
      return ArgumentString(*v.pvarVal, out, false);
    default:
      return DISP_E_TYPEMISMATCH;
  }
}

void FillExcepInfo(HRESULT status, EXCEPINFO* ei) {
  std::memset(ei, 0, sizeof *ei);
  ei->scode = status;
  IErrorInfo* info = nullptr;
  if (GetErrorInfo(0, &info) != S_OK || !info) return;
  info->GetSource(&ei->bstrSource);
  info->GetDescription(&ei->bstrDescription);
  info->GetHelpFile(&ei->bstrHelpFile);
  info->GetHelpContext(&ei->dwHelpContext);
  info->Release();
}

}  // namespace

HRESULT InvokeMethod(void* instance, const MethodDesc& m, WORD wFlags, DISPPARAMS* dp, VARIANT* pVarResult,
                     EXCEPINFO* pExcepInfo, UINT* puArgErr) {
  if (!(wFlags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
  if (!instance || !dp) return E_INVALIDARG;
  const size_t inCount = m.InCount();
  if (inCount > kMaxInParams) return E_INVALIDARG;
  if (dp->cArgs != inCount) return DISP_E_BADPARAMCOUNT;
  if (dp->cNamedArgs > dp->cArgs || (dp->cArgs && !dp->rgvarg) || (dp->cNamedArgs && !dp->rgdispidNamedArgs))
    return E_INVALIDARG;

  std::array<BSTR, kMaxInParams> in{};
  std::array<bool, kMaxInParams> given{};
  const UINT positional = dp->cArgs - dp->cNamedArgs;
  auto take = [&](size_t param, UINT index) {
    given[param] = true;
    const HRESULT hr = ArgumentString(dp->rgvarg[index], &in[param]);
    if (FAILED(hr) && puArgErr) *puArgErr = index;
    return hr;
  };
  for (UINT p = 0; p < positional; ++p)
    if (HRESULT hr = take(p, dp->cArgs - 1 - p); FAILED(hr)) return hr;
  for (UINT i = 0; i < dp->cNamedArgs; ++i) {
    const DISPID param = dp->rgdispidNamedArgs[i];
    if (param < 0 || static_cast<size_t>(param) >= inCount || given[static_cast<size_t>(param)]) {
      if (puArgErr) *puArgErr = i;
      return DISP_E_PARAMNOTFOUND;
    }
    if (HRESULT hr = take(static_cast<size_t>(param), i); FAILED(hr)) return hr;
  }

  const AnyFunction fn = (*static_cast<AnyFunction* const*>(instance))[m.vtableSlot];
  BSTR out = nullptr;
  SetErrorInfo(0, nullptr);
  const HRESULT hr = kCallers[inCount](fn, instance, in.data(), m.HasOut() ? &out : nullptr);
  if (FAILED(hr)) {
    SysFreeString(out);
    if (pExcepInfo) FillExcepInfo(hr, pExcepInfo);
    return DISP_E_EXCEPTION;
  }
  if (pVarResult) {
    pVarResult->vt = m.HasOut() ? VT_BSTR : VT_EMPTY;
    pVarResult->bstrVal = out;
  } else {
    SysFreeString(out);
  }
  return S_OK;
}

}  // namespace zan::tlb
