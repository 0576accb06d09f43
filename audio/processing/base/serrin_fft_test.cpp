#include "serrin_fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// Deterministic pseudo-random values in [-1, 1) without libm.
struct Lcg {
  uint32_t s = 12345;
  float Next() {
    s = s * 1664525u + 1013904223u;
    return static_cast<float>(static_cast<int32_t>(s)) / 2147483648.0f;
  }
};

std::vector<double> NaiveRealDft(const std::vector<float>& x, int k) {
  const double pi = 3.14159265358979323846;
  double re = 0.0, im = 0.0;
  const int n = static_cast<int>(x.size());
  for (int t = 0; t < n; ++t) {
    const double a = -2.0 * pi * static_cast<double>(k) * t / n;
    re += x[t] * std::cos(a);
    im += x[t] * std::sin(a);
  }
  return {re, im};
}

}  // namespace

// Verifies that the 960-point transform matches a direct DFT and its inverse scaling.
TEST(SerrinFft, ComplexTransformMatchesDirectDft) {
  Lcg rng;
  SerrinComplex data[960];
  std::vector<SerrinComplex> input(960);
  for (int n = 0; n < 960; ++n) input[n] = data[n] = {rng.Next(), rng.Next()};
  serrin_fft960(data, 1);
  const double pi = 3.14159265358979323846;
  for (int k : {0, 1, 7, 64, 320, 479, 480, 481, 959}) {
    double re = 0.0, im = 0.0;
    for (int n = 0; n < 960; ++n) {
      const double a = -2.0 * pi * k * n / 960.0;
      re += input[n].re * std::cos(a) - input[n].im * std::sin(a);
      im += input[n].re * std::sin(a) + input[n].im * std::cos(a);
    }
    EXPECT_NEAR(data[k].re, re, 2e-3) << "bin " << k;
    EXPECT_NEAR(data[k].im, im, 2e-3) << "bin " << k;
  }
  // The inverse applies 1/3840: forward then inverse gives the input divided by 4.
  serrin_fft960(data, -1);
  for (int n = 0; n < 960; ++n) {
    EXPECT_NEAR(data[n].re, input[n].re / 4.0f, 1e-5);
    EXPECT_NEAR(data[n].im, input[n].im / 4.0f, 1e-5);
  }
}

// Verifies the packed real transform: twice the DFT, DC and Nyquist in bin 0, exact round trip.
TEST(SerrinFft, RealTransformPackingAndRoundTrip) {
  Lcg rng;
  std::vector<float> x(1920);
  for (float& v : x) v = rng.Next() * 1000.0f;
  SerrinComplex data[960];
  std::memcpy(data, x.data(), sizeof(data));
  serrin_rfft1920(data, 1);

  double dc = 0.0, nyquist = 0.0;
  for (int t = 0; t < 1920; ++t) {
    dc += x[t];
    nyquist += (t % 2 ? -1.0 : 1.0) * x[t];
  }
  EXPECT_NEAR(data[0].re, 2.0 * dc, 0.5);
  EXPECT_NEAR(data[0].im, 2.0 * nyquist, 0.5);
  for (int k : {1, 2, 100, 479, 480, 481, 900, 959}) {
    const std::vector<double> ref = NaiveRealDft(x, k);
    EXPECT_NEAR(data[k].re, 2.0 * ref[0], 1.0) << "bin " << k;
    EXPECT_NEAR(data[k].im, 2.0 * ref[1], 1.0) << "bin " << k;
  }

  serrin_rfft1920(data, -1);
  const float* back = reinterpret_cast<const float*>(data);
  for (int t = 0; t < 1920; ++t) EXPECT_NEAR(back[t], x[t], 2e-3f) << "sample " << t;
}

// Verifies that an all-zero frame gives an all-zero spectrum.
TEST(SerrinFft, ZeroInputGivesZeroSpectrum) {
  SerrinComplex data[960] = {};
  serrin_rfft1920(data, 1);
  for (const SerrinComplex& c : data) {
    EXPECT_EQ(c.re, 0.0f);
    EXPECT_EQ(c.im, 0.0f);
  }
}
