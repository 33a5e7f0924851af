#include "platform/dom/document.h"

#include <cerrno>
#include <string>

#include "platform/dom/tree.h"
#include "platform/os/codepage.h"
#include "platform/os/file_io.h"
#include "platform/os/lasterror.h"
#include "platform/os/limits.h"

namespace zan::dom {

using detail::Fail;
using detail::Tree;

struct Document::Core {
  detail::TreePtr tree = std::make_shared<Tree>();
  std::string parseError;
};

namespace {

void SetName(pugi::xml_node n, std::string_view name) {
  if (!n.set_name(std::string(name).c_str())) Fail(E_OUTOFMEMORY, "Not enough memory for the XML document");
}

void SetValue(pugi::xml_node n, std::string_view value) {
  if (!value.empty() && !n.set_value(std::string(value).c_str()))
    Fail(E_OUTOFMEMORY, "Not enough memory for the XML document");
}

void CheckName(std::string_view name, const char* what) {
  if (!detail::IsXmlName(name)) Fail(E_FAIL, std::string("Invalid ") + what + " name: \"" + std::string(name) + "\"");
}

// A detached text, CDATA or comment node.
Node MakeData(const detail::TreePtr& tree, pugi::xml_node_type type, std::string_view data) {
  pugi::xml_node n = detail::Checked(tree->orphans().append_child(type));
  SetValue(n, data);
  return Access::make(tree, n);
}

}  // namespace

Document Document::Create() { return Document(std::make_shared<Core>()); }

Document Document::clone() const {
  const Core& from = core();
  auto copy = std::make_shared<Core>();
  copy->parseError = from.parseError;
  const Tree& source = *from.tree;
  Tree& target = *copy->tree;
  for (pugi::xml_node n = source.firstTop(); n; n = source.nextOf(n)) {
    const pugi::xml_node made = detail::Checked(target.doc.append_copy(n));
    detail::CopyBindings(source, n, target, made);
  }
  return Document(std::move(copy));
}

Document::Core& Document::core() const {
  if (!core_) detail::FailNull();
  return *core_;
}

Node Document::createProcessingInstruction(std::string_view target, std::string_view data) const {
  Tree& tree = *core().tree;
  CheckName(target, "processing instruction target");
  pugi::xml_node pi = detail::Checked(tree.orphans().append_child(pugi::node_pi));
  SetName(pi, target);
  SetValue(pi, data);
  return Access::make(core().tree, pi);
}

Element Document::createElement(std::string_view tagName) const {
  Tree& tree = *core().tree;
  CheckName(tagName, "element");
  pugi::xml_node e = detail::Checked(tree.orphans().append_child(pugi::node_element));
  SetName(e, tagName);
  return Element(Access::make(core().tree, e));
}

Node Document::createTextNode(std::string_view text) const { return MakeData(core().tree, pugi::node_pcdata, text); }

Node Document::createComment(std::string_view text) const { return MakeData(core().tree, pugi::node_comment, text); }

Node Document::createNode(int type, std::string_view name, std::string_view namespaceURI) const {
  switch (type) {
    case NODE_ELEMENT: {
      Tree& tree = *core().tree;
      Element e = createElement(name);
      const size_t colon = name.find(':');
      std::string prefix = colon == std::string_view::npos ? std::string() : std::string(name.substr(0, colon));
      if (prefix.empty() || !namespaceURI.empty()) {
        tree.generated[Access::raw(e).internal_object()] =
            detail::NsBinding{std::move(prefix), std::string(namespaceURI)};
        detail::FixNamespaces(tree, Access::raw(e));
      }
      return e;
    }
    case NODE_TEXT: return MakeData(core().tree, pugi::node_pcdata, "");
    case NODE_CDATA_SECTION: return MakeData(core().tree, pugi::node_cdata, "");
    case NODE_COMMENT: return MakeData(core().tree, pugi::node_comment, "");
    default: Fail(E_INVALIDARG, "Unsupported node type " + std::to_string(type));
  }
}

Node Document::asNode() const { return Access::make(core().tree, core().tree->doc); }

Element Document::documentElement() const {
  const Tree& tree = *core().tree;
  for (pugi::xml_node c = tree.firstTop(); c; c = tree.nextOf(c)) {
    if (c.type() == pugi::node_element) return Element(Access::make(core().tree, c));
  }
  return Element();
}

NodeList Document::childNodes() const { return asNode().childNodes(); }
Node Document::firstChild() const { return asNode().firstChild(); }
Node Document::lastChild() const { return asNode().lastChild(); }
Node Document::appendChild(const Node& newChild) const { return asNode().appendChild(newChild); }
Node Document::insertBefore(const Node& newChild, const Node& refChild) const {
  return asNode().insertBefore(newChild, refChild);
}
Node Document::replaceChild(const Node& newChild, const Node& oldChild, Node* inserted) const {
  return asNode().replaceChild(newChild, oldChild, inserted);
}
Node Document::removeChild(const Node& oldChild) const { return asNode().removeChild(oldChild); }

std::string Document::xml() const { return detail::Serialise(*core().tree, core().tree->doc); }
std::u16string Document::xmlW() const { return zan::os::MultiByteToWide(xml()); }
std::string Document::text() const { return detail::TextOf(*core().tree, core().tree->doc); }

bool Document::loadXML(std::string_view text) const {
  Core& c = core();
  auto tree = std::make_shared<Tree>();
  const bool ok = detail::Parse(*tree, text.data(), text.size(), pugi::encoding_utf8, c.parseError);
  c.tree = std::move(tree);
  return ok;
}

bool Document::loadXML(std::u16string_view text) const { return loadXML(zan::os::WideToMultiByte(text)); }

bool Document::load(std::string_view url) const {
  Core& c = core();
  constexpr std::string_view kScheme = "file://";
  std::string_view path = url;
  if (path.substr(0, kScheme.size()) == kScheme) path.remove_prefix(kScheme.size());
  auto tree = std::make_shared<Tree>();
  std::string bytes;
  bool ok = false;
  if (zan::os::ReadWholeFile(path, bytes, zan::os::MaxXmlSize())) {
    ok = detail::Parse(*tree, bytes.data(), bytes.size(), pugi::encoding_auto, c.parseError);
  } else if (zan::os::IsTooLarge(zan::os::LastError())) {
    c.parseError = "Could not read " + std::string(path) + ": the file is larger than " + zan::os::XmlSizeCapText();
  } else {
    c.parseError = "Could not read " + std::string(path) + ": " + zan::os::SystemMessage(zan::os::LastError());
  }
  c.tree = std::move(tree);
  return ok;
}

std::string Document::parseErrorReason() const { return core().parseError; }

NodeList Document::selectNodes(std::string_view xpath) const { return asNode().selectNodes(xpath); }
Node Document::selectSingleNode(std::string_view xpath) const { return asNode().selectSingleNode(xpath); }
NodeList Document::selectAllElements() const { return asNode().selectAllElements(); }

}  // namespace zan::dom
