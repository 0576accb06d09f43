// Call stacks as module-relative addresses ("kiv_sdk_stress_test.exe+0x1a2b3"), for the
// faults and the stall report; x86_64-w64-mingw32-addr2line -f -C -e <program> turns the
// program's offsets (added to its image base 0x140000000) into functions and lines.
#pragma once

#include <windows.h>

#include <string>

namespace kiv_stress {

std::string StackOfThisThread();
// The return addresses of the calling thread, without naming their modules (which may wait
// for the loader's lock); Describe names them.
struct RawStack {
  void* frames[28] = {};
  int count = 0;
};
RawStack CaptureThisThread();
std::string Describe(const RawStack& stack);
// The stack from a thread's registers (an exception's context).
std::string StackFrom(CONTEXT context);
// Suspends the thread for the walk; "" when it cannot be read.
std::string StackOfThread(DWORD threadId);

}  // namespace kiv_stress
