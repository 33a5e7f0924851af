// The nodes of a listing response (GetProjects, GetChildren): one inner set per node with
// ZAN_NAME, ZAN_NODE_TYPE and ZAN_HAS_CHILDREN. The response carries no ids; a child's id is
// its parent's id + "/" + its name, as the repository names nodes by their path.
#ifndef ZAN_CLI_LISTING_H_
#define ZAN_CLI_LISTING_H_

#include <string>
#include <vector>

namespace zancli {

struct Node {
  std::string id;
  std::string name;
  std::string type;  // ZAN_NODE_TYPE
  bool hasChildren = false;
};

// The id of the child called name under parentId ("" is the server root).
std::string ChildId(const std::string& parentId, const std::string& name);

// Whether a listed name is one path segment, so that ChildId names a node below the parent:
// not empty, not "." or "..", no '/', '\' or control character.
bool IsPathSegment(const std::string& name);

// The nodes of a listing response, in the response's order. False with *error when the text
// is not an item set.
bool ReadListing(const std::string& xml, const std::string& parentId, std::vector<Node>* nodes, std::string* error);

// The properties of a properties response (its first inner set), in the response's order.
bool ReadProperties(const std::string& xml, std::vector<std::pair<std::string, std::string>>* props,
                    std::string* error);

}  // namespace zancli

#endif
