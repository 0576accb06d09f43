// Shapes the far end before it is played: ramps in the target gain, holds and follows the
// block peak, and pulls the gain down so that the output stays under the limit, with a very
// slow recovery. 48-sample blocks of float samples on the 16-bit scale.
#pragma once

#include "core/processing_ports.h"

class SpeakerLimiter : public SpeakerLimiterPort {
 public:
  static constexpr int kBlock = 48;

  // Stores the parameters the core applies into `parameters` and logs them.
  explicit SpeakerLimiter(LimiterParameters* parameters);

  void Process(float target_gain, float* block, float limit) override;

  float ramp_gain() const { return ramp_gain_; }
  float limiter_gain() const { return limiter_gain_; }
  float smoothed_gain() const { return smoothed_gain_; }
  float held_peak() const { return held_peak_; }

 private:
  void AddToHistogram(float peak);

  float ramp_gain_ = 1.0f;
  float limiter_gain_ = 1.0f;
  float smoothed_gain_ = 1.0f;
  float held_peak_ = 0.0f;
  int hold_ = 0;
  int blocks_ = 0;
  float histogram_[5] = {};
};
