// Echo delay estimators: the envelope fluctuations of the reference and of the microphone
// are correlated in five bands over a range of lags; a lag is adopted when all five bands
// agree. The spectral variant works on band powers of 960-bin spectra with 16 lags, the
// time-domain variant on 20 ms frames of int16 samples with 128 lags.
#pragma once

#include <cstdint>

#include "serrin_fft.h"

constexpr int kDelayBands = 5;
constexpr int kDelayMaxLags = 128;

// Band statistics at the adopted delay, minimum trackers and decaying peaks.
struct DelayStatistics {
  float near_at_delay[kDelayBands];  // smoothed near band power (0.1 new)
  float far_at_delay[kDelayBands];   // smoothed reference band power at the delay
  float peak[kDelayBands];           // peak of the smoothed near power, renewed after 150 frames
  float peak_ratio[kDelayBands];     // reference over peak when the peak was taken
  float peak_candidate[kDelayBands];
  int32_t peak_count[kDelayBands];
  float average_ring[kDelayBands][4];  // near band powers of the last four frames
  int32_t average_index;
  float average[kDelayBands];  // their mean
  float minimum[kDelayBands];  // minimum of the 4-frame averages, windows 100 / 300
  float minimum_candidate[kDelayBands];
  int32_t minimum_count[kDelayBands];
  float decaying_peak[kDelayBands];  // held 4 frames, then 0.8 per frame
  int32_t decaying_count[kDelayBands];
};

// Lag search shared by both variants.
struct DelayCorrelator {
  int32_t lags;         // ring length: 16 or 128
  float threshold;      // correlation threshold of the consensus
  int32_t max_lag;      // consensus lags from 0 up to (not including) this one
  int32_t adopt_after;  // agreeing frames needed beyond the first
  float near_fast[kDelayBands], near_slow[kDelayBands];
  float far_fast[kDelayBands], far_slow[kDelayBands];
  float var_near[kDelayBands], var_far[kDelayBands];
  float ring[kDelayBands][kDelayMaxLags];       // past reference-side deviations
  float ring_norm[kDelayBands][kDelayMaxLags];  // their normalisers
  float acc[kDelayBands][kDelayMaxLags];        // correlation accumulators
  int32_t best_lag[kDelayBands];
  float best_corr[kDelayBands];
  int32_t index;    // counts down modulo lags
  float delay;      // adopted delay in frames
  float consensus;  // mean of the five best lags of the last frame
  float previous_consensus;
  float spread;         // largest distance of a band's best lag from the consensus
  float corr_at_delay;  // mean correlation at the adopted delay
  int32_t agreement;
  int32_t echo_path;                           // echo-path flag of the last frame
  float far_ring[kDelayBands][kDelayMaxLags];  // past reference band powers (same index)
  float far_energy_at_delay;                   // reference energy of the frame that lies `delay` back
  DelayStatistics stats;
};

void delay_correlator_init(DelayCorrelator* c, int lags, float threshold, int max_lag, int adopt_after);
// One frame: band powers of the reference side (which leads) and the microphone side
// (which lags it by the echo delay), and the reference's frame energy. Returns the
// echo-path flag.
int delay_correlator_step(const float* reference_bands, const float* mic_bands, float reference_energy,
                          DelayCorrelator* c);

// Spectral variant.
struct DelayEstimatorState {
  DelayCorrelator corr;
  int32_t confirmations;  // echo-path confirmation counter, at most 11
  int32_t doubts;
};

// The echo-path counters of the spectral variant after one frame (flag: its echo-path flag).
void delay_echo_path_counters(int flag, DelayEstimatorState* s);

void delay_estimator_init(DelayEstimatorState* s);
// Reference (far) and microphone (near) spectra. Returns the echo-path flag; *delay
// receives the adopted delay less three frames.
int delay_estimate_bands(const SerrinComplex* near_spectrum, const SerrinComplex* far_spectrum, DelayEstimatorState* s,
                         int* echo_path, float* delay);

// Time-domain variant: five band-pass sections per side.
struct BandTrackState {
  DelayCorrelator corr;
  int32_t sample_rate;               // input rate: 48000 (after a reset), 32000 or 16000
  float section[2][kDelayBands][4];  // per side and band: biquad memory x1, x2, y1, y2
  float delay;                       // adopted delay in frames of 20 ms (mirrors corr.delay)
};

// Clears the record; returns 1.
int serrin_reset_band_state(BandTrackState* s);
// One 20 ms frame of int16 samples at the state's sample rate (960, 640 or 320 samples):
// `reference` leads, `mic` carries its echo. Returns 1 when the echo path is confirmed this
// frame, else 0; the delay stays in the state.
int delay_estimate_pcm(const int16_t* reference, const int16_t* mic, BandTrackState* s);
// A 20 ms frame at `rate` (48000, 32000 or 16000) as 960 samples at 48 kHz: 32 kHz pairs
// a, b (and the next a') give a, 0.67 b + 0.33 a, 0.33 a' + 0.67 b; 16 kHz samples are
// repeated three times. Another rate is taken as 48000.
void delay_condition_input(const int16_t* pcm, int rate, float* out);
// Band powers of one 960-sample frame through the five band-pass sections of `side` (0, 1).
void delay_band_powers(const float* x, int side, BandTrackState* s, float* bands);
