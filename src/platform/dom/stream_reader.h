// StreamReader: reads XML pushed in chunks (a reply as it arrives) and reports elements and
// text as they close, holding nothing of the document itself: memory stays proportional to
// the nesting depth, whatever the length. Element names come with their namespace URI
// resolved, whatever prefix the text used. Bounded: more than MaxXmlDepth() levels
// (platform/os/limits.h) or a document type declaration ends the read with an error.
// Not thread-safe; one document per reader.
#ifndef ZAN_PLATFORM_DOM_STREAM_READER_H_
#define ZAN_PLATFORM_DOM_STREAM_READER_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace zan::dom {

class StreamHandler {
 public:
  virtual ~StreamHandler() = default;
  // An element opens; ns is "" for no namespace.
  virtual void StartElement(std::string_view ns, std::string_view localName) = 0;
  virtual void EndElement() = 0;
  // A piece of character data (text or CDATA) of the innermost open element; one text node
  // may come in several pieces.
  virtual void Text(std::string_view text) = 0;
};

class StreamReader {
 public:
  explicit StreamReader(StreamHandler& handler);
  ~StreamReader();
  StreamReader(const StreamReader&) = delete;
  StreamReader& operator=(const StreamReader&) = delete;

  // Reads the next chunk; false once the text is malformed or a bound was passed (then
  // error() says why, and later chunks are ignored). What a handler throws stops the read
  // and is rethrown here.
  bool Feed(std::string_view chunk);
  // The end of the text: false when it is malformed or incomplete.
  bool Finish();
  const std::string& error() const { return error_; }

 private:
  struct Parser;
  std::unique_ptr<Parser> parser_;
  std::string error_;
};

}  // namespace zan::dom

#endif
