#include "menu/menu_placement.h"

namespace menu_placement {

UiRect TopLevel(UiPoint point, UiSize size, int alignment) {
  UiRect rc{point.x, point.y, point.x + size.cx, point.y + size.cy};
  if (alignment & kAlignRight) {
    rc.left = point.x - size.cx;
    rc.right = point.x;
  }
  if (alignment & kAlignBottom) {
    rc.top = point.y - size.cy;
    rc.bottom = point.y;
  }
  return rc;
}

UiRect Submenu(UiRect parent, int itemTop, UiSize size, UiRect workArea, bool reachRight, bool reachBottom) {
  UiRect rc{parent.right, itemTop, parent.right + size.cx, itemTop + size.cy};
  if (reachBottom) {
    rc.bottom = parent.top;
    rc.top = rc.bottom - size.cy;
  }
  if (reachRight) {
    rc.right = parent.left;
    rc.left = rc.right - size.cx;
  }
  if (rc.bottom > workArea.bottom) {
    rc.top -= size.cy;
    rc.bottom -= size.cy;
  }
  if (rc.right > workArea.right) {
    rc.right = parent.left;
    rc.left = rc.right - size.cx;
    rc.top = parent.bottom;
    rc.bottom = rc.top + size.cy;
  }
  if (rc.top < workArea.top) {
    rc.top = itemTop;
    rc.bottom = rc.top + size.cy;
  }
  if (rc.left < workArea.left) {
    rc.left = parent.right;
    rc.right = rc.left + size.cx;
  }
  return rc;
}

}  // namespace menu_placement
