// The 32-bit top-down bitmap a window is painted into before it is copied to the screen;
// grows with the window and is released with its owner.
#pragma once

#include <windows.h>

#include "winlib/gdi_object.h"

namespace DuiLib {

class OffscreenBuffer {
 public:
  // A DC at least cx by cy pixels, compatible with `screen`; null when none can be made.
  HDC Ensure(HDC screen, int cx, int cy);

 private:
  MemoryDcWithBitmap m_buffer;
  SIZE m_size{0, 0};
};

}  // namespace DuiLib
