// Parsers for the attribute values of skin files: colours, rectangles, sizes, flags and
// image descriptions. Pure logic, shared by every control.
#pragma once

#include <climits>
#include <cstdint>
#include <string>

namespace DuiLib {

struct SkinRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  bool operator==(const SkinRect& o) const {
    return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
  }
  // Saturated at the ends of int, for rectangles spanning more than int holds.
  int Width() const { return Saturate(static_cast<long long>(right) - left); }
  int Height() const { return Saturate(static_cast<long long>(bottom) - top); }

  static int Saturate(long long v) { return v > INT_MAX ? INT_MAX : (v < INT_MIN ? INT_MIN : static_cast<int>(v)); }
};

struct SkinSize {
  int cx = 0;
  int cy = 0;
};

// "#AARRGGBB", "#RRGGBB" (opaque) or "0xAARRGGBB"; anything else gives `fallback`.
uint32_t ParseColor(const std::wstring& text, uint32_t fallback = 0);

// "l,t,r,b"; missing numbers are 0. Returns false when no number was found.
bool ParseRect(const std::wstring& text, SkinRect* rect);

// "cx,cy"; returns false when no number was found.
bool ParseSize(const std::wstring& text, SkinSize* size);

// Decimal integer with optional sign; `fallback` when the text holds no number.
int ParseInt(const std::wstring& text, int fallback = 0);

// "true" (any case) or a non-zero number.
bool ParseBool(const std::wstring& text);

// An image reference: either a plain file path or a list of key='value' pairs
// (file, dest, source, corner, fade).
struct ImageDescription {
  std::wstring file;
  bool has_dest = false;
  SkinRect dest;  // relative to the control's rectangle
  bool has_source = false;
  SkinRect source;  // part of the image to draw
  SkinRect corner;  // nine-grid corners (image pixels), all 0 = plain stretch
  int fade = 255;   // 0..255 opacity

  bool empty() const { return file.empty(); }
};

ImageDescription ParseImageDescription(const std::wstring& text);

// Case-insensitive comparison of ASCII letters; other characters compare exactly.
bool EqualsNoCase(const std::wstring& a, const std::wstring& b);

}  // namespace DuiLib
