// Coefficient tables shared by all resamplers: built on first use, freed with the last user.
#pragma once

#include <cstdint>

// Family A: the 63-tap prototypes P6 and P3 (leading zero, centre at index 32) in Q15 and
// the sums of consecutive coefficients that the held-input kernels use per output phase.
struct HoldFilterTables {
  int16_t p6[64];
  int16_t p3[64];
  int16_t p3_pairs[32];    // P3[2k+1] + P3[2k+2], then P3[63]
  int16_t p3_three_a[22];  // P3[1] + P3[2], P3[3k..3k+2] for k = 1..20, then P3[63]
  int16_t p3_three_b[22];  // 0, then P3[3k+1..3k+3] for k = 0..20
  int16_t p6_six_a[12];    // sums of six starting at 6k - 3
  int16_t p6_six_b[11];    // sums of six starting at 6k + 1
  int16_t p6_six_c[11];    // sums of six starting at 6k
  // Per-phase filters over the held input, x[m - j] weighted by entry j.
  int16_t up3_phase[3][22];
  int16_t up6_phase[6][12];
  int16_t up2down3_phase[2][32];
};

// Family B: the 47-tap prototypes T4 and T2 (leading zero, centre at index 24) in Q15,
// with their per-phase filters over the held input.
struct TableFilterTables {
  int16_t t4[48];
  int16_t t2[48];
  int16_t up2_phase[2][24];
  int16_t up4_phase[4][13];
};

// Rows of the 16-tap fractional interpolators between 44.1 kHz and 48 kHz, Q15.
struct ConverterTables {
  int16_t up[160][16];    // 147 to 160
  int16_t down[147][16];  // 160 to 147
};

// Float prototypes the Q15 tables are made from: `taps` + 1 coefficients with a leading
// zero, symmetric around taps / 2 + 1, summing to 1.0, -6 dB at `cutoff` of the rate.
void DesignLowPass(float* out, int taps, double cutoff);

// Each acquire builds the family when it has no user yet and counts one user; each release
// drops one and frees the family with its last user. Thread-safe.
const HoldFilterTables* AcquireHoldFilterTables();
void ReleaseHoldFilterTables();
const TableFilterTables* AcquireTableFilterTables();
void ReleaseTableFilterTables();
int HoldFilterTableUsers();
int TableFilterTableUsers();

// Constant for the life of the process.
const ConverterTables& GetConverterTables();

// Cutoffs (fraction of the sampling rate the filter runs at) of the four prototypes.
constexpr double kP6Cutoff = 0.071;
constexpr double kP3Cutoff = 0.146;
constexpr double kT4Cutoff = 0.106;
constexpr double kT2Cutoff = 0.219;
