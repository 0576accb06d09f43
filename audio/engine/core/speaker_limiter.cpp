#include "core/speaker_limiter.h"

#include <cmath>

#include "audio_lib_log.h"

SpeakerLimiter::SpeakerLimiter(LimiterParameters* parameters) {
  *parameters = LimiterParameters{};
  AudioLibLog("spk limiter low:%d high:%d, enter_DT_thr=%d, exit_DT_thr=%d, spkScale=%g\n", parameters->low_limit,
              parameters->high_limit, parameters->enter_dt_threshold, parameters->exit_dt_threshold,
              static_cast<double>(parameters->speaker_scale));
}

void SpeakerLimiter::Process(float target_gain, float* x, float limit) {
  // Ramp from the last block's gain to the target.
  const float step = (target_gain - ramp_gain_) / kBlock;
  float gain = ramp_gain_;
  float peak = 0.0f;
  for (int i = 0; i < kBlock; ++i) {
    gain += step;
    x[i] *= gain;
    peak = std::fabs(x[i]) > peak ? std::fabs(x[i]) : peak;
  }
  ramp_gain_ = gain;

  // Peak hold for 20 blocks, then a 10 % decay per block.
  if (peak > held_peak_) {
    held_peak_ = peak;
    hold_ = 20;
  } else if (hold_ > 0) {
    --hold_;
    peak = held_peak_;
  } else {
    held_peak_ = 0.9f * held_peak_ + 0.1f * peak;
    peak = held_peak_;
  }
  AddToHistogram(peak);

  // Gain target: at once down to limit / peak, back up by 5 % of the distance per block.
  const float q = limiter_gain_;
  if (limit < peak) {
    const float r = limit / peak;
    limiter_gain_ = q > r ? r : 0.05f * r + 0.95f * q;
  } else {
    limiter_gain_ = 0.95f * q + 0.05f;
  }

  // Per sample: fast fall, slow rise, hard limit.
  const float g = limiter_gain_;
  for (int i = 0; i < kBlock; ++i) {
    smoothed_gain_ = g < smoothed_gain_ ? 0.8f * smoothed_gain_ + 0.2f * g : 0.99999f * smoothed_gain_ + 0.00001f * g;
    float y = smoothed_gain_ * x[i];
    if (y > limit) y = limit;
    if (y < -(limit + 1.0f)) y = -(limit + 1.0f);
    x[i] = y;
  }
}

void SpeakerLimiter::AddToHistogram(float peak) {
  if (blocks_ % 50 == 0) histogram_[(blocks_ % 5000) / 1000] += peak;
  if (++blocks_ < 5000) return;
  AudioLibLog("speaker peak hist is  %f  %f  %f  %f  %f .\n", histogram_[1] / 20.0, histogram_[2] / 20.0,
              histogram_[3] / 20.0, histogram_[4] / 20.0, histogram_[0] / 20.0);
  for (float& b : histogram_) b = 0.0f;
  blocks_ = 0;
}
