// Bounds that keep a hostile or broken update from exhausting memory or time; updates beyond
// them are refused and change nothing.
#pragma once

#include <cstdint>

namespace kiv_wb {

// Coordinates and offsets in board units, by magnitude.
constexpr int32_t kMaxBoardCoordinate = 1 << 20;
constexpr int32_t kMaxBrushSize = 512;
// Points of one path, and so of one message.
constexpr size_t kMaxPathPoints = 65536;
constexpr int kMaxPageCount = 1000;
// Board width and height.
constexpr int kMaxBoardSide = 16384;

inline bool IsBoardCoordinate(int64_t v) {
    return v >= -kMaxBoardCoordinate && v <= kMaxBoardCoordinate;
}

}  // namespace kiv_wb
