// Follows the mouse and keyboard messages of a window of this process by subclassing it;
// the window keeps working as before. One hook per window.
#pragma once

#include <windows.h>

#include <functional>

namespace tessarine::media {

class WindowInputHook {
 public:
  // Input messages of the window (mouse, wheel, keys), on the window's thread.
  using Sink = std::function<void(HWND window, UINT message, WPARAM wParam, LPARAM lParam)>;

  // Replaces an earlier hook of the same window. False when the window is not one of
  // this process.
  static bool Attach(HWND window, Sink sink);
  // The window's own procedure comes back (when nothing subclassed it after us).
  static void Detach(HWND window);
};

}  // namespace tessarine::media
