#include "filter_bank.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <algorithm>
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

// Verifies the window's shape: its characteristic values and the place of its maximum.
TEST(FilterBank, PrototypeWindowShape) {
  const float* w = serrin_prototype_window();
  EXPECT_NEAR(w[0], -0.05463f, 0.005f);
  EXPECT_NEAR(w[960], 0.227248f, 0.005f);
  EXPECT_NEAR(w[1440], 0.619908f, 0.005f);
  EXPECT_NEAR(w[1920], 0.89224f, 0.005f);
  EXPECT_NEAR(w[2400], 0.805716f, 0.005f);
  EXPECT_NEAR(w[2880], 0.424815f, 0.005f);
  EXPECT_NEAR(w[3840], -0.101363f, 0.005f);
  EXPECT_NEAR(w[4800], -0.001662f, 0.015f);
  EXPECT_NEAR(w[5759], -0.005092f, 0.01f);
  int peak = 0;
  for (int j = 0; j < kPrototypeWindowLength; ++j) {
    if (w[j] > w[peak]) peak = j;
  }
  EXPECT_NEAR(peak, 2054, 10);
  EXPECT_NEAR(w[peak], 0.908f, 0.01f);
}

// Verifies perfect reconstruction: unit spectral gain returns the input three frames later.
TEST(FilterBank, ReconstructsInputDelayedByThreeFrames) {
  auto banks = std::make_unique<Banks>();
  const int frames = 20;
  std::vector<int16_t> in(960 * frames);
  uint32_t s = 1;
  for (int16_t& v : in) {
    s = s * 1103515245u + 12345u;
    v = static_cast<int16_t>(static_cast<int32_t>((s >> 8) % 20001) - 10000);
  }
  std::vector<int16_t> out(960 * frames);
  for (int f = 0; f < frames; ++f) banks->Run(&in[960 * f], &out[960 * f]);
  int worst = 0;
  for (int n = 960 * 3; n < 960 * frames; ++n) {
    worst = std::max(worst, std::abs(out[n] - in[n - 2880]));
  }
  EXPECT_LE(worst, 2);
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
