#include "rnnoise_pass.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "serrin_test_support.h"

using serrin_test::Energy;
using serrin_test::WhiteNoise;

// Verifies the conversion back to int16: saturation beyond the range, truncation inside.
TEST(RnnoisePass, ConversionToPcm16) {
  EXPECT_EQ(RnnoisePass::ToPcm16(40000.0f), 32767);
  EXPECT_EQ(RnnoisePass::ToPcm16(32767.5f), 32767);
  EXPECT_EQ(RnnoisePass::ToPcm16(-40000.0f), -32768);
  EXPECT_EQ(RnnoisePass::ToPcm16(-32768.0f), -32768);
  EXPECT_EQ(RnnoisePass::ToPcm16(12.9f), 12);
  EXPECT_EQ(RnnoisePass::ToPcm16(-12.9f), -12);
  EXPECT_EQ(RnnoisePass::ToPcm16(std::nanf("")), 0);
}

// Verifies that stationary noise is lowered by at least 10 dB once the denoiser has settled.
TEST(RnnoisePass, LowersStationaryNoise) {
  RnnoisePass pass;
  ASSERT_TRUE(pass.ok());
  const int frames = 250;  // 5 s
  std::vector<int16_t> noise = WhiteNoise(960 * frames, 1000.0f, 11);
  std::vector<int16_t> out = noise;
  for (int f = 0; f < frames; ++f) pass.Process(&out[960 * f]);
  const size_t from = 960 * 100;  // after 2 s
  const double in = Energy(&noise[from], noise.size() - from);
  const double kept = Energy(&out[from], out.size() - from);
  const double reduction_db = 10.0 * std::log10(in / (kept + 1.0));
  RecordProperty("reduction_db", std::to_string(reduction_db));
  std::printf("stationary white noise at RMS 1000: lowered by %.1f dB\n", reduction_db);
  EXPECT_GT(reduction_db, 10.0);
}

// Verifies that silence stays silence.
TEST(RnnoisePass, SilenceStaysSilent) {
  RnnoisePass pass;
  std::vector<int16_t> frame(960, 0);
  for (int f = 0; f < 20; ++f) pass.Process(frame.data());
  for (int16_t v : frame) ASSERT_EQ(v, 0);
}
