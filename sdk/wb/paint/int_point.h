// A point with integer coordinates, in board units or canvas pixels.
#pragma once

#include <cstdint>

namespace kiv_wb {

struct IntPoint {
  int32_t x = 0;
  int32_t y = 0;
};

inline bool operator==(const IntPoint& a, const IntPoint& b) { return a.x == b.x && a.y == b.y; }

}  // namespace kiv_wb
