// Bounds that keep a hostile or broken update from exhausting memory or time. Coordinates,
// offsets and pen and font sizes beyond them are held within them where an update is read;
// an update with more points or pages than the model holds is refused and changes nothing. Local input is held within
// the same bounds where it enters (the tool setters, the conversion of window positions, the drawing commands), so that
// what one participant draws every participant keeps.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "protocol/messages/board_limits.h"

namespace kiv_wb {

// Coordinates and offsets in board units, by magnitude.
constexpr int32_t kMaxBoardCoordinate = 1 << 20;
constexpr int32_t kMinBrushSize = 1;
constexpr int32_t kMaxBrushSize = 512;
// Points of one path, and so of one message.
constexpr size_t kMaxPathPoints = 65536;
constexpr int kMaxPageCount = 1000;
// What one update the boards make carries at most, so that its text stays within
// kiv_proto::kMaxBoardUpdateBytes: a path's points ("[-1048576,-1048576]," 20 bytes each) and
// the ids of a move (11 digits and a comma each), beside at most 256 bytes of the rest.
constexpr size_t kMaxUpdatePoints = (kiv_proto::kMaxBoardUpdateBytes - 256) / 20;
constexpr size_t kMaxUpdateGraphIds = (kiv_proto::kMaxBoardUpdateBytes - 256) / 12;
// Board width and height.
constexpr int kMaxBoardSide = 16384;

inline bool IsBoardCoordinate(int64_t v) { return v >= -kMaxBoardCoordinate && v <= kMaxBoardCoordinate; }

inline int32_t ClampBoardCoordinate(int64_t v) {
  return static_cast<int32_t>(std::clamp<int64_t>(v, -kMaxBoardCoordinate, kMaxBoardCoordinate));
}

inline int32_t ClampBrushSize(int32_t size) { return std::clamp(size, kMinBrushSize, kMaxBrushSize); }

}  // namespace kiv_wb
