// Where a frame goes in a window for each render mode. Pure logic (no Win32).
#pragma once

#include <cstdint>

namespace tessarine {

struct PixelRect {
  int32_t x = 0, y = 0, width = 0, height = 0;
  bool operator==(const PixelRect& o) const { return x == o.x && y == o.y && width == o.width && height == o.height; }
};

// Render modes: 1 scales the whole frame to the whole window (aspect ignored); 2 fills
// the window keeping the aspect, cropping the frame's overhang equally on both sides;
// 3 shows the whole frame keeping the aspect, centred, the rest of the window bare.
inline constexpr int32_t kModeScaleFill = 1;
inline constexpr int32_t kModeAspectCrop = 2;
inline constexpr int32_t kModeAspectFit = 3;

struct FramePlacement {
  PixelRect source;  // part of the frame drawn
  PixelRect target;  // part of the window drawn into; the rest is bare
};

// An unknown mode is treated as 3. Empty rectangles when either size is not positive.
FramePlacement PlaceFrame(int32_t mode, int32_t frame_width, int32_t frame_height, int32_t window_width,
                          int32_t window_height);

}  // namespace tessarine
