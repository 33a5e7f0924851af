#include "platform/dom/stream_reader.h"

#include <expat.h>

#include <algorithm>
#include <climits>
#include <exception>
#include <utility>

#include "platform/os/limits.h"

namespace zan::dom {

namespace {
constexpr char kSeparator = '\x01';  // between namespace URI and local name in expat's names
}  // namespace

struct StreamReader::Parser {
  XML_Parser xml = nullptr;
  StreamHandler* handler = nullptr;
  std::string* error = nullptr;
  uint64_t depth = 0;
  uint64_t maxDepth = 0;
  bool failed = false;
  std::exception_ptr thrown;  // what a handler threw; rethrown by Feed / Finish

  // Runs a handler call; an exception never unwinds through the parser's C code.
  template <class F>
  void Guarded(F&& call) {
    try {
      call();
    } catch (...) {
      thrown = std::current_exception();
      Stop("The reader's handler failed");
    }
  }
  void RethrowPending() {
    if (!thrown) return;
    std::exception_ptr e = std::exchange(thrown, nullptr);
    std::rethrow_exception(e);
  }

  void Stop(std::string reason) {
    if (failed) return;
    failed = true;
    *error = std::move(reason);
    XML_StopParser(xml, XML_FALSE);
  }

  static void OnStart(void* user, const XML_Char* name, const XML_Char**) {
    auto& p = *static_cast<Parser*>(user);
    if (p.failed) return;
    if (++p.depth > p.maxDepth) {
      p.Stop("The document nests elements deeper than " + zan::os::XmlDepthCapText());
      return;
    }
    const std::string_view full(name);
    const size_t sep = full.find(kSeparator);
    p.Guarded([&] {
      if (sep == std::string_view::npos) {
        p.handler->StartElement({}, full);
      } else {
        p.handler->StartElement(full.substr(0, sep), full.substr(sep + 1));
      }
    });
  }
  static void OnEnd(void* user, const XML_Char*) {
    auto& p = *static_cast<Parser*>(user);
    if (p.failed) return;
    --p.depth;
    p.Guarded([&] { p.handler->EndElement(); });
  }
  static void OnText(void* user, const XML_Char* text, int length) {
    auto& p = *static_cast<Parser*>(user);
    if (!p.failed) p.Guarded([&] { p.handler->Text(std::string_view(text, static_cast<size_t>(length))); });
  }
  static void OnDoctype(void* user, const XML_Char*, const XML_Char*, const XML_Char*, int) {
    static_cast<Parser*>(user)->Stop("A document type declaration is not allowed here");
  }
};

StreamReader::StreamReader(StreamHandler& handler) : parser_(std::make_unique<Parser>()) {
  parser_->xml = XML_ParserCreateNS(nullptr, kSeparator);
  parser_->handler = &handler;
  parser_->error = &error_;
  parser_->maxDepth = zan::os::MaxXmlDepth();
  if (!parser_->xml) {
    parser_->failed = true;
    error_ = "Out of memory";
    return;
  }
  XML_SetUserData(parser_->xml, parser_.get());
  XML_SetElementHandler(parser_->xml, &Parser::OnStart, &Parser::OnEnd);
  XML_SetCharacterDataHandler(parser_->xml, &Parser::OnText);
  XML_SetStartDoctypeDeclHandler(parser_->xml, &Parser::OnDoctype);
}

StreamReader::~StreamReader() {
  if (parser_->xml) XML_ParserFree(parser_->xml);
}

bool StreamReader::Feed(std::string_view chunk) {
  Parser& p = *parser_;
  while (!p.failed && !chunk.empty()) {
    const int n = static_cast<int>(std::min<size_t>(chunk.size(), INT_MAX / 2));
    if (XML_Parse(p.xml, chunk.data(), n, XML_FALSE) != XML_STATUS_OK && !p.failed) {
      p.failed = true;
      error_ = std::string(XML_ErrorString(XML_GetErrorCode(p.xml))) + " at line " +
               std::to_string(XML_GetCurrentLineNumber(p.xml)) + ", column " +
               std::to_string(XML_GetCurrentColumnNumber(p.xml));
    }
    chunk.remove_prefix(static_cast<size_t>(n));
  }
  p.RethrowPending();
  return !p.failed;
}

bool StreamReader::Finish() {
  Parser& p = *parser_;
  if (p.failed) return false;
  if (XML_Parse(p.xml, "", 0, XML_TRUE) != XML_STATUS_OK && !p.failed) {
    p.failed = true;
    error_ = std::string(XML_ErrorString(XML_GetErrorCode(p.xml))) + " at line " +
             std::to_string(XML_GetCurrentLineNumber(p.xml)) + ", column " +
             std::to_string(XML_GetCurrentColumnNumber(p.xml));
  }
  p.RethrowPending();
  return !p.failed;
}

}  // namespace zan::dom
