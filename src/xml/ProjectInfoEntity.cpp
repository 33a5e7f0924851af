#include "xml/ProjectInfoEntity.h"

void CProjectInfoEntity::setProjectName(std::string_view name) {
  getNodeByPath("/projectinfo/projectName").setText(name);
}

void CProjectInfoEntity::setLastModified(std::string_view time) {
  getNodeByPath("/projectinfo").setAttribute("lastmodified", time);
}
