// The synthetic cameras' picture: colour bars in an order of the camera's own, a box
// that moves a step every frame, a scrolling ramp, and a dark box with lines of text
// (the camera's name, its source and a clock) so that a screenshot tells the cameras
// apart. Pure logic (no Win32).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "i420_image.h"

namespace tessarine {

// Magnification of the 5 x 7 font for a picture of that height (at least 1).
int32_t TextScaleFor(int32_t height);

// Draws the pattern of frame `frame_number` of camera `camera_number` (1, 2, ...) into
// `image`, which gives the size.
void DrawTestPattern(int32_t camera_number, uint32_t frame_number, const std::vector<std::string>& lines,
                     I420Image* image);

// Lines of white text on a dark box whose top-left corner is (x, y); text beyond the
// picture is cut. Each character cell is 6 x 9 font pixels of `scale` picture pixels.
void DrawTextBox(int32_t x, int32_t y, int32_t scale, const std::vector<std::string>& lines, I420Image* image);

// Left edge of the moving box in frame `frame_number` of a picture `width` wide.
int32_t MovingBoxX(uint32_t frame_number, int32_t width);

}  // namespace tessarine
