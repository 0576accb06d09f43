// A rectangle in board units (left, top, right, bottom); empty when all four are -1. A -1 edge
// counts as unset when rectangles are united.
#pragma once

#include <cstdint>

namespace kiv_wb {

struct BoardRect {
  int32_t left = -1;
  int32_t top = -1;
  int32_t right = -1;
  int32_t bottom = -1;

  void SetEmpty() { left = top = right = bottom = -1; }
  bool IsEmpty() const { return left == -1 && top == -1 && right == -1 && bottom == -1; }
  // Edges included.
  bool Contains(int32_t x, int32_t y) const { return left <= x && x <= right && top <= y && y <= bottom; }
  // Edges included.
  bool LiesInside(int32_t l, int32_t t, int32_t r, int32_t b) const {
    return left >= l && top >= t && right <= r && bottom <= b;
  }
  static BoardRect FromPoints(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
  void Unite(int32_t l, int32_t t, int32_t r, int32_t b);
  void Unite(const BoardRect& other) { Unite(other.left, other.top, other.right, other.bottom); }
  void Widen(int32_t margin);
  void Offset(int32_t dx, int32_t dy);
};

inline bool operator==(const BoardRect& a, const BoardRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

}  // namespace kiv_wb
