// Typing into a window as the keyboard and a Chinese input method do it, for tests: the
// messages a window receives, sent in their order.
#pragma once

#include <windows.h>

#include <imm.h>

#include <string>
#include <vector>

namespace kiv_test {

// Each character as WM_CHAR (a UTF-16 unit per message).
inline void SendChars(HWND window, const std::wstring& text) {
  for (wchar_t c : text) ::SendMessageW(window, WM_CHAR, c, 1);
}

// One composition: the reading grows step by step (GCS_COMPSTR updates), the chosen text is
// the result (GCS_RESULTSTR) and arrives as WM_IME_CHAR per character, then the composition
// ends. The window's default handling turns WM_IME_CHAR it does not take into WM_CHAR.
inline void SendComposition(HWND window, const std::vector<std::wstring>& readings, const std::wstring& result) {
  ::SendMessageW(window, WM_IME_STARTCOMPOSITION, 0, 0);
  for (const std::wstring& reading : readings) {
    const WPARAM last = reading.empty() ? 0 : reading.back();
    ::SendMessageW(window, WM_IME_COMPOSITION, last, GCS_COMPREADSTR | GCS_COMPSTR | GCS_CURSORPOS | GCS_DELTASTART);
  }
  ::SendMessageW(window, WM_IME_COMPOSITION, result.empty() ? 0 : result[0], GCS_RESULTREADSTR | GCS_RESULTSTR);
  for (wchar_t c : result) ::SendMessageW(window, WM_IME_CHAR, c, 1);
  ::SendMessageW(window, WM_IME_ENDCOMPOSITION, 0, 0);
}

}  // namespace kiv_test
