// Reading WebDAV multistatus replies from any server, as a stream: elements of the "DAV:"
// namespace are known by their namespace, whatever prefix (or default namespace) the server
// used, and per response only what a listing needs is kept.
#ifndef ZAN_DAV_MULTISTATUS_H_
#define ZAN_DAV_MULTISTATUS_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zan::dav {

// One <response> of a multistatus reply.
struct MultistatusResponse {
  std::string href;  // the text of its first <href>, as the server wrote it
  // Whether it has a propstat whose status is "HTTP/1.1 200 OK"; props are the children of
  // the first <prop> of the first such propstat: local name (prefix dropped) and text.
  bool found = false;
  std::vector<std::pair<std::string, std::string>> props;
  // Whether the resourcetype of a 200 propstat holds a DAV: collection.
  bool collection = false;

  // The text of the first property of that name; nullptr when none.
  const std::string* Find(std::string_view name) const;
};

// Reads a multistatus reply pushed in chunks as it arrives. The text of an element is the
// text of all its descendants, text nodes of white space only left out. Bounded: the
// nesting limit of the stream reader, and the XML size cap (ZANCLIENT_MAX_XML_SIZE).
class MultistatusReader {
 public:
  // Each response, once read whole, goes to onResponse (and is not kept) when one is given;
  // else it is kept in responses().
  using ResponseHandler = std::function<void(MultistatusResponse&)>;
  explicit MultistatusReader(ResponseHandler onResponse = nullptr);
  ~MultistatusReader();
  MultistatusReader(const MultistatusReader&) = delete;
  MultistatusReader& operator=(const MultistatusReader&) = delete;

  // The next chunk. Malformed text is remembered (see Finish) and the rest ignored; more
  // bytes than the size cap throw _com_error (the transport's kErrReplyTooLarge).
  void Feed(std::string_view chunk);
  // The end of the reply: false when it was not a well-formed multistatus (error() says why).
  bool Finish();
  const std::string& error() const;
  std::vector<MultistatusResponse>& responses();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Reads a whole reply; false (with the reason in error) when it is not a multistatus.
bool ReadMultistatus(std::string_view reply, std::vector<MultistatusResponse>& responses, std::string& error);

// The path of a URL or href ("http://h:p/a/b/" -> "/a/b/"), percent-decoded, with runs of
// '/' folded and one trailing '/' removed, so a collection's href and its request URL
// compare equal.
std::string ComparablePath(std::string_view urlOrHref);

// The last segment of an href, split off before decoding ("/R/My%20Dir/" -> "My Dir";
// "/R/a%2Fb" -> "a/b").
std::string LastSegment(std::string_view href);

// What a PROPPATCH's multistatus reply reports as not applied: for each propstat whose
// status is not 2xx, each of its properties (name without prefix, "HTTP/1.1 403
// Forbidden"); for a response with a non-2xx status of its own, its href. nullopt when the
// reply is not a DAV: multistatus or says nothing about any property.
struct Refusal {
  std::string name;        // a property's name, or a response's href
  std::string statusLine;  // as the server wrote it
};
std::optional<std::vector<Refusal>> RefusedProperties(std::string_view reply);
// "a (HTTP/1.1 403 Forbidden), b (HTTP/1.1 424 Failed Dependency)".
std::string DescribeRefusals(const std::vector<Refusal>& refusals);

}  // namespace zan::dav

#endif
