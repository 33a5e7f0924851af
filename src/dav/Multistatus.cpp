#include "dav/Multistatus.h"

#include <mutex>
#include <set>

#include "platform/com/com_error.h"
#include "platform/dom/stream_reader.h"
#include "platform/http/http_errors.h"
#include "platform/dom/document.h"
#include "platform/dom/element.h"
#include "platform/dom/node_list.h"
#include "platform/http/url_encoding.h"
#include "platform/os/limits.h"

namespace zan::dav {

namespace {

constexpr std::string_view kDavNamespace = "DAV:";
constexpr std::string_view kOk = "HTTP/1.1 200 OK";

bool IsBlank(std::string_view text) { return text.find_first_not_of(" \t\r\n") == std::string_view::npos; }

// The status code of a status line ("HTTP/1.1 424 Failed Dependency" -> 424); 0 when none.
int StatusCodeOf(std::string_view line) {
  const size_t blank = line.find(' ');
  if (blank == std::string_view::npos) return 0;
  int code = 0;
  size_t i = blank + 1;
  for (int digits = 0; digits < 3; ++digits, ++i) {
    if (i >= line.size() || line[i] < '0' || line[i] > '9') return 0;
    code = code * 10 + (line[i] - '0');
  }
  return code;
}

bool IsDav(const dom::Node& node, std::string_view localName) {
  return node.nodeType() == dom::NODE_ELEMENT && node.namespaceURI() == kDavNamespace && node.baseName() == localName;
}

// The first DAV: child element of node with that local name (empty when none).
dom::Node DavChild(const dom::Node& node, std::string_view localName) {
  for (dom::Node c = node.firstChild(); c; c = c.nextSibling())
    if (IsDav(c, localName)) return c;
  return dom::Node();
}

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// The multistatus root of the reply, or empty when the reply is not one.
dom::Element MultistatusRoot(const dom::Document& doc, std::string_view reply) {
  if (!doc.loadXML(reply)) return dom::Element();
  const dom::Element root = doc.documentElement();
  return root && IsDav(root, "multistatus") ? root : dom::Element();
}

}  // namespace

const std::string* MultistatusResponse::Find(std::string_view name) const {
  for (const auto& [n, v] : props)
    if (n == name) return &v;
  return nullptr;
}

// The reader's position, by depth: 1 multistatus, 2 response, 3 href / propstat,
// 4 status / prop, 5 a property, 6 inside a property (resourcetype's collection).
struct MultistatusReader::State : dom::StreamHandler {
  dom::StreamReader reader{*this};
  ResponseHandler onResponse;
  std::vector<MultistatusResponse> responses;
  std::string error;
  uint64_t bytes = 0;
  uint64_t cap = os::MaxXmlSize();
  bool badRoot = false;

  uint64_t depth = 0;
  bool inResponse = false;
  bool hasHref = false;
  // The propstat being read.
  bool inPropstat = false;
  std::string status;
  bool hasStatus = false;
  bool propSeen = false;  // its first <prop> has been read
  bool inProp = false;
  std::vector<std::pair<std::string, std::string>> props;
  bool hasResourceType = false;
  bool isCollection = false;
  bool inResourceType = false;
  // Text being gathered for an element (href, status or a property) opened at captureDepth.
  enum class Target { kNone, kHref, kStatus, kProperty } target = Target::kNone;
  uint64_t captureDepth = 0;
  std::string capture;
  std::string textNode;  // the pieces of the current text node

  void FlushText() {
    if (!textNode.empty() && !IsBlank(textNode)) capture += textNode;
    textNode.clear();
  }

  void StartElement(std::string_view ns, std::string_view name) override {
    FlushText();
    ++depth;
    const bool dav = ns == kDavNamespace;
    if (target != Target::kNone) {
      if (inResourceType && depth == 6 && dav && name == "collection") isCollection = true;
      return;
    }
    switch (depth) {
      case 1:
        badRoot = !(dav && name == "multistatus");
        break;
      case 2:
        if (dav && name == "response") {
          inResponse = true;
          hasHref = false;
          responses.emplace_back();
        }
        break;
      case 3:
        if (!inResponse || !dav) break;
        if (name == "href" && !hasHref) Begin(Target::kHref);
        if (name == "propstat") {
          inPropstat = true;
          status.clear();
          hasStatus = false;
          propSeen = false;
          props.clear();
          hasResourceType = false;
          isCollection = false;
        }
        break;
      case 4:
        if (!inPropstat || !dav) break;
        if (name == "status" && !hasStatus) Begin(Target::kStatus);
        if (name == "prop" && !propSeen) inProp = true;
        break;
      case 5:
        if (!inProp) break;
        props.emplace_back(std::string(name), std::string());
        if (dav && name == "resourcetype" && !hasResourceType) {
          hasResourceType = true;
          inResourceType = true;
        }
        Begin(Target::kProperty);
        break;
      default:
        break;
    }
  }

  void Begin(Target t) {
    target = t;
    captureDepth = depth;
    capture.clear();
  }

  void EndElement() override {
    FlushText();
    if (target != Target::kNone && depth == captureDepth) {
      switch (target) {
        case Target::kHref:
          responses.back().href = std::move(capture);
          hasHref = true;
          break;
        case Target::kStatus:
          status = std::move(capture);
          hasStatus = true;
          break;
        case Target::kProperty:
          props.back().second = std::move(capture);
          inResourceType = false;
          break;
        case Target::kNone:
          break;
      }
      capture.clear();
      target = Target::kNone;
    } else if (target == Target::kNone) {
      if (depth == 4 && inProp) {
        inProp = false;
        propSeen = true;
      } else if (depth == 3 && inPropstat) {
        inPropstat = false;
        if (status == kOk) {
          MultistatusResponse& r = responses.back();
          if (!r.found) {
            r.found = true;
            r.props = std::move(props);
          }
          if (hasResourceType) r.collection = isCollection;
        }
        props.clear();
      } else if (depth == 2 && inResponse) {
        inResponse = false;
        if (onResponse) {
          onResponse(responses.back());
          responses.pop_back();
        }
      }
    }
    --depth;
  }

  void Text(std::string_view text) override {
    if (target != Target::kNone) textNode.append(text);
  }
};

MultistatusReader::MultistatusReader(ResponseHandler onResponse) : state_(std::make_unique<State>()) {
  state_->onResponse = std::move(onResponse);
}
MultistatusReader::~MultistatusReader() = default;

void MultistatusReader::Feed(std::string_view chunk) {
  State& s = *state_;
  s.bytes += chunk.size();
  if (s.bytes > s.cap)
    throw _com_error(http::kErrReplyTooLarge, "The server's reply is larger than " + os::XmlSizeCapText());
  if (s.error.empty() && !s.badRoot && !s.reader.Feed(chunk)) s.error = s.reader.error();
}

bool MultistatusReader::Finish() {
  State& s = *state_;
  if (s.error.empty() && !s.badRoot && !s.reader.Finish()) s.error = s.reader.error();
  if (s.error.empty() && s.badRoot) s.error = "its document element is not a DAV: multistatus";
  return s.error.empty();
}

const std::string& MultistatusReader::error() const { return state_->error; }

std::vector<MultistatusResponse>& MultistatusReader::responses() { return state_->responses; }

bool ReadMultistatus(std::string_view reply, std::vector<MultistatusResponse>& responses, std::string& error) {
  MultistatusReader reader;
  reader.Feed(reply);
  const bool ok = reader.Finish();
  error = reader.error();
  responses = std::move(reader.responses());
  return ok;
}

std::optional<std::vector<Refusal>> RefusedProperties(std::string_view reply) {
  const dom::Document doc = dom::Document::Create();
  const dom::Element root = MultistatusRoot(doc, reply);
  if (!root) return std::nullopt;
  std::vector<Refusal> refused;
  bool anyPropstat = false;
  for (dom::Node response = root.firstChild(); response; response = response.nextSibling()) {
    if (!IsDav(response, "response")) continue;
    for (dom::Node propstat = response.firstChild(); propstat; propstat = propstat.nextSibling()) {
      if (!IsDav(propstat, "propstat")) continue;
      anyPropstat = true;
      const dom::Node status = DavChild(propstat, "status");
      const std::string line = status ? Trimmed(status.text()) : std::string();
      const int code = StatusCodeOf(line);
      if (code >= 200 && code <= 299) continue;
      const dom::Node prop = DavChild(propstat, "prop");
      bool named = false;
      for (dom::Node p = prop ? prop.firstChild() : dom::Node(); p; p = p.nextSibling()) {
        if (p.nodeType() != dom::NODE_ELEMENT) continue;
        refused.push_back({p.baseName(), line});
        named = true;
      }
      if (!named) refused.push_back({"(unnamed property)", line});
    }
    // A response without propstat reports its status for the whole resource.
    const dom::Node status = DavChild(response, "status");
    if (status) {
      const std::string line = Trimmed(status.text());
      const int code = StatusCodeOf(line);
      anyPropstat = true;
      if (code < 200 || code > 299) {
        const dom::Node href = DavChild(response, "href");
        refused.push_back({href ? Trimmed(href.text()) : std::string(), line});
      }
    }
  }
  if (!anyPropstat) return std::nullopt;  // nothing says what was applied
  return refused;
}

std::string DescribeRefusals(const std::vector<Refusal>& refusals) {
  std::string text;
  for (const Refusal& r : refusals) {
    if (!text.empty()) text += ", ";
    text += r.name + " (" + (r.statusLine.empty() ? std::string("no status") : r.statusLine) + ")";
  }
  return text;
}

std::string ComparablePath(std::string_view urlOrHref) {
  std::string_view path = urlOrHref;
  const size_t scheme = path.find("://");
  if (scheme != std::string_view::npos) {
    const size_t slash = path.find('/', scheme + 3);
    path = slash == std::string_view::npos ? std::string_view("/") : path.substr(slash);
  }
  const std::string decoded = http::DecodeUrl(path);
  std::string folded;
  for (char c : decoded)
    if (!(c == '/' && !folded.empty() && folded.back() == '/')) folded.push_back(c);
  if (folded.size() > 1 && folded.back() == '/') folded.pop_back();
  return folded;
}

std::string LastSegment(std::string_view href) {
  // Split before decoding, so an encoded '/' inside a name stays in the name.
  std::string_view path = href;
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  const size_t slash = path.rfind('/');
  return http::DecodeUrl(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

}  // namespace zan::dav
