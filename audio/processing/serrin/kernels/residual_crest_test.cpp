#include "residual_crest.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "serrin_test_support.h"

// Verifies the decimator's stored shape: symmetric, its centre and first taps, DC gain.
TEST(Crest, DecimatorTaps) {
  const float* h = crest_decimator_taps();
  double dc = 0.0;
  for (int n = 0; n < kCrestTaps; ++n) {
    dc += h[n];
    ASSERT_EQ(h[n], h[kCrestTaps - 1 - n]);
  }
  EXPECT_NEAR(dc, 0.938, 1e-4);
  EXPECT_EQ(h[102], 0.16465f);
  EXPECT_EQ(h[0], 0.00089f);
  EXPECT_EQ(h[4], -0.00441f);
}

// Verifies the Levinson recursion on the autocorrelation of a known AR(2) process: the
// predictor recovers its coefficients and the higher ones vanish.
TEST(Crest, LevinsonRecoversAnArProcess) {
  // x[n] = 1.2 x[n-1] - 0.5 x[n-2] + e: r[k] from the Yule-Walker relations.
  float r[kCrestOrder + 1];
  r[0] = 1.0f;
  r[1] = 1.2f / 1.5f;  // r1 = a1 / (1 - a2) with a2 = -0.5
  for (int k = 2; k <= kCrestOrder; ++k) r[k] = 1.2f * r[k - 1] - 0.5f * r[k - 2];
  float a[kCrestOrder + 1], k[kCrestOrder + 1], e[kCrestOrder + 1];
  crest_levinson(r, a, k, e);
  EXPECT_NEAR(a[1], 1.2f, 1e-4f);
  EXPECT_NEAR(a[2], -0.5f, 1e-4f);
  for (int i = 3; i <= kCrestOrder; ++i) EXPECT_NEAR(a[i], 0.0f, 1e-4f) << i;
  EXPECT_NEAR(k[2], -0.5f, 1e-4f);
  EXPECT_LT(e[2], e[1]);
}

// Verifies the decision: clicks (a pulse every 20 ms) are impulsive, white noise is not, a
// silent frame counts as 0, and the mean of the eight frames must exceed 3.7.
TEST(Crest, ClicksAreImpulsiveNoiseIsNot) {
  std::unique_ptr<CrestDetector> c(new CrestDetector);
  crest_detector_init(c.get());
  std::vector<int16_t> frame(960, 0);
  EXPECT_EQ(residual_crest_detect(frame.data(), c.get()), 0);  // silence
  EXPECT_EQ(c->crest[kCrestFrames - 1], 0.0f);
  const std::vector<int16_t> noise = serrin_test::WhiteNoise(960 * 20, 3000.0f, 8);
  int noisy = 0;
  for (int f = 0; f < 20; ++f) noisy += residual_crest_detect(&noise[960 * f], c.get());
  EXPECT_EQ(noisy, 0);
  double mean = 0.0;
  for (float v : c->crest) mean += v;
  EXPECT_LT(mean / kCrestFrames, 3.7);
  crest_detector_init(c.get());
  int clicks = 0;
  for (int f = 0; f < 16; ++f) {
    for (int n = 0; n < 960; ++n) frame[n] = static_cast<int16_t>((n % 960) == 300 ? 20000 : noise[n] / 100);
    clicks += residual_crest_detect(frame.data(), c.get());
  }
  EXPECT_GT(clicks, 8);
}
