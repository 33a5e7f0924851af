#include "base/GenException.h"

#include <utility>

#include "platform/com/bstr.h"
#include "platform/com/errorinfo.h"
#include "platform/http/user_info.h"
#include "platform/os/codepage.h"
#include "platform/os/lasterror.h"

CGenException::CGenException(std::string description, int32_t code, std::string className, std::string methodName)
    : m_description(zan::http::MaskPasswords(description)),
      m_code(code),
      m_className(std::move(className)),
      m_methodName(std::move(methodName)) {}

CGenException::CGenException(int32_t code, std::string description)
    : m_description(zan::http::MaskPasswords(description)), m_code(code) {}

CGenException::CGenException(const _com_error& e, std::string className, std::string methodName)
    : m_description(zan::http::MaskPasswords(e.Description())),
      m_code(e.Error()),
      m_className(std::move(className)),
      m_methodName(std::move(methodName)) {}

std::string CGenException::FormatError() const {
  std::string context;
  if (!m_className.empty() || !m_methodName.empty()) context = "(" + m_className + "::" + m_methodName + ")";
  return "Error " + std::to_string(m_code) + ": " + m_description + " " + context + " \n\r" + m_innerText;
}

std::string CGenException::GetFullText() const { return m_description + "\n\r\n\r" + FormatError(); }

void CGenException::AddContext(std::string description, int32_t code, std::string className,
                               std::string methodName) {
  m_innerText = FormatError();
  m_description = zan::http::MaskPasswords(description);
  m_code = code;
  m_className = std::move(className);
  m_methodName = std::move(methodName);
}

void CGenException::Rethrow(std::string description, int32_t code, std::string className, std::string methodName) {
  AddContext(std::move(description), code, std::move(className), std::move(methodName));
  throw CGenException(*this);
}

HRESULT CGenException::ReportToCaller(REFCLSID clsid) const {
  const HRESULT status = zan::err::StatusOf(m_code);
  ICreateErrorInfo* create = nullptr;
  if (FAILED(CreateErrorInfo(&create)) || !create) return status;
  std::u16string text = zan::os::MultiByteToWide(GetFullText());
  create->SetGUID(GUID_NULL);
  LPOLESTR progId = nullptr;
  if (SUCCEEDED(ProgIDFromCLSID(clsid, &progId)) && progId) {
    create->SetSource(progId);
    CoTaskMemFree(progId);
  }
  create->SetDescription(zan::AsOleText(text.data()));
  IErrorInfo* info = nullptr;
  if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info))) && info) {
    SetErrorInfo(0, info);
    info->Release();
  }
  create->Release();
  return status;
}

bool CGenException::IsUnspecified() const { return m_description.rfind("Unspecified error", 0) == 0; }

std::string GetLastErrorText() { return zan::os::SystemMessage(zan::os::LastError()); }

std::string GetLastErrorLine() {
  std::string text = GetLastErrorText();
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}
