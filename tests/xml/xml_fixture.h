// Helpers for the XML layer tests: the fixed prologue, and outcomes of calls as one-line
// strings ("ok", "<code>: <description>" for the error object, "com <status>: <description>"
// for a platform error).
#ifndef ZAN_TESTS_XML_XML_FIXTURE_H_
#define ZAN_TESTS_XML_XML_FIXTURE_H_

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "base/GenException.h"
#include "platform/com/com_error.h"
#include "support/com_failure.h"

namespace zan::xml::test {

// The three processing instructions every new document starts with.
inline const std::string kPrologue =
    "<?xml version=\"1.0\"?>"
    "<?xml:stylesheet type=\"text/xsl\" version=\"1.0\" xmlns:xsl=\"http://www.w3.org/1999/XSL/Transform\"?>"
    "<?xml:output method=\"html\" encoding=\"UTF-16\"?>";

using zan::test::Hex;

inline std::string Outcome(const std::function<void()>& call) {
  try {
    call();
    return "ok";
  } catch (const CGenException& e) {
    return std::to_string(e.GetErrorCode()) + ": " + e.GetErrorDescription();
  } catch (const _com_error& e) {
    return "com " + zan::test::ComErrorText(e);
  }
}

// The error object a call raises (a default one with code -1 when it raises none).
inline CGenException Raised(const std::function<void()>& call) {
  try {
    call();
  } catch (const CGenException& e) {
    return e;
  }
  ADD_FAILURE() << "no CGenException raised";
  return CGenException("none", -1, "", "");
}

}  // namespace zan::xml::test

#endif
