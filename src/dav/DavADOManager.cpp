#include "dav/DavADOManager.h"

#include <cstdint>

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
// The statuses of a request that got no reply (platform/http/http_errors.h): WinINet
// errors 12000-12199 in the Win32 facility.
bool IsTransportFailure(HRESULT hr) {
  const uint32_t u = static_cast<uint32_t>(hr);
  return (u & 0xFFFF0000u) == 0x80070000u && (u & 0xFFFFu) >= 12000 && (u & 0xFFFFu) < 12200;
}
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

std::string CDavADOManager::GetFileStream(const std::string& url, std::string* etag) {
  try {
    StreamPtr stream;
    stream.CreateInstance();
    stream->Charset("ascii");
    stream->Open("URL=" + url, adModeRead, adOpenStreamUnspecified, "", "");
    if (etag) *etag = stream->ETag();
    std::string text = stream->TakeText();  // moved, not copied: a document can be large
    stream->Close();
    return text;
  } catch (...) {
    zan::err::RethrowWithContext(zan::err::PlatformErrorsOnly(kClass, "GetFileStream", "Errors with Recource(s): " + url));
  }
}

bool CDavADOManager::SetFileStream(const std::string& url, const std::string& text, const WriteCondition& condition) {
  try {
    StreamPtr stream;
    if (stream.CreateInstance() != S_OK) return false;
    stream->Charset("ascii");
    stream->Open("URL=" + url, adModeReadWrite, adOpenStreamUnspecified, "", "");
    stream->LockToken(condition.lockToken);
    stream->IfMatch(condition.ifMatch);
    stream->WriteWholeText(text);  // from the caller's bytes: a document can be large
    stream->Close();
    return true;
  } catch (const _com_error& e) {
    if (e.Error() == kAdErrResourceChanged)
      throw CGenException("The item was changed by another client. " + url, zan::err::kPreconditionFailed, kClass,
                          "SetFileStream");
    throw CGenException(e, kClass, "SetFileStream");
  }
}

std::string CDavADOManager::LockItem(const std::string& url, int timeoutSeconds) {
  try {
    StreamPtr stream;
    stream.CreateInstance();
    stream->Open("URL=" + url, adModeWrite, adOpenStreamUnspecified, "", "");
    std::string token = stream->TakeLock(timeoutSeconds);
    stream->Close();
    return token;
  } catch (const _com_error& e) {
    if (e.Error() == kAdErrResourceLocked)
      throw CGenException("The item is locked by another client. " + url, zan::err::kLocked, kClass, "LockItem");
    // No reply at all: no lock; the read that follows reports the failure as it would
    // without the lock.
    if (IsTransportFailure(e.Error())) return {};
    throw CGenException(e, kClass, "LockItem");
  }
}

bool CDavADOManager::UnlockItem(const std::string& url, const std::string& lockToken) noexcept {
  try {
    StreamPtr stream;
    stream.CreateInstance();
    stream->Open("URL=" + url, adModeWrite, adOpenStreamUnspecified, "", "");
    stream->ReleaseLock(lockToken);
    stream->Close();
    return true;
  } catch (...) {
    return false;
  }
}

bool CDavADOManager::FindChildrenProperties(const std::string& url, XMLSet& request, XMLSet& result) {
  findResourceProperties(url, request.getXml(), "1,noroot", result);
  return true;
}

bool CDavADOManager::setResourceProperties(const std::string& url, const std::string& xmlText) {
  return CDavHTTPManager::setResourceProperties(url, xmlText);
}
