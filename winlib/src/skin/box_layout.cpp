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

int Sum(long long a, long long b) { return SkinRect::Saturate(a + b); }

int Clamp(int v, int lo, int hi) { return std::max(lo, std::min(v, hi)); }

long long AlignOffset(BoxAlign align, int room, int used) {
  if (room <= used) return 0;
  const long long free_room = static_cast<long long>(room) - used;
  switch (align) {
    case BoxAlign::kCenter:
      return free_room / 2;
    case BoxAlign::kEnd:
      return free_room;
    default:
      return 0;
  }
}

// Returns {main_start, main_size, cross_start, cross_size} per stacked child.
struct AxisPlace {
  int main_pos, main_size, cross_pos, cross_size;
};

// Sums and positions are kept in 64 bits: sizes from a skin may add up past int. What is
// stored is saturated to int.
int LayoutAxis(int main_start, int main_room, int cross_start, int cross_room, int gap, BoxAlign main_align,
               BoxAlign cross_align, int scroll, const std::vector<AxisChild>& kids, std::vector<AxisPlace>* places) {
  places->assign(kids.size(), AxisPlace{0, 0, 0, 0});
  int stacked = 0, stretching = 0;
  long long fixed_total = 0;
  for (const AxisChild& k : kids) {
    if (!k.stacked) continue;
    ++stacked;
    fixed_total += static_cast<long long>(k.pad_main_before) + k.pad_main_after;
    if (k.fixed_main > 0) {
      fixed_total += Clamp(k.fixed_main, k.min_main, k.max_main);
    } else {
      ++stretching;
    }
  }
  if (stacked > 1) fixed_total += static_cast<long long>(gap) * (stacked - 1);
  const long long share_room = std::max(0LL, main_room - fixed_total);
  int share_index = 0;
  long long cursor = static_cast<long long>(main_start) - scroll;
  if (stretching == 0) cursor += AlignOffset(main_align, main_room, SkinRect::Saturate(fixed_total));
  long long used = 0;
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
      size = SkinRect::Saturate(share_room / stretching + (share_index < share_room % stretching ? 1 : 0));
      ++share_index;
      size = Clamp(size, k.min_main, k.max_main);
    }
    cursor += k.pad_main_before;
    int cross_avail =
        SkinRect::Saturate(std::max(0LL, static_cast<long long>(cross_room) - k.pad_cross_before - k.pad_cross_after));
    int cross = k.fixed_cross > 0 ? k.fixed_cross : cross_avail;
    cross = Clamp(cross, k.min_cross, k.max_cross);
    int cross_pos = SkinRect::Saturate(static_cast<long long>(cross_start) + k.pad_cross_before +
                                       AlignOffset(cross_align, cross_avail, cross));
    (*places)[i] = AxisPlace{SkinRect::Saturate(cursor), size, cross_pos, cross};
    cursor += static_cast<long long>(size) + k.pad_main_after;
    used += static_cast<long long>(k.pad_main_before) + size + k.pad_main_after;
  }
  return SkinRect::Saturate(used);
}

BoxResult Layout(const BoxParams& p, const std::vector<BoxChild>& children, bool vertical) {
  BoxResult result;
  result.rects.assign(children.size(), SkinRect{});
  const SkinRect area{Sum(p.bounds.left, p.inset.left), Sum(p.bounds.top, p.inset.top),
                      Sum(p.bounds.right, -static_cast<long long>(p.inset.right)),
                      Sum(p.bounds.bottom, -static_cast<long long>(p.inset.bottom))};
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
    result.content_extent = LayoutAxis(area.top, area.Height(), area.left, area.Width(), p.child_padding, p.main_align,
                                       p.cross_align, p.scroll, kids, &places);
  } else {
    result.content_extent = LayoutAxis(area.left, area.Width(), area.top, area.Height(), p.child_padding, p.main_align,
                                       p.cross_align, p.scroll, kids, &places);
  }
  for (size_t i = 0; i < children.size(); ++i) {
    const BoxChild& c = children[i];
    if (!c.visible) continue;
    if (c.is_float) {
      result.rects[i] = SkinRect{Sum(p.bounds.left, c.float_pos.left), Sum(p.bounds.top, c.float_pos.top),
                                 Sum(p.bounds.left, c.float_pos.right), Sum(p.bounds.top, c.float_pos.bottom)};
      continue;
    }
    const AxisPlace& a = places[i];
    if (vertical) {
      result.rects[i] = SkinRect{a.cross_pos, a.main_pos, Sum(a.cross_pos, a.cross_size), Sum(a.main_pos, a.main_size)};
    } else {
      result.rects[i] = SkinRect{a.main_pos, a.cross_pos, Sum(a.main_pos, a.main_size), Sum(a.cross_pos, a.cross_size)};
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
