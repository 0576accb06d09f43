// A test host's top-level window: a plain window of its own class (default window procedure,
// a stock brush for the background).
#pragma once

#include <windows.h>

namespace kiv_test {

// `outer` is the window's rectangle on screen; null when the window cannot be made.
HWND CreateHostWindow(const wchar_t* className, const wchar_t* title, DWORD style, int stockBrush, const RECT& outer);

}  // namespace kiv_test
