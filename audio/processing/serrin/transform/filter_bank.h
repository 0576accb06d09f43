// Windowed analysis and synthesis filter banks: 960-sample frames (hop 960) to 960-bin
// spectra of a 1920-point transform and back.
#pragma once

#include <cstdint>

#include "serrin_fft.h"

constexpr int kBankFrame = 960;
constexpr int kBankAges = 6;

// History of six pre-emphasised frames, oldest (age 0) to newest (age 5), with the
// analysis window (the prototype reversed in time) cut into six segments.
struct AnalysisBank {
  float memory;               // last input sample of the previous frame
  float* buffers[kBankAges];  // rotate by pointer
  const float* segments[kBankAges];
  float storage[kBankAges][kBankFrame];
  float window[kBankAges * kBankFrame];
};

// Six overlap-add accumulators, the one emitted next (age 0) to the newest (age 5),
// with the synthesis window (the prototype as stored) cut into six segments.
struct SynthesisBank {
  float memory;                    // previous output sample of the de-emphasis
  float* accumulators[kBankAges];  // rotate by pointer
  const float* segments[kBankAges];
  float storage[kBankAges][kBankFrame];
};

void serrin_analysis_init(AnalysisBank* bank);
// The same with another prototype (5760 values; copied).
void serrin_analysis_init_window(AnalysisBank* bank, const float* prototype);
// Pre-emphasis (x[n] - 0.9 x[n-1]), window fold of the last six frames into 1920 points,
// forward transform into spectrum (960 bins), then rotation of the history.
void serrin_analysis(const int16_t* samples, SerrinComplex* spectrum, AnalysisBank* bank);

void serrin_synthesis_init(SynthesisBank* bank);
// The same with another prototype (5760 values; the bank points at it, so it must outlive
// the bank).
void serrin_synthesis_init_window(SynthesisBank* bank, const float* prototype);
// Inverse transform of spectrum (which is left holding the 1920 time samples), windowed
// overlap-add, de-emphasis (o[n] = a[n] + 0.9 o[n-1]) and conversion of the oldest
// accumulator to 960 samples, saturated to the int16 range, then rotation.
void serrin_synthesis(SerrinComplex* spectrum, int16_t* samples, SynthesisBank* bank);
