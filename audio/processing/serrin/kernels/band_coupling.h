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
  float second_peak[kCouplingBands][kCouplingRefs];
  float coupling_fast[kCouplingBands][kCouplingRefs];
  float coupling_slow[kCouplingBands][kCouplingRefs];
  float band_sum;
  float release;
  float smoothing;  // second smoothing factor, 1 - e^(-1/8)
  float growth;     // per-frame growth factor, 10^0.004
  float coupling_min;
  int32_t far_frames;
};

// Main path: the band trackers' floor replaces energies below 5e7. Second path (the second
// microphone's channels): the same records with the floor at 2.0614583.
void coupling_trackers_init(CouplingState* c);
void coupling_trackers_init_second(CouplingState* c);

// Per-channel echo-path record: band activity and coupling of one input (or the far end).
// Saved and restored byte for byte (block B of the state file): no pointers, fixed size.
struct EchoPathBody {
  CouplingState coupling;
  float band_levels[37];                   // band levels for the crest measure
  float near_level[kSpectralBins];         // per-bin near-end level, gates the filter adaptation
  float echo_path_sum;                     // echo estimate energy of the last frame (bins 20..119)
  float echo_gain[6];                      // echo power over the far-end envelope, per band
  float echo_gain_bin[kSpectralBins];      // the same per bin
  float residual_gain_bin[kSpectralBins];  // what the filter leaves over the envelope, per bin
};
constexpr int kEchoPathRecordBytes = 19216;
struct EchoPathRecord : EchoPathBody {
  uint8_t reserved[kEchoPathRecordBytes - sizeof(EchoPathBody)];
};
static_assert(sizeof(EchoPathRecord) == kEchoPathRecordBytes, "block B of the state file");

// second_path: the record of a second-microphone channel.
void echo_path_record_init(EchoPathRecord* r, bool second_path = false);
// Echo gains back to an echo as loud as the far end (after the reference moved).
void echo_gains_reset(EchoPathRecord* r);

// Returns 2 while the far end has been active in band 1 for at most 100 frames, else the
// number of (band >= 1, reference) pairs updated.
int coupling_update(const float* mic_bands, const float (*ref_bands)[kCouplingBands], const int* active_refs,
                    int active_count, const float (*ref_floors)[kCouplingBands],
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
void residual_echo_measure(const float* mic_power, const float* echo_power, const float* third_power,
                           const float* band_weights, ResidualState* r);

struct MixRecord {
  int32_t target;
  int32_t source;
  int32_t fade_a;  // first countdown
  int32_t fade_b;  // second countdown
};

constexpr int32_t kMixSwitchFrames = 20;

// Sets the mixing record's countdowns for the frame: a change of the selected channel fades
// from the channel selected so far (the record's source) over 20 frames; the second
// countdown is the two-microphone countdown of mag_threshold_update while the second
// microphone takes part, else 0.
void mix_countdowns_update(int32_t selected, int second_mic_active, int32_t two_mic_countdown, MixRecord* mix);

// floors: one per-bin noise floor per channel.
void second_mic_mix(SerrinComplex (*spectra)[kSpectralBins], const float* const* floors, MixRecord* mix);

constexpr int kLowBandFirst = 12;
constexpr int kLowBandValues = 28;  // bins 12..39

struct TwoMicState {
  float low_band[2];          // per-channel low-band followers
  float magnitude_threshold;  // dB
  int32_t hold;
  int32_t frame_counter;
  int32_t countdown;
  float previous_level[2];               // c and the second channel's level of the last frame
  float band_values[2][kLowBandValues];  // |X|^2 of bins 12..39 of the last frame
  float band_sum[2];                     // their sums; [0] is the main band sum
};

void two_mic_state_init(TwoMicState* t);
// Stores the low-band values of both channels, publishes their sums and adds each
// channel's follower to values[i].
void low_band_energy_pair(const SerrinComplex* main, const SerrinComplex* second, float* values, TwoMicState* t);
// Runs low_band_energy_pair and moves the magnitude threshold; returns the two-microphone
// countdown, decreased by one when positive.
int mag_threshold_update(const SerrinComplex* main, const SerrinComplex* second, float delay, int enable,
                         TwoMicState* t);

struct ChannelVote {
  int32_t channels;
  int32_t selected;
  float bonus;
  float attack;
  float release;
  float smoothed[40][3];
};

void channel_vote_init(ChannelVote* v, int channels);
int dominant_channel_select(const SerrinComplex (*spectra)[kSpectralBins], const float* const* floors, ChannelVote* v);
