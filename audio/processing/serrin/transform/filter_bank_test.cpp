#include "filter_bank.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "prototype_window.h"

namespace {

struct Banks {
  AnalysisBank analysis;
  SynthesisBank synthesis;
  Banks() {
    serrin_analysis_init(&analysis);
    serrin_synthesis_init(&synthesis);
  }
  // One frame through analysis and synthesis with unit spectral gain.
  void Run(const int16_t* in, int16_t* out) {
    SerrinComplex spectrum[960];
    serrin_analysis(in, spectrum, &analysis);
    serrin_synthesis(spectrum, out, &synthesis);
  }
};

}  // namespace

// Verifies that the window passes through its characteristic values and keeps its
// maximum at 2054 and its minimum between 3840 and 4320.
TEST(FilterBank, PrototypeWindowCharacteristicValues) {
  const float* w = serrin_prototype_window();
  const struct {
    int index;
    float value;
  } values[] = {
      {0, -0.05463f},     {960, 0.227248f},   {1440, 0.619908f},  {1920, 0.89224f},
      {2054, 0.907996f},  {2400, 0.805716f},  {2880, 0.424815f},  {3360, 0.048626f},
      {3840, -0.101363f}, {4320, -0.063904f}, {4800, -0.001662f}, {5759, -0.005092f},
  };
  for (const auto& v : values) EXPECT_NEAR(w[v.index], v.value, 5e-7f) << "index " << v.index;
  int peak = 0, low = 0;
  for (int j = 0; j < kPrototypeWindowLength; ++j) {
    if (w[j] > w[peak]) peak = j;
    if (w[j] < w[low]) low = j;
  }
  EXPECT_EQ(peak, 2054);
  EXPECT_NEAR(w[peak], 0.907996f, 5e-7f);
  EXPECT_GT(low, 3840);
  EXPECT_LT(low, 4320);
  EXPECT_NEAR(w[low], -0.103908f, 5e-7f);
}

// Verifies reconstruction: unit spectral gain returns the input three frames later, to
// within the echoes seven and nine frames late that the window's characteristic values
// leave at the frame boundaries (exact reconstruction there would need w[4799] near 0.31).
TEST(FilterBank, ReconstructsInputDelayedByThreeFrames) {
  auto banks = std::make_unique<Banks>();
  const int frames = 40;
  std::vector<int16_t> in(960 * frames);
  uint32_t s = 1;
  for (int16_t& v : in) {
    s = s * 1103515245u + 12345u;
    v = static_cast<int16_t>(static_cast<int32_t>((s >> 8) % 20001) - 10000);
  }
  std::vector<int16_t> out(960 * frames);
  for (int f = 0; f < frames; ++f) banks->Run(&in[960 * f], &out[960 * f]);
  // The round trip's signal-to-error ratio at each whole-frame delay: three frames is the
  // delay, the others are far off.
  auto snr_db = [&](int delay_frames) {
    double e = 0.0, p = 0.0;
    for (int n = 960 * 8; n < 960 * frames; ++n) {
      const double d = out[n] - in[n - 960 * delay_frames];
      e += d * d;
      p += static_cast<double>(in[n - 960 * delay_frames]) * in[n - 960 * delay_frames];
    }
    return 10.0 * std::log10(p / e);
  };
  EXPECT_GE(snr_db(3), 70.0);
  for (int d : {2, 4}) EXPECT_LT(snr_db(d), 3.0) << d;
  // Nothing leaks out before the delay has passed.
  for (int n = 0; n < 2880; ++n) ASSERT_EQ(out[n], 0) << n;
}

// Verifies that a constant input settles to the same constant output after six frames.
TEST(FilterBank, ConstantInputSettles) {
  auto banks = std::make_unique<Banks>();
  int16_t in[960];
  int16_t out[960];
  for (int16_t& v : in) v = 1000;
  for (int f = 0; f < 10; ++f) {
    banks->Run(in, out);
    if (f >= 6) {
      for (int n = 0; n < 960; ++n) ASSERT_NEAR(out[n], 1000, 1) << "frame " << f << " n " << n;
    }
  }
}

// Verifies that synthesis saturates instead of wrapping when a spectrum overflows int16.
TEST(FilterBank, SynthesisSaturates) {
  auto banks = std::make_unique<Banks>();
  int16_t in[960];
  int16_t out[960];
  for (int16_t& v : in) v = 30000;
  int16_t last_min = 0;
  for (int f = 0; f < 10; ++f) {
    SerrinComplex spectrum[960];
    serrin_analysis(in, spectrum, &banks->analysis);
    for (SerrinComplex& c : spectrum) {
      c.re *= 4.0f;
      c.im *= 4.0f;
    }
    serrin_synthesis(spectrum, out, &banks->synthesis);
    last_min = *std::min_element(out, out + 960);
  }
  EXPECT_EQ(last_min, 32767);
}
