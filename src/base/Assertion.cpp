#include "base/Assertion.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace zan {

namespace {

void DefaultHook(const char* text) {
  std::fprintf(stderr, "Assertion failed: %s\n", text);
  std::fflush(stderr);
  std::abort();
}

std::atomic<AssertionHook> g_hook{DefaultHook};

}  // namespace

AssertionHook SetAssertionHook(AssertionHook hook) { return g_hook.exchange(hook ? hook : DefaultHook); }

void AssertionFailed(const char* text) { g_hook.load()(text); }

}  // namespace zan
