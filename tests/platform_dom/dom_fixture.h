// Helpers for the DOM tests: documents from text, and failures as "status: description"
// strings so that each check is one line.
#ifndef ZAN_TESTS_PLATFORM_DOM_DOM_FIXTURE_H_
#define ZAN_TESTS_PLATFORM_DOM_DOM_FIXTURE_H_

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/com/com_error.h"
#include "platform/dom/document.h"
#include "support/com_failure.h"

namespace zan::dom::test {

inline Document Parse(const std::string& text) {
  Document d = Document::Create();
  EXPECT_TRUE(d.loadXML(text)) << text << ": " << d.parseErrorReason();
  return d;
}

using zan::test::Hex;

// "ok", or the raised status in hex with its description.
inline std::string Outcome(const std::function<void()>& call) {
  try {
    call();
    return "ok";
  } catch (const _com_error& e) {
    return zan::test::ComErrorText(e);
  }
}

// Only the status of a failure ("ok" on success).
inline std::string Status(const std::function<void()>& call) {
  try {
    call();
    return "ok";
  } catch (const _com_error& e) {
    return Hex(e.Error());
  }
}

}  // namespace zan::dom::test

#endif
