// Figures of the echo bench.
#pragma once

#include <cstddef>
#include <cstdint>

// 10 log10(mic energy / output energy) over [begin, end); output lags by `lag` samples.
double ErleDb(const int16_t* mic, const int16_t* out, size_t begin, size_t end, int lag);

struct NearEndFit {
  int lag;               // output delay of the near end, samples
  double gain_db;        // least-squares gain of the near end in the output
  double distortion_db;  // everything but that scaled near end, relative to it
};

// Fits out[n] ~ g * near[n - lag] over [begin, end) with lag in 0..max_lag.
NearEndFit FitNearEnd(const int16_t* out, const float* near, size_t begin, size_t end, int max_lag);
