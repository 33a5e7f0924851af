// Runs a call that must fail with _com_error and returns its status and description, so a
// failure is checked in one line: EXPECT_EQ(E_POINTER, ComFailure([&] { p->Close(); }).status).
// Also the text form of a status and of a COM error, for tables of outcomes.
#ifndef ZAN_TESTS_SUPPORT_COM_FAILURE_H_
#define ZAN_TESTS_SUPPORT_COM_FAILURE_H_

#include <cstdio>
#include <string>
#include <utility>

#include "platform/com/com_error.h"
#include "zanclient/com.h"

namespace zan::test {

struct ComFailureResult {
  HRESULT status = S_OK;             // S_OK when the call did not throw
  std::string description = "no error";
};

// The status as eight upper-case hex digits ("80004003").
inline std::string Hex(HRESULT hr) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08X", static_cast<unsigned>(hr));
  return buf;
}

// The status in hex, then ": " and the description when there is one.
inline std::string ComErrorText(const _com_error& e) {
  return Hex(e.Error()) + (e.Description().empty() ? "" : ": " + e.Description());
}

template <typename Call>
ComFailureResult ComFailure(Call&& call) {
  try {
    std::forward<Call>(call)();
  } catch (const _com_error& e) {
    return {e.Error(), e.Description()};
  }
  return {};
}

}  // namespace zan::test

#endif
