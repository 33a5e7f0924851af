// Stream: the platform's ADO stream object in text mode, opened on a server URL ("URL="
// followed by the URL) or on nothing (an in-memory stream).
//
//   Open for reading (adModeRead, adModeUnknown)   GET; the body and its ETag are held
//   Open for writing (adModeWrite, adModeReadWrite) nothing; the content is fetched (GET)
//                                                   only if a read or a write needs the
//                                                   old bytes
//   Flush, Close after a change; WriteWholeText     PUT of the whole new content with
//                                                   If: <url> (<lock token>) when a lock
//                                                   token is set, and If-Match: the set
//                                                   value, else * (the resource must exist)
//   TakeLock                                    LOCK (exclusive write, Depth 0) with
//                                                   If-Match: *; DELETE under the new lock of
//                                                   an empty resource the LOCK created
//   ReleaseLock                                  UNLOCK
//
// A write that the server refuses with 412 fails with kAdErrResourceChanged when a lock
// token or an If-Match value was set (the resource changed, or the lock is gone), else with
// kAdErrUrlDoesNotExist (If-Match: * found nothing: a write never creates a resource).
//
// Text is 8-bit and passes byte for byte in both directions: the character set (Charset,
// e.g. "ascii") is kept as a name and converts nothing, so no byte is narrowed or replaced.
// Positions and sizes count bytes. Position 0 + SetEOS + WriteText leaves exactly the
// written text. Changes reach the server at Flush or Close; a stream destroyed without
// them discards its changes. Failing calls throw _com_error (ado_errors.h); successful
// calls return S_OK. Used on the thread that created it.
#ifndef ZAN_PLATFORM_ADO_STREAM_H_
#define ZAN_PLATFORM_ADO_STREAM_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/ado/ado_constants.h"
#include "platform/com/object_ptr.h"
#include "zanclient/com.h"

namespace zan::ado {

class Stream {
 public:
  Stream() = default;
  Stream(const Stream&) = delete;
  Stream& operator=(const Stream&) = delete;

  // The character set name (default "Unicode"); any name is accepted and kept.
  HRESULT Charset(std::string_view charset);
  const std::string& Charset() const { return charset_; }

  // source: "URL=" + an http or https URL, the URL alone, or empty for an in-memory stream.
  // A server resource that does not exist fails with kAdErrUrlDoesNotExist (nothing is
  // created). kAdErrObjectOpen when already open.
  HRESULT Open(std::string_view source = {}, long mode = adModeUnknown, long options = adOpenStreamUnspecified,
               std::string_view user = {}, std::string_view password = {});

  // The content's size in bytes.
  int64_t Size();
  // Up to numChars bytes from the position (adReadAll: the rest); advances the position.
  std::string ReadText(long numChars = adReadAll);
  // The rest of the content from the position, moved out of the stream instead of copied:
  // the content ends at the position afterwards. Only on a stream open for reading
  // (kAdErrIllegalOperation otherwise).
  std::string TakeText();
  int64_t Position() const;
  // kAdErrInvalidArgument beyond the end or below 0.
  HRESULT Position(int64_t position);
  // Cuts the content at the position.
  HRESULT SetEOS();
  // Writes the text at the position (adWriteLine adds "\r\n"), overwriting and extending.
  HRESULT WriteText(std::string_view text, long options = adWriteChar);
  // Sends the content to the server when it changed.
  HRESULT Flush();
  // Replaces the resource's whole content with text now: the PUT that Flush sends, with the
  // same conditions and failures, from the caller's bytes (no copy is held). The stream's
  // own content is dropped, to be fetched again if read. Needs a stream open for writing on
  // a URL.
  HRESULT WriteWholeText(std::string_view text);
  // Flush, then closes (also when the flush fails, which then throws).
  HRESULT Close();

  long State() const { return open_ ? adStateOpen : adStateClosed; }

  // The ETag of the resource as the server sent it with the content's GET ("W/" first when
  // weak); "" when it sent none, or before the content was fetched.
  const std::string& ETag() const { return etag_; }
  // Conditions for the write of the content (until Close): the lock token held on the
  // resource (sent as the tagged If header), and the ETag the resource must still have
  // (If-Match; empty: "*", the resource must exist).
  HRESULT LockToken(std::string_view token);
  HRESULT IfMatch(std::string_view etag);

  // Takes an exclusive write lock on the stream's resource, held for at most timeoutSeconds:
  // the lock token, or "" when the server locks nothing (any reply but 200, 201 and 423;
  // what is wrong shows in the next request), or when nothing was there to lock (a server
  // that ignores If-Match on LOCK made an empty resource: it is deleted again, under the new
  // lock, best effort). A lock held by another client fails with kAdErrResourceLocked.
  // Needs a stream open on a URL (kAdErrIllegalOperation for an in-memory one).
  std::string TakeLock(long timeoutSeconds);
  // Releases a lock taken with TakeLock (UNLOCK with Lock-Token: <token>); a reply
  // other than 2xx fails as ado_errors.h maps it. Needs a stream open on a URL.
  HRESULT ReleaseLock(std::string_view token);

 private:
  void RequireOpen(const char* operation) const;
  void RequireWritable(const char* operation) const;
  void RequireUrl(const char* operation) const;
  void Load();
  // The PUT of Flush and WriteWholeText.
  void Put(std::string_view body);

  bool open_ = false;
  bool writable_ = false;
  bool loaded_ = false;  // content_ holds the resource's bytes
  bool dirty_ = false;   // content_ differs from the server's
  std::string charset_ = "Unicode";
  std::string url_;      // empty for an in-memory stream
  std::string user_;
  std::string password_;
  std::string content_;
  std::string etag_;       // of the GET that filled content_
  std::string lockToken_;  // write conditions, until Close
  std::string ifMatch_;
  size_t position_ = 0;
};

using StreamPtr = ObjectPtr<Stream>;

}  // namespace zan::ado

#endif
