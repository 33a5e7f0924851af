// Shared fixture of the WebDAV manager tests: a fresh repository root on the test Apache,
// a manager, a local temporary directory, and helpers whose results are strings so each
// check is one line.
#ifndef ZAN_TESTS_DAV_DAV_FIXTURE_H_
#define ZAN_TESTS_DAV_DAV_FIXTURE_H_

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "base/GenException.h"
#include "dav/DavADOManager.h"
#include "support/dav_server.h"
#include "support/temp_dir.h"
#include "xml/XMLSet.h"

namespace zan::test {

class DavManagerTest : public DavTest {
 protected:
  // "<code>|<description>" of the CGenException the call raises; "no error" otherwise.
  static std::string Failure(const std::function<void()>& call) {
    try {
      call();
    } catch (const CGenException& e) {
      return std::to_string(e.GetErrorCode()) + "|" + e.GetErrorDescription();
    } catch (const _com_error& e) {
      return "com " + std::to_string(e.Error()) + "|" + e.Description();
    }
    return "no error";
  }

  // An item set holding the given names with empty values.
  static XMLSet Names(std::initializer_list<const char*> names) {
    XMLSet set;
    for (const char* n : names) set.addItem(n, "");
    return set;
  }

  // The inner sets of a result set as "name=value,name=value;..." in order.
  static std::string Flatten(XMLSet& result) {
    std::string out;
    for (long i = 0; i < result.getCount(); ++i) {
      XMLSet inner;
      result.getInnerSet(i, inner);
      if (!out.empty()) out += ";";
      std::string name, value;
      for (long k = 0; k < inner.getCount(); ++k) {
        inner.getItem(k, name, value);
        out += (k ? "," : "") + name + "=" + value;
      }
    }
    return out;
  }

  CDavADOManager m;
  TempDir local;
};

}  // namespace zan::test

#endif
