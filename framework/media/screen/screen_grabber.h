// Copies a rectangle of the virtual screen (GDI BitBlt of the desktop) into an I420
// picture. Odd sizes are rounded down to even, as the video encoder needs.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "common/win/gdi_object.h"

namespace tessarine::media {

class ScreenGrabber {
 public:
  // x, y in virtual-screen coordinates.
  ScreenGrabber(int x, int y, int width, int height);
  ~ScreenGrabber();
  ScreenGrabber(const ScreenGrabber&) = delete;
  ScreenGrabber& operator=(const ScreenGrabber&) = delete;

  [[nodiscard]] bool ok() const { return memory_.dc() != nullptr; }
  [[nodiscard]] int width() const { return width_; }
  [[nodiscard]] int height() const { return height_; }
  // Grabs the rectangle now into `i420` (width * height * 3 / 2 bytes); false on failure.
  bool Grab(std::vector<uint8_t>* i420);

 private:
  int x_;
  int y_;
  int width_;
  int height_;
  HDC screen_ = nullptr;
  kiv_common::MemoryDcWithBitmap memory_;  // with the DIB section selected
  void* pixels_ = nullptr;                 // top-down BGRA of the DIB section
};

}  // namespace tessarine::media
