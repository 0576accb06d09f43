#include "stress/stress_stacks.h"

#include <cstdio>

#include "common/win/unique_handle.h"

namespace kiv_stress {

namespace {

constexpr int kFrames = 28;

std::string Frame(DWORD64 address) {
  if (!address) return "null";
  HMODULE module = nullptr;
  char text[MAX_PATH + 64];
  if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCWSTR>(address), &module)) {
    wchar_t path[MAX_PATH] = {0};
    GetModuleFileNameW(module, path, MAX_PATH);
    const wchar_t* name = wcsrchr(path, L'\\');
    snprintf(text, sizeof(text), "%ls+0x%llx", name ? name + 1 : path,
             static_cast<unsigned long long>(address - reinterpret_cast<DWORD64>(module)));
  } else {
    snprintf(text, sizeof(text), "0x%llx", static_cast<unsigned long long>(address));
  }
  return text;
}

#if defined(__x86_64__) || defined(_M_X64)
// Unwinds from `context`; a frame without unwind data (a leaf, or code no longer mapped)
// takes its return address from the top of the stack.
int Walk(CONTEXT& context, DWORD64* frames) {
  int n = 0;
  if (!context.Rip && context.Rsp) {
    // A call through a null pointer: the caller's return address is on top of the stack.
    frames[n++] = 0;
    context.Rip = *reinterpret_cast<DWORD64*>(context.Rsp);
    context.Rsp += 8;
  }
  while (n < kFrames && context.Rip) {
    frames[n++] = context.Rip;
    DWORD64 base = 0;
    PRUNTIME_FUNCTION function = RtlLookupFunctionEntry(context.Rip, &base, nullptr);
    if (!function) {
      context.Rip = *reinterpret_cast<DWORD64*>(context.Rsp);
      context.Rsp += 8;
      continue;
    }
    void* handlerData = nullptr;
    DWORD64 frame = 0;
    RtlVirtualUnwind(UNW_FLAG_NHANDLER, base, context.Rip, function, &context, &handlerData, &frame, nullptr);
  }
  return n;
}
#else
// 32-bit builds do not run here; the faulting address alone.
int Walk(CONTEXT& context, DWORD64* frames) {
  frames[0] = context.Eip;
  return context.Eip ? 1 : 0;
}
#endif

}  // namespace

std::string StackFrom(CONTEXT context) {
  DWORD64 frames[kFrames];
  const int n = Walk(context, frames);
  std::string text;
  for (int i = 0; i < n; ++i) text += (i ? " " : "") + Frame(frames[i]);
  return text;
}

RawStack CaptureThisThread() {
  RawStack stack;
  stack.count = RtlCaptureStackBackTrace(1, kFrames, stack.frames, nullptr);
  return stack;
}

std::string Describe(const RawStack& stack) {
  std::string text;
  for (int i = 0; i < stack.count; ++i) text += (i ? " " : "") + Frame(reinterpret_cast<DWORD64>(stack.frames[i]));
  return text;
}

std::string StackOfThisThread() {
  void* frames[kFrames];
  const USHORT n = RtlCaptureStackBackTrace(1, kFrames, frames, nullptr);
  std::string text;
  for (USHORT i = 0; i < n; ++i) text += (i ? " " : "") + Frame(reinterpret_cast<DWORD64>(frames[i]));
  return text;
}

std::string StackOfThread(DWORD threadId) {
  if (threadId == GetCurrentThreadId()) return StackOfThisThread();
  const kiv_common::UniqueHandle thread(
      OpenThread(THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT | THREAD_QUERY_INFORMATION, FALSE, threadId));
  if (!thread || SuspendThread(thread.get()) == static_cast<DWORD>(-1)) return std::string();
  // Only the walk runs while the thread is suspended: nothing that may take a lock it holds.
  DWORD64 frames[kFrames];
  int n = 0;
  CONTEXT context = {};
  context.ContextFlags = CONTEXT_FULL;
  if (GetThreadContext(thread.get(), &context)) n = Walk(context, frames);
  ResumeThread(thread.get());
  std::string text;
  for (int i = 0; i < n; ++i) text += (i ? " " : "") + Frame(frames[i]);
  return text;
}

}  // namespace kiv_stress
