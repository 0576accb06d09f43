#include "suppression_gain.h"

#include <cstring>

void suppressor_init(SuppressorState* s) {
  std::memset(s, 0, sizeof(*s));
  s->release = 0.5f;
  s->comfort_noise = 1;
  s->frame_constant = 0.01f;
  s->strength = 1.0f;
}

void echo_activity_init(EchoActivity* a) { std::memset(a, 0, sizeof(*a)); }

void echo_peak_follow(const float*, float*, float*, int, const float*, const float*,
                      EchoActivity*) {}

void echo_activity_update(const float*, const float*, const float*, int, float*, EchoActivity*) {}

void apply_suppression_gain(SerrinComplex*, const float*, const float*, float, int, int, int,
                            SuppressorState*, int) {}

void comfort_noise_fill(const float*, float, SerrinComplex* out, SuppressorState*, int) {
  std::memset(out, 0, sizeof(SerrinComplex) * kSpectralBins);
}

void comfort_noise_fill_unit(const float*, SerrinComplex* out, SuppressorState*) {
  std::memset(out, 0, sizeof(SerrinComplex) * kSpectralBins);
}

void agc_init(AgcState* a) {
  std::memset(a, 0, sizeof(*a));
  a->gain = 1.0f;
  a->max_gain = 1.0f;
}

float agc_gain_update(AgcState* a, int, float, float, int) { return a->gain; }
