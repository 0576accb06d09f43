// Call stacks of the native stress build: the calling thread's return addresses (glibc's
// backtrace), named by the symbol table. Another thread's stack is not read natively (the
// sanitizers print their own reports with stacks).
#include <execinfo.h>

#include <cstdio>
#include <cstdlib>

#include "stress/stress_stacks.h"

namespace kiv_stress {

std::string StackOfThisThread() { return Describe(CaptureThisThread()); }

RawStack CaptureThisThread() {
  RawStack stack;
  stack.count = backtrace(stack.frames, static_cast<int>(sizeof(stack.frames) / sizeof(stack.frames[0])));
  return stack;
}

std::string Describe(const RawStack& stack) {
  if (stack.count <= 0) return std::string();
  char** names = backtrace_symbols(stack.frames, stack.count);
  std::string text;
  for (int i = 0; i < stack.count; ++i) {
    char address[32];
    snprintf(address, sizeof(address), "%p", stack.frames[i]);
    text += (i ? " " : "") + std::string(names ? names[i] : address);
  }
  free(names);
  return text;
}

std::string StackFrom(CONTEXT) { return std::string(); }

std::string StackOfThread(DWORD threadId) {
  if (threadId == GetCurrentThreadId()) return StackOfThisThread();
  return std::string();
}

}  // namespace kiv_stress
