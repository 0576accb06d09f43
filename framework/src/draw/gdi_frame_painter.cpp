#include "gdi_frame_painter.h"

#include <algorithm>

namespace tessarine {
namespace {

// A window's device context, released with the object.
class WindowDc {
 public:
  explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~WindowDc() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

void FillBlack(HDC dc, int32_t left, int32_t top, int32_t right, int32_t bottom) {
  if (left >= right || top >= bottom) return;
  RECT r{left, top, right, bottom};
  FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
}

}  // namespace

bool ClientSize(HWND window, int32_t* width, int32_t* height) {
  RECT client;
  if (window == nullptr || !IsWindow(window) || !GetClientRect(window, &client)) return false;
  *width = client.right - client.left;
  *height = client.bottom - client.top;
  return true;
}

bool PaintFrame(HWND window, const std::vector<uint32_t>& bgra, int32_t width, int32_t height, int32_t mode) {
  int32_t cw = 0, ch = 0;
  if (!ClientSize(window, &cw, &ch)) return false;
  if (cw <= 0 || ch <= 0) return true;  // nothing visible to draw
  const FramePlacement p = PlaceFrame(mode, width, height, cw, ch);
  if (p.source.width <= 0 || p.target.width <= 0) return false;

  // The source part as its own top-down bitmap, so that no bottom-up origin rule applies.
  const std::vector<uint32_t>* pixels = &bgra;
  std::vector<uint32_t> part;
  if (p.source.width != width || p.source.height != height) {
    part.resize(static_cast<size_t>(p.source.width) * p.source.height);
    for (int32_t row = 0; row < p.source.height; ++row) {
      const uint32_t* from = bgra.data() + static_cast<size_t>(p.source.y + row) * width + p.source.x;
      std::copy(from, from + p.source.width, part.begin() + static_cast<size_t>(row) * p.source.width);
    }
    pixels = &part;
  }

  WindowDc dc(window);
  if (!dc.get()) return false;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = p.source.width;
  info.bmiHeader.biHeight = -p.source.height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  SetStretchBltMode(dc.get(), HALFTONE);
  SetBrushOrgEx(dc.get(), 0, 0, nullptr);
  const int lines = StretchDIBits(dc.get(), p.target.x, p.target.y, p.target.width, p.target.height, 0, 0,
                                  p.source.width, p.source.height, pixels->data(), &info, DIB_RGB_COLORS, SRCCOPY);
  // Bars around a fitted frame.
  const PixelRect& t = p.target;
  FillBlack(dc.get(), 0, 0, cw, t.y);
  FillBlack(dc.get(), 0, t.y + t.height, cw, ch);
  FillBlack(dc.get(), 0, t.y, t.x, t.y + t.height);
  FillBlack(dc.get(), t.x + t.width, t.y, cw, t.y + t.height);
  return lines > 0;
}

}  // namespace tessarine
