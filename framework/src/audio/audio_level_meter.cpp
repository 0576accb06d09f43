#include "audio_level_meter.h"

#include <algorithm>
#include <cmath>

namespace tessarine {

int32_t AudioLevelMeter::FrameLevel(const int16_t* pcm, size_t samples) {
  if (pcm == nullptr || samples == 0) return 0;
  double sum = 0;
  for (size_t i = 0; i < samples; ++i) sum += static_cast<double>(pcm[i]) * pcm[i];
  const double rms = std::sqrt(sum / static_cast<double>(samples));
  if (rms < 1.0) return 0;
  const double dbfs = 20.0 * std::log10(rms / 32768.0);
  const double level = (dbfs + 60.0) * 100.0 / 60.0;
  return static_cast<int32_t>(std::clamp(std::lround(level), 0L, 100L));
}

void AudioLevelMeter::AddFrame(const int16_t* pcm, size_t samples) {
  const int32_t level = FrameLevel(pcm, samples);
  std::lock_guard<std::mutex> lock(mutex_);
  current_ = level;
  history_[next_] = level;
  next_ = (next_ + 1) % kHistoryFrames;
  count_ = std::min(count_ + 1, kHistoryFrames);
}

AudioLevels AudioLevelMeter::levels() const {
  std::lock_guard<std::mutex> lock(mutex_);
  AudioLevels out;
  out.current = current_;
  if (count_ == 0) return out;
  int64_t sum = 0;
  for (size_t i = 0; i < count_; ++i) {
    out.peak = std::max(out.peak, history_[i]);
    sum += history_[i];
  }
  out.average = static_cast<int32_t>(sum / static_cast<int64_t>(count_));
  return out;
}

void AudioLevelMeter::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  history_.fill(0);
  count_ = 0;
  next_ = 0;
  current_ = 0;
}

}  // namespace tessarine
