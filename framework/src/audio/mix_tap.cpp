#include "mix_tap.h"

#include <algorithm>

namespace tessarine {

bool MixTap::OnCaptured(const int16_t* pcm, size_t samples, bool playing, std::vector<int16_t>* out) {
  if (!playing) {
    out->assign(pcm, pcm + samples);
    return true;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (captured_.size() == kMaxWaitingFrames) captured_.pop_front();
  captured_.emplace_back(pcm, pcm + samples);
  return false;
}

void MixTap::OnPlayed(const int16_t* pcm, size_t samples, std::vector<int16_t>* out) {
  out->assign(pcm, pcm + samples);
  std::vector<int16_t> captured;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (captured_.empty()) return;
    captured.swap(captured_.front());
    captured_.pop_front();
  }
  const size_t n = std::min(samples, captured.size());
  for (size_t i = 0; i < n; ++i) (*out)[i] = AddSaturated((*out)[i], captured[i]);
}

void MixTap::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  captured_.clear();
}

size_t MixTap::waiting() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return captured_.size();
}

}  // namespace tessarine
