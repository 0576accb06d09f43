#include "core/speaker_limiter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "core/audio_core.h"
#include "core/library_state.h"
#include "testing/log_capture.h"

namespace {

void Sine(float* block, int start, double amplitude) {
  for (int i = 0; i < SpeakerLimiter::kBlock; ++i) {
    block[i] = static_cast<float>(amplitude * std::sin(0.07 * (start + i)));
  }
}

// Far end for the core: one scripted 960-sample frame per pull.
double g_far_amplitude = 0.0;
int64_t g_far_position = 0;
void FarEnd(short* buffer, int* bytes, void*) {
  for (int i = 0; i < 960; ++i, ++g_far_position) {
    const double v =
        g_far_amplitude * std::sin(0.031 * g_far_position) + 0.3 * g_far_amplitude * std::sin(0.0047 * g_far_position);
    buffer[i] = static_cast<short>(std::max(-32768.0, std::min(32767.0, v)));
  }
  *bytes = 1920;
}

// Every device buffer the core hands out, and every far-end frame the callback made.
std::vector<int16_t> PlayThroughCore(AudioCore* core, int frames) {
  std::vector<int16_t> played;
  int16_t out[480];
  for (int i = 0; i < frames * 2; ++i) {
    core->RenderPull(reinterpret_cast<uint8_t*>(out), sizeof out, 48000);
    played.insert(played.end(), out, out + 480);
  }
  return played;
}

}  // namespace

// Verifies that the constructor hands the core its parameters and logs them.
TEST(SpeakerLimiterTest, InitLogsParameters) {
  LogCapture log;
  LimiterParameters p;
  p.high_limit = 1;
  SpeakerLimiter limiter(&p);
  EXPECT_EQ(p.low_limit, 8000);
  EXPECT_EQ(p.high_limit, 20000);
  EXPECT_EQ(p.enter_dt_threshold, 0);
  EXPECT_EQ(p.exit_dt_threshold, 20);
  EXPECT_FLOAT_EQ(p.speaker_scale, 0.8f);
  EXPECT_TRUE(log.Contains("spk limiter low:8000 high:20000, enter_DT_thr=0, exit_DT_thr=20, spkScale=0.8\n"));
}

// Verifies that a block 6 dB over full scale is held under the high limit from the first
// block on, the gain target falling at once to limit / peak.
TEST(SpeakerLimiterTest, SixDbOverFullScaleStaysUnderTheLimit) {
  LimiterParameters p;
  SpeakerLimiter limiter(&p);
  const double amplitude = 2.0 * 32767.0;
  float block[SpeakerLimiter::kBlock];
  float peak_out = 0.0f, trough_out = 0.0f;
  for (int b = 0; b < 2000; ++b) {
    Sine(block, b * SpeakerLimiter::kBlock, amplitude);
    float peak_in = 0.0f;
    for (float v : block) peak_in = std::max(peak_in, std::fabs(v));
    limiter.Process(1.0f, block, 20000.0f);
    if (b == 0) {
      EXPECT_FLOAT_EQ(limiter.limiter_gain(), 20000.0f / peak_in);
    }
    for (float v : block) {
      peak_out = std::max(peak_out, v);
      trough_out = std::min(trough_out, v);
    }
  }
  EXPECT_LE(peak_out, 20000.0f);
  EXPECT_GE(trough_out, -20001.0f);
  EXPECT_GT(peak_out, 19000.0f);  // limited, not muted
}

// Verifies the silence recovery rates and the 20-block peak hold after a burst.
TEST(SpeakerLimiterTest, HoldThenDecayAndSlowRecovery) {
  LimiterParameters p;
  SpeakerLimiter limiter(&p);
  float block[SpeakerLimiter::kBlock];
  Sine(block, 0, 40000.0);
  limiter.Process(1.0f, block, 20000.0f);
  const float burst = limiter.held_peak();
  for (int b = 0; b < 20; ++b) {
    std::memset(block, 0, sizeof block);
    limiter.Process(1.0f, block, 20000.0f);
    EXPECT_EQ(limiter.held_peak(), burst) << b;
  }
  const float q = limiter.limiter_gain();
  const float s = limiter.smoothed_gain();
  std::memset(block, 0, sizeof block);
  limiter.Process(1.0f, block, 20000.0f);
  EXPECT_FLOAT_EQ(limiter.held_peak(), 0.9f * burst);
  // The held peak (still over the limit) keeps the gain target at limit / peak ...
  EXPECT_GT(limiter.limiter_gain(), q);
  // ... and once under the limit the target rises by 5 % of the distance per block and the
  // per-sample gain by 0.001 % per sample.
  for (int b = 0; b < 40; ++b) {
    std::memset(block, 0, sizeof block);
    limiter.Process(1.0f, block, 20000.0f);
  }
  const float q2 = limiter.limiter_gain();
  const float s2 = limiter.smoothed_gain();
  std::memset(block, 0, sizeof block);
  limiter.Process(1.0f, block, 20000.0f);
  EXPECT_NEAR(limiter.limiter_gain(), 0.95f * q2 + 0.05f, 1e-6);
  float expected = s2;
  for (int i = 0; i < SpeakerLimiter::kBlock; ++i) expected = 0.99999f * expected + 0.00001f * limiter.limiter_gain();
  EXPECT_NEAR(limiter.smoothed_gain(), expected, 1e-6);
  EXPECT_LT(s, 1.0f);
}

// Verifies that the peak histogram is logged once every 5000 blocks.
TEST(SpeakerLimiterTest, HistogramEveryFiveThousandBlocks) {
  LimiterParameters p;
  SpeakerLimiter limiter(&p);
  LogCapture log;
  float block[SpeakerLimiter::kBlock];
  for (int b = 0; b < 10001; ++b) {
    Sine(block, b * SpeakerLimiter::kBlock, 1000.0);
    limiter.Process(1.0f, block, 20000.0f);
  }
  EXPECT_EQ(log.Count("speaker peak hist is  "), 2);
}

class LimitedFarEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Library().Reset();
    Library().render_callback = &FarEnd;
    g_far_position = 0;
  }
  void TearDown() override { Library().Reset(); }
};

// Verifies that a full-scale far end leaves the core under the high limit and that a quiet
// one is played bit-exact.
TEST_F(LimitedFarEndTest, CoreLimitsLoudAndPassesQuietFarEnd) {
  {
    AudioCore core;
    core.set_processing_off(true);
    g_far_amplitude = 2.0 * 32767.0;  // clipped to full scale by the callback
    const std::vector<int16_t> played = PlayThroughCore(&core, 500);
    int16_t hi = 0, lo = 0;
    for (int16_t v : played) {
      hi = std::max(hi, v);
      lo = std::min(lo, v);
    }
    EXPECT_LE(hi, 20000);
    EXPECT_GE(lo, -20001);
    EXPECT_GT(hi, 15000);
  }
  {
    AudioCore core;
    core.set_processing_off(true);
    g_far_amplitude = 12000.0;  // peaks at 15600, under the limit
    g_far_position = 0;
    const std::vector<int16_t> played = PlayThroughCore(&core, 500);
    // The first two device buffers are silent while the ring fills; then the far end, unchanged.
    size_t checked = 0;
    for (size_t i = 0; i + 960 < played.size(); ++i) {
      const double v = g_far_amplitude * std::sin(0.031 * i) + 0.3 * g_far_amplitude * std::sin(0.0047 * i);
      ASSERT_EQ(played[i + 960], static_cast<int16_t>(v)) << i;
      ++checked;
    }
    EXPECT_GT(checked, 400000u);
  }
}
