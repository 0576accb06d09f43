// Partitioned adaptive echo filter in the 1920-point spectral domain (one partition per
// 20 ms frame, two competing filters per bin), its clock-drift estimator, the frame delay
// voter and the small spectral delay ring.
#pragma once

#include <cstdint>

#include "band_coupling.h"
#include "serrin_fft.h"

constexpr int kEchoFilterBins = 880;
constexpr int kEchoFilterChannels = 3;
constexpr int kEchoFilterFirstBin = 2;
constexpr int kEchoBandCount = 6;  // bands of the floors: upper edges 12, 24, 60, 140, 280, 959

// The three bin groups of the filter: [first, end) bins, partitions and power smoothing.
struct EchoFilterGroup {
  int first;
  int end;
  int partitions;
  float smoothing;
};
constexpr int kEchoFilterGroups = 3;
extern const EchoFilterGroup kEchoFilterGroupTable[kEchoFilterGroups];
// Complex taps of one filter over all bins: 38 x 13 + 240 x 8 + 600 x 4.
constexpr int kEchoFilterTaps = 4814;
constexpr int kDriftBins = 152;  // bins the clock-drift estimator looks at

// Band (0..5) of the floors that bin k belongs to.
int echo_band_of_bin(int k);

// The filter record: saved and restored byte for byte as block A of the state file, so it
// holds no pointers and has a fixed size.
struct EchoFilterBody {
  double sample_rate_ratio;                  // read step of the far-end delay line
  float erle_db;                             // current ERLE of the core
  int32_t settle;                            // clock-drift estimates that found the slope within the fine range
  int32_t history_index[kEchoFilterGroups];  // newest slot of each group's far-end ring
  int32_t drift_count;                       // clock-drift estimator: fine corrections counted
  float drift_step;                          // adaptive step e, 0.005..1.0
  float drift_slope;                         // accumulated slope
  int32_t drift_adaptive;                    // adaptive mode reached
  float drift_last;                          // last correction
  // Far-end history (shared by the channels) and the two filters of each channel; per
  // bin the taps lie at bin_offset(k) .. + partitions.
  SerrinComplex history[kEchoFilterTaps];
  SerrinComplex filter_a[kEchoFilterChannels][kEchoFilterTaps];
  SerrinComplex filter_b[kEchoFilterChannels][kEchoFilterTaps];
  // Smoothed powers: microphone, error of A, error of B.
  float power_mic[kEchoFilterChannels][kEchoFilterBins];
  float power_a[kEchoFilterChannels][kEchoFilterBins];
  float power_b[kEchoFilterChannels][kEchoFilterBins];
  // Per-band sums of the last step that the other kernels read.
  float band_far[kEchoBandCount];
  float band_mic[kEchoFilterChannels][kEchoBandCount];
  float band_echo[kEchoFilterChannels][kEchoBandCount];
  float band_error[kEchoFilterChannels][kEchoBandCount];
  // Echo estimate power per bin of the last step, per channel.
  float echo_power[kEchoFilterChannels][kSpectralBins];
};

constexpr int kEchoFilterRecordBytes = 390736;
struct EchoFilterState : EchoFilterBody {
  uint8_t reserved[kEchoFilterRecordBytes - sizeof(EchoFilterBody)];
};
static_assert(sizeof(EchoFilterState) == kEchoFilterRecordBytes, "block A of the state file");

void echo_filter_init(EchoFilterState* f);

// One frame of the filter on a channel: with feed_far_end set, the far-end spectrum enters
// the history first (once per frame, shared by the channels). The channel spectrum is
// replaced by the error spectrum over bins 2..bins-1; for channel 0 bins from `bins` up
// are cleared. residual_floors: the channel's six band floors; echo_path gives the
// near-end level per bin that gates the adaptation.
void echo_filter_step(int channel, int echo_path_channel, int feed_far_end, const float* residual_floors,
                      const EchoPathRecord* echo_path, int echo_mode, int bins, SerrinComplex* channel_spectrum,
                      const SerrinComplex* far_spectrum, EchoFilterState* f);

// Clock-drift estimator, run before the filter step of the frame: the echo predictions of
// filters A and B of `channel` for this frame (far_spectrum as the newest partition) are
// compared with the microphone spectrum over the lowest 152 bins, and the phase slope
// between the better one and the microphone trims the sample-rate ratio. Frames whose
// better prediction leaves more than a tenth of the microphone's power give no estimate. floors: the
// channel's per-bin noise floor. warm_up below 9 keeps the coarse (fixed) mode; the
// caller passes f->settle, which counts estimates that found the slope in the fine range.
void clock_drift_estimate(const SerrinComplex* mic, const SerrinComplex* far_spectrum, const float* floors, int channel,
                          int echo_mode, int warm_up, EchoFilterState* f);
// Slope value C over bins 2..151: 1.875 per step of two samples (0.9375 per sample) that
// the microphone leads the better prediction by, refined between the sixteen steps of
// either sign from the correlation sums around the best one. Also gives the best correlation sum and the
// number of bins whose echo is well above the floor; exposed for tests.
float clock_drift_slope(const SerrinComplex* mic, const SerrinComplex* pred_a, const SerrinComplex* pred_b,
                        const float* floors, float* best_sum, int* bins_used);

// The shaped correction of the fixed mode for a slope value C (before the 0.000003 step).
float clock_drift_fixed_shape(float c);

constexpr int kDelayRingSlots = 8;
constexpr int kDelayRingValues = 12;  // even bins 60 to 82

struct SpectralDelayRing {
  SerrinComplex slots[kDelayRingSlots][kDelayRingValues];
  int32_t index;
};

constexpr int kVoterLags = 8;

struct FrameDelayVoter {
  int32_t frame_count;
  int32_t votes[kVoterLags];
  int32_t last_candidate;
  int32_t delay;  // D in 5 ms units, 0..20
  // Fit measure: per lag and bin the coherence of the microphone's bins with the
  // reference's bins that many frames earlier, from powers smoothed by 0.25.
  SerrinComplex reference_history[kVoterLags][kDelayRingValues];
  int32_t history_index;  // slot of the newest reference frame
  SerrinComplex cross[kVoterLags][kDelayRingValues];
  float ref_power[kVoterLags][kDelayRingValues];
  float mic_power[kDelayRingValues];
  float fit[kVoterLags];  // last frame's fit per lag
};

struct DelayRecord {
  FrameDelayVoter voter;
  SpectralDelayRing ring;
};

void delay_record_init(DelayRecord* r);

// Stores this frame's twelve values (from spectrum) and returns those of delay / 4 frames
// earlier.
const SerrinComplex* spectral_delay_ring_step(const SerrinComplex* spectrum, int32_t delay, SpectralDelayRing* ring);

// One frame of the voter: `delayed` are the microphone's twelve bins as the delay ring gave
// them, reference_spectrum the (delayed) reference. Result in voter->delay.
void frame_delay_vote(const SerrinComplex* delayed, const SerrinComplex* reference_spectrum, FrameDelayVoter* voter);
// Lag (0..7) of the last frame's best fit, -1 when no lag fits; exposed for tests.
int frame_delay_best_fit(const FrameDelayVoter* voter);
