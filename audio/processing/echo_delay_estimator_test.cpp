#include "echo_delay_estimator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "serrin_test_support.h"

namespace {

// Bursts of noise with a random envelope per 20 ms frame, so that the band envelopes carry
// the delay.
std::vector<int16_t> Bursts(int frames, uint32_t seed) {
  std::vector<int16_t> noise = serrin_test::WhiteNoise(960 * frames, 1.0f, seed);
  std::vector<int16_t> out(noise.size());
  uint32_t s = seed * 7 + 1;
  for (int f = 0; f < frames; ++f) {
    s = s * 1664525u + 1013904223u;
    const float level = (s >> 28) < 6 ? 200.0f : 6000.0f * ((s >> 20) & 0xFF) / 255.0f;
    for (int n = 0; n < 960; ++n) out[960 * f + n] = static_cast<int16_t>(noise[960 * f + n] * level);
  }
  return out;
}

}  // namespace

// Verifies that the time-domain estimator finds a known delay of 7 frames, adopts it at
// the second agreeing frame, and confirms the echo path.
TEST(DelayEstimatePcm, FindsAKnownDelay) {
  const int frames = 300, delay = 7;
  const std::vector<int16_t> ref = Bursts(frames, 3);
  std::vector<int16_t> mic(ref.size(), 0);
  for (size_t n = 960 * delay; n < mic.size(); ++n) mic[n] = static_cast<int16_t>(ref[n - 960 * delay] / 2);
  std::unique_ptr<BandTrackState> s(new BandTrackState);
  EXPECT_EQ(serrin_reset_band_state(s.get()), 1);
  EXPECT_EQ(s->sample_rate, 48000);
  int confirmed = 0;
  for (int f = 0; f < frames; ++f) {
    confirmed += delay_estimate_pcm(&ref[960 * f], &mic[960 * f], s.get());
  }
  EXPECT_NEAR(s->delay, delay, 0.5f);
  EXPECT_GT(confirmed, 100);
}

// Verifies that a consensus lag of 75 frames or more is never adopted and that a quiet far
// end (energy below 20000) never confirms an echo path.
TEST(DelayEstimatePcm, RangeAndQuietFarEnd) {
  const int frames = 400, delay = 80;
  const std::vector<int16_t> ref = Bursts(frames, 4);
  std::vector<int16_t> mic(ref.size(), 0);
  for (size_t n = 960 * delay; n < mic.size(); ++n) mic[n] = ref[n - 960 * delay];
  std::unique_ptr<BandTrackState> s(new BandTrackState);
  serrin_reset_band_state(s.get());
  for (int f = 0; f < frames; ++f) delay_estimate_pcm(&ref[960 * f], &mic[960 * f], s.get());
  EXPECT_LT(s->delay, 75.0f);

  const std::vector<int16_t> quiet = serrin_test::WhiteNoise(960 * 100, 100.0f, 5);  // 1e4
  serrin_reset_band_state(s.get());
  int confirmed = 0;
  for (int f = 0; f < 100; ++f) confirmed += delay_estimate_pcm(&quiet[960 * f], &quiet[960 * f], s.get());
  EXPECT_EQ(confirmed, 0);
}

// Verifies the spectral variant's adoption rule: never before 21 agreeing frames.
TEST(DelayEstimateBands, NeedsTwentyOneAgreeingFrames) {
  std::unique_ptr<DelayEstimatorState> s(new DelayEstimatorState);
  delay_estimator_init(s.get());
  std::vector<SerrinComplex> near(960), far(960);
  uint32_t seed = 11;
  std::vector<std::vector<SerrinComplex>> history;
  int first_report = -1;
  for (int frame = 0; frame < 200; ++frame) {
    seed = seed * 1664525u + 1013904223u;
    const float level = 1000.0f + 100000.0f * ((seed >> 24) / 255.0f);
    for (SerrinComplex& c : far) c = {level, 0.0f};
    history.push_back(far);
    near = frame >= 2 ? history[frame - 2] : std::vector<SerrinComplex>(960, {0.0f, 0.0f});
    int echo_path = 0;
    float delay = 0.0f;
    delay_estimate_bands(near.data(), far.data(), s.get(), &echo_path, &delay);
    if (first_report < 0 && s->corr.delay != 0.0f) first_report = frame;
  }
  EXPECT_NEAR(s->corr.delay, 2.0f, 0.01f);
  EXPECT_GE(first_report, 21);
}
