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
  std::vector<float> zero(kSpectralBins, 0.0f), echo(kSpectralBins, 1.0f), loud(kSpectralBins, 1e6f);
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

// Verifies the two variants of the coupling records: the main path's trackers replace band
// energies below 5e7 by 5e7, the second path's below 2.0614583; both hold the smoothing
// factors, the growth factor 10^0.004 and the clamp.
TEST(Coupling, InitVariants) {
  std::unique_ptr<CouplingState> main(new CouplingState), second(new CouplingState);
  coupling_trackers_init(main.get());
  coupling_trackers_init_second(second.get());
  for (int b = 0; b < kCouplingBands; ++b) {
    EXPECT_EQ(main->trackers[b].floor_value, 5e7f);
    EXPECT_EQ(main->trackers[b].floor_threshold, 5e7f);
    EXPECT_EQ(second->trackers[b].floor_value, 2.0614583f);
    EXPECT_EQ(second->trackers[b].floor_threshold, 2.0614583f);
    for (const CouplingState* c : {main.get(), second.get()}) {
      EXPECT_EQ(c->trackers[b].reset_a, 2.0614585e12f);
      EXPECT_EQ(c->trackers[b].window_a, 50);
      EXPECT_EQ(c->trackers[b].window_b, 100);
      EXPECT_EQ(c->coupling_fast[b][2], 16.0f);
      EXPECT_EQ(c->coupling_slow[b][0], 16.0f);
      EXPECT_EQ(c->second_peak[b][1], 0.0f);
    }
  }
  for (const CouplingState* c : {main.get(), second.get()}) {
    EXPECT_NEAR(c->release, 1.0 - std::exp(-1.0 / 8.0), 1e-6);
    EXPECT_NEAR(c->smoothing, 1.0 - std::exp(-1.0 / 8.0), 1e-6);
    EXPECT_NEAR(c->growth, std::pow(10.0, 0.004), 1e-6);
    EXPECT_EQ(c->coupling_min, 0.005f);
    EXPECT_EQ(c->far_frames, 0);
  }
  // A quiet band (1e3) reaches stage A as the floor value.
  min_tracker_update(&main->trackers[0], 1e3f);
  min_tracker_update(&second->trackers[0], 1e3f);
  EXPECT_EQ(main->trackers[0].min_a, 5e7f);
  EXPECT_EQ(second->trackers[0].min_a, 1e3f);
}

namespace {

std::vector<SerrinComplex> LowBand(float value) {
  std::vector<SerrinComplex> x(kSpectralBins, {0.0f, 0.0f});
  for (int k = 12; k <= 39; ++k) x[k] = {value, 0.0f};
  x[40] = {1000.0f, 0.0f};  // outside the band
  return x;
}

}  // namespace

// Verifies the low-band pair: the 28 values of bins 12..39 are stored and summed per
// channel, the followers rise and fall as written (main: half way up, 0.2 down; second: x4,
// x4 again with bin 0 set, at once up, 0.1 down) and are added to the caller's values.
TEST(TwoMic, LowBandPair) {
  TwoMicState t;
  two_mic_state_init(&t);
  const std::vector<SerrinComplex> main = LowBand(2.0f);  // 28 x 4 = 112
  std::vector<SerrinComplex> second = LowBand(1.0f);      // 28
  float values[2] = {1.0f, 0.0f};
  low_band_energy_pair(main.data(), second.data(), values, &t);
  EXPECT_EQ(t.band_sum[0], 112.0f);
  EXPECT_EQ(t.band_sum[1], 28.0f);
  EXPECT_EQ(t.band_values[0][27], 4.0f);
  EXPECT_FLOAT_EQ(t.low_band[0], 56.0f);  // 0.5 x 112 + 0.5 x 0
  EXPECT_FLOAT_EQ(values[0], 57.0f);
  EXPECT_FLOAT_EQ(t.low_band[1], 112.0f);  // 4 x 28
  second[0] = {1.0f, 0.0f};
  values[0] = values[1] = 0.0f;
  low_band_energy_pair(LowBand(0.0f).data(), second.data(), values, &t);
  EXPECT_FLOAT_EQ(t.low_band[0], 0.8f * 56.0f);
  EXPECT_FLOAT_EQ(t.low_band[1], 16.0f * 28.0f);
  EXPECT_FLOAT_EQ(values[1], 16.0f * 28.0f);
}

// Verifies the threshold update against a direct computation: a loud main band that falls
// away leaves c = follower - 10 x band sum; with the second channel silent in bin 0 and
// the enable flag set, the threshold moves 5 % towards 10 log10(c / f) when above it, and
// the countdown starts at 100 when the ratio exceeds the threshold less 9 dB.
TEST(TwoMic, MagnitudeThreshold) {
  TwoMicState t;
  two_mic_state_init(&t);
  t.magnitude_threshold = 10.0f;
  std::vector<SerrinComplex> second(kSpectralBins, {0.0f, 0.0f});
  second[20] = {3e4f, 0.0f};  // second-channel follower 4 x 9e8 (bin 0 stays zero)
  // Frame 1: main band sum 28e10, follower 14e10; c = 14e10 - 28e11 < 20 x 28e10 -> 0.001,
  // far below the second channel: no countdown.
  EXPECT_EQ(mag_threshold_update(LowBand(1e5f).data(), second.data(), 0.0f, 1, &t), 0);
  EXPECT_EQ(t.previous_level[0], 0.001f);
  EXPECT_EQ(t.magnitude_threshold, 10.0f);
  // Frame 2: the main band falls to 28e2: follower 0.8 x 14e10 + 0.2 x 2800, c = that -
  // 28000, above 1e10 and well above 20 x 2800; ratio 10 log10(c / 3.6e9), about 14.9 dB.
  const int countdown = mag_threshold_update(LowBand(10.0f).data(), second.data(), 0.0f, 1, &t);
  const double follower = 0.8 * 14e10 + 0.2 * 2800.0;
  const double c = follower - 28000.0;
  EXPECT_NEAR(t.previous_level[0], c, c * 1e-5);
  const double ratio = 10.0 * std::log10(c / 3.6e9);
  EXPECT_NEAR(t.magnitude_threshold, 0.05 * ratio + 0.95 * 10.0, 1e-3);
  EXPECT_EQ(t.hold, 150);
  EXPECT_EQ(countdown, 99);
  // Disabled: the threshold stays and the hold runs down.
  const float kept = t.magnitude_threshold;
  EXPECT_EQ(mag_threshold_update(LowBand(10.0f).data(), second.data(), 0.0f, 0, &t), 99);
  EXPECT_EQ(t.magnitude_threshold, kept);
  EXPECT_EQ(t.hold, 149);
}

// Verifies the mixing countdowns: a change of the selected channel fades from the former
// one over 20 frames; the second countdown follows the two-microphone countdown only while
// the second microphone takes part; a running fade mixes the spectra.
TEST(SecondMic, CountdownsAndMixing) {
  MixRecord mix{0, 0, 0, 0};
  mix_countdowns_update(0, 0, 99, &mix);
  EXPECT_EQ(mix.fade_a, 0);
  EXPECT_EQ(mix.fade_b, 0);
  mix_countdowns_update(0, 1, 99, &mix);
  EXPECT_EQ(mix.fade_b, 99);
  mix_countdowns_update(2, 1, 0, &mix);
  EXPECT_EQ(mix.target, 2);
  EXPECT_EQ(mix.source, 0);
  EXPECT_EQ(mix.fade_a, 20);
  EXPECT_EQ(mix.fade_b, 0);
  mix_countdowns_update(2, 1, 0, &mix);
  EXPECT_EQ(mix.fade_a, 19);

  std::unique_ptr<SerrinComplex[][kSpectralBins]> s(new SerrinComplex[3][kSpectralBins]);
  std::vector<float> floor(kSpectralBins, 0.0f);
  const float* floors[3] = {floor.data(), floor.data(), floor.data()};
  for (int k = 0; k < kSpectralBins; ++k) {
    s[0][k] = {2.0f, 0.0f};
    s[2][k] = {0.0f, 0.0f};
  }
  second_mic_mix(s.get(), floors, &mix);  // target 2 takes 19/20 of the weighted channel 0
  const float d = 19.0f / 20.0f, m = 0.0f, o = 4.0f, v = 1.0f / (m + 1.0f + o);
  EXPECT_NEAR(s[2][5].re, o * v * 1.414f * d * 2.0f, 1e-5f);
}
