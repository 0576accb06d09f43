#include "adaptive_echo_filter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

namespace {

struct Rng {
  uint32_t s;
  float Next() {
    s = s * 1664525u + 1013904223u;
    return static_cast<float>(static_cast<int32_t>(s)) / 2147483648.0f;
  }
};

class Filter : public ::testing::Test {
 protected:
  void SetUp() override {
    f_.reset(new EchoFilterState);
    echo_filter_init(f_.get());
    path_.reset(new EchoPathRecord);
    echo_path_record_init(path_.get());
    for (float& r : floors_) r = 1.0f;
  }
  void Random(SerrinComplex* x, float scale) {
    for (int k = 0; k < kSpectralBins; ++k) x[k] = {scale * rng_.Next(), scale * rng_.Next()};
  }
  void Step(SerrinComplex* mic, const SerrinComplex* far, int mode = 2) {
    echo_filter_step(0, 0, 1, floors_, path_.get(), mode, kEchoFilterBins, mic, far, f_.get());
  }
  std::unique_ptr<EchoFilterState> f_;
  std::unique_ptr<EchoPathRecord> path_;
  float floors_[6];
  Rng rng_{5};
};

}  // namespace

// Verifies the tap layout of the three bin groups and the bands of the floors.
TEST(FilterLayout, GroupsAndBands) {
  int taps = 0;
  for (const EchoFilterGroup& g : kEchoFilterGroupTable) taps += (g.end - g.first) * g.partitions;
  EXPECT_EQ(taps, kEchoFilterTaps);
  EXPECT_EQ(echo_band_of_bin(2), 0);
  EXPECT_EQ(echo_band_of_bin(12), 0);
  EXPECT_EQ(echo_band_of_bin(13), 1);
  EXPECT_EQ(echo_band_of_bin(280), 4);
  EXPECT_EQ(echo_band_of_bin(281), 5);
  EXPECT_EQ(sizeof(EchoFilterState), 390736u);
}

// Verifies that without far end nothing adapts: the output is the microphone for bins
// 2..879, and bins from 880 up are cleared.
TEST_F(Filter, NoFarEndPassesMicrophone) {
  std::vector<SerrinComplex> far(kSpectralBins, {0.0f, 0.0f}), mic(kSpectralBins), in(kSpectralBins);
  for (int frame = 0; frame < 5; ++frame) {
    Random(mic.data(), 1000.0f);
    in = mic;
    Step(mic.data(), far.data());
    for (int k = 2; k < kEchoFilterBins; ++k) {
      ASSERT_EQ(mic[k].re, in[k].re) << k;
      ASSERT_EQ(mic[k].im, in[k].im) << k;
    }
    for (int k = kEchoFilterBins; k < kSpectralBins; ++k) ASSERT_EQ(mic[k].re, 0.0f);
  }
  for (int i = 0; i < kEchoFilterTaps; ++i) ASSERT_EQ(f_->filter_a[0][i].re, 0.0f);
}

// Verifies convergence on a known echo path: the microphone is the far end of the previous
// frame times a fixed complex gain per bin; filter A's second partition learns that gain
// and the error falls far below the echo.
TEST_F(Filter, LearnsAKnownEchoPath) {
  std::vector<SerrinComplex> gain(kSpectralBins);
  for (int k = 0; k < kSpectralBins; ++k) {
    const float a = 0.3f + 0.2f * std::sin(0.05f * k), ph = 0.7f * k;
    gain[k] = {a * std::cos(ph), a * std::sin(ph)};
  }
  std::vector<SerrinComplex> far(kSpectralBins), previous(kSpectralBins, {0.0f, 0.0f}),
      mic(kSpectralBins);
  double echo = 0.0, error = 0.0;
  for (int frame = 0; frame < 200; ++frame) {
    Random(far.data(), 1e5f);
    for (int k = 0; k < kSpectralBins; ++k) {
      mic[k] = {gain[k].re * previous[k].re - gain[k].im * previous[k].im,
                gain[k].re * previous[k].im + gain[k].im * previous[k].re};
    }
    const std::vector<SerrinComplex> echo_in = mic;
    Step(mic.data(), far.data());
    if (frame >= 150) {
      for (int k = 2; k < kEchoFilterBins; ++k) {
        echo += echo_in[k].re * echo_in[k].re + echo_in[k].im * echo_in[k].im;
        error += mic[k].re * mic[k].re + mic[k].im * mic[k].im;
      }
    }
    previous = far;
  }
  EXPECT_GT(10.0 * std::log10(echo / error), 40.0);
  // Bin 100 lies in the 8-partition group starting at bin 40: taps 494 + 60 * 8 on.
  const SerrinComplex tap = f_->filter_a[0][494 + 60 * 8 + 1];
  EXPECT_NEAR(tap.re, gain[100].re, 1e-3f);
  EXPECT_NEAR(tap.im, gain[100].im, 1e-3f);
  EXPECT_GT(f_->echo_power[0][100], 0.0f);
}

// Verifies the divergence control: a filter whose error power exceeds eight times the
// microphone power is cleared in the same frame.
TEST_F(Filter, DivergedFilterIsCleared) {
  std::vector<SerrinComplex> far(kSpectralBins), mic(kSpectralBins);
  Random(far.data(), 1e4f);
  for (int i = 0; i < kEchoFilterTaps; ++i) f_->filter_a[0][i] = {50.0f, 0.0f};
  Random(mic.data(), 1.0f);
  Step(mic.data(), far.data());
  // Powers were cleared with the filter, and the adaptation of this frame starts from the
  // cleared filter (its error is the microphone), a small step.
  EXPECT_LT(std::fabs(f_->filter_a[0][0].re), 0.01f);
  EXPECT_EQ(f_->power_mic[0][2], 0.0f);
}

// Verifies the adaptation gate: far-end power times the band floor must exceed W (100 in
// echo mode 2, 400 otherwise) times the near-end level of the bin.
TEST_F(Filter, AdaptationGate) {
  std::vector<SerrinComplex> far(kSpectralBins, {0.0f, 0.0f}), mic(kSpectralBins, {0.0f, 0.0f});
  far[100] = {10.0f, 0.0f};  // P = 100 on the first frame
  mic[100] = {5.0f, 0.0f};
  path_->near_level[100] = 1.0f;
  Step(mic.data(), far.data(), 1);  // 100 x 1 > 400 x 1 fails
  EXPECT_EQ(f_->filter_a[0][494 + 60 * 8].re, 0.0f);
  mic[100] = {5.0f, 0.0f};
  echo_filter_init(f_.get());
  Step(mic.data(), far.data(), 2);  // 100 x 1 > 100 x 1 fails too (strictly above)
  EXPECT_EQ(f_->filter_a[0][494 + 60 * 8].re, 0.0f);
  echo_filter_init(f_.get());
  far[100] = {20.0f, 0.0f};
  mic[100] = {5.0f, 0.0f};
  Step(mic.data(), far.data(), 2);  // P = 400 passes: A[0] += 0.5 / (400 + 100) x 5 x 20
  EXPECT_NEAR(f_->filter_a[0][494 + 60 * 8].re, 0.5f / 500.0f * 5.0f * 20.0f, 1e-6f);
  EXPECT_EQ(f_->filter_a[0][494 + 60 * 8 + 1].re, 0.0f);
}

// Verifies the clock-drift slope: predictions that lag the microphone by a known number of
// sixteenths of a sample give C = 1.875 per sixteenth; the fixed mode's shape.
TEST(ClockDrift, SlopeOfAKnownOffset) {
  std::vector<SerrinComplex> mic(kDriftBins), pred(kDriftBins);
  std::vector<float> floors(kSpectralBins, 1.0f);
  const double pi = 3.14159265358979323846;
  for (int steps : {-3, 0, 2, 5}) {
    for (int k = 0; k < kDriftBins; ++k) {
      pred[k] = {1000.0f, 0.0f};
      // The microphone leads the prediction by steps/16 samples: phase +2 pi k tau / 1920.
      const double th = 2.0 * pi * k * steps / 16.0 / 1920.0;
      mic[k] = {static_cast<float>(1000.0 * std::cos(th)), static_cast<float>(1000.0 * std::sin(th))};
    }
    float best = 0.0f;
    int used = 0;
    const float c = clock_drift_slope(mic.data(), pred.data(), pred.data(), floors.data(), &best, &used);
    EXPECT_FLOAT_EQ(c, 1.875f * steps) << steps;
    EXPECT_EQ(used, kDriftBins - 2);
    EXPECT_NEAR(best, used, 0.1f);
  }
  EXPECT_EQ(clock_drift_fixed_shape(0.5f), 0.5f);
  EXPECT_EQ(clock_drift_fixed_shape(-2.0f), -8.0f);
  EXPECT_EQ(clock_drift_fixed_shape(8.0f), 392.0f);
}

// Verifies the spectral delay ring (values of delay / 4 frames back) and the frame delay
// voter on a reference whose bins reach the microphone three frames later.
TEST(FrameDelay, RingAndVoter) {
  std::unique_ptr<DelayRecord> r(new DelayRecord);
  delay_record_init(r.get());
  std::vector<SerrinComplex> spectrum(kSpectralBins);
  for (int frame = 0; frame < 10; ++frame) {
    for (int i = 0; i < kDelayRingValues; ++i) spectrum[60 + 2 * i] = {static_cast<float>(frame), 0.0f};
    const SerrinComplex* back = spectral_delay_ring_step(spectrum.data(), 8, &r->ring);
    if (frame >= 2) {
      ASSERT_EQ(back[0].re, static_cast<float>(frame - 2));
    }
  }
  delay_record_init(r.get());
  Rng rng{9};
  std::vector<std::vector<SerrinComplex>> refs;
  std::vector<SerrinComplex> mic(kDelayRingValues), ref(kSpectralBins);
  for (int frame = 0; frame < 13; ++frame) {
    for (SerrinComplex& c : ref) c = {rng.Next(), rng.Next()};
    refs.push_back(ref);
    for (int i = 0; i < kDelayRingValues; ++i) {
      mic[i] = frame >= 3 ? refs[frame - 3][60 + 2 * i] : SerrinComplex{0.0f, 0.0f};
    }
    frame_delay_vote(mic.data(), ref.data(), &r->voter);
  }
  // Lag 3 fits best; the voter keeps one frame of the onset in the filter: D = 4 x 2.
  EXPECT_EQ(r->voter.delay, 8);
  EXPECT_GE(r->voter.votes[2], 4);
  for (int lag : {0, 1, 3, 4, 5, 6, 7}) EXPECT_LT(r->voter.votes[lag], r->voter.votes[2]);
}
