#include "voice_time_scaler.h"

#include <algorithm>
#include <cmath>

namespace tessarine {
namespace {

int16_t Mix(int16_t from, int16_t to, double w) {
  const double v = from * (1.0 - w) + to * w;
  return static_cast<int16_t>(std::clamp(std::lround(v), -32768L, 32767L));
}

}  // namespace

bool VoiceTimeScaler::Quiet(const int16_t* frame) {
  double sum = 0;
  for (size_t i = 0; i < kFrameSamples; ++i) sum += static_cast<double>(frame[i]) * frame[i];
  return std::sqrt(sum / kFrameSamples) < kQuietRms;
}

size_t VoiceTimeScaler::BestPeriod(const int16_t* frame) {
  size_t best = kMinPeriod;
  double best_score = -2;
  for (size_t lag = kMinPeriod; lag <= kMaxPeriod; ++lag) {
    double xy = 0, xx = 0, yy = 0;
    for (size_t i = 0; i < lag; ++i) {
      const double x = frame[i], y = frame[lag + i];
      xy += x * y;
      xx += x * x;
      yy += y * y;
    }
    const double score = xx > 0 && yy > 0 ? xy / std::sqrt(xx * yy) : 0;
    if (score > best_score + 1e-6) {  // the shortest of equal periods
      best_score = score;
      best = lag;
    }
  }
  return best;
}

size_t VoiceTimeScaler::Append(VoicePace pace, const int16_t* frame, bool may_drop, std::vector<int16_t>* out) {
  if (pace == VoicePace::kNormal) {
    out->insert(out->end(), frame, frame + kFrameSamples);
    return kFrameSamples;
  }
  if (pace == VoicePace::kFaster && may_drop && Quiet(frame)) return 0;
  const size_t t = BestPeriod(frame);
  if (pace == VoicePace::kFaster) {
    // [0, t) fades into [t, 2t): t samples fewer.
    for (size_t i = 0; i < t; ++i) out->push_back(Mix(frame[i], frame[t + i], (i + 0.5) / t));
    out->insert(out->end(), frame + 2 * t, frame + kFrameSamples);
    return kFrameSamples - t;
  }
  // [0, t), then [t, 2t) fading into [0, t) again, then [t, end): t samples more.
  out->insert(out->end(), frame, frame + t);
  for (size_t i = 0; i < t; ++i) out->push_back(Mix(frame[t + i], frame[i], (i + 0.5) / t));
  out->insert(out->end(), frame + t, frame + kFrameSamples);
  return kFrameSamples + t;
}

}  // namespace tessarine
