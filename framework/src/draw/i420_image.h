// An I420 picture in one block: the Y plane (width x height), then U and V, each of
// ((width + 1) / 2) x ((height + 1) / 2). Pure logic (no Win32).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tessarine {

struct I420Image {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> data;

  static size_t Bytes(int32_t w, int32_t h) {
    const size_t cw = static_cast<size_t>((w + 1) / 2), ch = static_cast<size_t>((h + 1) / 2);
    return static_cast<size_t>(w) * static_cast<size_t>(h) + 2 * cw * ch;
  }
  void Resize(int32_t w, int32_t h) {
    width = w;
    height = h;
    data.assign(Bytes(w, h), 0);
  }
  int32_t chroma_width() const { return (width + 1) / 2; }
  int32_t chroma_height() const { return (height + 1) / 2; }
  uint8_t* y() { return data.data(); }
  uint8_t* u() { return data.data() + static_cast<size_t>(width) * height; }
  uint8_t* v() { return u() + static_cast<size_t>(chroma_width()) * chroma_height(); }
  const uint8_t* y() const { return data.data(); }
  const uint8_t* u() const { return data.data() + static_cast<size_t>(width) * height; }
  const uint8_t* v() const { return u() + static_cast<size_t>(chroma_width()) * chroma_height(); }
};

// BT.601 studio-range YUV of an RGB colour.
struct Yuv {
  uint8_t y, u, v;
};
inline Yuv RgbToYuv(int r, int g, int b) {
  return Yuv{static_cast<uint8_t>(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16),
             static_cast<uint8_t>(((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128),
             static_cast<uint8_t>(((112 * r - 94 * g - 18 * b + 128) >> 8) + 128)};
}

}  // namespace tessarine
