#include "base/ErrorContext.h"

#include <utility>

#include "platform/com/com_error.h"

namespace zan::err {

namespace {

std::string StepDescription(const Context& ctx, const std::string& description, bool withCause) {
  if (ctx.lead.empty()) return description + ctx.suffix;
  if (!withCause) return ctx.lead + ctx.suffix;
  return ctx.lead + ": " + description + ctx.suffix;
}

void TakeStep(CGenException& error, const Context& ctx, bool withCause) {
  const int32_t code = ctx.code.value_or(error.GetErrorCode());
  error.AddContext(StepDescription(ctx, error.GetErrorDescription(), withCause), code, ctx.className, ctx.method);
}

CGenException Unknown(const Context& ctx) {
  return CGenException(ctx.unknown + ctx.suffix, ctx.unknownCode, ctx.className, ctx.method);
}

std::exception_ptr Made(CGenException error) { return std::make_exception_ptr(std::move(error)); }

}  // namespace

std::string CopyingFrom(std::string_view from, std::string_view to) {
  return std::string(" .Error while Copying From ").append(from).append(" To ").append(to);
}

std::string MovingFrom(std::string_view from, std::string_view to) {
  return std::string(" .Error while Moving From ").append(from).append(" To ").append(to);
}

Context OwnErrorsOnly(const char* className, const char* method) {
  return {.className = className, .method = method, .platform = Context::Platform::kPass};
}

Context PlatformErrorsOnly(const char* className, const char* method, std::string suffix) {
  return {.className = className,
          .method = method,
          .platform = Context::Platform::kAdoptAndStep,
          .own = Context::Own::kPass,
          .suffix = std::move(suffix)};
}

Context ForResource(const char* className, const char* method, const std::string& shownUrl) {
  return {.className = className,
          .method = method,
          .platform = Context::Platform::kAdoptAndStep,
          .own = Context::Own::kStep,
          .other = Context::Other::kUnknown,
          .suffix = " " + shownUrl,
          .unknown = "Dav Unknown Error. ",
          .unspecified = kCheckNamesText};
}

std::exception_ptr WithContext(std::exception_ptr failure, const Context& ctx) {
  try {
    std::rethrow_exception(failure);
  } catch (const _com_error& e) {
    switch (ctx.platform) {
      case Context::Platform::kPass:
        return failure;
      case Context::Platform::kAdopt:
        return Made(CGenException(e, ctx.className, ctx.method));
      case Context::Platform::kAdoptAndStep: {
        CGenException error(e, ctx.className, ctx.method);
        if (!ctx.unspecified.empty() && error.IsUnspecified()) {
          error.AddContext(ctx.unspecified + ctx.suffix + " (" + error.GetErrorDescription() + ")", kUnknown,
                           ctx.className, ctx.method);
        } else {
          TakeStep(error, ctx, ctx.withCause);
        }
        return Made(std::move(error));
      }
      case Context::Platform::kUnknown:
        return Made(Unknown(ctx));
    }
  } catch (const CGenException& e) {
    switch (ctx.own) {
      case Context::Own::kPass:
        return failure;
      case Context::Own::kStep: {
        CGenException error(e);
        TakeStep(error, ctx, ctx.withCause);
        return Made(std::move(error));
      }
      case Context::Own::kUnknown:
        return Made(Unknown(ctx));
    }
  } catch (...) {
    switch (ctx.other) {
      case Context::Other::kPass:
        return failure;
      case Context::Other::kUnknown:
        return Made(Unknown(ctx));
      case Context::Other::kUnknownAndStep: {
        CGenException error = Unknown(ctx);
        TakeStep(error, ctx, false);
        return Made(std::move(error));
      }
    }
  }
  return failure;
}

void RethrowWithContext(const Context& ctx) { std::rethrow_exception(WithContext(std::current_exception(), ctx)); }

}  // namespace zan::err
