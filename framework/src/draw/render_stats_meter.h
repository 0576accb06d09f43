// Statistics of one render: frames drawn and bits received in the last second, and the
// size of the last frame. The caller gives the time, so tests choose it. Thread-safe.
// Pure logic (no Win32).
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>

namespace tessarine {

struct RenderFigures {
  int32_t frame_rate = 0;  // frames in the last second
  int32_t bitrate = 0;     // bits per second
  int32_t width = 0;
  int32_t height = 0;
};

class RenderStatsMeter {
 public:
  static constexpr int64_t kWindowMs = 1000;

  void OnFrame(int64_t now_ms, int32_t width, int32_t height, size_t bytes);
  [[nodiscard]] RenderFigures Read(int64_t now_ms) const;

 private:
  struct Sample {
    int64_t time_ms;
    size_t bytes;
  };
  mutable std::mutex mutex_;
  mutable std::deque<Sample> samples_;
  int32_t width_ = 0;
  int32_t height_ = 0;

  void Expire(int64_t now_ms) const;
};

}  // namespace tessarine
