// Message pumping for the client's window tests.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

// Runs this thread's message loop until `done` holds or `timeout_ms` passes.
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeout_ms = 5000) {
  const DWORD start = ::GetTickCount();
  while (!done()) {
    if (::GetTickCount() - start > timeout_ms) return false;
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return true;
}

inline void PumpFor(DWORD ms) {
  const DWORD start = ::GetTickCount();
  PumpUntil([&] { return ::GetTickCount() - start >= ms; }, ms + 1000);
}

// Closes the first message box of the client that appears within `timeout_ms`, by
// clicking nothing: a plain WM_CLOSE. Returns whether one appeared.
bool CloseNextMessageBox(DWORD timeout_ms = 8000);

// Saves what the screen shows as a PNG in the "screenshots" folder beside the test
// program; returns the file's path, or an empty text when it could not be written.
std::wstring SaveScreenshot(const wchar_t* name);
