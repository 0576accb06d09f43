#include "wb/model/board_rect.h"

#include <algorithm>

namespace kiv_wb {

BoardRect BoardRect::FromPoints(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  return BoardRect{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
}

void BoardRect::Unite(int32_t l, int32_t t, int32_t r, int32_t b) {
  left = left == -1 ? l : std::min(left, l);
  top = top == -1 ? t : std::min(top, t);
  right = right == -1 ? r : std::max(right, r);
  bottom = bottom == -1 ? b : std::max(bottom, b);
}

void BoardRect::Widen(int32_t margin) {
  left -= margin;
  top -= margin;
  right += margin;
  bottom += margin;
}

void BoardRect::Offset(int32_t dx, int32_t dy) {
  left += dx;
  top += dy;
  right += dx;
  bottom += dy;
}

}  // namespace kiv_wb
