// The 8 kHz stage of the detector chain: decimation by six, a third-order high-pass, and
// every 128 samples a windowed 256-point fixed-point spectrum giving an envelope level, its
// peaks, a pitch and a harmonic (voiced sound) measure with hangovers.
#pragma once

#include <cstdint>

constexpr int kDecimateTaps = 66;
constexpr int kDetectorFrame = 80;
constexpr int kDetectorBlock = 16;
constexpr int kDetectorWindow = 256;
constexpr int kDetectorSquares = 512;
constexpr int kDetectorHop = 128;
constexpr int kEnvelopeHistory = 30;
constexpr int kDetectorMaxFrames = 6;

struct Detector8kEntry {
  int16_t loud_harmonic;  // two consecutive strong harmonic analyses, with hold
  int16_t level;          // the current low-band level
  int16_t peak;           // an envelope peak value, or 0
  int16_t strong_harmonic;
  int16_t harmonic;  // harmonic hold running and fewer than 60 analyses without strong
};

struct Detector8kOutput {
  int32_t count;
  Detector8kEntry entry[kDetectorMaxFrames];
};

// Floor of a level: minimum of its four-analysis mean, with a candidate after 100
// analyses that becomes the floor after 300.
struct LevelFloor {
  int32_t recent[4];
  int32_t floor;
  int32_t candidate;
  int32_t count;
};

struct Detector8k {
  int32_t samples[kDetectorWindow];   // high-passed, newest last
  int32_t squares[kDetectorSquares];  // (y >> 1)^2, newest last
  int32_t pending[kDetectorBlock];    // high-passed samples of the block being gathered
  int32_t pending_count;
  int32_t hp_w[3];      // high-pass memory: w[n-1], w[n-2], w[n-3]
  int32_t accumulator;  // samples since the last analysis
  int32_t taper[64];
  int32_t envelope[kEnvelopeHistory];  // v per analysis, newest last
  LevelFloor level_floor;
  LevelFloor envelope_floor;
  float smoothed_level;
  int32_t level;  // u of the last analysis
  int32_t peak;
  int32_t pitch[3];        // 2 x lag, 0 for none; newest last
  int32_t correlation[3];  // normalised peak, Q13; newest last
  int32_t strong_hold;
  int32_t loud_hold;
  int32_t harmonic_hold;
  int32_t run;
  int32_t previous_strong;  // the strong condition of the previous analysis
  int32_t constant;         // the last frame was constant
};

void detector8k_init(Detector8k* d);

// Low-pass FIR and decimation by six: 480 samples to 80, keeping 65 samples of history.
void decimate6(const int16_t* in, int16_t* out, int16_t* history);
// The decimator's 66 coefficients (symmetric, Q15).
const int16_t* decimate6_taps();

// One 80-sample frame per whole frame of `count` samples; the output holds one entry each.
void detector8k_frames(const int16_t* samples, int count, Detector8kOutput* out, Detector8k* d);
void detector8k_frame(const int16_t* samples, Detector8kEntry* entry, Detector8k* d);
void detector8k_analyse(Detector8k* d);

// Energy stability of f period energies, Q13: normalised spread V, its linear-trend part C
// and the mean relative step D. Steady energies give V = C = D = 0.
void period_energy_stability(const double* energy, int f, int32_t* v, int32_t* c, int32_t* d);
