// Checks of programming errors (violated preconditions). A failed check reports its
// expression text to the assertion hook; the default hook prints "Assertion failed: <text>"
// to standard error and aborts. A test may install a hook that throws, to see the text.
#ifndef ZAN_BASE_ASSERTION_H_
#define ZAN_BASE_ASSERTION_H_

namespace zan {

using AssertionHook = void (*)(const char* text);

// Installs hook (nullptr installs the default) and returns the previous one. Any thread.
AssertionHook SetAssertionHook(AssertionHook hook);
// Reports a failed check. When the hook returns, the caller goes on as in a build without
// checks.
void AssertionFailed(const char* text);

}  // namespace zan

// Checks expr; when false, reports its text exactly as written.
#define ZAN_ASSERT(expr) ((expr) ? static_cast<void>(0) : ::zan::AssertionFailed(#expr))

#endif
