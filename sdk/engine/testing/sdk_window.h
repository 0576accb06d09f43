// Finding the library's hidden message window of this test program: other programs that run
// at the same time (other tests, the client's) have windows of the same class.
#pragma once

#include <windows.h>

namespace kiv_test {

constexpr const wchar_t* kSdkWindowClass = L"{3B32C1AA-AE53-4AE7-A159-AEBC6D0E03F5}";

// The window of that class owned by this process (and by `threadId` unless 0); null if none.
inline HWND FindOwnSdkWindow(DWORD threadId = 0) {
  HWND window = nullptr;
  while ((window = FindWindowExW(HWND_MESSAGE, window, kSdkWindowClass, nullptr))) {
    DWORD processId = 0;
    const DWORD owner = GetWindowThreadProcessId(window, &processId);
    if (processId == GetCurrentProcessId() && (threadId == 0 || owner == threadId)) return window;
  }
  return nullptr;
}

}  // namespace kiv_test
