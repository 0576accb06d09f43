// A visible top-level window for render tests (no background erasing, so that only the
// renders draw into it; never activated, so that other programs keep their focus), and
// reading its pixels back.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace tessarine_test {

class TestWindow {
 public:
  TestWindow(int x, int y, int width, int height);
  ~TestWindow();
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;

  HWND hwnd() const { return hwnd_; }
  int width() const { return width_; }
  int height() const { return height_; }
  // Handles the window's pending messages.
  void Pump();
  // The client area's pixels as 0x00RRGGBB, row by row (GetDC + BitBlt).
  std::vector<uint32_t> ReadPixels() const;

 private:
  HWND hwnd_ = nullptr;
  int width_;
  int height_;
};

// Colour channels of a 0x00RRGGBB pixel.
inline int Red(uint32_t p) { return static_cast<int>(p >> 16 & 0xFF); }
inline int Green(uint32_t p) { return static_cast<int>(p >> 8 & 0xFF); }
inline int Blue(uint32_t p) { return static_cast<int>(p & 0xFF); }

}  // namespace tessarine_test
