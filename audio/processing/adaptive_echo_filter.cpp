#include "adaptive_echo_filter.h"

#include <cstring>

void echo_filter_init(EchoFilterState* f) {
  std::memset(f, 0, sizeof(*f));
  f->sample_rate_ratio = 1.0;
}

void echo_filter_step(int channel, int, int, const float*, const EchoPathRecord*, int, int bins,
                      SerrinComplex* channel_spectrum, const SerrinComplex*, EchoFilterState* f) {
  if (channel == 0) {
    for (int k = bins; k < kSpectralBins; ++k) channel_spectrum[k] = {0.0f, 0.0f};
  }
  if (channel >= 0 && channel < kEchoFilterChannels) {
    std::memset(f->echo_power[channel], 0, sizeof(f->echo_power[channel]));
  }
}

void clock_drift_estimate(const SerrinComplex*, int, int, EchoFilterState*) {}

void delay_record_init(DelayRecord* r) { std::memset(r, 0, sizeof(*r)); }

const SerrinComplex* spectral_delay_ring_step(const SerrinComplex* spectrum, int32_t delay,
                                              SpectralDelayRing* ring) {
  SerrinComplex* slot = ring->slots[ring->index];
  for (int i = 0; i < kDelayRingValues; ++i) slot[i] = spectrum[60 + 2 * i];
  int back = delay / 4;
  if (back < 0) back = 0;
  const int from = ((ring->index - back) % kDelayRingSlots + kDelayRingSlots) % kDelayRingSlots;
  ring->index = (ring->index + 1) % kDelayRingSlots;
  return ring->slots[from];
}

void frame_delay_vote(const SerrinComplex*, const SerrinComplex*, FrameDelayVoter* voter) {
  ++voter->frame_count;
}
