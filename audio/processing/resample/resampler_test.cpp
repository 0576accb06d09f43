#include "resampler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

std::vector<int16_t> Sine(int rate, double freq, double amplitude, int n) {
  std::vector<int16_t> v(n);
  for (int i = 0; i < n; ++i) v[i] = static_cast<int16_t>(amplitude * std::sin(2 * kPi * freq * i / rate));
  return v;
}

// Signal-to-noise ratio in dB of x against the best-fitting sine of `freq` plus offset.
double SineSnr(const std::vector<int16_t>& x, int rate, double freq) {
  double ss = 0, sc = 0, cc = 0, s1 = 0, c1 = 0, n = 0, xs = 0, xc = 0, x1 = 0;
  const double w = 2 * kPi * freq / rate;
  for (size_t i = 0; i < x.size(); ++i) {
    const double s = std::sin(w * i), c = std::cos(w * i);
    ss += s * s;
    sc += s * c;
    cc += c * c;
    s1 += s;
    c1 += c;
    n += 1;
    xs += x[i] * s;
    xc += x[i] * c;
    x1 += x[i];
  }
  // Solve the 3x3 normal equations by Cramer's rule.
  const double m[3][3] = {{ss, sc, s1}, {sc, cc, c1}, {s1, c1, n}};
  const double r[3] = {xs, xc, x1};
  auto det = [](const double a[3][3]) {
    return a[0][0] * (a[1][1] * a[2][2] - a[1][2] * a[2][1]) - a[0][1] * (a[1][0] * a[2][2] - a[1][2] * a[2][0]) +
           a[0][2] * (a[1][0] * a[2][1] - a[1][1] * a[2][0]);
  };
  const double d = det(m);
  double coef[3];
  for (int k = 0; k < 3; ++k) {
    double mk[3][3];
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) mk[i][j] = j == k ? r[i] : m[i][j];
    coef[k] = det(mk) / d;
  }
  double sig = 0, err = 0;
  for (size_t i = 0; i < x.size(); ++i) {
    const double fit = coef[0] * std::sin(w * i) + coef[1] * std::cos(w * i) + coef[2];
    sig += fit * fit;
    err += (x[i] - fit) * (x[i] - fit);
  }
  return 10 * std::log10(sig / (err > 1e-9 ? err : 1e-9));
}

// Converts `in` in 10 ms calls of the input rate and gathers everything produced.
std::vector<int16_t> Convert(Resampler& r, const std::vector<int16_t>& in, int in_rate) {
  std::vector<int16_t> out;
  std::vector<int16_t> buf(Resampler::kMaxOutput);
  const int step = in_rate / 100;
  for (size_t pos = 0; pos + step <= in.size(); pos += step) {
    const int got = r.Process(in.data() + pos, step, buf.data());
    EXPECT_GE(got, 0);
    if (got > 0) out.insert(out.end(), buf.begin(), buf.begin() + got);
  }
  return out;
}

std::vector<int16_t> Tail(const std::vector<int16_t>& v, size_t skip) {
  return std::vector<int16_t>(v.begin() + (skip < v.size() ? skip : v.size()), v.end());
}

// Verifies which conversion type each reduced rate pair selects, and refusals of the others.
TEST(ResamplerTest, SelectsTypeByReducedRatio) {
  struct Case {
    int in, out, type;
  };
  const Case cases[] = {{48000, 48000, 0},  {16000, 32000, 1},  {24000, 48000, 1},  {16000, 48000, 2},
                        {8000, 32000, 3},   {12000, 48000, 3},  {8000, 48000, 4},   {32000, 16000, 5},
                        {96000, 48000, 5},  {44100, 22050, 5},  {32000, 48000, 6},  {8000, 44100, 7},
                        {48000, 16000, 8},  {48000, 32000, 9},  {32000, 8000, 10},  {16000, 44100, 11},
                        {48000, 8000, 12},  {32000, 44100, 13}, {44100, 8000, 14},  {44100, 16000, 15},
                        {44100, 32000, 16}, {44100, 48000, 17}, {48000, 44100, 18}, {44100, 44100, 0}};
  for (const Case& c : cases) {
    Resampler r;
    EXPECT_EQ(r.SetRates(c.in, c.out), 0) << c.in << " -> " << c.out;
    EXPECT_EQ(r.type(), c.type) << c.in << " -> " << c.out;
  }
  for (auto [in, out] :
       {std::pair{22050, 48000}, {8000, 40000}, {44100, 96000}, {500, 48000}, {48000, 0}, {-48000, 48000}}) {
    Resampler r;
    EXPECT_EQ(r.SetRates(in, out), -1) << in << " -> " << out;
    EXPECT_EQ(r.type(), -1);
    int16_t x[960] = {}, y[3840];
    EXPECT_EQ(r.Process(x, 960, y), -1);
  }
}

// Verifies the copy type and the argument checks of Process.
TEST(ResamplerTest, EqualRatesCopyAndBadArgumentsFail) {
  Resampler unset;
  int16_t x[960], y[3840];
  for (int i = 0; i < 960; ++i) x[i] = static_cast<int16_t>(i * 37 - 9000);
  EXPECT_EQ(unset.Process(x, 960, y), -1);

  Resampler r;
  ASSERT_EQ(r.SetRates(48000, 48000), 0);
  EXPECT_EQ(r.Process(x, 960, y), 960);
  EXPECT_EQ(0, std::memcmp(x, y, sizeof x));
  EXPECT_EQ(r.Process(nullptr, 960, y), -1);
  EXPECT_EQ(r.Process(x, 960, nullptr), -1);
  EXPECT_EQ(r.Process(x, 0, y), -1);
  EXPECT_EQ(r.Process(x, -3, y), -1);
  // After Reset the states are gone: Process refuses rather than touching them.
  ASSERT_EQ(r.SetRates(44100, 48000), 0);
  r.Reset();
  EXPECT_EQ(r.Process(x, 441, y), -1);
}

// Verifies block carrying of the 147:160 types: whole calls, partial calls and tiny calls.
TEST(ResamplerTest, CarriesPartialBlocks) {
  std::vector<int16_t> x = Sine(44100, 1000, 8000, 4410);
  int16_t y[3840];
  Resampler r;
  ASSERT_EQ(r.SetRates(44100, 48000), 0);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(r.Process(x.data() + 441 * i, 441, y), 480);
    EXPECT_EQ(r.carried(), 0);
  }

  ASSERT_EQ(r.SetRates(44100, 48000), 0);
  int carried = 0;
  for (int i = 0; i < 8; ++i) {
    const int total = carried + 440;
    EXPECT_EQ(r.Process(x.data() + 440 * i, 440, y), total / 147 * 160) << "call " << i;
    carried = total % 147;
    EXPECT_EQ(r.carried(), carried);
  }

  ASSERT_EQ(r.SetRates(44100, 48000), 0);
  EXPECT_EQ(r.Process(x.data(), 100, y), 0);
  EXPECT_EQ(r.carried(), 100);
  EXPECT_EQ(r.Process(x.data() + 100, 40, y), 0);
  EXPECT_EQ(r.carried(), 140);
  EXPECT_EQ(r.Process(x.data() + 140, 7, y), 160);
  EXPECT_EQ(r.carried(), 0);
  // A large call after small ones: the carry buffer grows to what is needed.
  EXPECT_EQ(r.Process(x.data(), 100, y), 0);
  EXPECT_EQ(r.Process(x.data() + 100, 3000, y), 21 * 160);
  EXPECT_EQ(r.carried(), 3100 - 21 * 147);

  ASSERT_EQ(r.SetRates(48000, 44100), 0);
  EXPECT_EQ(r.Process(x.data(), 960, y), 882);
}

// Verifies that a call that would produce more than 3840 samples fails and consumes nothing.
TEST(ResamplerTest, RefusesOversizedOutput) {
  std::vector<int16_t> x(4000, 100);
  int16_t y[3840];
  Resampler r;
  ASSERT_EQ(r.SetRates(8000, 48000), 0);
  EXPECT_EQ(r.Process(x.data(), 640, y), 3840);
  EXPECT_EQ(r.Process(x.data(), 641, y), -1);
  EXPECT_EQ(r.carried(), 0);
  ASSERT_EQ(r.SetRates(44100, 48000), 0);
  EXPECT_EQ(r.Process(x.data(), 100, y), 0);
  EXPECT_EQ(r.Process(x.data(), 3600, y), -1);  // 25 blocks: 4000 samples
  EXPECT_EQ(r.carried(), 100);
}

// Verifies that full-scale square waves stay inside the saturation limits of the up kernels.
TEST(ResamplerTest, LoudSquareWaveSaturates) {
  std::vector<int16_t> x(960);
  for (int i = 0; i < 960; ++i) x[i] = (i / 5) % 2 ? 32767 : -32768;
  for (auto [in, out] : {std::pair{16000, 48000}, {24000, 48000}, {8000, 48000}, {12000, 48000}}) {
    Resampler r;
    ASSERT_EQ(r.SetRates(in, out), 0);
    std::vector<int16_t> y(3840);
    const int n = in / 100;
    const int got = r.Process(x.data(), n, y.data());
    ASSERT_EQ(got, n * out / in);
    int lo = 0, hi = 0;
    for (int i = 0; i < got; ++i) {
      lo = std::min<int>(lo, y[i]);
      hi = std::max<int>(hi, y[i]);
    }
    EXPECT_LE(hi, 32760) << in;
    EXPECT_GE(lo, -32761) << in;
    EXPECT_GT(hi, 30000) << in;  // the overshoot really reached the limit region
  }
}

// Verifies that every device rate converts to 48 kHz and back with a clean 1 kHz sine.
TEST(ResamplerTest, RoundTripSignalToNoise) {
  struct Trip {
    int rate, via;
    double min_snr_db;
  };
  const Trip trips[] = {{8000, 48000, 70},  {12000, 48000, 70}, {16000, 48000, 70}, {24000, 48000, 70},
                        {32000, 48000, 70}, {44100, 48000, 55}, {48000, 48000, 80}, {96000, 48000, 70},
                        {8000, 44100, 55},  {16000, 44100, 55}, {32000, 44100, 55}};
  for (const Trip& t : trips) {
    const std::vector<int16_t> x = Sine(t.rate, 1000, 10000, t.rate);  // one second
    Resampler there, back;
    ASSERT_EQ(there.SetRates(t.rate, t.via), 0);
    ASSERT_EQ(back.SetRates(t.via, t.rate), 0);
    const std::vector<int16_t> mid = Convert(there, x, t.rate);
    const std::vector<int16_t> y = Convert(back, mid, t.via);
    ASSERT_GT(y.size(), static_cast<size_t>(t.rate / 2));
    const double one_way = SineSnr(Tail(mid, t.via / 20), t.via, 1000);
    const double round = SineSnr(Tail(y, t.rate / 20), t.rate, 1000);
    std::printf("%6d -> %6d: %6.1f dB, and back: %6.1f dB\n", t.rate, t.via, one_way, round);
    EXPECT_GT(one_way, t.min_snr_db) << t.rate;
    EXPECT_GT(round, t.min_snr_db) << t.rate;
  }
}

// Verifies unity gain for a constant input through every kernel chain.
TEST(ResamplerTest, ConstantInputKeepsItsLevel) {
  for (auto [in, out] : {std::pair{16000, 48000},
                         {8000, 48000},
                         {24000, 48000},
                         {12000, 48000},
                         {32000, 48000},
                         {48000, 16000},
                         {48000, 8000},
                         {48000, 32000},
                         {96000, 48000},
                         {48000, 12000},
                         {44100, 48000},
                         {48000, 44100}}) {
    Resampler r;
    ASSERT_EQ(r.SetRates(in, out), 0);
    std::vector<int16_t> x(in / 100, 10000);
    std::vector<int16_t> y(3840);
    int got = 0;
    for (int i = 0; i < 20; ++i) got = r.Process(x.data(), static_cast<int>(x.size()), y.data());
    ASSERT_GT(got, 0);
    const double expect = (in == 44100 || out == 44100) ? 10000 * 31400.0 / 32768 : 10000;
    EXPECT_NEAR(y[got - 1], expect, expect * 0.01) << in << " -> " << out;
  }
}

}  // namespace
