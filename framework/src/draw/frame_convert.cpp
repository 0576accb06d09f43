#include "frame_convert.h"

#include <limits>
#include <utility>

namespace tessarine {
namespace {

inline uint8_t Clamp8(int32_t v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

inline uint32_t YuvToBgra(int32_t y, int32_t u, int32_t v) {
  const int32_t c = (y - 16) * 298;
  const int32_t d = u - 128, e = v - 128;
  const uint32_t r = Clamp8((c + 409 * e + 128) >> 8);
  const uint32_t g = Clamp8((c - 100 * d - 208 * e + 128) >> 8);
  const uint32_t b = Clamp8((c + 516 * d + 128) >> 8);
  return 0xFF000000u | (r << 16) | (g << 8) | b;
}

}  // namespace

bool LayoutOfFourcc(uint32_t fourcc, FrameLayout* layout) {
  switch (fourcc) {
    case 0x30323449:
      *layout = FrameLayout::kI420;
      return true;  // I420
    case 0x32315659:
      *layout = FrameLayout::kYV12;
      return true;  // YV12
    case 0x3231564E:
      *layout = FrameLayout::kNV12;
      return true;  // NV12
    case 0x3132564E:
      *layout = FrameLayout::kNV21;
      return true;  // NV21
    default:
      return false;
  }
}

size_t FrameBytes(FrameLayout /*layout*/, int32_t width, int32_t height, int32_t stride) {
  if (width <= 0 || height <= 0 || stride < width) return 0;
  const uint64_t luma = static_cast<uint64_t>(stride) * static_cast<uint64_t>(height);
  const uint64_t ch = static_cast<uint64_t>((height + 1) / 2);
  // Two planes of half-width rows, or one plane of pairs: the same bytes either way.
  const uint64_t chroma = 2 * static_cast<uint64_t>((stride + 1) / 2) * ch;
  const uint64_t total = luma + chroma;
  if (total > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) return 0;
  return static_cast<size_t>(total);
}

void ConvertToBgra(FrameLayout layout, const uint8_t* data, int32_t width, int32_t height, int32_t stride,
                   uint32_t* out) {
  const uint8_t* y_plane = data;
  const uint8_t* chroma = data + static_cast<size_t>(stride) * height;
  const size_t ch = static_cast<size_t>((height + 1) / 2);
  const size_t planar_stride = static_cast<size_t>((stride + 1) / 2);
  const size_t packed_stride = 2 * planar_stride;
  const uint8_t* u_plane = chroma;
  const uint8_t* v_plane = chroma + planar_stride * ch;
  if (layout == FrameLayout::kYV12) std::swap(u_plane, v_plane);

  for (int32_t row = 0; row < height; ++row) {
    const uint8_t* y_row = y_plane + static_cast<size_t>(row) * stride;
    uint32_t* dst = out + static_cast<size_t>(row) * width;
    const size_t crow = static_cast<size_t>(row / 2);
    for (int32_t x = 0; x < width; ++x) {
      int32_t u, v;
      const size_t cx = static_cast<size_t>(x / 2);
      if (layout == FrameLayout::kI420 || layout == FrameLayout::kYV12) {
        u = u_plane[crow * planar_stride + cx];
        v = v_plane[crow * planar_stride + cx];
      } else {
        const uint8_t* pair = chroma + crow * packed_stride + 2 * cx;
        u = layout == FrameLayout::kNV12 ? pair[0] : pair[1];
        v = layout == FrameLayout::kNV12 ? pair[1] : pair[0];
      }
      dst[x] = YuvToBgra(y_row[x], u, v);
    }
  }
}

}  // namespace tessarine
