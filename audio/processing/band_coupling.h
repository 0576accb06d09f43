// Band coupling statistics, the residual-echo measure and microphone combining.
#pragma once

#include <cstdint>

#include "min_statistics.h"
#include "serrin_fft.h"

constexpr int kCouplingBands = 6;
constexpr int kCouplingRefs = 3;

struct CouplingState {
  float band_level[kCouplingBands];
  MinTracker trackers[kCouplingBands];
  int32_t band_hold[kCouplingBands];
  float ref_peak[kCouplingBands][kCouplingRefs];
  float coupling_fast[kCouplingBands][kCouplingRefs];
  float coupling_slow[kCouplingBands][kCouplingRefs];
  float band_sum;
  float release;
  float coupling_min;
  int32_t far_frames;
};

void coupling_trackers_init(CouplingState* c);

// Per-channel echo-path record: band activity and coupling of one input (or the far end).
// Saved and restored byte for byte (block B of the state file): no pointers, fixed size.
struct EchoPathBody {
  CouplingState coupling;
  float band_levels[37];           // band levels for the crest measure
  float near_level[kSpectralBins]; // per-bin near-end level, gates the filter adaptation
  float echo_path_sum;             // echo estimate energy of the last frame (bins 20..119)
  float echo_gain[6];              // echo power over the far-end envelope, per band
  float echo_gain_bin[kSpectralBins];      // the same per bin
  float residual_gain_bin[kSpectralBins];  // what the filter leaves over the envelope, per bin
};
constexpr int kEchoPathRecordBytes = 19216;
struct EchoPathRecord : EchoPathBody {
  uint8_t reserved[kEchoPathRecordBytes - sizeof(EchoPathBody)];
};
static_assert(sizeof(EchoPathRecord) == kEchoPathRecordBytes, "block B of the state file");

void echo_path_record_init(EchoPathRecord* r);
// Echo gains back to an echo as loud as the far end (after the reference moved).
void echo_gains_reset(EchoPathRecord* r);

// Returns 2 while the far end has been active in band 1 for at most 100 frames, else the
// number of (band >= 1, reference) pairs updated.
int coupling_update(const float* mic_bands, const float (*ref_bands)[kCouplingBands],
                    const int* active_refs, int active_count,
                    const float (*ref_floors)[kCouplingBands],
                    const float (*ref_energies)[kCouplingBands], CouplingState* c);

struct ResidualState {
  float peak_hold[30];
  float residual_total;
  int32_t residual_flag;  // countdown; nonzero while residual echo is seen
  float residual_threshold;
  float low_leak;
};

// Residual-echo threshold and the low-band leak factor (chosen by the echo bench).
constexpr float kResidualThreshold = 2.0f;
constexpr float kResidualLowLeak = 0.5f;

void residual_state_init(ResidualState* r);
void residual_echo_measure(const float* mic_power, const float* echo_power,
                           const float* third_power, const float* band_weights,
                           ResidualState* r);

struct MixRecord {
  int32_t target;
  int32_t source;
  int32_t fade_a;  // first countdown
  int32_t fade_b;  // second countdown
};

// floors: one per-bin noise floor per channel.
void second_mic_mix(SerrinComplex (*spectra)[kSpectralBins], const float* const* floors,
                    MixRecord* mix);

struct TwoMicState {
  float low_band[2];
  float magnitude_threshold;  // dB
  int32_t hold;
  int32_t frame_counter;
  int32_t countdown;
  float previous_level[2];
  float main_band_sum;
};

void two_mic_state_init(TwoMicState* t);
void low_band_energy_pair(const SerrinComplex* main, const SerrinComplex* second, float* sums,
                          TwoMicState* t);
// Returns the double-talk countdown, decreased by one when positive.
int mag_threshold_update(const SerrinComplex* main, const SerrinComplex* second, float delay,
                         int enable, TwoMicState* t);

struct ChannelVote {
  int32_t channels;
  int32_t selected;
  float bonus;
  float attack;
  float release;
  float smoothed[40][3];
};

void channel_vote_init(ChannelVote* v, int channels);
int dominant_channel_select(const SerrinComplex (*spectra)[kSpectralBins], const float* const* floors,
                            ChannelVote* v);
