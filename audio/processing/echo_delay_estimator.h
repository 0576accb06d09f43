// Echo delay estimators: the envelope fluctuations of the reference and of the microphone
// are correlated in five bands over a range of lags; a lag is adopted when all five bands
// agree. The spectral variant works on band powers of 960-bin spectra with 16 lags, the
// time-domain variant on 20 ms frames of int16 samples with 128 lags.
#pragma once

#include <cstdint>

#include "serrin_fft.h"

constexpr int kDelayBands = 5;
constexpr int kDelayMaxLags = 128;

// Lag search shared by both variants.
struct DelayCorrelator {
  int32_t lags;              // ring length: 16 or 128
  float threshold;           // correlation threshold of the consensus
  int32_t max_lag;           // consensus lags from 0 up to (not including) this one
  int32_t adopt_after;       // agreeing frames needed beyond the first
  float near_fast[kDelayBands], near_slow[kDelayBands];
  float far_fast[kDelayBands], far_slow[kDelayBands];
  float var_near[kDelayBands], var_far[kDelayBands];
  float ring[kDelayBands][kDelayMaxLags];       // past reference-side deviations
  float ring_norm[kDelayBands][kDelayMaxLags];  // their normalisers
  float acc[kDelayBands][kDelayMaxLags];        // correlation accumulators
  int32_t best_lag[kDelayBands];
  float best_corr[kDelayBands];
  int32_t index;             // counts down modulo lags
  float delay;               // adopted delay in frames
  float consensus;           // mean of the five best lags of the last frame
  float previous_consensus;
  float spread;              // largest distance of a band's best lag from the consensus
  float corr_at_delay;       // mean correlation at the adopted delay
  int32_t agreement;
  int32_t echo_path;         // echo-path flag of the last frame
};

void delay_correlator_init(DelayCorrelator* c, int lags, float threshold, int max_lag,
                           int adopt_after);
// One frame: band powers of the reference side (which leads) and the microphone side
// (which lags it by the echo delay), and the reference's frame energy. Returns the
// echo-path flag.
int delay_correlator_step(const float* reference_bands, const float* mic_bands,
                          float reference_energy, DelayCorrelator* c);

// Spectral variant.
struct DelayEstimatorState {
  DelayCorrelator corr;
  int32_t confirmations;  // echo-path confirmation counter, at most 11
  int32_t doubts;
};

void delay_estimator_init(DelayEstimatorState* s);
// Reference (far) and microphone (near) spectra. Returns the echo-path flag; *delay
// receives the adopted delay less three frames.
int delay_estimate_bands(const SerrinComplex* near_spectrum, const SerrinComplex* far_spectrum,
                         DelayEstimatorState* s, int* echo_path, float* delay);

// Time-domain variant: five band-pass sections per side.
struct BandTrackState {
  DelayCorrelator corr;
  int32_t sample_rate;  // input rate, 48000 after a reset
  float section[2][kDelayBands][4];  // per side and band: biquad memory x1, x2, y1, y2
  float delay;          // adopted delay in frames of 20 ms (mirrors corr.delay)
};

// Clears the record; returns 1.
int serrin_reset_band_state(BandTrackState* s);
// One 20 ms frame of 48 kHz int16 samples: `reference` leads, `mic` carries its echo.
// Returns 1 when the echo path is confirmed this frame, else 0; the delay stays in the
// state.
int delay_estimate_pcm(const int16_t* reference, const int16_t* mic, BandTrackState* s);
// Band powers of one frame through the five band-pass sections of `side` (0, 1).
void delay_band_powers(const int16_t* pcm, int side, BandTrackState* s, float* bands);
