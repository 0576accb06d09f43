#include "voice_pcm_converter.h"

#include <cmath>

#include "opus_voice_codec.h"

namespace tessarine {

bool VoicePcmConverter::Convert(const int16_t* pcm, size_t frames, int32_t rate, int32_t channels,
                                std::vector<int16_t>* out) {
  if (pcm == nullptr || rate < 8000 || rate > kVoiceSampleRate || channels < 1 || channels > 2) {
    return false;
  }
  if (rate != rate_) {
    rate_ = rate;
    position_ = 0;
    last_ = 0;
  }
  auto mono = [&](size_t i) -> int32_t {
    if (channels == 1) return pcm[i];
    return (pcm[2 * i] + pcm[2 * i + 1]) / 2;
  };
  if (rate == kVoiceSampleRate) {
    for (size_t i = 0; i < frames; ++i) out->push_back(static_cast<int16_t>(mono(i)));
    if (frames > 0) last_ = static_cast<int16_t>(mono(frames - 1));
    return true;
  }
  // Input sample k (k = -1 is `last_`); output samples every `step` input samples.
  const double step = static_cast<double>(rate) / kVoiceSampleRate;
  const double end = static_cast<double>(frames) - 1;
  double p = position_ - 1;
  for (; p <= end; p += step) {
    const double base = std::floor(p);
    const auto k = static_cast<long>(base);
    const double a = k < 0 ? last_ : mono(static_cast<size_t>(k));
    const double b = k + 1 <= static_cast<long>(end) ? mono(static_cast<size_t>(k + 1)) : a;
    out->push_back(static_cast<int16_t>(std::lround(a + (b - a) * (p - base))));
  }
  position_ = p - end;
  if (frames > 0) last_ = static_cast<int16_t>(mono(frames - 1));
  return true;
}

}  // namespace tessarine
