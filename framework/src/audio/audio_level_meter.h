// Energy of the audio a device captures or plays: a level 0-100 per frame, with the peak
// and the average of the last second. Thread-safe. Pure logic (no Win32).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <mutex>

namespace tessarine {

struct AudioLevels {
  int32_t current = 0;  // the last frame
  int32_t peak = 0;     // highest of the last second
  int32_t average = 0;  // mean of the last second
};

class AudioLevelMeter {
 public:
  static constexpr size_t kHistoryFrames = 50;  // 20 ms frames: one second

  // Level of one frame: its RMS on a 60 dB scale, 0 at -60 dBFS and below, 100 at full scale.
  static int32_t FrameLevel(const int16_t* pcm, size_t samples);

  void AddFrame(const int16_t* pcm, size_t samples);
  [[nodiscard]] AudioLevels levels() const;
  void Reset();

 private:
  mutable std::mutex mutex_;
  std::array<int32_t, kHistoryFrames> history_{};
  size_t count_ = 0;  // frames in history_, up to kHistoryFrames
  size_t next_ = 0;
  int32_t current_ = 0;
};

}  // namespace tessarine
