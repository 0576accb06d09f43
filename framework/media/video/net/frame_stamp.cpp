#include "frame_stamp.h"

#include <chrono>

namespace tessarine::media {
namespace {

constexpr uint8_t kMagic = 0xA5;
constexpr uint8_t kBlack = 16;
constexpr uint8_t kWhite = 235;

uint16_t Checksum(const uint8_t* bytes, int n) {
  uint32_t h = 2166136261u;
  for (int i = 0; i < n; ++i) h = (h ^ bytes[i]) * 16777619u;
  return static_cast<uint16_t>(h ^ (h >> 16));
}

// magic(1) frame(3) time(6) checksum(2), most significant bit first.
void Pack(const FrameStamp& s, uint8_t out[12]) {
  out[0] = kMagic;
  for (int i = 0; i < 3; ++i) out[1 + i] = static_cast<uint8_t>(s.frame_number >> (16 - 8 * i));
  for (int i = 0; i < 6; ++i) out[4 + i] = static_cast<uint8_t>(s.capture_us >> (40 - 8 * i));
  const uint16_t c = Checksum(out, 10);
  out[10] = static_cast<uint8_t>(c >> 8);
  out[11] = static_cast<uint8_t>(c);
}

}  // namespace

int StampRows(int width) {
  const int per_row = width / kStampCell;
  if (per_row < 12) return 0;
  return (kStampBits + per_row - 1) / per_row;
}

void WriteStamp(uint8_t* y, int stride, int width, int height, const FrameStamp& stamp) {
  const int rows = StampRows(width);
  if (y == nullptr || rows == 0 || rows * kStampCell > height) return;
  uint8_t bytes[12];
  Pack(stamp, bytes);
  const int per_row = width / kStampCell;
  for (int bit = 0; bit < kStampBits; ++bit) {
    const bool one = (bytes[bit / 8] >> (7 - bit % 8)) & 1;
    const int cx = (bit % per_row) * kStampCell;
    const int cy = height - rows * kStampCell + (bit / per_row) * kStampCell;
    for (int r = 0; r < kStampCell; ++r) {
      uint8_t* row = y + static_cast<size_t>(cy + r) * stride + cx;
      for (int c = 0; c < kStampCell; ++c) row[c] = one ? kWhite : kBlack;
    }
  }
}

std::optional<FrameStamp> ReadStamp(const uint8_t* y, int stride, int width, int height) {
  const int rows = StampRows(width);
  if (y == nullptr || rows == 0 || rows * kStampCell > height) return std::nullopt;
  const int per_row = width / kStampCell;
  uint8_t bytes[12] = {};
  for (int bit = 0; bit < kStampBits; ++bit) {
    const int cx = (bit % per_row) * kStampCell;
    const int cy = height - rows * kStampCell + (bit / per_row) * kStampCell;
    int sum = 0;
    for (int r = 2; r < kStampCell - 2; ++r) {  // the cell's centre: edges blur
      const uint8_t* row = y + static_cast<size_t>(cy + r) * stride + cx;
      for (int c = 2; c < kStampCell - 2; ++c) sum += row[c];
    }
    if (sum / 16 > (kBlack + kWhite) / 2) bytes[bit / 8] |= static_cast<uint8_t>(1 << (7 - bit % 8));
  }
  if (bytes[0] != kMagic || Checksum(bytes, 10) != ((bytes[10] << 8) | bytes[11])) return std::nullopt;
  FrameStamp s;
  for (int i = 0; i < 3; ++i) s.frame_number = (s.frame_number << 8) | bytes[1 + i];
  for (int i = 0; i < 6; ++i) s.capture_us = (s.capture_us << 8) | bytes[4 + i];
  return s;
}

uint64_t WallClockUs() {
  return static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch())
          .count());
}

}  // namespace tessarine::media
