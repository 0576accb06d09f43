// Echo delay estimators: band-envelope correlation of far end and near end.
//
// Placeholder kernels: no echo path is ever confirmed and no delay is adopted.
#pragma once

#include <cstdint>

#include "serrin_fft.h"

// Spectral variant (16 lags).
struct DelayEstimatorState {
  float delay;          // adopted delay in frames
  int32_t agreement;
  int32_t confirmations;  // echo-path confirmation counter, at most 11
  int32_t doubts;
};

void delay_estimator_init(DelayEstimatorState* s);
// Returns the echo-path flag; *delay receives the adopted delay less three frames.
int delay_estimate_bands(const SerrinComplex* near_spectrum, const SerrinComplex* far_spectrum,
                         DelayEstimatorState* s, int* echo_path, float* delay);

// Time-domain variant (128 lags) on 20 ms frames of int16 samples.
struct BandTrackState {
  float delay;          // adopted delay in frames of 20 ms
  int32_t sample_rate;  // input rate, 48000 after a reset
  int32_t agreement;
  float previous_consensus;
};

// Clears the record; returns 1.
int serrin_reset_band_state(BandTrackState* s);
// Returns 1 when the echo path is confirmed this frame, else 0.
int delay_estimate_pcm(const int16_t* near_pcm, const int16_t* far_pcm, BandTrackState* s);
