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

// Verifies the input conditioning against a direct computation: 32 kHz pairs a, b become
// a, 0.67 b + 0.33 a, 0.33 a' + 0.67 b; 16 kHz samples are repeated three times.
TEST(DelayEstimatePcm, InputConditioning) {
  // A 48 kHz frame; the 32 and 16 kHz frames are its first 640 and 320 samples.
  std::vector<int16_t> pcm(960);
  for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<int16_t>(i * 7 % 1000 - 500);
  std::vector<float> out(960);
  delay_condition_input(pcm.data(), 32000, out.data());
  for (int p = 0; p < 319; ++p) {
    const float a = pcm[2 * p], b = pcm[2 * p + 1], next = pcm[2 * p + 2];
    ASSERT_EQ(out[3 * p], a) << p;
    ASSERT_NEAR(out[3 * p + 1], 0.67f * b + 0.33f * a, 1e-3f) << p;
    ASSERT_NEAR(out[3 * p + 2], 0.33f * next + 0.67f * b, 1e-3f) << p;
  }
  delay_condition_input(pcm.data(), 16000, out.data());
  for (int i = 0; i < 320; ++i) {
    ASSERT_EQ(out[3 * i], pcm[i]);
    ASSERT_EQ(out[3 * i + 1], pcm[i]);
    ASSERT_EQ(out[3 * i + 2], pcm[i]);
  }
  delay_condition_input(pcm.data(), 48000, out.data());
  EXPECT_EQ(out[959], pcm[959]);
}

// Verifies that a 32 kHz and a 16 kHz stream (640 and 320 samples per frame) find the same
// known delay as a 48 kHz one.
TEST(DelayEstimatePcm, FindsAKnownDelayAtLowerRates) {
  for (int rate : {32000, 16000}) {
    const int per_frame = rate / 50, frames = 300, delay = 5;
    const std::vector<int16_t> bursts = Bursts(frames, 8);
    std::vector<int16_t> ref(static_cast<size_t>(per_frame) * frames), mic(ref.size(), 0);
    for (int f = 0; f < frames; ++f) {
      for (int n = 0; n < per_frame; ++n) ref[per_frame * f + n] = bursts[960 * f + n];
    }
    for (size_t n = static_cast<size_t>(per_frame) * delay; n < mic.size(); ++n) {
      mic[n] = static_cast<int16_t>(ref[n - per_frame * delay] / 2);
    }
    std::unique_ptr<BandTrackState> s(new BandTrackState);
    serrin_reset_band_state(s.get());
    s->sample_rate = rate;
    int confirmed = 0;
    for (int f = 0; f < frames; ++f) {
      confirmed += delay_estimate_pcm(&ref[per_frame * f], &mic[per_frame * f], s.get());
    }
    EXPECT_NEAR(s->delay, delay, 0.5f) << rate;
    EXPECT_GT(confirmed, 100) << rate;
    serrin_reset_band_state(s.get());
    EXPECT_EQ(s->sample_rate, 48000);
  }
}

// Verifies the near-side trackers: the minimum of 4-frame averages (start 1e8) follows a
// fall at once and, after a rise, keeps the old value until more than 300 frames have
// passed, then takes the lowest average seen after frame 100; the decaying peak holds for
// four frames and then falls by 0.8 per frame.
TEST(DelayStatisticsTest, MinimumAndDecayingPeak) {
  std::unique_ptr<DelayCorrelator> c(new DelayCorrelator);
  delay_correlator_init(c.get(), 16, 0.9f, 14, 21);
  for (int b = 0; b < kDelayBands; ++b) EXPECT_EQ(c->stats.minimum[b], 1e8f);
  float far[kDelayBands] = {}, near[kDelayBands];
  for (float& v : near) v = 1000.0f;
  for (int f = 0; f < 10; ++f) delay_correlator_step(far, near, 0.0f, c.get());
  // The first average (three empty frames beside it) is the lowest: 250, taken at frame 0.
  EXPECT_EQ(c->stats.minimum[0], 250.0f);
  EXPECT_EQ(c->stats.decaying_peak[0], 1000.0f);
  // Rise to 5000 with a dip to 3000 for four frames 160 frames after the minimum.
  int renewed_at = -1;
  for (int f = 0; f < 400 && renewed_at < 0; ++f) {
    for (float& v : near) v = (f >= 150 && f < 154) ? 3000.0f : 5000.0f;
    delay_correlator_step(far, near, 0.0f, c.get());
    if (c->stats.minimum[2] != 250.0f) renewed_at = f;
  }
  EXPECT_EQ(renewed_at, 291);  // the 301st frame after the minimum was taken
  EXPECT_EQ(c->stats.minimum[2], 3000.0f);
  EXPECT_EQ(c->stats.minimum_count[2], 100);
  // A spike: held for four frames, then 0.8 per frame.
  for (float& v : near) v = 1e6f;
  delay_correlator_step(far, near, 0.0f, c.get());
  for (float& v : near) v = 0.0f;
  for (int f = 0; f < 4; ++f) {
    delay_correlator_step(far, near, 0.0f, c.get());
    ASSERT_EQ(c->stats.decaying_peak[4], 1e6f) << f;
  }
  delay_correlator_step(far, near, 0.0f, c.get());
  EXPECT_FLOAT_EQ(c->stats.decaying_peak[4], 0.8e6f);
  delay_correlator_step(far, near, 0.0f, c.get());
  EXPECT_FLOAT_EQ(c->stats.decaying_peak[4], 0.64e6f);
}

// Verifies the statistics at the adopted delay: with the echo path confirmed the near power
// and the reference power of `delay` frames back move by 0.1, the near peak keeps the ratio
// of reference to peak.
TEST(DelayStatisticsTest, StatisticsAtTheDelay) {
  std::unique_ptr<DelayEstimatorState> s(new DelayEstimatorState);
  delay_estimator_init(s.get());
  std::vector<SerrinComplex> near(960), far(960);
  uint32_t seed = 21;
  std::vector<std::vector<SerrinComplex>> history;
  int flags = 0;
  for (int frame = 0; frame < 300; ++frame) {
    seed = seed * 1664525u + 1013904223u;
    const float level = 1000.0f + 100000.0f * ((seed >> 24) / 255.0f);
    for (SerrinComplex& c : far) c = {level, 0.0f};
    history.push_back(far);
    near = frame >= 2 ? history[frame - 2] : std::vector<SerrinComplex>(960, {0.0f, 0.0f});
    for (SerrinComplex& c : near) c.re *= 0.5f;  // echo 6 dB below the reference
    int echo_path = 0;
    float delay = 0.0f;
    flags += delay_estimate_bands(near.data(), far.data(), s.get(), &echo_path, &delay);
  }
  ASSERT_NEAR(s->corr.delay, 2.0f, 0.01f);
  ASSERT_GT(flags, 50);
  const DelayStatistics& st = s->corr.stats;
  for (int b = 0; b < kDelayBands; ++b) {
    // The echo is a quarter of the reference power at the delay.
    EXPECT_NEAR(st.near_at_delay[b] / st.far_at_delay[b], 0.25f, 0.02f) << b;
    EXPECT_NEAR(st.peak_ratio[b], 4.0f, 0.4f) << b;
  }
  // The echo stays within twice the reference-scaled peak: confirmations, at most 11.
  EXPECT_EQ(s->confirmations, 11);
}

// Verifies the echo-path counters on set statistics: the confirmation counter rises with the
// flag (held at 11); without it the doubt counter rises unless more than three bands stand
// 20 times above their minimum, and above 100 clears both; four bands of excess clear both
// once the doubts passed 100; a reference below 1e8 at the delay changes nothing.
TEST(DelayStatisticsTest, EchoPathCounters) {
  std::unique_ptr<DelayEstimatorState> s(new DelayEstimatorState);
  delay_estimator_init(s.get());
  DelayStatistics& st = s->corr.stats;
  s->corr.far_energy_at_delay = 2e8f;
  for (int b = 0; b < kDelayBands; ++b) {
    st.near_at_delay[b] = 1.0f;
    st.peak[b] = 1.0f;
    st.peak_ratio[b] = 1.0f;  // no excess: 1 < 2 x 1 x 1
    st.average[b] = 10.0f;
    st.minimum[b] = 1.0f;  // average below 20 x minimum
  }
  for (int i = 0; i < 15; ++i) delay_echo_path_counters(1, s.get());
  EXPECT_EQ(s->confirmations, 11);
  for (int i = 0; i < 100; ++i) delay_echo_path_counters(0, s.get());
  EXPECT_EQ(s->doubts, 100);
  EXPECT_EQ(s->confirmations, 11);
  delay_echo_path_counters(0, s.get());
  EXPECT_EQ(s->doubts, 0);
  EXPECT_EQ(s->confirmations, 0);
  // Four bands above 20 x minimum: the doubts are cleared.
  s->doubts = 5;
  for (int b = 0; b < 4; ++b) st.average[b] = 100.0f;
  delay_echo_path_counters(0, s.get());
  EXPECT_EQ(s->doubts, 0);
  // Four bands of excess: nothing moves until the doubts passed 100.
  for (int b = 0; b < 4; ++b) st.near_at_delay[b] = 3.0f;
  s->confirmations = 7;
  s->doubts = 100;
  delay_echo_path_counters(1, s.get());
  EXPECT_EQ(s->confirmations, 7);
  s->doubts = 101;
  delay_echo_path_counters(1, s.get());
  EXPECT_EQ(s->confirmations, 0);
  EXPECT_EQ(s->doubts, 0);
  // A quiet reference at the delay.
  for (int b = 0; b < 4; ++b) st.near_at_delay[b] = 1.0f;
  s->corr.far_energy_at_delay = 1e8f;
  delay_echo_path_counters(1, s.get());
  EXPECT_EQ(s->confirmations, 0);
}
