#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <vector>

#include "resampler.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

std::vector<int16_t> Noise(int n, int amplitude, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_int_distribution<int> d(-amplitude, amplitude);
  std::vector<int16_t> v(n);
  for (auto& s : v) s = static_cast<int16_t>(d(gen));
  return v;
}

int16_t Sat(int32_t acc) {
  const int32_t v = acc >> 15;
  return static_cast<int16_t>(std::min(32760, std::max(-32761, v)));
}
int16_t Trunc(int32_t acc) { return static_cast<int16_t>(acc >> 15); }

// Straight from the definition: hold each input L times, filter with taps F[1..taps],
// keep every D-th output. Inputs before the signal are zero.
std::vector<int16_t> HeldReference(const std::vector<int16_t>& x, const int16_t* f, int taps, int L, int D,
                                   int16_t (*finish)(int32_t)) {
  std::vector<int16_t> y;
  const int up = static_cast<int>(x.size()) * L;
  for (int n = 0; n < up; n += D) {
    int32_t acc = 0;
    for (int t = 0; t < taps; ++t) {
      const int i = n - t;
      if (i >= 0) acc += f[t + 1] * x[i / L];
    }
    y.push_back(finish(acc));
  }
  return y;
}

std::vector<int16_t> DecimateReference(const std::vector<int16_t>& x, const int16_t* f, int taps, int D,
                                       int16_t (*finish)(int32_t)) {
  std::vector<int16_t> y;
  for (int m = 0; m * D < static_cast<int>(x.size()); ++m) {
    int32_t acc = 0;
    for (int t = 0; t < taps; ++t) {
      const int i = D * m - t;
      if (i >= 0) acc += f[t + 1] * x[i];
    }
    y.push_back(finish(acc));
  }
  return y;
}

// Runs a kernel over x in calls of `piece` samples.
template <typename State>
std::vector<int16_t> RunPieces(int (*kernel)(State*, const int16_t*, int, int16_t*), State* s,
                               const std::vector<int16_t>& x, int piece, int ratio_num, int ratio_den) {
  std::vector<int16_t> y;
  std::vector<int16_t> buf(piece * ratio_num / ratio_den + 16);
  for (size_t pos = 0; pos < x.size(); pos += piece) {
    const int got = kernel(s, x.data() + pos, piece, buf.data());
    EXPECT_EQ(got, piece * ratio_num / ratio_den);
    y.insert(y.end(), buf.begin(), buf.begin() + got);
  }
  return y;
}

// Verifies that the per-phase kernels equal the held-then-filtered definition bit for bit,
// also when the signal arrives in several calls.
TEST(ResamplerKernelsTest, KernelsMatchTheirDefinition) {
  const std::vector<int16_t> x = Noise(960, 30000, 1);
  HoldFilterState* h = Resampler::NewHoldFilterState();
  TableFilterState* t = Resampler::NewTableFilterState();
  const HoldFilterTables& a = *h->tables;
  const TableFilterTables& b = *t->tables;

  struct HeldCase {
    const char* name;
    std::function<std::vector<int16_t>()> run;
    std::vector<int16_t> expected;
  };
  auto fresh_hold = [&] { std::fill(std::begin(h->history), std::end(h->history), 0); };
  auto fresh_table = [&] { std::fill(std::begin(t->history), std::end(t->history), 0); };
  std::vector<HeldCase> cases = {
      {"Up3",
       [&] {
         fresh_hold();
         return RunPieces(&Resampler::Up3, h, x, 160, 3, 1);
       },
       HeldReference(x, a.p3, 63, 3, 1, Sat)},
      {"Up6",
       [&] {
         fresh_hold();
         return RunPieces(&Resampler::Up6, h, x, 80, 6, 1);
       },
       HeldReference(x, a.p6, 63, 6, 1, Sat)},
      {"Up3Down2",
       [&] {
         fresh_hold();
         return RunPieces(&Resampler::Up3Down2, h, x, 320, 3, 2);
       },
       HeldReference(x, a.p3, 63, 3, 2, Sat)},
      {"Up2Down3",
       [&] {
         fresh_hold();
         return RunPieces(&Resampler::Up2Down3, h, x, 480, 2, 3);
       },
       HeldReference(x, a.p3, 63, 2, 3, Trunc)},
      {"Down3",
       [&] {
         fresh_hold();
         return RunPieces(&Resampler::Down3, h, x, 480, 1, 3);
       },
       DecimateReference(x, a.p3, 63, 3, Trunc)},
      {"Down6",
       [&] {
         fresh_hold();
         return RunPieces(&Resampler::Down6, h, x, 96, 1, 6);
       },
       DecimateReference(x, a.p6, 63, 6, Trunc)},
      {"Up2",
       [&] {
         fresh_table();
         return RunPieces(&Resampler::Up2, t, x, 240, 2, 1);
       },
       HeldReference(x, b.t2, 47, 2, 1, Sat)},
      {"Up4",
       [&] {
         fresh_table();
         return RunPieces(&Resampler::Up4, t, x, 120, 4, 1);
       },
       HeldReference(x, b.t4, 47, 4, 1, Sat)},
      {"Down2",
       [&] {
         fresh_table();
         return RunPieces(&Resampler::Down2, t, x, 480, 1, 2);
       },
       DecimateReference(x, b.t2, 47, 2, Sat)},
      {"Down4",
       [&] {
         fresh_table();
         return RunPieces(&Resampler::Down4, t, x, 32, 1, 4);
       },
       DecimateReference(x, b.t4, 47, 4, Sat)},
  };
  for (auto& c : cases) EXPECT_EQ(c.run(), c.expected) << c.name;
  Resampler::FreeState(h);
  Resampler::FreeState(t);
}

// Verifies the prototypes: symmetric, leading zero, unity sum, -6 dB near their cutoffs.
TEST(ResamplerKernelsTest, PrototypesHaveTheirCharacteristics) {
  struct Proto {
    int taps;
    double cutoff;
  };
  for (Proto p : {Proto{63, kP6Cutoff}, {63, kP3Cutoff}, {47, kT4Cutoff}, {47, kT2Cutoff}}) {
    std::vector<float> f(p.taps + 1);
    DesignLowPass(f.data(), p.taps, p.cutoff);
    EXPECT_EQ(f[0], 0.0f);
    double sum = 0;
    for (int i = 1; i <= p.taps; ++i) {
      sum += f[i];
      EXPECT_FLOAT_EQ(f[i], f[p.taps + 1 - i]);
    }
    EXPECT_NEAR(sum, 1.0, 1e-5);
    auto gain_at = [&](double freq) {
      double re = 0, im = 0;
      for (int i = 1; i <= p.taps; ++i) {
        re += f[i] * std::cos(2 * kPi * freq * i);
        im += f[i] * std::sin(2 * kPi * freq * i);
      }
      return std::sqrt(re * re + im * im);
    };
    EXPECT_NEAR(gain_at(p.cutoff), 0.5, 0.03) << p.cutoff;
    EXPECT_NEAR(gain_at(p.cutoff / 4), 1.0, 0.01) << p.cutoff;
  }
}

// Verifies the layout of the sum tables and of the converter rows.
TEST(ResamplerKernelsTest, SharedTablesFollowTheirLayout) {
  const HoldFilterTables& a = *AcquireHoldFilterTables();
  float p3[64];
  DesignLowPass(p3, 63, kP3Cutoff);
  EXPECT_EQ(a.p3[32], static_cast<int16_t>(p3[32] * 32768.0f));
  EXPECT_EQ(a.p3_pairs[0], a.p3[1] + a.p3[2]);
  EXPECT_EQ(a.p3_pairs[31], a.p3[63]);
  EXPECT_EQ(a.p3_three_a[0], a.p3[1] + a.p3[2]);
  EXPECT_EQ(a.p3_three_a[5], a.p3[15] + a.p3[16] + a.p3[17]);
  EXPECT_EQ(a.p3_three_a[21], a.p3[63]);
  EXPECT_EQ(a.p3_three_b[0], 0);
  EXPECT_EQ(a.p3_three_b[1], a.p3[1] + a.p3[2] + a.p3[3]);
  EXPECT_EQ(a.p6_six_a[0], a.p6[1] + a.p6[2]);
  EXPECT_EQ(a.p6_six_a[11], a.p6[63]);
  EXPECT_EQ(a.p6_six_b[10], a.p6[61] + a.p6[62] + a.p6[63]);
  EXPECT_EQ(a.p6_six_c[0], a.p6[1] + a.p6[2] + a.p6[3] + a.p6[4] + a.p6[5]);
  ReleaseHoldFilterTables();

  const ConverterTables& c = GetConverterTables();
  for (int k = 0; k < 160; ++k) {
    int sum = 0;
    for (int v : c.up[k]) sum += v;
    EXPECT_NEAR(sum, 31400, 8) << k;
  }
  for (int k = 0; k < 147; ++k) {
    int sum = 0;
    for (int v : c.down[k]) sum += v;
    EXPECT_NEAR(sum, 31400, 8) << k;
  }
  // Row 0 of 147 to 160 reads exactly as given.
  const int16_t row0[16] = {26,    -261, -882,  1138, -1683, 2251, -2749, 3116,
                            29597, 2995, -2700, 2229, -1674, 1137, -886,  -257};
  for (int t = 0; t < 16; ++t) EXPECT_EQ(c.up[0][t], row0[t]) << t;
  // The designed rows peak on the centre taps like it.
  for (int k = 1; k < 160; ++k) {
    int peak = 0;
    for (int t = 1; t < 16; ++t) peak = c.up[k][t] > c.up[k][peak] ? t : peak;
    EXPECT_TRUE(peak == 7 || peak == 8) << k;
  }
}

// Verifies that the table families live exactly as long as their users.
TEST(ResamplerKernelsTest, SharedTablesAreCountedAndFreed) {
  const int hold_before = HoldFilterTableUsers();
  const int table_before = TableFilterTableUsers();
  {
    Resampler r1, r2;
    ASSERT_EQ(r1.SetRates(16000, 48000), 0);
    ASSERT_EQ(r2.SetRates(48000, 8000), 0);
    EXPECT_EQ(HoldFilterTableUsers(), hold_before + 2);
    HoldFilterState* own = Resampler::NewHoldFilterState();
    EXPECT_EQ(HoldFilterTableUsers(), hold_before + 3);
    Resampler::FreeState(own);
    ASSERT_EQ(r1.SetRates(24000, 48000), 0);
    EXPECT_EQ(HoldFilterTableUsers(), hold_before + 1);
    EXPECT_EQ(TableFilterTableUsers(), table_before + 1);
  }
  EXPECT_EQ(HoldFilterTableUsers(), hold_before);
  EXPECT_EQ(TableFilterTableUsers(), table_before);
  Resampler::BuildSharedTables();
  EXPECT_EQ(HoldFilterTableUsers(), hold_before);
}

}  // namespace
