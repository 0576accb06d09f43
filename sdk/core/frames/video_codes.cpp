#include "core/frames/video_codes.h"

#include <cmath>

namespace kiv_core {

int VideoFormatCode(uint32_t fourcc) {
  switch (fourcc) {
    case 0x30323449:
      return 1;  // I420
    case 0x32315659:
      return 2;  // YV12
    case 0x3231564E:
      return 3;  // NV12
    case 0x3132564E:
      return 4;  // NV21
    default:
      return 0;
  }
}

int ConvertRenderMode(int mode) { return (mode >= 1 && mode <= 3) ? mode : 3; }

int VideoBitrate(int width, int height, int frameRate) {
  const int32_t area = static_cast<int32_t>(static_cast<uint32_t>(width) * static_cast<uint32_t>(height));
  if (area <= 0) return 0;
  const double perFrame = 10000.0 * std::pow(2.0, std::log(area / 76800.0) / std::log(3.0));
  return static_cast<int>(static_cast<int64_t>(perFrame) * frameRate);
}

}  // namespace kiv_core
