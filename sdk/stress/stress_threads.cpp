#include "stress/stress_threads.h"

#include <tlhelp32.h>

#include <cstdio>

#include "common/win/unique_handle.h"

namespace kiv_stress {

namespace {

using QueryThread = LONG(WINAPI*)(HANDLE, int, PVOID, ULONG, PULONG);
constexpr int kThreadStartAddress = 9;

}  // namespace

std::set<DWORD> ThreadsOfProcess() {
  std::set<DWORD> ids;
  HANDLE listing = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (listing == INVALID_HANDLE_VALUE) return ids;
  const kiv_common::UniqueHandle snapshot(listing);
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Thread32First(listing, &entry); more; more = Thread32Next(listing, &entry)) {
    if (entry.th32OwnerProcessID == GetCurrentProcessId()) ids.insert(entry.th32ThreadID);
  }
  return ids;
}

std::string DescribeThread(DWORD threadId) {
  char text[512];
  const kiv_common::UniqueHandle thread(OpenThread(THREAD_QUERY_INFORMATION, FALSE, threadId));
  auto query = reinterpret_cast<QueryThread>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationThread")));
  void* start = nullptr;
  if (!thread || !query || query(thread.get(), kThreadStartAddress, &start, sizeof(start), nullptr) != 0) {
    snprintf(text, sizeof(text), "thread %lu (start unknown)", static_cast<unsigned long>(threadId));
    return text;
  }
  HMODULE module = nullptr;
  wchar_t path[MAX_PATH] = {0};
  if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         static_cast<LPCWSTR>(start), &module) &&
      GetModuleFileNameW(module, path, MAX_PATH) > 0) {
    snprintf(text, sizeof(text), "thread %lu starting at %p in %ls", static_cast<unsigned long>(threadId), start, path);
  } else {
    snprintf(text, sizeof(text), "thread %lu starting at %p, not in a loaded module",
             static_cast<unsigned long>(threadId), start);
  }
  return text;
}

}  // namespace kiv_stress
