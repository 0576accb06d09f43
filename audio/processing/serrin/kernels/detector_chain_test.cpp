#include "detector_chain.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "serrin_test_support.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

std::vector<int16_t> Tone(size_t samples, double hz, double rate, double amplitude) {
  std::vector<int16_t> out(samples);
  for (size_t n = 0; n < samples; ++n) {
    out[n] = static_cast<int16_t>(amplitude * std::sin(2 * kPi * hz * n / rate));
  }
  return out;
}

// A voiced sound: ten equal harmonics of f0.
std::vector<int16_t> Voiced(size_t samples, double f0, double rate, double amplitude) {
  std::vector<int16_t> out(samples);
  for (size_t n = 0; n < samples; ++n) {
    double v = 0.0;
    for (int k = 1; k <= 10; ++k) v += std::sin(2 * kPi * k * f0 * n / rate);
    out[n] = static_cast<int16_t>(amplitude * v / 10.0);
  }
  return out;
}

double Rms(const int32_t* x, int n) {
  double s = 0.0;
  for (int i = 0; i < n; ++i) s += static_cast<double>(x[i]) * x[i];
  return std::sqrt(s / n);
}

std::unique_ptr<DetectorChain> NewChain() {
  auto d = std::make_unique<DetectorChain>();
  detector_chain_init(d.get());
  return d;
}

}  // namespace

// Verifies that with either switch off the frame passes untouched and no state changes.
TEST(DetectorChain, SwitchedOffChangesNothing) {
  auto d = NewChain();
  const std::vector<int16_t> frame = serrin_test::WhiteNoise(kChainFrame, 3000.0f, 1);
  const std::vector<int16_t> alt(kChainFrame, 7);
  auto before = std::make_unique<DetectorChain>();
  std::memcpy(before.get(), d.get(), sizeof(DetectorChain));
  for (const auto& sw : {std::pair<int, int>{0, 1}, {1, 0}, {0, 0}}) {
    std::vector<int16_t> f = frame;
    detector8k_process(f.data(), alt.data(), sw.first, sw.second, d.get());
    EXPECT_EQ(f, frame);
    EXPECT_EQ(std::memcmp(before.get(), d.get(), sizeof(DetectorChain)), 0);
  }
}

// Verifies that four 480-sample calls make three blocks for the bank and three 80-sample
// frames (240 samples, one analysis) for the 8 kHz stage, and that plain sound leaves
// the chain 12 frames late.
TEST(DetectorChain, FourCallsMakeThreeBlocksAndTheOutputIsTwelveFramesLate) {
  auto d = NewChain();
  const std::vector<int16_t> alt(kChainFrame, 0);
  const std::vector<int16_t> noise = serrin_test::WhiteNoise(kChainFrame * 20, 300.0f, 2);
  std::vector<int16_t> out(noise.size());
  for (int call = 0; call < 20; ++call) {
    std::vector<int16_t> f(noise.begin() + call * kChainFrame, noise.begin() + (call + 1) * kChainFrame);
    detector8k_process(f.data(), alt.data(), 1, 1, d.get());
    std::copy(f.begin(), f.end(), out.begin() + call * kChainFrame);
    if (call == 3) {
      EXPECT_EQ(d->fill, 0);
      EXPECT_EQ(d->bank.warm_up, 3);
      EXPECT_EQ(d->stage.accumulator, 240 - kDetectorHop);
    }
  }
  for (size_t n = 0; n < 12 * kChainFrame; ++n) ASSERT_EQ(out[n], 0) << n;
  for (size_t n = 12 * kChainFrame; n < out.size(); ++n) ASSERT_EQ(out[n], noise[n - 12 * kChainFrame]) << n;
}

// Verifies that harmonic sound over a quiet bank brings the delay to 0 in 12 frames, with
// each step a linear crossfade from the older to the newer frame, and then the output is
// the input frame.
TEST(FrameDelay, HarmonicQuietCatchesUp) {
  auto d = std::make_unique<FrameDelaySwitch>();
  frame_delay_switch_init(d.get());
  const std::vector<int16_t> alt(kDelayFrame, 0);
  std::vector<std::vector<int16_t>> frames;
  for (int i = 0; i < 14; ++i) frames.emplace_back(kDelayFrame, static_cast<int16_t>(1000 * (i + 1)));
  std::vector<int16_t> f = frames[0];
  frame_delay_switch(f.data(), alt.data(), 1, 0, 0, 1, d.get());
  // D = 12: the 12-old slot (empty) fades into the 11-old (empty).
  EXPECT_EQ(d->delay, 11);
  for (int i = 1; i < 12; ++i) {
    f = frames[i];
    frame_delay_switch(f.data(), alt.data(), 1, 0, 0, 1, d.get());
  }
  EXPECT_EQ(d->delay, 0);
  // The last step faded frame 10 (1-old) into frame 11 (current).
  EXPECT_EQ(f[0], 11000);
  EXPECT_EQ(f[240], (11000 * 512 + 12000 * 512) >> 10);
  f = frames[12];
  frame_delay_switch(f.data(), alt.data(), 1, 0, 0, 1, d.get());
  EXPECT_EQ(f, frames[12]);
}

// Verifies the switch to the alternative frame after six transient frames and 51 more
// frames without harmonic sound, its crossfade, and that loud harmonic sound switches back.
TEST(FrameDelay, RepeatedTransientsSwitchToTheAlternative) {
  auto d = std::make_unique<FrameDelaySwitch>();
  frame_delay_switch_init(d.get());
  const std::vector<int16_t> alt(kDelayFrame, -5000);
  const std::vector<int16_t> frame(kDelayFrame, 4000);
  std::vector<int16_t> f;
  // The sixth transient frame starts the run, which passes 50 on the 51st frame.
  for (int i = 0; i < 5 + 50; ++i) {
    f = frame;
    frame_delay_switch(f.data(), alt.data(), 0, 0, i < 6 ? 1 : 0, 0, d.get());
    ASSERT_EQ(d->switched, 0) << i;
  }
  f = frame;
  frame_delay_switch(f.data(), alt.data(), 0, 0, 0, 0, d.get());
  EXPECT_EQ(d->switched, 1);
  EXPECT_EQ(d->delay, kDelayFramesMax);
  EXPECT_GT(f[0], 3900);  // the crossfade starts at the delayed frame
  EXPECT_EQ(f[479], ((-5000 * (32767 - (32767 - 480 * 33))) >> 15) + ((4000 * (32767 - 480 * 33)) >> 15));
  // 993 samples of ramp: the third frame reaches the alternative after 33 samples.
  for (int i = 0; i < 3; ++i) {
    f = frame;
    frame_delay_switch(f.data(), alt.data(), 0, 0, 0, 0, d.get());
  }
  EXPECT_EQ(std::vector<int16_t>(f.begin() + 33, f.end()), std::vector<int16_t>(alt.begin() + 33, alt.end()));
  f = frame;
  frame_delay_switch(f.data(), alt.data(), 0, 0, 0, 0, d.get());
  EXPECT_EQ(f, alt);
  f = frame;
  frame_delay_switch(f.data(), alt.data(), 0, 1, 0, 0, d.get());
  EXPECT_EQ(d->switched, 0);
  EXPECT_LT(f[0], 0);  // fading back from the alternative
}

// Verifies the crossfade ramp: from 0 towards the delayed frame the level reaches 32767
// after 993 samples at 48 kHz (after 992 it is still short).
TEST(FrameDelay, CrossfadeReachesTheDelayedFrameAfter993Samples) {
  FrameDelaySwitch d{};
  d.level = 0;
  std::vector<int16_t> frame(992, 30000), alt(992, 0);
  pcm_crossfade(1, frame.data(), alt.data(), 992, 48000, &d);
  EXPECT_EQ(d.level, 992 * 33);
  EXPECT_EQ(frame[0], (30000 * 33) >> 15);
  std::vector<int16_t> one(1, 30000), alt1(1, 0);
  pcm_crossfade(1, one.data(), alt1.data(), 1, 48000, &d);
  EXPECT_EQ(d.level, 32767);
  EXPECT_EQ(one[0], (30000 * 32767) >> 15);
  one[0] = 123;
  pcm_crossfade(1, one.data(), alt1.data(), 1, 48000, &d);
  EXPECT_EQ(one[0], 123);  // fully on the delayed frame: untouched
}

// Verifies the decimator: symmetric taps summing to the DC gain 26192/32768; a 500 Hz tone
// at 48 kHz comes out at the taps' response there and a 6 kHz tone (above the 4 kHz band)
// is removed.
TEST(DetectorStage, DecimatorPassesTheBandAndRemovesAliases) {
  const int16_t* c = decimate6_taps();
  int sum = 0;
  for (int t = 0; t < kDecimateTaps; ++t) {
    sum += c[t];
    ASSERT_EQ(c[t], c[kDecimateTaps - 1 - t]);
  }
  EXPECT_EQ(sum, 26192);
  auto level = [](double hz) {
    int16_t history[kDecimateTaps - 1] = {};
    const std::vector<int16_t> x = Tone(480 * 10, hz, 48000.0, 10000.0);
    double s = 0.0;
    int16_t out[80];
    for (int b = 0; b < 10; ++b) {
      decimate6(x.data() + b * 480, out, history);
      if (b >= 2) {
        for (int16_t v : out) s += static_cast<double>(v) * v;
      }
    }
    return std::sqrt(s / (8 * 80)) / (10000.0 / std::sqrt(2.0));
  };
  double response = 0.0;
  for (int t = 0; t < kDecimateTaps; ++t) response += c[t] * std::cos(2 * kPi * 500.0 / 48000.0 * (t - 32.5));
  EXPECT_NEAR(level(500.0), response / 32768.0, 0.01);
  EXPECT_LT(level(6000.0), 0.03);
}

// Verifies the high-pass on known tones at 8 kHz: about -20 dB at 50 Hz, within 3 dB at
// 150 Hz and flat at 1 kHz.
TEST(DetectorStage, HighPassResponse) {
  auto gain_db = [](double hz) {
    Detector8k d;
    detector8k_init(&d);
    const std::vector<int16_t> x = Tone(80 * 40, hz, 8000.0, 8000.0);
    Detector8kEntry e;
    for (int f = 0; f < 40; ++f) detector8k_frame(x.data() + f * 80, &e, &d);
    return 20.0 * std::log10(Rms(d.samples, kDetectorWindow) / (8000.0 / std::sqrt(2.0)));
  };
  EXPECT_NEAR(gain_db(50.0), -20.0, 3.0);
  EXPECT_NEAR(gain_db(150.0), -2.0, 1.5);
  EXPECT_NEAR(gain_db(1000.0), 0.0, 0.5);
}

// Verifies the harmonic measure: a loud 150 Hz voiced sound at 8 kHz is found harmonic,
// strong and loud with a pitch of two 53-sample lags; white noise of the same level never
// is harmonic.
TEST(DetectorStage, VoicedSoundIsHarmonicNoiseIsNot) {
  auto run = [](const std::vector<int16_t>& x, Detector8k* d, int* harmonic, int* loud) {
    detector8k_init(d);
    Detector8kEntry e;
    *harmonic = *loud = 0;
    for (size_t f = 0; f + 80 <= x.size(); f += 80) {
      detector8k_frame(x.data() + f, &e, d);
      *harmonic += e.harmonic;
      *loud += e.loud_harmonic;
    }
  };
  Detector8k d;
  int harmonic = 0, loud = 0;
  run(Voiced(8000 * 2, 150.0, 8000.0, 6000.0), &d, &harmonic, &loud);
  EXPECT_GT(harmonic, 150);  // of 200 frames
  EXPECT_GT(loud, 150);
  EXPECT_NEAR(d.pitch[2], 2 * 8000.0 / 150.0, 2.0);
  run(serrin_test::WhiteNoise(8000 * 2, 2000.0f, 3), &d, &harmonic, &loud);
  EXPECT_EQ(harmonic, 0);
  EXPECT_EQ(loud, 0);
}

// Verifies that a constant frame clears the entry and that the next frame starts the
// stage over.
TEST(DetectorStage, ConstantFrameResetsTheStage) {
  Detector8k d;
  detector8k_init(&d);
  const std::vector<int16_t> x = Voiced(8000, 150.0, 8000.0, 6000.0);
  Detector8kEntry e;
  for (size_t f = 0; f + 80 <= x.size(); f += 80) detector8k_frame(x.data() + f, &e, &d);
  ASSERT_EQ(e.loud_harmonic, 1);
  const std::vector<int16_t> constant(80, 1234);
  detector8k_frame(constant.data(), &e, &d);
  EXPECT_EQ(e.loud_harmonic, 0);
  EXPECT_EQ(e.level, 0);
  EXPECT_EQ(e.peak, 0);
  EXPECT_GT(d.harmonic_hold, 0);  // kept until the next frame
  detector8k_frame(x.data(), &e, &d);
  EXPECT_EQ(d.harmonic_hold, 0);
  EXPECT_EQ(d.accumulator, 80);
  EXPECT_EQ(e.harmonic, 0);
}

// Verifies the envelope peak: a burst after quiet is reported, first at its own (largest)
// value, once the envelope falls; the decaying tail may add smaller peaks, the quiet after
// it none.
TEST(DetectorStage, EnvelopePeakOfABurst) {
  Detector8k d;
  detector8k_init(&d);
  std::vector<int16_t> x = serrin_test::WhiteNoise(8000, 50.0f, 4);
  const std::vector<int16_t> burst = serrin_test::WhiteNoise(128, 8000.0f, 5);
  std::copy(burst.begin(), burst.end(), x.begin() + 4000);
  Detector8kEntry e;
  std::vector<int> peaks;
  int before = 0, after = 0;
  for (size_t f = 0; f + 80 <= x.size(); f += 80) {
    detector8k_frame(x.data() + f, &e, &d);
    if (f >= 800 && f < 4000) before += e.peak > 0;
    if (f >= 4000 && f < 5200 && e.peak > 0) peaks.push_back(e.peak);
    if (f >= 5200) after += e.peak > 0;
  }
  ASSERT_FALSE(peaks.empty());
  EXPECT_GT(peaks.front(), 5000);
  for (int p : peaks) EXPECT_LE(p, peaks.front());
  EXPECT_EQ(before, 0);
  EXPECT_EQ(after, 0);
}

// Verifies the stability measures on known period energies.
TEST(DetectorStage, PeriodEnergyStability) {
  int32_t v, c, step;
  const double steady[6] = {5, 5, 5, 5, 5, 5};
  period_energy_stability(steady, 6, &v, &c, &step);
  EXPECT_EQ(v, 0);
  EXPECT_EQ(step, 0);
  const double ramp[4] = {1, 2, 3, 4};  // mean 2.5, variance 1.25, all of it the trend
  period_energy_stability(ramp, 4, &v, &c, &step);
  EXPECT_EQ(v, static_cast<int32_t>(8192 * 1.25 / 6.25));
  EXPECT_NEAR(c, v, 1);
  EXPECT_EQ(step, static_cast<int32_t>(8192 * 1.0 / 2.5));
  const double alternating[4] = {1, 9, 1, 9};  // steps of 8 around a mean of 5
  period_energy_stability(alternating, 4, &v, &c, &step);
  EXPECT_GT(step, 9829);
}

// Verifies the bank's channels: a tone at k x 800 Hz is strongest in channel k.
TEST(TransientBank, ToneLandsInItsChannel) {
  for (int k : {3, 7, 12}) {
    const std::vector<int16_t> x = Tone(kTransientBlock, 800.0 * k, 48000.0, 8000.0);
    int32_t power[kTransientChannels];
    transient_bank_powers(x.data(), power);
    int best = 0;
    for (int c = 1; c < kTransientChannels; ++c) {
      if (power[c] > power[best]) best = c;
    }
    EXPECT_EQ(best, k);
    EXPECT_LT(power[k + 3], power[k] / 100);
  }
}

// Verifies the flags: after the floors settle on low noise, steady noise is quiet, a train
// of loud broadband bursts (-6 dBFS) raises `transient` on the burst blocks, and the
// four-rising-sums hold starts on a growing sound.
TEST(TransientBank, ClicksAreTransientNoiseIsQuiet) {
  TransientBank b;
  transient_bank_init(&b);
  const std::vector<int16_t> noise = serrin_test::WhiteNoise(kTransientBlock * 200, 30.0f, 6);
  int quiet = 0;
  for (int i = 0; i < 200; ++i) {
    transient_bank_process(noise.data() + i * kTransientBlock, &b);
    if (i >= 10) quiet += b.quiet;
  }
  EXPECT_EQ(quiet, 190);
  int transients = 0;
  for (int i = 0; i < 20; ++i) {
    std::vector<int16_t> block(noise.begin(), noise.begin() + kTransientBlock);
    if (i % 4 == 0) {
      const std::vector<int16_t> burst = serrin_test::WhiteNoise(200, 16000.0f, 20 + i);
      for (int n = 0; n < 200; ++n) block[270 + n] = static_cast<int16_t>(block[270 + n] + burst[n]);
    }
    transients += transient_bank_process(block.data(), &b);
    if (i % 4 == 0) {
      EXPECT_EQ(b.transient, 1) << i;
    }
  }
  EXPECT_EQ(transients, 5);
  EXPECT_EQ(b.hold, 0);
  for (int i = 0; i < 6; ++i) {
    const std::vector<int16_t> rising = serrin_test::WhiteNoise(kTransientBlock, 300.0f * (i + 1) * (i + 1), 7 + i);
    transient_bank_process(rising.data(), &b);
  }
  EXPECT_GT(b.hold, 0);
}
