// Draws a converted frame into a window with GDI: the placed part of the frame stretched
// into its target rectangle, the rest of the client area black.
#pragma once

#include <cstdint>
#include <vector>

#include "avcore/platform.h"
#include "render_geometry.h"

namespace tessarine {

// `bgra` holds `width` x `height` pixels, top row first. False when the window is gone
// or GDI refused the drawing.
bool PaintFrame(HWND window, const std::vector<uint32_t>& bgra, int32_t width, int32_t height, int32_t mode);

// The client area's size; false when the window is gone.
bool ClientSize(HWND window, int32_t* width, int32_t* height);

}  // namespace tessarine
