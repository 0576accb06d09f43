// A synthetic camera's stamp: frame number and capture time written into the bottom
// rows of the luma plane as a strip of black and white 8x8 cells (one bit each, with a magic
// byte and a checksum), big enough to survive H.264 compression. A receiver reads it
// back from a decoded picture to measure glass-to-glass latency and to tell that the
// picture is the sender's. Pure logic.
#pragma once

#include <cstdint>
#include <optional>

namespace tessarine::media {

struct FrameStamp {
  uint32_t frame_number = 0;  // 24 bits kept
  uint64_t capture_us = 0;    // wall clock, microseconds; 48 bits kept
};

constexpr int kStampCell = 8;
constexpr int kStampBits = 96;

// Rows of the strip for a picture `width` wide (0 when it is too narrow).
int StampRows(int width);

// y: the luma plane (stride bytes per row); the picture must be at least 8 * 12 wide and
// StampRows(width) * 8 high, else nothing is written.
void WriteStamp(uint8_t* y, int stride, int width, int height, const FrameStamp& stamp);
[[nodiscard]] std::optional<FrameStamp> ReadStamp(const uint8_t* y, int stride, int width, int height);

// now_us - capture_us, both taken mod 2^48 as the stamp keeps them.
inline uint64_t StampAgeUs(uint64_t now_us, uint64_t capture_us) {
  constexpr uint64_t kMask = (uint64_t{1} << 48) - 1;
  return ((now_us & kMask) - (capture_us & kMask)) & kMask;
}

// Microseconds of the wall clock (the same on every process of the machine).
uint64_t WallClockUs();

}  // namespace tessarine::media
