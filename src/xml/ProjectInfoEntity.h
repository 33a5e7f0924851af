// CProjectInfoEntity: the project-information document of a project (MPR.xml): the project
// name, the time of the last change, and the merge of a client's changed copy. Failure and
// thread rules as for CZANDataEntity.
#ifndef ZAN_XML_PROJECTINFOENTITY_H_
#define ZAN_XML_PROJECTINFOENTITY_H_

#include <string_view>

#include "xml/ZANDataEntity.h"

class CProjectInfoEntity : public CZANDataEntity {
 public:
  CProjectInfoEntity() = default;
  ~CProjectInfoEntity() override = default;
  CProjectInfoEntity(const CProjectInfoEntity&) = default;
  CProjectInfoEntity& operator=(const CProjectInfoEntity&) = default;
  CProjectInfoEntity(CProjectInfoEntity&&) noexcept = default;
  CProjectInfoEntity& operator=(CProjectInfoEntity&&) noexcept = default;

  // The whole content of /projectinfo/projectName becomes this one text.
  void setProjectName(std::string_view name);
  // Attribute lastmodified of /projectinfo.
  void setLastModified(std::string_view time);
  void stampMergeKeys(std::string_view attribute) { stampKeys(attribute); }
  // As CMBPEntity::mergeChanges.
  bool mergeChanges(const CProjectInfoEntity& changed, std::string_view markerAttribute,
                    std::string_view markerValue, int flags) {
    return mergeFrom(changed, markerAttribute, markerValue, flags);
  }
};

#endif
