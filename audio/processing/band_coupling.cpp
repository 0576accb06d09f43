#include "band_coupling.h"

#include <cstring>

void coupling_trackers_init(CouplingState* c) {
  std::memset(c, 0, sizeof(*c));
  for (MinTracker& t : c->trackers) {
    min_tracker_setup(&t, 2.0614585e12f, 5e7f, 5e7f, 50, 100, 0.25f);
  }
  for (int b = 0; b < kCouplingBands; ++b) {
    for (int r = 0; r < kCouplingRefs; ++r) c->coupling_fast[b][r] = c->coupling_slow[b][r] = 16.0f;
  }
  c->release = 0.1175031f;
  c->coupling_min = 0.005f;
}

void echo_path_record_init(EchoPathRecord* r) {
  std::memset(r, 0, sizeof(*r));
  coupling_trackers_init(&r->coupling);
}

int coupling_update(const float*, const float (*)[kCouplingBands], const int*, int,
                    const float (*)[kCouplingBands], const float (*)[kCouplingBands],
                    CouplingState*) {
  return 2;
}

void residual_state_init(ResidualState* r) {
  std::memset(r, 0, sizeof(*r));
  r->residual_threshold = 1.0f;
}

void residual_echo_measure(const float*, const float*, const float*, const float*,
                           ResidualState* r) {
  r->residual_total = 0.0f;
  if (r->residual_flag > 0) --r->residual_flag;
}

void second_mic_mix(SerrinComplex (*)[kSpectralBins], const float* const*, MixRecord*) {}

void two_mic_state_init(TwoMicState* t) { std::memset(t, 0, sizeof(*t)); }

void low_band_energy_pair(const SerrinComplex*, const SerrinComplex*, float*, TwoMicState*) {}

int mag_threshold_update(const SerrinComplex*, const SerrinComplex*, float, int, TwoMicState*) {
  return 0;
}

void channel_vote_init(ChannelVote* v, int channels) {
  std::memset(v, 0, sizeof(*v));
  v->channels = channels;
  v->bonus = 1.0f;
  v->attack = 0.5f;
  v->release = 0.95f;
}

int dominant_channel_select(const SerrinComplex (*)[kSpectralBins], const float* const*,
                            ChannelVote* v) {
  return v->selected;
}
