// Screenshots of the test hosts' windows as the screen shows them (24-bit .bmp files).
#pragma once

#include <windows.h>

#include <string>

namespace kiv_test {

// The window's rectangle as on screen now.
bool SaveWindowShot(HWND window, const std::string& path);

// Other hosts share the display: puts `top` in front of every window, repaints it with its
// children, lets the painting reach the screen for `settleMs` (the X server draws
// asynchronously; messages are pumped meanwhile), saves `shown` and puts `top` back.
bool SaveShotInFront(HWND top, HWND shown, const std::string& path, DWORD settleMs);

}  // namespace kiv_test
