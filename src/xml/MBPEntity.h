// CMBPEntity: the MBP document of a business process (MBP.xml): the process id and the time
// of the last change, the parameter and configuration files of an environment, and the
// merge of a client's changed copy. A fresh entity holds only the prologue: load a document
// before use. Copies clone the document. Failure and thread rules as for CZANDataEntity.
#ifndef ZAN_XML_MBPENTITY_H_
#define ZAN_XML_MBPENTITY_H_

#include <string>
#include <string_view>

#include "xml/ZANDataEntity.h"

class CMBPEntity : public CZANDataEntity {
 public:
  CMBPEntity();
  explicit CMBPEntity(std::string_view xml);
  explicit CMBPEntity(std::u16string_view xml);
  ~CMBPEntity() override = default;
  CMBPEntity(const CMBPEntity&) = default;
  CMBPEntity& operator=(const CMBPEntity&) = default;
  CMBPEntity(CMBPEntity&&) noexcept = default;
  CMBPEntity& operator=(CMBPEntity&&) noexcept = default;

  // Attribute id of /mbp/bp.
  void setBPId(std::string_view itemId);
  // Attribute lastmodified of /mbp.
  void setLastModified(std::string_view time);
  // refid + ".prm" of the dataset default of the environment (/mbp/bp/datasets/defaults/
  // default[@pkid=environment]); "" for refid 0. No such default: code 0 "Xml path not
  // found" + " " + path; no refid: _com_error(DISP_E_TYPEMISMATCH).
  std::string getParameterFileName(std::string_view environment);
  // The same for the profile default (/mbp/bp/profiles/defaults/...) with ".cfg".
  std::string getConfigFileName(std::string_view environment);
  // Every element gets the attribute with its merge key (pkid when not empty, else tag).
  void stampMergeKeys(std::string_view attribute) { stampKeys(attribute); }
  // Merges changed into this document by merge keys (the engine passes "dirty", "1",
  // MERGE_ADD): marked elements replace their counterparts, new ones are appended, nothing
  // is deleted; afterwards no element here carries the marker or a merge key. changed is not
  // modified.
  bool mergeChanges(const CMBPEntity& changed, std::string_view markerAttribute, std::string_view markerValue,
                    int flags) {
    return mergeFrom(changed, markerAttribute, markerValue, flags);
  }

 private:
  std::string fileNameOf(std::string_view defaultsPath, std::string_view environment, std::string_view extension);
};

#endif
