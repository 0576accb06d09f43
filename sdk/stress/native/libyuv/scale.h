// Native stand-in for the one libyuv call of the SDK (scaling frames for a recording):
// recordings are made only by the Windows build, so natively the scale fails and the frame
// is not recorded.
#pragma once

#include <cstdint>

namespace libyuv {

enum FilterMode { kFilterNone = 0, kFilterLinear = 1, kFilterBilinear = 2, kFilterBox = 3 };

inline int I420Scale(const uint8_t*, int, const uint8_t*, int, const uint8_t*, int, int, int, uint8_t*, int, uint8_t*,
                     int, uint8_t*, int, int, int, FilterMode) {
  return -1;
}

}  // namespace libyuv
