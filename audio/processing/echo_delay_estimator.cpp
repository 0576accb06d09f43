#include "echo_delay_estimator.h"

#include <cstring>

void delay_estimator_init(DelayEstimatorState* s) { std::memset(s, 0, sizeof(*s)); }

int delay_estimate_bands(const SerrinComplex*, const SerrinComplex*, DelayEstimatorState* s,
                         int* echo_path, float* delay) {
  if (echo_path != nullptr) *echo_path = 0;
  if (delay != nullptr) *delay = s->delay - 3.0f;
  return 0;
}

int serrin_reset_band_state(BandTrackState* s) {
  std::memset(s, 0, sizeof(*s));
  s->sample_rate = 48000;
  return 1;
}

int delay_estimate_pcm(const int16_t*, const int16_t*, BandTrackState*) { return 0; }
