#include "base/ErrorContext.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "platform/com/com_error.h"

namespace {

using zan::err::Context;

// The error an operation's body lets escape.
std::exception_ptr Platform(std::string description = "boom") {
  return std::make_exception_ptr(_com_error(E_FAIL, std::move(description)));
}
std::exception_ptr Own() { return std::make_exception_ptr(CGenException("inner", 7, "A", "a")); }
std::exception_ptr Other() { return std::make_exception_ptr(std::runtime_error("other")); }

// What leaves the operation: a CGenException as its FormatError() (code, description,
// class::method and the inner text), anything else by its kind.
std::string Outcome(std::exception_ptr failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const CGenException& e) {
    return e.FormatError();
  } catch (const _com_error& e) {
    return "platform " + std::to_string(e.Error()) + " " + e.Description();
  } catch (const std::runtime_error& e) {
    return std::string("passed ") + e.what();
  }
}

// The outcome of RethrowWithContext called in the handler of failure.
std::string Rethrown(const Context& ctx, std::exception_ptr failure) {
  try {
    try {
      std::rethrow_exception(failure);
    } catch (...) {
      zan::err::RethrowWithContext(ctx);
    }
  } catch (...) {
    return Outcome(std::current_exception());
  }
  return "nothing thrown";
}

const Context kConnecting{.className = "C",
                          .method = "m",
                          .platform = Context::Platform::kAdoptAndStep,
                          .other = Context::Other::kUnknownAndStep,
                          .lead = "Can not Connect to http://h",
                          .code = 104};
const Context kLeadOnly{.platform = Context::Platform::kUnknown,
                        .lead = "Exists",
                        .withCause = false,
                        .code = 0,
                        .unknown = "Exists -- Unknown error",
                        .unknownCode = 0};
const std::string kAdopted = "Error -2147467259: boom (C::m) \n\r";
const std::string kInner = "Error 7: inner (A::a) \n\r";

TEST(ErrorContext, EachShapeTreatsEachKindOfError) {
  struct Case {
    const char* shape;
    Context ctx;
    std::exception_ptr failure;
    std::string expected;
  } cases[] = {
      {"named", {"C", "m"}, Platform(), kAdopted},
      {"named", {"C", "m"}, Own(), "Error 7: inner (C::m) \n\r" + kInner},
      {"named", {"C", "m"}, Other(), "passed other"},
      {"own errors only", zan::err::OwnErrorsOnly("C", "m"), Platform(), "platform -2147467259 boom"},
      {"own errors only", zan::err::OwnErrorsOnly("C", "m"), Own(), "Error 7: inner (C::m) \n\r" + kInner},
      {"resource", zan::err::ForResource("C", "m", "http://h/x"), Platform(),
       "Error -2147467259: boom http://h/x (C::m) \n\r" + kAdopted},
      {"resource", zan::err::ForResource("C", "m", "http://h/x"), Platform("Unspecified error"),
       "Error 1: An error has occured, check file names,directories names and net connections http://h/x "
       "(Unspecified error) (C::m) \n\rError -2147467259: Unspecified error (C::m) \n\r"},
      {"resource", zan::err::ForResource("C", "m", "http://h/x"), Own(),
       "Error 7: inner http://h/x (C::m) \n\r" + kInner},
      {"resource", zan::err::ForResource("C", "m", "http://h/x"), Other(),
       "Error 1: Dav Unknown Error.  http://h/x (C::m) \n\r"},
      {"connecting", kConnecting, Platform(), "Error 104: Can not Connect to http://h: boom (C::m) \n\r" + kAdopted},
      {"connecting", kConnecting, Own(), "Error 104: Can not Connect to http://h: inner (C::m) \n\r" + kInner},
      {"connecting", kConnecting, Other(),
       "Error 104: Can not Connect to http://h (C::m) \n\rError 1: Unknown Error. (C::m) \n\r"},
      {"lead only", kLeadOnly, Own(), "Error 0: Exists  \n\r" + kInner},
      {"lead only", kLeadOnly, Platform(), "Error 0: Exists -- Unknown error  \n\r"},
      {"lead only", kLeadOnly, Other(), "passed other"},
      {"copying", {.className = "C", .method = "m", .suffix = zan::err::CopyingFrom("a", "b")}, Platform(), kAdopted},
      {"copying", {.className = "C", .method = "m", .suffix = zan::err::CopyingFrom("a", "b")}, Own(),
       "Error 7: inner .Error while Copying From a To b (C::m) \n\r" + kInner},
      {"platform errors only", zan::err::PlatformErrorsOnly("C", "m", zan::err::MovingFrom("a", "b")), Platform(),
       "Error -2147467259: boom .Error while Moving From a To b (C::m) \n\r" + kAdopted},
      {"platform errors only", zan::err::PlatformErrorsOnly("C", "m", zan::err::MovingFrom("a", "b")), Own(), kInner},
      {"platform errors only", zan::err::PlatformErrorsOnly("C", "m", ""), Other(), "passed other"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Rethrown(c.ctx, c.failure), c.expected) << c.shape;
    EXPECT_EQ(Outcome(zan::err::WithContext(c.failure, c.ctx)), c.expected) << c.shape;
  }
}

TEST(ErrorContext, PassingKeepsTheVeryErrorObject) {
  const std::exception_ptr failure = Platform();
  EXPECT_EQ(zan::err::WithContext(failure, zan::err::OwnErrorsOnly("C", "m")), failure);
  const std::exception_ptr own = Own();
  EXPECT_EQ(zan::err::WithContext(own, {.own = Context::Own::kPass}), own);
}

TEST(ErrorContext, StepsChainInTheOrderTheyAreTaken) {
  // An error leaving two nested operations carries both steps, the outer one first.
  std::exception_ptr failure = Own();
  for (const char* level : {"inner", "outer"}) {
    const Context ctx{.className = "C", .method = level, .suffix = " in " + std::string(level)};
    failure = zan::err::WithContext(failure, ctx);
  }
  EXPECT_EQ(Outcome(failure),
            "Error 7: inner in inner in outer (C::outer) \n\rError 7: inner in inner (C::inner) \n\r" + kInner);
}

}  // namespace
