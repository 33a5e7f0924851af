// The XML texts that cross the automation interface, as the host reads and writes them:
// item sets (responses and request properties: a root element whose child elements are the
// items, a child with element children being an inner set) and documents (MBP, project
// information). The checks here run before a call, so bad input never reaches the server.
#ifndef ZAN_CLI_XML_TEXT_H_
#define ZAN_CLI_XML_TEXT_H_

#include <string>
#include <utility>
#include <vector>

namespace zancli {

struct Item {
  std::string name;
  std::string value;        // the text of a plain item; "" for an inner set
  std::vector<Item> items;  // the items of an inner set
  bool isSet = false;
};

// The items of an item-set text. False with *error when the text is not well-formed XML or has
// no root element.
bool ParseItemSet(const std::string& xml, std::vector<Item>* items, std::string* error);

// The value of the first plain item of that name among items; "" when there is none.
std::string ValueOf(const std::vector<Item>& items, const std::string& name);

// A property name as the module stores it: a WebDAV property in the DAV: namespace, so an XML
// name without a prefix (letters, digits, '_', '-', '.'; not starting with a digit, '-' or
// '.'), and not containing "QKXItem". False with *why otherwise.
bool CheckPropertyName(const std::string& name, std::string* why);

// "NAME=VALUE" split at the first '='; false with *error when there is no '=' or the name fails
// CheckPropertyName.
bool ParsePropertyArg(const std::string& arg, std::pair<std::string, std::string>* prop, std::string* error);

// The item-set text of a flat list of properties: <QKXItem><NAME>VALUE</NAME>...</QKXItem>,
// values escaped. An empty list gives "" (no properties).
std::string BuildProperties(const std::vector<std::pair<std::string, std::string>>& props);

// Reads a caller's properties text (an item set): well-formed, one root element, and only
// plain items with acceptable names. False with *error otherwise.
bool ParseProperties(const std::string& xml, std::vector<std::pair<std::string, std::string>>* props,
                     std::string* error);

// Checks a document text: well-formed with the root element expectedRoot ("mbp",
// "projectinfo"). False with *error otherwise.
bool CheckDocument(const std::string& xml, const std::string& expectedRoot, std::string* error);

// The document re-indented for reading (two spaces a level); the text unchanged when it does
// not parse or nests deeper than 100 levels (indentation would grow with the square of the
// depth).
std::string Indented(const std::string& xml);

}  // namespace zancli

#endif
