// A 5 x 7 pixel font of printable ASCII for text drawn into video frames. Pure logic.
#pragma once

#include <cstdint>

namespace tessarine {

inline constexpr int kGlyphWidth = 5;
inline constexpr int kGlyphHeight = 7;

// Five columns, left to right; bit 0 of a column is the top row. Characters outside
// ' '..'~' give the glyph of '?'.
const uint8_t* Glyph5x7(char c);

}  // namespace tessarine
