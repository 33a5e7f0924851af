// Runs a call that must fail with _com_error and returns its status and description, so a
// failure is checked in one line: EXPECT_EQ(E_POINTER, ComFailure([&] { p->Close(); }).status).
#ifndef ZAN_TESTS_SUPPORT_COM_FAILURE_H_
#define ZAN_TESTS_SUPPORT_COM_FAILURE_H_

#include <string>
#include <utility>

#include "platform/com/com_error.h"
#include "zanclient/com.h"

namespace zan::test {

struct ComFailureResult {
  HRESULT status = S_OK;             // S_OK when the call did not throw
  std::string description = "no error";
};

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
