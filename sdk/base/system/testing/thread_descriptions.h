// The threads of this process by their descriptions (the names SetThreadDescription gave
// them), for tests that look for a library's threads.
#pragma once

#include <windows.h>

#include <tlhelp32.h>

#include <string>

#include "common/win/unique_handle.h"

namespace kiv_test {

using ReadThreadDescription = HRESULT(WINAPI*)(HANDLE, PWSTR*);

// Null where the system keeps no thread descriptions.
inline ReadThreadDescription ThreadDescriptionReader() {
  return reinterpret_cast<ReadThreadDescription>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetThreadDescription")));
}

// Empty when the thread has none.
inline std::wstring ThreadDescription(HANDLE thread) {
  const ReadThreadDescription read = ThreadDescriptionReader();
  PWSTR text = nullptr;
  if (!read || FAILED(read(thread, &text)) || !text) return std::wstring();
  std::wstring description(text);
  LocalFree(text);
  return description;
}

// How many threads of this process carry `description`; -1 when they cannot be listed.
inline int CountThreadsDescribed(const std::wstring& description) {
  if (!ThreadDescriptionReader()) return -1;
  HANDLE listing = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (listing == INVALID_HANDLE_VALUE) return -1;
  const kiv_common::UniqueHandle snapshot(listing);
  int count = 0;
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Thread32First(listing, &entry); more; more = Thread32Next(listing, &entry)) {
    if (entry.th32OwnerProcessID != GetCurrentProcessId()) continue;
    const kiv_common::UniqueHandle thread(OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ThreadID));
    if (thread && ThreadDescription(thread.get()) == description) ++count;
  }
  return count;
}

}  // namespace kiv_test
