#include "render_geometry.h"

namespace tessarine {

FramePlacement PlaceFrame(int32_t mode, int32_t frame_width, int32_t frame_height, int32_t window_width,
                          int32_t window_height) {
  FramePlacement p;
  if (frame_width <= 0 || frame_height <= 0 || window_width <= 0 || window_height <= 0) return p;
  const int64_t fw = frame_width, fh = frame_height, ww = window_width, wh = window_height;
  p.source = {0, 0, frame_width, frame_height};
  p.target = {0, 0, window_width, window_height};
  if (mode == kModeScaleFill) return p;
  if (mode == kModeAspectCrop) {
    if (fw * wh > ww * fh) {  // frame wider than the window: cut left and right
      const int32_t w = static_cast<int32_t>((fh * ww + wh / 2) / wh);
      p.source = {(frame_width - w) / 2, 0, w < 1 ? 1 : w, frame_height};
    } else if (fw * wh < ww * fh) {  // taller: cut top and bottom
      const int32_t h = static_cast<int32_t>((fw * wh + ww / 2) / ww);
      p.source = {0, (frame_height - h) / 2, frame_width, h < 1 ? 1 : h};
    }
    return p;
  }
  // Aspect fit.
  if (fw * wh > ww * fh) {  // bars above and below
    const int32_t h = static_cast<int32_t>((fh * ww + fw / 2) / fw);
    p.target = {0, (window_height - h) / 2, window_width, h < 1 ? 1 : h};
  } else if (fw * wh < ww * fh) {  // bars left and right
    const int32_t w = static_cast<int32_t>((fw * wh + fh / 2) / fh);
    p.target = {(window_width - w) / 2, 0, w < 1 ? 1 : w, window_height};
  }
  return p;
}

}  // namespace tessarine
