#include "band_coupling.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "serrin_config.h"

// Verifies that the coupling update reports 2 for the first 101 frames with far end in band
// 1, and that the estimates stay within [0.005, 32].
TEST(Coupling, WarmUpAndClamp) {
  std::unique_ptr<CouplingState> c(new CouplingState);
  coupling_trackers_init(c.get());
  float mic[kCouplingBands];
  float ref[kCouplingRefs][kCouplingBands] = {};
  float floors[kCouplingRefs][kCouplingBands];
  for (int b = 0; b < kCouplingBands; ++b) floors[0][b] = 1.0f;
  const int active[1] = {0};
  // A quiet microphone settles the band trackers at 1e8.
  for (float& m : mic) m = 1e8f;
  for (int frame = 0; frame < 100; ++frame) coupling_update(mic, ref, active, 1, floors, ref, c.get());
  EXPECT_EQ(c->far_frames, 0);
  // Then echo of a loud far end: bands active, far end above six times its floor.
  for (float& m : mic) m = 1e10f;
  for (int b = 0; b < kCouplingBands; ++b) ref[0][b] = 1e12f;  // h clamps at 32
  for (int frame = 0; frame < 101; ++frame) {
    ASSERT_EQ(coupling_update(mic, ref, active, 1, floors, ref, c.get()), 2) << frame;
  }
  EXPECT_EQ(coupling_update(mic, ref, active, 1, floors, ref, c.get()), 5);  // bands 1..5
  EXPECT_EQ(c->far_frames, 102);
  for (int b = 0; b < kCouplingBands; ++b) {
    EXPECT_LE(c->coupling_fast[b][0], 32.0f);
    EXPECT_GE(c->coupling_fast[b][0], 0.005f);
  }
  EXPECT_NEAR(c->coupling_fast[0][0], 32.0f, 0.01f);
  EXPECT_EQ(c->band_hold[2], 5);
  EXPECT_FLOAT_EQ(c->band_sum, 6e10f);
  // A quiet far end moves the slow estimate, clamped below at 0.005.
  for (int b = 0; b < kCouplingBands; ++b) ref[0][b] = 0.0f;
  for (int frame = 0; frame < 200; ++frame) coupling_update(mic, ref, active, 1, floors, ref, c.get());
  for (int b = 0; b < kCouplingBands; ++b) {
    EXPECT_GE(c->coupling_slow[b][0], 0.005f);
    EXPECT_LT(c->coupling_slow[b][0], 0.01f);
  }
}

// Verifies the residual measure on an all-zero microphone (total 0, the flag counts down)
// and on a microphone far above the echo estimate (flag set to 3, then 2 after the step).
TEST(Residual, MeasureAndFlag) {
  serrin_config_reset(serrin_config());
  ResidualState r;
  residual_state_init(&r);
  std::vector<float> zero(kSpectralBins, 0.0f), echo(kSpectralBins, 1.0f),
      loud(kSpectralBins, 1e6f);
  const float weights[6] = {1, 1, 1, 1, 1, 1};
  r.residual_flag = 2;
  residual_echo_measure(zero.data(), echo.data(), zero.data(), weights, &r);
  EXPECT_EQ(r.residual_total, 0.0f);
  EXPECT_EQ(r.residual_flag, 1);
  residual_echo_measure(loud.data(), echo.data(), zero.data(), weights, &r);
  // 30 groups of 8 bins of 1e6 over (peak-held echo 8, or 8 plus the low leak, + 10000).
  double expected = 0.0;
  for (int g = 0; g < 30; ++g) {
    const int start = 12 + 8 * g;
    const double e = start > 28 ? 8.0 + 16.0 * kResidualLowLeak : 8.0;
    expected += 8e6 / (e + 10000.0);
  }
  EXPECT_NEAR(r.residual_total, expected, expected * 1e-5);
  EXPECT_EQ(r.residual_flag, 2);
}

// Verifies the second-microphone mix: nothing without countdowns; at full weight with equal
// ratios both channels get the same weight; halfway down a 20-frame countdown the target
// keeps half of its own spectrum unweighted.
TEST(SecondMic, MixWeights) {
  std::unique_ptr<SerrinComplex[][kSpectralBins]> s(new SerrinComplex[3][kSpectralBins]);
  std::vector<float> floor(kSpectralBins, 0.0f);
  const float* floors[3] = {floor.data(), floor.data(), floor.data()};
  auto fill = [&] {
    for (int k = 0; k < kSpectralBins; ++k) {
      s[0][k] = {2.0f, 0.0f};
      s[2][k] = {2.0f, 0.0f};
    }
  };
  fill();
  MixRecord mix{0, 2, 0, 0};
  second_mic_mix(s.get(), floors, &mix);
  EXPECT_EQ(s[0][100].re, 2.0f);
  // d = 1, m = o = 4 per bin: v = 1/9, both weights 4/9 x 1.414.
  mix.fade_a = 25;
  second_mic_mix(s.get(), floors, &mix);
  EXPECT_NEAR(s[0][5].re, 2.0f * 2.0f * (4.0f / 9.0f) * 1.414f, 1e-4f);
  EXPECT_EQ(s[2][5].re, 2.0f);  // the source stays
  // d = 0.5: A = m v 1.414 d + 0.5.
  fill();
  mix.fade_a = 10;
  second_mic_mix(s.get(), floors, &mix);
  const float a = 4.0f / 9.0f * 1.414f * 0.5f + 0.5f, b = 4.0f / 9.0f * 1.414f * 0.5f;
  EXPECT_NEAR(s[0][5].re, a * 2.0f + b * 2.0f, 1e-4f);
}

// Verifies the channel vote: with no channel above 20 of 40 votes the selection stays; a
// clearly dominant channel takes it.
TEST(ChannelVoteTest, KeepsSelectionWithoutMajority) {
  std::unique_ptr<SerrinComplex[][kSpectralBins]> s(new SerrinComplex[3][kSpectralBins]);
  std::vector<float> floor(kSpectralBins, 0.0f);
  const float* floors[3] = {floor.data(), floor.data(), floor.data()};
  ChannelVote v;
  channel_vote_init(&v, 3);
  v.selected = 0;
  // Channel 2 dominates the even sampling bins 40..78 only (20 of 40): no majority.
  for (int k = 0; k < kSpectralBins; ++k) {
    s[0][k] = {1.0f, 0.0f};
    s[1][k] = {0.0f, 0.0f};
    s[2][k] = {k < 80 ? 10.0f : 0.1f, 0.0f};
  }
  EXPECT_EQ(dominant_channel_select(s.get(), floors, &v), 0);
  for (int k = 0; k < kSpectralBins; ++k) s[2][k] = {10.0f, 0.0f};
  EXPECT_EQ(dominant_channel_select(s.get(), floors, &v), 2);
}
