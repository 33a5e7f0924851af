// The one place where an operation adds its context to an error escaping it. An operation
// describes what it adds (a Context) and calls RethrowWithContext from a single catch (...):
//
//   try {
//     ...
//   } catch (...) {
//     zan::err::RethrowWithContext({kClass, "countMembers"});
//   }
//
// The recurring texts of such context are formatted here too, each once.
#ifndef ZAN_BASE_ERRORCONTEXT_H_
#define ZAN_BASE_ERRORCONTEXT_H_

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>

#include "base/GenException.h"

namespace zan::err {

// The replacement text of an unspecified platform failure (and of a parent that cannot take a
// new node).
inline constexpr char kCheckNamesText[] =
    "An error has occured, check file names,directories names and net connections";

// " .Error while Copying From <from> To <to>"
std::string CopyingFrom(std::string_view from, std::string_view to);
// " .Error while Moving From <from> To <to>"
std::string MovingFrom(std::string_view from, std::string_view to);

// An operation's context, and what it does with each kind of error escaping it. Taking "a
// step" is CGenException::AddContext: the error's FormatError() folds into its inner text and
// it takes the step's description, the step's code, and className::method. The step's
// description is the error's description, or lead + ": " + it (lead alone without withCause),
// then suffix; its code is code when given, else the error's own. The defaults ({className,
// method}): a platform error is adopted, an own error takes one step that keeps its
// description and code, anything else passes.
struct Context {
  enum class Platform {  // a _com_error
    kPass,               // leaves as it is
    kAdopt,              // becomes CGenException(e, className, method); no step
    kAdoptAndStep,       // adopted, then takes the step (or the unspecified replacement)
    kUnknown,            // becomes the unknown error
  };
  enum class Own {  // a CGenException
    kPass,
    kStep,
    kUnknown,
  };
  enum class Other {  // anything else
    kPass,
    kUnknown,
    kUnknownAndStep,  // the unknown error, then a step that names no cause: lead + suffix
  };

  const char* className = "";
  const char* method = "";
  Platform platform = Platform::kAdopt;
  Own own = Own::kStep;
  Other other = Other::kPass;
  std::string lead{};
  bool withCause = true;
  std::string suffix{};
  std::optional<int32_t> code{};
  // The unknown error: CGenException(unknown + suffix, unknownCode, className, method).
  std::string unknown = "Unknown Error.";
  int32_t unknownCode = kUnknown;
  // When set, an adopted error whose description begins "Unspecified error" takes instead the
  // step unspecified + suffix + " (" + its description + ")", code 1.
  std::string unspecified{};
};

// The context of an operation that names itself on its own errors (CGenException) only;
// every other error passes as it is.
Context OwnErrorsOnly(const char* className, const char* method);

// The context of an operation that names itself, with suffix, on platform errors only: they
// are adopted and take the step; its own errors and any other pass as they are.
Context PlatformErrorsOnly(const char* className, const char* method, std::string suffix);

// The context of an operation on one resource: a platform error is adopted and, like the
// operation's own errors, gains " " + shownUrl (an unspecified one reads kCheckNamesText); any
// other failure becomes code 1 "Dav Unknown Error.  " + shownUrl.
Context ForResource(const char* className, const char* method, const std::string& shownUrl);

// The error that leaves an operation with context ctx when failure escapes its body: failure
// itself where ctx passes it, else a new CGenException. Never throws but what allocation does.
std::exception_ptr WithContext(std::exception_ptr failure, const Context& ctx);

// Inside a catch handler: throws what WithContext makes of the error being handled.
[[noreturn]] void RethrowWithContext(const Context& ctx);

}  // namespace zan::err

#endif
