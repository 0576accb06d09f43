#include "winlib/box_layout.h"

#include <algorithm>

namespace DuiLib {
namespace {

// The layout along one axis: "main" is the stacking direction, "cross" the other one.
struct AxisChild {
  bool stacked;
  int fixed_main, fixed_cross;
  int min_main, max_main, min_cross, max_cross;
  int pad_main_before, pad_main_after, pad_cross_before, pad_cross_after;
};

int Clamp(int v, int lo, int hi) { return std::max(lo, std::min(v, hi)); }

int AlignOffset(BoxAlign align, int room, int used) {
  if (room <= used) return 0;
  switch (align) {
    case BoxAlign::kCenter: return (room - used) / 2;
    case BoxAlign::kEnd: return room - used;
    default: return 0;
  }
}

// Returns {main_start, main_size, cross_start, cross_size} per stacked child.
struct AxisPlace { int main_pos, main_size, cross_pos, cross_size; };

int LayoutAxis(int main_start, int main_room, int cross_start, int cross_room, int gap,
               BoxAlign main_align, BoxAlign cross_align, int scroll,
               const std::vector<AxisChild>& kids, std::vector<AxisPlace>* places) {
  places->assign(kids.size(), AxisPlace{0, 0, 0, 0});
  int stacked = 0, stretching = 0, fixed_total = 0;
  for (const AxisChild& k : kids) {
    if (!k.stacked) continue;
    ++stacked;
    fixed_total += k.pad_main_before + k.pad_main_after;
    if (k.fixed_main > 0) {
      fixed_total += Clamp(k.fixed_main, k.min_main, k.max_main);
    } else {
      ++stretching;
    }
  }
  if (stacked > 1) fixed_total += gap * (stacked - 1);
  const int share_room = std::max(0, main_room - fixed_total);
  int share_index = 0;
  int cursor = main_start - scroll;
  if (stretching == 0) cursor += AlignOffset(main_align, main_room, fixed_total);
  int used = 0;
  bool first = true;
  for (size_t i = 0; i < kids.size(); ++i) {
    const AxisChild& k = kids[i];
    if (!k.stacked) continue;
    if (!first) {
      cursor += gap;
      used += gap;
    }
    first = false;
    int size;
    if (k.fixed_main > 0) {
      size = Clamp(k.fixed_main, k.min_main, k.max_main);
    } else {
      size = share_room / stretching + (share_index < share_room % stretching ? 1 : 0);
      ++share_index;
      size = Clamp(size, k.min_main, k.max_main);
    }
    cursor += k.pad_main_before;
    int cross_avail = std::max(0, cross_room - k.pad_cross_before - k.pad_cross_after);
    int cross = k.fixed_cross > 0 ? k.fixed_cross : cross_avail;
    cross = Clamp(cross, k.min_cross, k.max_cross);
    int cross_pos = cross_start + k.pad_cross_before + AlignOffset(cross_align, cross_avail, cross);
    (*places)[i] = AxisPlace{cursor, size, cross_pos, cross};
    cursor += size + k.pad_main_after;
    used += k.pad_main_before + size + k.pad_main_after;
  }
  return used;
}

BoxResult Layout(const BoxParams& p, const std::vector<BoxChild>& children, bool vertical) {
  BoxResult result;
  result.rects.assign(children.size(), SkinRect{});
  const SkinRect area{p.bounds.left + p.inset.left, p.bounds.top + p.inset.top,
                      p.bounds.right - p.inset.right, p.bounds.bottom - p.inset.bottom};
  std::vector<AxisChild> kids;
  kids.reserve(children.size());
  for (const BoxChild& c : children) {
    AxisChild k{};
    k.stacked = c.visible && !c.is_float;
    if (vertical) {
      k.fixed_main = c.fixed_height, k.fixed_cross = c.fixed_width;
      k.min_main = c.min_height, k.max_main = c.max_height;
      k.min_cross = c.min_width, k.max_cross = c.max_width;
      k.pad_main_before = c.padding.top, k.pad_main_after = c.padding.bottom;
      k.pad_cross_before = c.padding.left, k.pad_cross_after = c.padding.right;
    } else {
      k.fixed_main = c.fixed_width, k.fixed_cross = c.fixed_height;
      k.min_main = c.min_width, k.max_main = c.max_width;
      k.min_cross = c.min_height, k.max_cross = c.max_height;
      k.pad_main_before = c.padding.left, k.pad_main_after = c.padding.right;
      k.pad_cross_before = c.padding.top, k.pad_cross_after = c.padding.bottom;
    }
    kids.push_back(k);
  }
  std::vector<AxisPlace> places;
  if (vertical) {
    result.content_extent = LayoutAxis(area.top, area.Height(), area.left, area.Width(), p.child_padding,
                                       p.main_align, p.cross_align, p.scroll, kids, &places);
  } else {
    result.content_extent = LayoutAxis(area.left, area.Width(), area.top, area.Height(), p.child_padding,
                                       p.main_align, p.cross_align, p.scroll, kids, &places);
  }
  for (size_t i = 0; i < children.size(); ++i) {
    const BoxChild& c = children[i];
    if (!c.visible) continue;
    if (c.is_float) {
      result.rects[i] = SkinRect{p.bounds.left + c.float_pos.left, p.bounds.top + c.float_pos.top,
                                 p.bounds.left + c.float_pos.right, p.bounds.top + c.float_pos.bottom};
      continue;
    }
    const AxisPlace& a = places[i];
    if (vertical) {
      result.rects[i] = SkinRect{a.cross_pos, a.main_pos, a.cross_pos + a.cross_size, a.main_pos + a.main_size};
    } else {
      result.rects[i] = SkinRect{a.main_pos, a.cross_pos, a.main_pos + a.main_size, a.cross_pos + a.cross_size};
    }
  }
  return result;
}

}  // namespace

BoxResult LayoutColumn(const BoxParams& params, const std::vector<BoxChild>& children) {
  return Layout(params, children, true);
}

BoxResult LayoutRow(const BoxParams& params, const std::vector<BoxChild>& children) {
  return Layout(params, children, false);
}

}  // namespace DuiLib
