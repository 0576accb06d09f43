// Block-floating-point real transform pair of length 256 for the 8 kHz detector chain.
#pragma once

#include <cstdint>

// One pair of 32-bit integers: two real samples (even, odd) or one complex bin.
struct FixedPair {
  int32_t re;
  int32_t im;
};

constexpr int kFixedFftPairs = 128;

// Number of left shifts that bring |x| to at least 2^30 (0 for 0), in the low 16 bits.
int32_t norm_shift(int32_t x);

// Forward real transform of 256 samples given as 128 pairs (even sample in re, odd in im).
// Writes 128 pairs: pair 0 holds (DC, Nyquist), pair k bin k, each scaled so that
// out * 2^returned == true DFT / 256. Returns the block exponent (2 - n).
int serrin_rfft256_q(const FixedPair* in, FixedPair* out);

// Inverse of the above layout: takes 128 spectrum pairs and writes the 256 samples as 128
// pairs, each scaled so that out * 2^returned == sum over all 256 bins (no 1/256).
// Returns the block exponent (10 - n).
int serrin_irfft256_q(const FixedPair* in, FixedPair* out);
