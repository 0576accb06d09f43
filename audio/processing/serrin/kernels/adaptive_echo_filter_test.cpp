#include "adaptive_echo_filter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "aec_frame.h"
#include "echo_canceller.h"
#include "serrin_config.h"
#include "serrin_test_support.h"

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
  std::vector<SerrinComplex> far(kSpectralBins), previous(kSpectralBins, {0.0f, 0.0f}), mic(kSpectralBins);
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
  // A microphone bin more than 100 times the far end's power holds more than echo (a near
  // talker, or a far end that never reaches the microphone): no adaptation on it. Just
  // under that bound it adapts.
  echo_filter_init(f_.get());
  mic[100] = {201.0f, 0.0f};  // 40401 > 100 x 400
  Step(mic.data(), far.data(), 2);
  EXPECT_EQ(f_->filter_a[0][494 + 60 * 8].re, 0.0f);
  echo_filter_init(f_.get());
  mic[100] = {199.0f, 0.0f};  // 39601 < 100 x 400
  Step(mic.data(), far.data(), 2);
  EXPECT_NEAR(f_->filter_a[0][494 + 60 * 8].re, 0.5f / 500.0f * 199.0f * 20.0f, 1e-5f);
}

// Verifies the clock-drift slope: predictions that lag the microphone by a known number of
// samples give C = 0.9375 per sample (1.875 per step of two samples), also between the
// steps; the fixed mode's shape.
TEST(ClockDrift, SlopeOfAKnownOffset) {
  std::vector<SerrinComplex> mic(kDriftBins), pred(kDriftBins);
  std::vector<float> floors(kSpectralBins, 1.0f);
  const double pi = 3.14159265358979323846;
  for (double lead : {-6.0, 0.0, 0.5, -1.0, 4.0, 10.0, 1.3, -23.7}) {
    for (int k = 0; k < kDriftBins; ++k) {
      pred[k] = {1000.0f, 0.0f};
      // The microphone leads the prediction by `lead` samples: phase +2 pi k lead / 1920.
      const double th = 2.0 * pi * k * lead / 1920.0;
      mic[k] = {static_cast<float>(1000.0 * std::cos(th)), static_cast<float>(1000.0 * std::sin(th))};
    }
    float best = 0.0f;
    int used = 0;
    const float c = clock_drift_slope(mic.data(), pred.data(), pred.data(), floors.data(), &best, &used);
    EXPECT_NEAR(c, 0.9375 * lead, 0.05) << lead;
    EXPECT_EQ(used, kDriftBins - 2);
    EXPECT_GT(best, 0.9f * used);
  }
  EXPECT_EQ(clock_drift_fixed_shape(0.5f), 0.5f);
  EXPECT_EQ(clock_drift_fixed_shape(-2.0f), -8.0f);
  EXPECT_EQ(clock_drift_fixed_shape(8.0f), 392.0f);
}

namespace {

// Filter A of channel 0 set to predict the far end's newest partition `lag_samples` late
// (a phase of -2 pi k lag / 1920 on the newest tap), B cleared; mic = the far end as it is.
struct DriftSetup {
  std::unique_ptr<EchoFilterState> f{new EchoFilterState};
  std::vector<SerrinComplex> far = std::vector<SerrinComplex>(kSpectralBins);
  std::vector<SerrinComplex> mic = std::vector<SerrinComplex>(kSpectralBins);
  std::vector<float> floors = std::vector<float>(kSpectralBins, 1.0f);
  explicit DriftSetup(double lag_samples) {
    echo_filter_init(f.get());
    const double pi = 3.14159265358979323846;
    Rng rng{3};
    // Loud below bin 20, so that a lead of a few samples still leaves the prediction
    // within 10 dB of the microphone.
    for (int k = 0; k < kSpectralBins; ++k) {
      const float a = k < 20 ? 1000.0f : 10.0f;
      far[k] = {a * rng.Next(), a * rng.Next()};
    }
    mic = far;
    // The prediction lags the microphone by lag_samples: A = exp(-j w lag).
    for (int k = 2; k < kDriftBins; ++k) {
      const double w = 2.0 * pi * k / 1920.0;
      const int at = k < 40 ? (k - 2) * 13 : 494 + (k - 40) * 8;
      f->filter_a[0][at] = {static_cast<float>(std::cos(w * lag_samples)),
                            static_cast<float>(-std::sin(w * lag_samples))};
    }
  }
};

}  // namespace

// Verifies the two modes: before the warm-up the shaped slope moves the ratio (C = 3.75,
// four samples: 3.75^3 x 0.000003); slopes of 30 or more, a weak correlation, a prediction
// that does not explain the microphone or an echo mode other than 2 move nothing; after it only slopes below 1.5 count,
// scaled by the adaptive step, which shrinks tenfold after 25 corrections that cancel out.
TEST(ClockDrift, FixedAndAdaptiveModes) {
  {
    DriftSetup d(4.0);
    clock_drift_estimate(d.mic.data(), d.far.data(), d.floors.data(), 0, 2, 0, d.f.get());
    EXPECT_NEAR(d.f->sample_rate_ratio - 1.0, 3.75 * 3.75 * 3.75 * 0.000003, 2e-6);
    EXPECT_EQ(d.f->settle, 0);
    const double before = d.f->sample_rate_ratio;
    clock_drift_estimate(d.mic.data(), d.far.data(), d.floors.data(), 0, 3, 0, d.f.get());
    clock_drift_estimate(d.mic.data(), d.far.data(), d.floors.data(), 0, 1, 0, d.f.get());
    EXPECT_EQ(d.f->sample_rate_ratio, before);
    // In the adaptive mode C = 3.75 is no fine correction.
    clock_drift_estimate(d.mic.data(), d.far.data(), d.floors.data(), 0, 2, 9, d.f.get());
    EXPECT_EQ(d.f->sample_rate_ratio, before);
  }
  {
    DriftSetup d(-32.0);  // C = -30: out of the fixed mode's range
    clock_drift_estimate(d.mic.data(), d.far.data(), d.floors.data(), 0, 2, 0, d.f.get());
    EXPECT_EQ(d.f->sample_rate_ratio, 1.0);
  }
  {
    DriftSetup d(4.0);
    for (float& v : d.floors) v = 1e12f;  // no bin above 40 x its floor
    clock_drift_estimate(d.mic.data(), d.far.data(), d.floors.data(), 0, 2, 0, d.f.get());
    EXPECT_EQ(d.f->sample_rate_ratio, 1.0);
  }
  {
    DriftSetup d(4.0);
    // A near talker as loud as the echo: the prediction leaves more than a tenth of the
    // microphone, so the slope is no clock drift.
    Rng rng{8};
    for (int k = 2; k < 20; ++k) d.mic[k] = {d.mic[k].re + 700.0f * rng.Next(), d.mic[k].im + 700.0f * rng.Next()};
    clock_drift_estimate(d.mic.data(), d.far.data(), d.floors.data(), 0, 2, 0, d.f.get());
    EXPECT_EQ(d.f->sample_rate_ratio, 1.0);
  }
  {
    DriftSetup d(0.64);  // C = 0.6 in the fine range
    clock_drift_estimate(d.mic.data(), d.far.data(), d.floors.data(), 0, 2, 0, d.f.get());
    EXPECT_NEAR(d.f->sample_rate_ratio - 1.0, 0.6 * 0.000003, 1e-7);
    EXPECT_EQ(d.f->settle, 1);
    d.f->sample_rate_ratio = 1.0;
    clock_drift_estimate(d.mic.data(), d.far.data(), d.floors.data(), 0, 2, 9, d.f.get());
    EXPECT_NEAR(d.f->sample_rate_ratio - 1.0, 0.6 * 0.000003, 1e-7);
    EXPECT_EQ(d.f->drift_adaptive, 1);
  }
  {
    DriftSetup d(0.0);  // C = 0: corrections that cancel out shrink the step to 0.1
    for (int i = 0; i < 25; ++i) {
      clock_drift_estimate(d.mic.data(), d.far.data(), d.floors.data(), 0, 2, 9, d.f.get());
    }
    EXPECT_NEAR(d.f->drift_step, 0.1f, 1e-6f);
    EXPECT_EQ(d.f->drift_count, 0);
  }
}

namespace {

// x read at the fractional position t through a Hann-windowed sinc of 32 taps; the taps'
// sines and cosines come from angle sums, three calls per sample.
double ReadAt(const std::vector<int16_t>& x, double t) {
  constexpr double pi = 3.14159265358979323846, a = pi / 16.5;
  static const struct Table {
    double c[32], s[32];
    Table() {
      for (int m = -15; m <= 16; ++m) {
        c[m + 15] = std::cos(a * m);
        s[m + 15] = std::sin(a * m);
      }
    }
  } table;
  const long i = static_cast<long>(std::floor(t));
  const double frac = t - i;
  const double sf = std::sin(pi * frac), cf = std::cos(a * frac), sa = std::sin(a * frac);
  double sum = 0.0;
  for (int m = -15; m <= 16; ++m) {
    const long j = i + m;
    if (j < 0 || j >= static_cast<long>(x.size())) continue;
    const double d = m - frac;
    // sin(pi (m - f)) = -(-1)^m sin(pi f)
    const double sinc = std::fabs(d) < 1e-12 ? 1.0 : ((m & 1) ? sf : -sf) / (pi * d);
    const double w = 0.5 + 0.5 * (table.c[m + 15] * cf + table.s[m + 15] * sa);
    sum += x[j] * sinc * w;
  }
  return sum;
}

// Lag (samples, with a parabolic fraction) at which `mic` best matches `ref` over
// [from, from + length), searched over 0..max_lag.
double BestLag(const std::vector<int16_t>& ref, const std::vector<int16_t>& mic, size_t from, size_t length,
               int max_lag) {
  std::vector<double> c(max_lag + 1, 0.0);
  for (int lag = 0; lag <= max_lag; ++lag) {
    for (size_t n = from; n < from + length; ++n) c[lag] += static_cast<double>(mic[n]) * ref[n - lag];
  }
  int best = 0;
  for (int lag = 1; lag <= max_lag; ++lag) {
    if (c[lag] > c[best]) best = lag;
  }
  double frac = 0.0;
  if (best > 0 && best < max_lag) {
    const double curve = c[best - 1] - 2.0 * c[best] + c[best + 1];
    if (curve < 0.0) frac = 0.5 * (c[best - 1] - c[best + 1]) / curve;
  }
  return best + frac;
}

std::vector<int16_t> ReadBack(FILE* f) {
  std::vector<int16_t> out;
  std::rewind(f);
  int16_t b[960];
  size_t n;
  while ((n = std::fread(b, sizeof(int16_t), 960, f)) > 0) out.insert(out.end(), b, b + n);
  return out;
}

}  // namespace

// Verifies the drift estimator through the whole canceller: the loudspeaker plays the far
// end 100 ppm slow (the echo is the far end resampled, 60 ms late through two reflections),
// so the delay line's read step must fall to 0.9999 for the aligned reference to keep its
// place against the echo. Without a correction the lag would grow by 48 samples over the
// last 10 s.
TEST(ClockDrift, FollowsAFarEndResampledBy100Ppm) {
  serrin_config()->music_mode.store(0);
  constexpr int kFrames = 1500;  // 30 s
  constexpr double kDrift = 100e-6;
  const std::vector<int16_t> far = serrin_test::SpeechLike(kFrames * 960, 12000.0f, 7);
  const std::vector<int16_t> noise = serrin_test::WhiteNoise(kFrames * 960, 10.0f, 11);
  std::vector<int16_t> mic(far.size());
  for (size_t n = 0; n < mic.size(); ++n) {
    const double t = (static_cast<double>(n) - 2880.0) * (1.0 - kDrift);
    const double v = 0.5 * ReadAt(far, t) + 0.2 * ReadAt(far, t - 300.0) + noise[n];
    mic[n] = static_cast<int16_t>(std::lround(std::fmax(-32768.0, std::fmin(32767.0, v))));
  }
  std::unique_ptr<CAEC> aec = CAEC::Create();
  FILE* dumps[CAEC::kDumpCount] = {std::tmpfile(), nullptr, std::tmpfile(), nullptr, nullptr};
  ASSERT_NE(dumps[0], nullptr);
  ASSERT_NE(dumps[2], nullptr);
  aec->SetDumpFiles(dumps);
  int16_t frame_mic[960], mic2[960] = {}, out[960], side[960] = {};
  AecFrameResults results;
  AECFrame frame = aec_frame_make(AecFrameInputs{frame_mic, mic2, false, false, true, out, side}, &results);
  for (int i = 0; i < kFrames; ++i) {
    aec->WriteFarEnd(&far[static_cast<size_t>(i) * 960]);
    std::memcpy(frame_mic, &mic[static_cast<size_t>(i) * 960], sizeof(frame_mic));
    ASSERT_EQ(aec->Process(&frame), 0);
  }
  aec->SetDumpFiles(nullptr);
  const std::vector<int16_t> mic_seen = ReadBack(dumps[0]);
  const std::vector<int16_t> ref_seen = ReadBack(dumps[2]);
  std::fclose(dumps[0]);
  std::fclose(dumps[2]);
  ASSERT_EQ(mic_seen.size(), ref_seen.size());
  const double ratio = aec->State()->filter.sample_rate_ratio;
  std::printf("ratio %.7f\n", ratio);
  EXPECT_NEAR(ratio, 1.0 - kDrift, 0.3 * kDrift);
  // The lag of the echo behind the aligned reference, 10 s apart; whole-frame moves of the
  // delay tracking do not count.
  const double early = BestLag(ref_seen, mic_seen, 20 * 48000, 48000, 4000);
  const double late = BestLag(ref_seen, mic_seen, 29 * 48000, 48000, 4000);
  double moved = std::fmod(late - early, 960.0);
  if (moved > 480.0) moved -= 960.0;
  if (moved < -480.0) moved += 960.0;
  std::printf("lag %.2f -> %.2f samples\n", early, late);
  EXPECT_LT(std::fabs(moved), 8.0);
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
