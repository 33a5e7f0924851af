// Record: the platform's ADO record object opened on a URL, over WebDAV methods.
//
//   Open, create collection                  MKCOL (an existing resource fails)
//   Open, create collection with overwrite   MKCOL; when the URL is taken (405), DELETE, then MKCOL
//   Open, create non-collection              PUT of an empty body with If-None-Match: *
//     (with overwrite: DELETE, then the PUT)
//   Open, adFailIfNotExists                  PROPFIND Depth 0, once per URL in the process (later
//                                            opens of a URL known to exist send nothing)
//   DeleteRecord                             DELETE (a collection with everything in it);
//                                            only 200/204 are success: a 207 fails naming
//                                            the members not deleted, a 404 fails too
//   CopyRecord server -> server              COPY with Destination and Overwrite T/F
//   CopyRecord server -> file://             GET streamed into the file
//   CopyRecord file:// -> server             PUT streamed from the file
//   MoveRecord server -> server              MOVE with Destination and Overwrite T/F
//
// URLs are raw text (percent-encoded on the wire); a "file://" URL is "file://" followed by
// a local path, '\' or '/' separated. Failing calls throw _com_error (ado_errors.h);
// successful calls return S_OK (no other success status is produced). Used on the thread
// that created it.
#ifndef ZAN_PLATFORM_ADO_RECORD_H_
#define ZAN_PLATFORM_ADO_RECORD_H_

#include <string>
#include <string_view>

#include "platform/ado/ado_constants.h"
#include "platform/com/object_ptr.h"
#include "zanclient/com.h"

namespace zan::ado {

class Record {
 public:
  Record() = default;
  Record(const Record&) = delete;
  Record& operator=(const Record&) = delete;

  // Opens the record on an http or https URL. mode is kept, not enforced. createOptions:
  // adFailIfNotExists, or adCreateCollection / adCreateNonCollection, optionally with
  // adCreateOverwrite or adOpenIfExists (not both). A non-empty user (and password) is
  // sent as HTTP authentication for this record's requests. kAdErrObjectOpen when already
  // open; kAdErrInvalidArgument for other URLs or options.
  HRESULT Open(std::string_view source, Missing activeConnection = vtMissing, long mode = adModeUnknown,
               long createOptions = adFailIfNotExists, long options = adOpenRecordUnspecified,
               std::string_view user = {}, std::string_view password = {});

  // Copies source (empty: this record's URL) to destination; each may be a server URL or a
  // file:// URL. options: adCopyOverWrite replaces an existing destination (otherwise it
  // fails with kAdErrResourceExists); adCopyNonRecursive copies a collection without its
  // members. A server -> file copy writes a temporary file beside the destination and
  // renames it when the whole body has arrived, so a failure leaves no partial file. Empty
  // user and password mean the record's own. async must be false. The destination URL is
  // stored in *newUrl when given. Needs an open record (kAdErrObjectClosed).
  HRESULT CopyRecord(std::string_view source, std::string_view destination, std::string_view user = {},
                     std::string_view password = {}, long options = adCopyUnspecified, bool async = false,
                     std::string* newUrl = nullptr);

  // Moves source (empty: this record's URL) to destination, both server URLs, in one MOVE.
  // options: adMoveOverWrite replaces an existing destination (the server swaps it out in
  // the same request; lighttpd merges two collections instead); otherwise an existing
  // destination fails with kAdErrResourceExists. Success is 201 or 204, or 200 (lighttpd
  // answers a collection's move so). async must be false. Needs an open record.
  HRESULT MoveRecord(std::string_view source, std::string_view destination, std::string_view user = {},
                     std::string_view password = {}, long options = adMoveUnspecified, bool async = false);

  // Deletes source (empty: this record's URL; otherwise a URL or a name relative to it).
  // The record stays open. Needs an open record.
  HRESULT DeleteRecord(std::string_view source = {}, bool async = false);

  // kAdErrObjectClosed when not open.
  HRESULT Close();

  long State() const { return open_ ? adStateOpen : adStateClosed; }
  // The URL the record is open on, and the mode it was opened with.
  const std::string& Url() const { return url_; }
  long Mode() const { return mode_; }

 private:
  void RequireOpen(const char* operation) const;

  bool open_ = false;
  std::string url_;
  long mode_ = adModeUnknown;
  std::string user_;
  std::string password_;
};

using RecordPtr = ObjectPtr<Record>;

// Forgets the process's memory of server URLs known to exist (see Open).
void ForgetKnownUrls();

}  // namespace zan::ado

#endif
