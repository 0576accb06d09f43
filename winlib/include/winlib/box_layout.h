// Placement of a container's children in a column or a row: fixed sizes are kept, the
// rest of the room is shared among stretching children; floating children are placed
// at their own position relative to the container. Pure logic.
#pragma once

#include <climits>
#include <vector>

#include "winlib/skin_values.h"

namespace DuiLib {

enum class BoxAlign { kStart, kCenter, kEnd };

struct BoxChild {
  bool visible = true;
  bool is_float = false;
  SkinRect float_pos;    // relative to the container's top-left corner
  int fixed_width = 0;   // 0: stretch
  int fixed_height = 0;  // 0: stretch
  int min_width = 0;
  int min_height = 0;
  int max_width = INT_MAX;
  int max_height = INT_MAX;
  SkinRect padding;  // room kept around the child
};

struct BoxParams {
  SkinRect bounds;                          // the container's own rectangle
  SkinRect inset;                           // room kept inside the container's border
  int child_padding = 0;                    // gap between neighbouring children
  BoxAlign main_align = BoxAlign::kStart;   // along the stacking direction, used without stretching children
  BoxAlign cross_align = BoxAlign::kStart;  // across it, for children narrower than the room
  int scroll = 0;                           // content offset along the stacking direction
};

struct BoxResult {
  std::vector<SkinRect> rects;  // one per child; empty for hidden children
  int content_extent = 0;       // room the stacked children need along the stacking direction
};

BoxResult LayoutColumn(const BoxParams& params, const std::vector<BoxChild>& children);
BoxResult LayoutRow(const BoxParams& params, const std::vector<BoxChild>& children);

}  // namespace DuiLib
