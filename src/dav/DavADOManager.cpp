#include "dav/DavADOManager.h"

#include "base/ErrorContext.h"
#include "base/GenException.h"
#include "dav/CollectionUrl.h"
#include "platform/ado/ado_constants.h"
#include "platform/ado/ado_errors.h"
#include "platform/ado/record.h"
#include "platform/ado/stream.h"
#include "platform/os/codepage.h"
#include "platform/os/alert.h"

using namespace zan::ado;

namespace {
constexpr const char* kClass = "CDavADOManager";
}  // namespace

bool CDavADOManager::CreateItem(const std::string& parentUrl, const std::string& name, bool collection) {
  try {
    const std::string url = parentUrl + "/" + name;
    return CreateItem(collection ? zan::dav::CollectionUrl(url) : url,
                      collection ? adCreateCollection : adCreateNonCollection, adModeReadWrite, adOpenRecordUnspecified);
  } catch (...) {
    zan::err::RethrowWithContext({.className = kClass, .method = "CreateItem", .own = zan::err::Context::Own::kPass});
  }
}

bool CDavADOManager::CreateItem(const std::string& url, long createOptions, long mode, long openOptions) {
  try {
    RecordPtr record;
    record.CreateInstance();
    if (record->Open(url, vtMissing, mode, createOptions, openOptions, "", "") != S_OK) return false;
    record->Close();
    return true;
  } catch (...) {
    zan::err::RethrowWithContext(zan::err::ForResource(kClass, "CreateItem", zan::dav::NamedUrl(url)));
  }
}

bool CDavADOManager::DeleteItem(const std::string& url) {
  try {
    RecordPtr record;
    if (record.CreateInstance() != S_OK) return false;
    if (record->Open(url, vtMissing, adModeRead, adFailIfNotExists, adOpenRecordUnspecified, "", "") != S_OK) return false;
    if (record->DeleteRecord("", false) != S_OK) return false;
    record->Close();
    return true;
  } catch (const _com_error& e) {
    zan::os::ShowErrorAlert("Description = '" + e.Description() + "'");
    throw;
  }
}

std::string CDavADOManager::GetParentUrl(const std::string& url) {
  const size_t slash = url.rfind('/');
  return slash == std::string::npos ? std::string() : url.substr(0, slash);
}

bool CDavADOManager::Copy(const std::string& recordUrl, const std::string& sourceUrl, const std::string& destinationUrl,
                          const std::string& user, const std::string& password, long copyOptions) {
  try {
    RecordPtr record;
    if (FAILED(record.CreateInstance())) return false;
    record->Open(recordUrl, vtMissing, adModeUnknown, adFailIfNotExists, adOpenRecordUnspecified, user, password);
    record->CopyRecord(sourceUrl, destinationUrl, user, password, copyOptions, false);
    return true;
  } catch (...) {
    zan::err::RethrowWithContext(
        zan::err::PlatformErrorsOnly(kClass, "Copy", zan::err::CopyingFrom(sourceUrl, destinationUrl)));
  }
}

void CDavADOManager::MoveItem(const std::string& recordUrl, const std::string& sourceUrl,
                              const std::string& destinationUrl) {
  try {
    RecordPtr record;
    record.CreateInstance();
    record->Open(recordUrl, vtMissing, adModeUnknown, adFailIfNotExists, adOpenRecordUnspecified, "", "");
    record->MoveRecord(sourceUrl, destinationUrl, "", "", adMoveUnspecified, false);
  } catch (...) {
    zan::err::RethrowWithContext(zan::err::PlatformErrorsOnly(
        kClass, "MoveItem", zan::err::MovingFrom(zan::dav::NamedUrl(sourceUrl), zan::dav::NamedUrl(destinationUrl))));
  }
}

std::string CDavADOManager::RemoveIfPresent(const std::string& recordUrl, const std::string& url) noexcept {
  try {
    RecordPtr record;
    record.CreateInstance();
    record->Open(recordUrl, vtMissing, adModeUnknown, adFailIfNotExists, adOpenRecordUnspecified, "", "");
    record->DeleteRecord(url, false);
    return "";
  } catch (const _com_error& e) {
    if (e.Error() == kAdErrUrlDoesNotExist) return "";
    return e.Description();
  } catch (...) {
    return "Unknown Error. " + url;
  }
}

std::string CDavADOManager::GetFileStream(const std::string& url) {
  try {
    StreamPtr stream;
    stream.CreateInstance();
    stream->Charset("ascii");
    stream->Open("URL=" + url, adModeRead, adOpenStreamUnspecified, "", "");
    const int64_t size = stream->Size();
    std::string text = stream->ReadText(static_cast<long>(size));
    stream->Close();
    return text;
  } catch (const _com_error& e) {
    CGenException error(e, kClass, "GetFileStream");
    error.Rethrow(error.GetErrorDescription() + "Errors with Recource(s): " + url, error.GetErrorCode(), kClass,
                  "GetFileStream");
  }
}

bool CDavADOManager::SetFileStream(const std::string& url, const std::string& text) {
  try {
    StreamPtr stream;
    if (stream.CreateInstance() != S_OK) return false;
    stream->Charset("ascii");
    stream->Open("URL=" + url, adModeReadWrite, adOpenStreamUnspecified, "", "");
    stream->Position(0);
    stream->SetEOS();
    stream->WriteText(text, adWriteChar);
    stream->Close();
    return true;
  } catch (const _com_error& e) {
    throw CGenException(e, kClass, "SetFileStream");
  }
}

bool CDavADOManager::FindChildrenProperties(const std::string& url, XMLSet& request, XMLSet& result) {
  findResourceProperties(url, request.getXml(), "1,noroot", result);
  return true;
}

bool CDavADOManager::setResourceProperties(const std::string& url, const std::string& xmlText) {
  return CDavHTTPManager::setResourceProperties(url, xmlText);
}
