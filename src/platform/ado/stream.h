// Stream: the platform's ADO stream object in text mode, opened on a server URL ("URL="
// followed by the URL) or on nothing (an in-memory stream).
//
//   Open for reading (adModeRead, adModeUnknown)   GET; the body is held in memory
//   Open for writing (adModeWrite, adModeReadWrite) nothing; the content is fetched (GET)
//                                                   only if a read or a write needs the
//                                                   old bytes
//   Flush, Close after a change                     PUT of the whole new content with
//                                                   If-Match: * (the resource must exist:
//                                                   kAdErrUrlDoesNotExist otherwise)
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
  int64_t Position() const;
  // kAdErrInvalidArgument beyond the end or below 0.
  HRESULT Position(int64_t position);
  // Cuts the content at the position.
  HRESULT SetEOS();
  // Writes the text at the position (adWriteLine adds "\r\n"), overwriting and extending.
  HRESULT WriteText(std::string_view text, long options = adWriteChar);
  // Sends the content to the server when it changed.
  HRESULT Flush();
  // Flush, then closes (also when the flush fails, which then throws).
  HRESULT Close();

  long State() const { return open_ ? adStateOpen : adStateClosed; }

 private:
  void RequireOpen(const char* operation) const;
  void RequireWritable(const char* operation) const;
  void Load();

  bool open_ = false;
  bool writable_ = false;
  bool loaded_ = false;  // content_ holds the resource's bytes
  bool dirty_ = false;   // content_ differs from the server's
  std::string charset_ = "Unicode";
  std::string url_;      // empty for an in-memory stream
  std::string user_;
  std::string password_;
  std::string content_;
  size_t position_ = 0;
};

using StreamPtr = ObjectPtr<Stream>;

}  // namespace zan::ado

#endif
