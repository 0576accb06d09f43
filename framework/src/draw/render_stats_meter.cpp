#include "render_stats_meter.h"

#include <algorithm>
#include <limits>

namespace tessarine {

void RenderStatsMeter::Expire(int64_t now_ms) const {
  while (!samples_.empty() && samples_.front().time_ms <= now_ms - kWindowMs) samples_.pop_front();
}

void RenderStatsMeter::OnFrame(int64_t now_ms, int32_t width, int32_t height, size_t bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  Expire(now_ms);
  samples_.push_back(Sample{now_ms, bytes});
  width_ = width;
  height_ = height;
}

RenderFigures RenderStatsMeter::Read(int64_t now_ms) const {
  std::lock_guard<std::mutex> lock(mutex_);
  Expire(now_ms);
  RenderFigures f;
  f.frame_rate = static_cast<int32_t>(samples_.size());
  uint64_t bits = 0;
  for (const Sample& s : samples_) bits += static_cast<uint64_t>(s.bytes) * 8u;
  f.bitrate =
      static_cast<int32_t>(std::min<uint64_t>(bits, static_cast<uint64_t>(std::numeric_limits<int32_t>::max())));
  f.width = width_;
  f.height = height_;
  return f;
}

}  // namespace tessarine
