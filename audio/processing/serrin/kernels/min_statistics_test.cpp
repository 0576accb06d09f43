#include "min_statistics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "serrin_config.h"
#include "serrin_process.h"

namespace {

MinTracker Tracker(float reset = 2e12f) {
  MinTracker t;
  min_tracker_setup(&t, reset, 1000.0f, 1000.0f, 50, 100, 0.25f);
  return t;
}

}  // namespace

// Verifies the smoothed level: a constant value approaches geometrically with factor 0.75.
TEST(MinTracker, ConstantInputConvergesByThreeQuarters) {
  MinTracker t = Tracker(1e6f);
  // A constant 5000: both minima drop to it at once, the smoothed values move by 0.25.
  double expected = 1e6;
  for (int i = 0; i < 20; ++i) {
    min_tracker_update(&t, 5000.0f);
    expected = 5000.0 + (expected - 5000.0) * 0.75;
    ASSERT_NEAR(t.smooth_a, expected, expected * 1e-5) << i;
  }
  EXPECT_EQ(t.min_a, 5000.0f);
  // Below the floor threshold the floor value takes the input's place in stage A.
  MinTracker q = Tracker(1e6f);
  min_tracker_update(&q, 10.0f);
  EXPECT_EQ(q.min_a, 1000.0f);
  EXPECT_EQ(q.min_b, 10.0f);
}

// Verifies that a loud value (ten times the gate level or more) never reaches stage A.
TEST(MinTracker, LoudValueLeavesStageAAlone) {
  MinTracker t = Tracker(1e6f);
  for (int i = 0; i < 40; ++i) min_tracker_update(&t, 2000.0f);
  const MinTracker before = t;
  min_tracker_update(&t, 10.0f * t.smooth_b);
  EXPECT_EQ(t.min_a, before.min_a);
  EXPECT_EQ(t.count_a, before.count_a);
  EXPECT_EQ(t.smooth_a, before.smooth_a);
  EXPECT_EQ(t.count_b, before.count_b + 1);
}

// Verifies the window renewal: after a step down the minimum follows at once; after a step
// up it stays for 76 frames and then takes the lowest value seen from frame 26 on.
TEST(MinTracker, MinimumRenewsAfterSeventySixFrames) {
  MinTracker t = Tracker(1e9f);
  min_tracker_update(&t, 3000.0f);
  EXPECT_EQ(t.min_a, 3000.0f);
  // Step up to rising values; 75 frames later the minimum still stands.
  auto value = [](int i) { return 9000.0f - (i >= 26 ? 100.0f : 0.0f) + static_cast<float>(i); };
  for (int i = 1; i <= 75; ++i) {
    min_tracker_update(&t, value(i));
    ASSERT_EQ(t.min_a, 3000.0f) << i;
  }
  min_tracker_update(&t, value(76));  // the 76th frame without a new minimum renews it
  // The lowest value once the count passed 25 is frame 26's: 9000 - 100 + 26.
  EXPECT_EQ(t.min_a, 8926.0f);
  EXPECT_EQ(t.count_a, 25);
}

// Verifies the per-bin floor: nothing moves while a hangover runs; after 51 frames the
// floor moves towards the block minimum (rising slowly, falling fast) and never below 10.
TEST(SpectralFloor, UpdatesByBlocksAndStaysAboveTen) {
  std::unique_ptr<SpectralFloor> f(new SpectralFloor);
  spectral_floor_init(f.get());
  std::vector<float> p(kSpectralBins, 4e6f);
  p[100] = 0.0f;
  spectral_floor_update(p.data(), 3, f.get());
  EXPECT_EQ(f->smoothed[5], 2061458.5f);
  EXPECT_EQ(f->frame_counter, 0);
  // Direct computation of bin 5 (rising) and bin 100 (falling to zero).
  double s5 = 2061458.5, m5 = 2.0614585e12, s100 = 2061458.5, m100 = 2.0614585e12;
  for (int i = 0; i < 51; ++i) {
    spectral_floor_update(p.data(), 0, f.get());
    s5 += (4e6 - s5) * 0.2485227;
    s100 += (0.0 - s100) * 0.2485227;
    m5 = std::fmin(m5, s5);
    m100 = std::fmin(m100, s100);
  }
  EXPECT_EQ(f->floor[5], 2061458.5f);  // not yet: the block ends after the 51st frame
  spectral_floor_update(p.data(), 0, f.get());
  const double rise = 2061458.5 + (m5 - 2061458.5) * 0.1175031;
  EXPECT_NEAR(f->floor[5], rise, rise * 1e-5);
  const double fall = 2061458.5 + (m100 - 2061458.5) * 0.9179150;
  EXPECT_NEAR(f->floor[100], fall, fall * 1e-4);
  EXPECT_EQ(f->block_min[5], 2.0614585e12f);
  // A silent bin's floor keeps falling by blocks and is held at 10.
  for (int i = 0; i < 6 * 51; ++i) spectral_floor_update(p.data(), 0, f.get());
  EXPECT_EQ(f->floor[100], 10.0f);
}

// Verifies the band hangover and the sweep over the floor in 24-bin steps.
TEST(BandActivity, HangoverAndSweep) {
  MinTracker t;
  min_tracker_setup(&t, 2e12f, 1000.0f, 1000.0f, 50, 100, 0.25f);
  std::unique_ptr<SpectralFloor> f(new SpectralFloor);
  spectral_floor_init(f.get());
  FloorSweep sweep;
  floor_sweep_init(&sweep);
  std::vector<float> p(kSpectralBins, 100.0f);
  for (int i = 0; i < 30; ++i) band_activity_update(p.data(), &t, 1e5f, f.get(), &sweep);
  EXPECT_EQ(t.hangover, 0);
  band_activity_update(p.data(), &t, 1e11f, f.get(), &sweep);  // far above the level
  EXPECT_EQ(t.hangover, 10);
  EXPECT_NEAR(f->work_a[2], 1.0307293f / (f->floor[2] + 1.0f), 1e-12f);
  EXPECT_NEAR(f->work_b[2], 3.2f * std::sqrt(f->floor[2]), 1e-3f);
  // 40 frames sweep bins 2..959 once and publish their sum (the floor stands still while
  // the hangover runs).
  FloorSweep s2;
  floor_sweep_init(&s2);
  for (int i = 0; i < 40; ++i) band_activity_update(p.data(), &t, 1e11f, f.get(), &s2);
  double sum = 0.0;
  for (int k = 2; k < kSpectralBins; ++k) sum += f->floor[k];
  EXPECT_NEAR(s2.total, sum, sum * 1e-5);
  EXPECT_EQ(s2.cursor, 2);
}

// Verifies, through the core, that the microphone channel's per-bin floor is the minimum
// statistics alone: a steady 1 kHz tone over quiet noise raises the floor of its bin to
// the tone's level (a neighbourhood median does not hold it down).
TEST(SpectralFloor, SteadyToneIsFloorAsWell) {
  serrin_config()->music_mode.store(0);
  std::unique_ptr<SerrinState> state(new SerrinState());
  std::memset(state.get(), 0, sizeof(SerrinState));
  serrin_init(state.get());
  SerrinChannel channel{};
  channel.type = 1;
  SerrinChannel* table[kSerrinChannelTableSize] = {&channel};
  int16_t mic[960], reference[960], output[960];
  float floor_out = 0.0f;
  int32_t hold = 0;
  uint8_t mode3 = 0;
  uint32_t seed = 1;
  const double pi = 3.14159265358979323846;
  for (int frame = 0; frame < 300; ++frame) {
    for (int n = 0; n < 960; ++n) {
      seed = seed * 1664525u + 1013904223u;
      const double noise = 20.0 * static_cast<int32_t>(seed) / 2147483648.0;
      mic[n] =
          static_cast<int16_t>(std::lround(4000.0 * std::sin(2 * pi * 1000.0 * (frame * 960 + n) / 48000.0) + noise));
    }
    std::memset(reference, 0, sizeof(reference));
    channel.mic = channel.mic_copy = mic;
    channel.mic_samples = channel.mic_samples_copy = 960;
    SerrinFrameArgs args{};
    args.reference = reference;
    args.output = output;
    args.mic_floor = &floor_out;
    args.mic2_floor = &floor_out;
    args.echo_hold = &hold;
    args.mode3 = &mode3;
    args.noise_suppression = 1;
    args.state = state.get();
    serrin_process(state.get(), table, &args);
  }
  const float* floor = state->spectral_floor[0].floor;
  // Bin 40 is 1 kHz; bin 200 holds noise only.
  EXPECT_GT(floor[40], 1000.0f * floor[200]);
  EXPECT_GT(floor[40], 0.3f * state->error_power[40]);
  serrin_release(state.get());
}
