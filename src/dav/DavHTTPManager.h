// CDavHTTPManager: reads and writes WebDAV properties with raw PROPPATCH / PROPFIND requests
// built from item sets, and turns multistatus replies back into item sets. Stateless. Every
// call blocks on the caller's thread until the whole reply has arrived.
#ifndef ZAN_DAV_DAVHTTPMANAGER_H_
#define ZAN_DAV_DAVHTTPMANAGER_H_

#include <string>
#include <utility>
#include <vector>

#include "dav/Multistatus.h"
#include "xml/XMLSet.h"

class CDavHTTPManager {
 public:
  CDavHTTPManager() = default;
  virtual ~CDavHTTPManager() = default;

  // PROPPATCH: every item of the item-set text becomes a property (namespace "DAV:") of the
  // resource, each in a <set> of its own. True when the server applied every property:
  // 200/204, or 207 with every propstat 2xx; false when the send reports a success status
  // other than S_OK. A server that keeps no dead properties (405, 500 or 501, or a 207
  // refusing every property with 403) raises "The server does not store WebDAV properties,
  // ..." with the status line (code 1). A 207 that refuses a property raises (code 1) "The
  // server refused properties of " + url + ": " and each refused property with its status
  // line; another status raises "Dav Unknown Error. " + url (code 1) with the status line; a
  // COM error is shown in the error alert and passed on unchanged.
  bool setResourceProperties(const std::string& url, const std::string& xmlText);

  // PROPFIND with the given Depth ("0", or "1,noroot" for the members of a collection
  // without the collection itself: sent as Depth 1 to the collection's URL with a trailing
  // slash, the response whose href names the collection dropped). One inner set per
  // resource whose properties were found is appended to result. 404 raises code 404 "The
  // item you requested was not found. " + url; another status but 207 raises "Dav Unknown
  // Error. " + url (code 1); both name the reply's status line, e.g. " (HTTP/1.1 401
  // Unauthorized)".
  bool findResourceProperties(const std::string& url, const std::string& xmlText, const std::string& depth,
                              XMLSet& result);

  // PROPFIND Depth "1" of a collection, asking for the items of requestXml: how many members
  // (the collection itself not counted) carry one of the properties. -1 when the reply does
  // not hold the collection's own response, so it cannot be a whole listing. Failures as
  // findResourceProperties.
  long countMembers(const std::string& url, const std::string& requestXml);

 protected:
  // One member of a collection listing: its href as the server wrote it, whether its
  // resourcetype holds a collection, and its found properties (named without prefix).
  using Member = zan::dav::MultistatusResponse;
  // PROPFIND Depth "1" for url's members (the collection itself left out), asking for
  // the items of requestXml and resourcetype; failures as findResourceProperties.
  std::vector<Member> listMembers(const std::string& url, const std::string& requestXml);

 private:
  // Sends the PROPFIND and hands each response of the reply, read as it arrives, to
  // onResponse, the response naming url itself left out for a "1,noroot" depth (sent as "1"). The
  // responses count only when this returns: it raises the failures of
  // findResourceProperties without their context, and code 1 naming the reason and the
  // status line for a reply that is not a well-formed multistatus.
  void propfind(const std::string& url, const std::string& requestXml, const std::string& depth, bool askResourceType,
                const zan::dav::MultistatusReader::ResponseHandler& onResponse);
};

#endif
