// Partitioned adaptive echo filter, its clock-drift estimator, the frame delay voter and
// the small spectral delay ring.
//
// Placeholder kernels: the filter estimates no echo (the error spectrum is the
// microphone spectrum, bins 880 and up cleared), the ratio is left alone and the voter
// keeps its delay at 0. The spectral delay ring is complete.
#pragma once

#include <cstdint>

#include "band_coupling.h"
#include "serrin_fft.h"

constexpr int kEchoFilterBins = 880;
constexpr int kEchoFilterChannels = 3;

struct EchoFilterState {
  double sample_rate_ratio;  // read step of the far-end delay line
  float erle_db;             // current ERLE of the core
  int32_t settle;
  // Per-band sums that the other kernels read (six bands).
  float band_far[6];
  float band_mic[kEchoFilterChannels][6];
  float band_echo[kEchoFilterChannels][6];
  float band_error[kEchoFilterChannels][6];
  // Echo estimate power per bin of the last step, per channel.
  float echo_power[kEchoFilterChannels][kSpectralBins];
};

void echo_filter_init(EchoFilterState* f);

// Replaces the channel spectrum by the error spectrum over bins [0, bins).
void echo_filter_step(int channel, int echo_path_channel, int flag, const float* residual_floors,
                      const EchoPathRecord* echo_path, int echo_mode, int bins,
                      SerrinComplex* channel_spectrum, const SerrinComplex* far_spectrum,
                      EchoFilterState* f);

// Trims the sample-rate ratio from the phase slope between echo and microphone.
void clock_drift_estimate(const SerrinComplex* mic_spectrum, int echo_mode, int warm_up,
                          EchoFilterState* f);

constexpr int kDelayRingSlots = 8;
constexpr int kDelayRingValues = 12;  // even bins 60 to 82

struct SpectralDelayRing {
  SerrinComplex slots[kDelayRingSlots][kDelayRingValues];
  int32_t index;
};

struct FrameDelayVoter {
  int32_t frame_count;
  int32_t votes[8];
  int32_t last_candidate;
  int32_t delay;  // D in 5 ms units, 0..20
};

struct DelayRecord {
  FrameDelayVoter voter;
  SpectralDelayRing ring;
};

void delay_record_init(DelayRecord* r);

// Stores this frame's twelve values (from spectrum) and returns those of delay / 4 frames
// earlier.
const SerrinComplex* spectral_delay_ring_step(const SerrinComplex* spectrum, int32_t delay,
                                              SpectralDelayRing* ring);

void frame_delay_vote(const SerrinComplex* delayed, const SerrinComplex* reference_spectrum,
                      FrameDelayVoter* voter);
