#include "screen_grabber.h"

#include <libyuv/convert.h>

namespace tessarine::media {

ScreenGrabber::ScreenGrabber(int x, int y, int width, int height)
    : x_(x), y_(y), width_(width & ~1), height_(height & ~1) {
  if (width_ <= 0 || height_ <= 0) return;
  screen_ = GetDC(nullptr);
  if (screen_ == nullptr) return;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width_;
  info.bmiHeader.biHeight = -height_;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  memory_.Reset(screen_, CreateDIBSection(screen_, &info, DIB_RGB_COLORS, &pixels_, nullptr, 0));
}

ScreenGrabber::~ScreenGrabber() {
  memory_.Reset();  // before the screen DC it was made compatible with
  if (screen_ != nullptr) ReleaseDC(nullptr, screen_);
}

bool ScreenGrabber::Grab(std::vector<uint8_t>* i420) {
  if (!ok()) return false;
  if (!BitBlt(memory_.dc(), 0, 0, width_, height_, screen_, x_, y_, SRCCOPY | CAPTUREBLT)) return false;
  GdiFlush();
  const size_t luma = static_cast<size_t>(width_) * height_;
  i420->resize(luma * 3 / 2);
  uint8_t* y = i420->data();
  uint8_t* u = y + luma;
  uint8_t* v = u + luma / 4;
  return libyuv::ARGBToI420(static_cast<const uint8_t*>(pixels_), width_ * 4, y, width_, u, width_ / 2, v, width_ / 2,
                            width_, height_) == 0;
}

}  // namespace tessarine::media
