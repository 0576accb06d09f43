// Where a popup menu window goes on the screen: pure rectangle arithmetic.
#pragma once

namespace menu_placement {

struct UiPoint {
  int x = 0;
  int y = 0;
};
struct UiSize {
  int cx = 0;
  int cy = 0;
};
struct UiRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  bool operator==(const UiRect& o) const {
    return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
  }
};

// Alignment bits of a top-level menu: 8 puts its right edge at the point, 16 its bottom
// edge; without them it lies right of and below the point.
constexpr int kAlignRight = 8;
constexpr int kAlignBottom = 16;

// The rectangle of a top-level menu of `size` opened at `point` with `alignment`.
UiRect TopLevel(UiPoint point, UiSize size, int alignment);

// The rectangle of a submenu of `size` opened beside `parent` (the parent menu window)
// from an item whose top is `itemTop`, kept inside `workArea`. `reachRight` and
// `reachBottom` say that another open menu already lies right of / below the parent.
UiRect Submenu(UiRect parent, int itemTop, UiSize size, UiRect workArea, bool reachRight, bool reachBottom);

}  // namespace menu_placement
