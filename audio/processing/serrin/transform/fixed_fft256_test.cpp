#include "fixed_fft256.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

namespace {

void Sine(int bin, double amplitude, FixedPair* pairs) {
  const double pi = 3.14159265358979323846;
  for (int n = 0; n < 128; ++n) {
    pairs[n].re = static_cast<int32_t>(amplitude * std::cos(2 * pi * bin * (2 * n) / 256.0));
    pairs[n].im = static_cast<int32_t>(amplitude * std::cos(2 * pi * bin * (2 * n + 1) / 256.0));
  }
}

}  // namespace

// Verifies norm_shift on zero, small, large and negative extremes.
TEST(FixedFft256, NormShift) {
  EXPECT_EQ(norm_shift(0), 0);
  EXPECT_EQ(norm_shift(1), 30);
  EXPECT_EQ(norm_shift(0x40000000), 0);
  EXPECT_EQ(norm_shift(0x7FFFFFFF), 0);
  EXPECT_EQ(norm_shift(-1), 30);
  EXPECT_EQ(norm_shift(INT32_MIN), 0);
  EXPECT_EQ(norm_shift(3), 29);
}

// Verifies that a zero input stays zero and returns the exponents 2 and 10.
TEST(FixedFft256, ZeroInputExponents) {
  FixedPair in[128] = {};
  FixedPair out[128];
  EXPECT_EQ(serrin_rfft256_q(in, out), 2);
  for (const FixedPair& p : out) {
    EXPECT_EQ(p.re, 0);
    EXPECT_EQ(p.im, 0);
  }
  EXPECT_EQ(serrin_irfft256_q(in, out), 10);
  for (const FixedPair& p : out) {
    EXPECT_EQ(p.re, 0);
    EXPECT_EQ(p.im, 0);
  }
}

// Verifies the forward scale: out * 2^exp equals the true DFT / 256, for small and large inputs.
TEST(FixedFft256, ForwardScaleIsIndependentOfLevel) {
  for (double amplitude : {300.0, 1000000.0}) {
    FixedPair in[128];
    FixedPair out[128];
    Sine(20, amplitude, in);
    const int e = serrin_rfft256_q(in, out);
    const double scale = std::ldexp(1.0, e);
    // A cosine of amplitude A has |X[20]| = 128 A, so X / 256 = A / 2.
    EXPECT_NEAR(out[20].re * scale, amplitude / 2, amplitude * 1e-3);
    EXPECT_NEAR(out[20].im * scale, 0.0, amplitude * 1e-3);
    EXPECT_NEAR(out[21].re * scale, 0.0, amplitude * 1e-3);
    EXPECT_NEAR(out[0].re * scale, 0.0, amplitude * 1e-3);
  }
}

// Verifies that the inverse of the forward result restores the samples through both exponents.
TEST(FixedFft256, RoundTripRestoresSamples) {
  FixedPair in[128];
  for (int n = 0; n < 128; ++n) {
    in[n].re = (n * 7919) % 20001 - 10000;
    in[n].im = (n * 104729) % 20001 - 10000;
  }
  FixedPair spectrum[128];
  FixedPair back[128];
  const int e1 = serrin_rfft256_q(in, spectrum);
  const int e2 = serrin_irfft256_q(spectrum, back);
  const double scale = std::ldexp(1.0, e1 + e2);
  for (int n = 0; n < 128; ++n) {
    EXPECT_NEAR(back[n].re * scale, in[n].re, 2.0) << n;
    EXPECT_NEAR(back[n].im * scale, in[n].im, 2.0) << n;
  }
}
