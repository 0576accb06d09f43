#include "suppression_gain.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "serrin_config.h"

namespace {

// The generator written out: s = s x 31321 + 15467, kept to 16 bits with sign.
int16_t NextDirect(int32_t* s) {
  int32_t v = (*s * 31321 + 15467) & 0xFFFF;
  if (v >= 32768) v -= 65536;
  *s = v;
  return static_cast<int16_t>(v);
}

class Suppression : public ::testing::Test {
 protected:
  void SetUp() override {
    serrin_config_reset(serrin_config());
    serrin_config()->music_mode.store(0);
    s_.reset(new SuppressorState);
    suppressor_init(s_.get());
    s_->suppress = 1;
    s_->release = 1.0f;  // ratios follow at once both ways
    ratios_.assign(kSpectralBins + 1, 0.0f);
    noise_.assign(kSpectralBins, 0.0f);
    spectrum_.assign(kSpectralBins, {1000.0f, -500.0f});
  }
  void TearDown() override { serrin_config_reset(serrin_config()); }
  void Apply(int mode, int type, int flag = 0) {
    apply_suppression_gain(spectrum_.data(), ratios_.data(), noise_.data(), 1.0f, mode, type, kGainCurveEnd, s_.get(),
                           flag);
  }
  std::unique_ptr<SuppressorState> s_;
  std::vector<float> ratios_, noise_;
  std::vector<SerrinComplex> spectrum_;
};

}  // namespace

// Verifies the comfort-noise generator against the recurrence written out.
TEST(ComfortNoise, GeneratorSequence) {
  int16_t s = 0;
  int32_t d = 0;
  EXPECT_EQ(comfort_noise_next(&s), 15467);
  NextDirect(&d);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(comfort_noise_next(&s), NextDirect(&d)) << i;
}

// Verifies the knees: with the gentle curve (floor 0.5) a ratio of 21 gives unit gain, with
// the normal curve (floor 0.35) 81 in the first two groups and 41 in the others. Without
// noise magnitudes the output is the gain times the input.
TEST_F(Suppression, CurveKnees) {
  for (int k = 2; k < 20; ++k) ratios_[k] = 81.0f;
  for (int k = 20; k < kGainCurveEnd; ++k) ratios_[k] = 41.0f;
  Apply(3, 5);
  EXPECT_NEAR(spectrum_[10].re, 1000.0f, 0.1f);   // group 0, per bin: 81 x 0.65/81 + 0.35
  EXPECT_NEAR(spectrum_[300].re, 1000.0f, 0.1f);  // group 3 (window 64): 41 x 0.65/41 + 0.35
  EXPECT_EQ(spectrum_[0].re, 0.0f);
  EXPECT_EQ(spectrum_[1].im, 0.0f);
  // A ratio half the knee gives half the way from the floor.
  spectrum_.assign(kSpectralBins, {1000.0f, -500.0f});
  for (int k = 2; k < 20; ++k) ratios_[k] = 40.5f;
  Apply(3, 5);
  EXPECT_NEAR(spectrum_[10].re, 1000.0f * (40.5f * 0.65f / 81.0f + 0.35f), 0.1f);
  // The gentle curve after a recent echo: 21 reaches unity.
  spectrum_.assign(kSpectralBins, {1000.0f, -500.0f});
  for (int k = 2; k < kGainCurveEnd; ++k) ratios_[k] = 21.0f;
  ratios_[kSpectralBins] = 1.0f;
  Apply(3, 5);
  EXPECT_NEAR(spectrum_[10].re, 1000.0f, 0.1f);
  EXPECT_NEAR(spectrum_[500].im, -500.0f, 0.1f);
  EXPECT_EQ(s_->gentle_countdown, 4);
}

// Verifies strength type 0: zero gain everywhere, comfort noise only, at 0.8 x o where the
// ratio is non-zero and o where it is zero (o = 1.0000501, E = 0.35 with the suppression
// flag), from two successive generator outputs per bin. From bin 20 on the ratio is the
// window's mean: a zero ratio inside a window with non-zero ones counts as non-zero.
TEST_F(Suppression, StrengthZeroIsComfortNoiseOnly) {
  for (int k = 2; k < kGainCurveEnd; ++k) {
    ratios_[k] = k < 20 ? ((k % 2) ? 5.0f : 0.0f) : (k < 400 ? ((k % 2) ? 5.0f : 0.0f) : 0.0f);
    noise_[k] = 3000.0f;
  }
  Apply(3, 0);
  int32_t seed = 0;
  for (int k = 2; k < kGainCurveEnd; ++k) {
    const float g1 = NextDirect(&seed), g2 = NextDirect(&seed);
    float factor;
    if (k < 20) {
      factor = (k % 2) ? 0.8f * 1.0000501f : 1.0000501f;  // per bin
    } else if (k < 400) {
      factor = 0.8f * 1.0000501f;  // window mean about 2.5
    } else if (k > 432) {
      factor = 1.0000501f;  // window of 64 wholly in the zero ratios
    } else {
      continue;
    }
    const float n = factor * 0.35f * 3000.0f * 0.000030517578f;
    ASSERT_NEAR(spectrum_[k].re, g1 * n, 1e-3f) << k;
    ASSERT_NEAR(spectrum_[k].im, g2 * n, 1e-3f) << k;
  }
}

// Verifies echo mode 2: no signal passes whatever the ratio; comfort noise at the full factor
// o (not the 0 of strength type 5 where a ratio is non-zero) fills every bin, E = 0.35 with the
// suppression flag.
TEST_F(Suppression, EchoModeTwoKeepsOnlyComfortNoise) {
  for (int k = 2; k < kGainCurveEnd; ++k) {
    ratios_[k] = 100.0f;
    noise_[k] = 3000.0f;
  }
  Apply(2, 5);
  int32_t seed = 0;
  const float n = 1.0000501f * 0.35f * 3000.0f * 0.000030517578f;
  for (int k = 2; k < kGainCurveEnd; ++k) {
    const float g1 = NextDirect(&seed), g2 = NextDirect(&seed);
    ASSERT_NEAR(spectrum_[k].re, g1 * n, 1e-3f) << k;
    ASSERT_NEAR(spectrum_[k].im, g2 * n, 1e-3f) << k;
  }
}

// Verifies the sparse-bin cleanup: an isolated positive bin among fewer than 12 active bins
// within +-8 is cleared; a block of active bins stays.
TEST(EchoActivity, SparseBinsAreCleared) {
  serrin_config_reset(serrin_config());
  EchoActivity a;
  echo_activity_init(&a);
  std::vector<float> residual(kSpectralBins, 0.0f), thresholds(kSpectralBins, 1.0f), gains(kSpectralBins, 1.0f),
      out(kSpectralBins);
  residual[50] = 300.0f;  // alone
  for (int k = 100; k < 120; ++k) residual[k] = 300.0f;
  echo_activity_update(residual.data(), thresholds.data(), gains.data(), 3, out.data(), &a);
  EXPECT_EQ(out[50], 0.0f);
  EXPECT_EQ(out[110], 300.0f);
  EXPECT_EQ(out[100], 0.0f);  // 9 active bins within +-8
  EXPECT_EQ(out[0], 0.0f);
  EXPECT_EQ(a.energy_low, 1);   // total 21 x 300 = 6300 > 4668
  EXPECT_EQ(a.energy_high, 0);  // not above 8558
}

// Verifies the gain control: never below 0.5, limited by the maximum gain while the level
// follower stays under the gate, and moving towards 15000 / follower once above it.
TEST(Agc, GainRules) {
  AgcState a;
  agc_init(&a);
  a.max_gain = 8.0f;
  EXPECT_EQ(agc_gain_update(&a, 0, 1e9f, 0.0f, 0), 0.5f);  // 15000 / L tiny: held at 0.5
  agc_init(&a);
  a.max_gain = 8.0f;
  a.gain = 3.0f;
  EXPECT_EQ(agc_gain_update(&a, 0, 100.0f, 100.0f, 0), 3.0f);  // follower 36.6 < 714.3
  // Loud activity: the follower rises to twice the activity, above the gate; the gain
  // rises quickly towards 15000 / follower and comes down from above slowly (1/64 a frame).
  agc_init(&a);
  a.max_gain = 20.0f;
  a.gain = 1.0f;
  float g = 1.0f, peak = 0.0f;
  for (int i = 0; i < 1000; ++i) {
    g = agc_gain_update(&a, 0, 10.0f, 2000.0f, 0);
    peak = std::fmax(peak, g);
  }
  EXPECT_NEAR(a.follower, 4000.0f, 1.0f);
  EXPECT_GT(peak, 5.0f);  // while the follower was still low
  EXPECT_NEAR(g, 15000.0f / 4000.0f, 0.01f);
}

// Verifies the widened groups: a bin whose own ratio is 0 takes the window's mean like its
// neighbours (gain from the mean, no comfort-noise fill), so a hole in the ratios does not
// punch a hole in the spectrum.
TEST_F(Suppression, WindowedMeanFillsZeroRatioBins) {
  for (int k = 2; k < kGainCurveEnd; ++k) {
    ratios_[k] = 41.0f;
    noise_[k] = 3000.0f;
  }
  ratios_[400] = 0.0f;  // group 4, window 64: mean 41 x 63 / 64
  Apply(3, 5);
  const float mean = 41.0f * 63.0f / 64.0f;
  const float gain = mean * 0.65f / 41.0f + 0.35f;
  EXPECT_NEAR(spectrum_[400].re, 1000.0f * gain, 0.5f);
  EXPECT_NEAR(spectrum_[400].im, -500.0f * gain, 0.5f);
  // Group 0 is per bin: a zero ratio there keeps gain 0 and gets comfort noise.
  spectrum_.assign(kSpectralBins, {1000.0f, -500.0f});
  ratios_[10] = 0.0f;
  Apply(3, 5);
  EXPECT_LT(std::fabs(spectrum_[10].re), 0.35f * 3000.0f * 1.0001f);
}

// Verifies the comfort-noise tail: with a delay length above 161 the bins from
// 960 - length / 2 up to 879 take the stored tail magnitudes, the bins from 880 up stay
// empty; at 161 the tail is not filled.
TEST(ComfortNoise, TailFillAboveDelayLength161) {
  std::unique_ptr<SuppressorState> s(new SuppressorState);
  suppressor_init(s.get());
  s->suppress = 0;
  std::vector<float> noise(kSpectralBins, 100.0f);
  std::vector<SerrinComplex> out(kSpectralBins);
  for (int k = 0; k < kSpectralBins; ++k) s->tail[k] = 9000.0f;
  s->delay_length = 200;  // tail from bin 860
  comfort_noise_fill_unit(noise.data(), out.data(), s.get());
  int32_t seed = 0;
  for (int k = 2; k < kGainCurveEnd; ++k) {
    const float g1 = NextDirect(&seed), g2 = NextDirect(&seed);
    if (k >= 860) continue;  // taken over by the tail below
    ASSERT_NEAR(out[k].re, g1 * 100.0f * 0.000030517578f, 1e-3f) << k;
    ASSERT_NEAR(out[k].im, g2 * 100.0f * 0.000030517578f, 1e-3f) << k;
  }
  for (int k = 860; k < kGainCurveEnd; ++k) {
    const float g1 = NextDirect(&seed), g2 = NextDirect(&seed);
    ASSERT_NEAR(out[k].re, g1 * 9000.0f * 0.000030517578f, 1e-2f) << k;
    ASSERT_NEAR(out[k].im, g2 * 9000.0f * 0.000030517578f, 1e-2f) << k;
  }
  for (int k = kGainCurveEnd; k < kSpectralBins; ++k) ASSERT_EQ(out[k].re, 0.0f) << k;

  // The level-scaled fill: c = 0.35 with the suppression flag, times the window.
  s->noise_seed = 0;
  s->suppress = 1;
  s->window[870] = 0.5f;
  comfort_noise_fill(noise.data(), 1.0f, out.data(), s.get(), 0);
  seed = 0;
  for (int k = 2; k < 870 - 860 + kGainCurveEnd; ++k) {
    NextDirect(&seed);
    NextDirect(&seed);
  }
  const float g870 = NextDirect(&seed);
  EXPECT_NEAR(out[870].re, g870 * 0.35f * 9000.0f * 0.5f * 0.000030517578f, 1e-2f);

  s->noise_seed = 0;
  s->delay_length = 161;
  comfort_noise_fill_unit(noise.data(), out.data(), s.get());
  seed = 0;
  for (int k = 2; k < kGainCurveEnd; ++k) {
    const float g1 = NextDirect(&seed);
    NextDirect(&seed);
    ASSERT_NEAR(out[k].re, g1 * 100.0f * 0.000030517578f, 1e-3f) << k;
  }
}

// Verifies the published echo level: 2/960 times the weighted sum of the peaks over bins
// 2..779, whatever the gating of the mode (mode 1 gates every bin to 0).
TEST(EchoActivity, PeakFollowPublishesWeightedMeanOfPeaks) {
  EchoActivity a;
  echo_activity_init(&a);
  std::vector<float> echo(kSpectralBins, 0.0f), peaks(kSpectralBins, 0.0f), gated(kSpectralBins),
      weights(kSpectralBins, 1.0f);
  const float thresholds[6] = {1e9f, 1e9f, 1e9f, 1e9f, 1e9f, 1e9f};  // nothing passes the gate
  const float factors[6] = {2, 2, 2, 2, 2, 2};
  for (int k = 0; k < kSpectralBins; ++k) {
    echo[k] = 1000.0f;
    weights[k] = k < 100 ? 2.0f : 1.0f;
  }
  echo_peak_follow(echo.data(), peaks.data(), gated.data(), 1, thresholds, factors, weights.data(), &a);
  // Bins 2..99 weigh 2, bins 100..779 weigh 1; bins 0, 1 and from 780 up are not followed.
  const double expected = (98 * 2.0 + 680 * 1.0) * 1000.0 * 2.0 / 960.0;
  EXPECT_NEAR(a.mean_echo, expected, 0.01);
  EXPECT_EQ(peaks[1], 0.0f);
  EXPECT_EQ(peaks[780], 0.0f);
  for (int k = 2; k < 780; ++k) ASSERT_EQ(gated[k], 0.0f) << k;
  // Without new echo the peaks decay to 0.7 and the published level with them.
  std::vector<float> none(kSpectralBins, 0.0f);
  echo_peak_follow(none.data(), peaks.data(), gated.data(), 2, thresholds, factors, weights.data(), &a);
  EXPECT_NEAR(a.mean_echo, 0.7 * expected, 0.01);
}

// Verifies the gain control as initialised: a steady level 20 dB under the target (a level
// of 750 against 15000 / (2 x 750)) is raised to a gain of 10 within 3 dB, and a loud
// level is brought down towards its target, never below 0.5.
TEST(Agc, InitialisedGainRaisesQuietLevel) {
  AgcState a;
  agc_init(&a);
  EXPECT_EQ(a.max_gain, kAgcMaxGain);
  float g = 0.0f;
  for (int i = 0; i < 500; ++i) g = agc_gain_update(&a, 0, 750.0f, 750.0f, 0);
  EXPECT_NEAR(20.0 * std::log10(g / 10.0), 0.0, 3.0);
  // Very quiet: the target is capped at the maximum gain 20.
  agc_init(&a);
  for (int i = 0; i < 500; ++i) g = agc_gain_update(&a, 0, 380.0f, 380.0f, 0);
  EXPECT_NEAR(g, 19.7f, 0.5f);
  EXPECT_LE(g, kAgcMaxGain);
  // Loud: 15000 / level caps the gain at once; the target 15000 / 40000 lies under the
  // least gain 0.5, where the gain ends.
  agc_init(&a);
  a.gain = 1.0f;
  a.frames = 64;
  a.level = 20000.0f;
  a.follower = 40000.0f;
  g = agc_gain_update(&a, 0, 20000.0f, 20000.0f, 0);
  EXPECT_NEAR(g, 0.984375f * 0.75f + 0.015625f * 15000.0f / 40000.0f, 1e-3f);
  for (int i = 0; i < 1000; ++i) g = agc_gain_update(&a, 0, 20000.0f, 20000.0f, 0);
  EXPECT_EQ(g, 0.5f);
}
