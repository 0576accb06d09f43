#include "serrin_process.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "aec_platform.h"
#include "residual_crest.h"
#include "serrin_config.h"
#include "serrin_test_support.h"

using serrin_test::Energy;
using serrin_test::LogCapture;
using serrin_test::MeanActiveLevel;
using serrin_test::SpeechLike;
using serrin_test::WhiteNoise;

namespace {

// The far end 40 ms later, divided by `divisor`, plus the hiss.
std::vector<int16_t> EchoOf(const std::vector<int16_t>& far_end, int divisor, const std::vector<int16_t>& hiss) {
  std::vector<int16_t> echo(far_end.size());
  for (size_t n = 0; n < echo.size(); ++n) {
    echo[n] = static_cast<int16_t>((n >= 1920 ? far_end[n - 1920] / divisor : 0) + hiss[n]);
  }
  return echo;
}

class Core : public ::testing::Test {
 protected:
  void SetUp() override {
    serrin_config()->music_mode.store(0);
    state_.reset(new SerrinState());
    serrin_init(state_.get());
    channel_.type = 1;
    table_[0] = &channel_;
  }
  void TearDown() override {
    serrin_release(state_.get());
    serrin_config()->music_mode.store(0);
  }
  // A fresh core for a second run within one test.
  void Restart() {
    TearDown();
    SetUp();
    crest_ = MakeCrest();
    crest_hold_ = 0;
  }

  // Runs one frame; reference is copied because the core replaces it.
  void Run(const int16_t* mic, const int16_t* ref, int16_t* mic2 = nullptr, int second_mic_on = 0,
           int noise_suppression = 1, int voice = 0) {
    std::memcpy(reference_, ref, sizeof(reference_));
    std::memcpy(mic_, mic, sizeof(mic_));
    channel_.mic = channel_.mic_copy = mic_;
    channel_.mic2 = mic2;
    channel_.mic_samples = channel_.mic_samples_copy = 960;
    channel_.mic2_samples = mic2 != nullptr ? 960 : 0;
    SerrinFrameArgs args{};
    args.reference = reference_;
    args.output = output_;
    args.voice = voice;
    args.second_mic_on = second_mic_on;
    args.mic_floor = &mic_floor_;
    args.mic2_floor = &mic2_floor_;
    args.echo_hold = &echo_hold_;
    args.mode3 = &mode3_;
    args.noise_suppression = noise_suppression;
    args.state = state_.get();
    serrin_process(state_.get(), table_, &args);
    ExpectCrestHold(mic);
  }

  // The hold word follows an independent crest detector run on the same microphone frames:
  // set for 50 frames from each impulsive frame.
  void ExpectCrestHold(const int16_t* mic) {
    if (residual_crest_detect(mic, &crest_) == 1) {
      crest_hold_ = 50;
    } else if (crest_hold_ > 0) {
      --crest_hold_;
    }
    EXPECT_EQ(echo_hold_, crest_hold_ > 0 ? 1 : 0) << "frame " << state_->frame_counter;
    if (crest_hold_ > 0) ++crest_hold_frames_;
  }

  std::unique_ptr<SerrinState> state_;
  SerrinChannel channel_{};
  SerrinChannel* table_[kSerrinChannelTableSize] = {};
  int16_t mic_[960] = {};
  int16_t reference_[960] = {};
  int16_t output_[960] = {};
  float mic_floor_ = -1.0f;
  float mic2_floor_ = -1.0f;
  int32_t echo_hold_ = -1;
  CrestDetector crest_ = MakeCrest();
  int crest_hold_ = 0;
  int crest_hold_frames_ = 0;
  static CrestDetector MakeCrest() {
    CrestDetector c;
    crest_detector_init(&c);
    return c;
  }
  uint8_t mode3_ = 7;
};

constexpr double kPi = 3.14159265358979323846;

std::vector<int16_t> Tone(size_t samples, double hz, double amplitude) {
  std::vector<int16_t> out(samples);
  for (size_t n = 0; n < samples; ++n) {
    out[n] = static_cast<int16_t>(std::lround(amplitude * std::sin(2 * kPi * hz * n / 48000.0)));
  }
  return out;
}

std::vector<int16_t> Scaled(const std::vector<int16_t>& x, double factor) {
  std::vector<int16_t> out(x.size());
  for (size_t n = 0; n < x.size(); ++n) out[n] = static_cast<int16_t>(std::lround(x[n] * factor));
  return out;
}

const int16_t kZeros[960] = {};
// Largest comfort-noise sample of a silent input at the start noise floor.
constexpr int kComfortNoisePeak = 64;

}  // namespace

// Verifies that silence, speech and echo frames pass through the core without fault;
// silence comes out as comfort noise at the start floor (about -65 dBFS), the echo well
// under the microphone's level; the echo-hold word follows the crest detector of the
// microphone.
TEST_F(Core, SilenceSpeechAndEchoFrames) {
  for (int f = 0; f < 50; ++f) {
    Run(kZeros, kZeros);
    for (int16_t v : output_) ASSERT_LE(std::abs(static_cast<int>(v)), kComfortNoisePeak) << f;
  }

  const int frames = 200;
  const std::vector<int16_t> near_end = SpeechLike(960 * frames, 8000.0f, 2);
  CrestDetector crest;
  crest_detector_init(&crest);
  int32_t hold = 0;
  std::vector<int16_t> out;
  for (int f = 0; f < frames; ++f) {
    Run(&near_end[960 * f], kZeros);
    // The final detector's hold, from the crest detector on the same microphone frames.
    hold = residual_crest_detect(&near_end[960 * f], &crest) == 1 ? 50 : std::max(0, hold - 1);
    ASSERT_EQ(echo_hold_, hold > 0 ? 1 : 0) << f;
    if (f >= 100) out.insert(out.end(), output_, output_ + 960);
  }
  // Near-end speech comes out at the level the output gain aims at (within 3 dB).
  EXPECT_NEAR(20.0 * std::log10(MeanActiveLevel(out) / 7500.0), 0.0, 3.0);

  // Echo: the far end 40 ms later at half level, plus a little noise.
  const std::vector<int16_t> far_end = SpeechLike(960 * frames, 12000.0f, 1);
  const std::vector<int16_t> hiss = WhiteNoise(960 * frames, 30.0f, 3);
  const std::vector<int16_t> echo = EchoOf(far_end, 2, hiss);
  double echo_energy = 0.0, out_energy = 0.0;
  for (int f = 0; f < frames; ++f) {
    Run(&echo[960 * f], &far_end[960 * f]);
    if (f < frames / 2) continue;
    for (int n = 0; n < 960; ++n) {
      echo_energy += static_cast<double>(echo[960 * f + n]) * echo[960 * f + n];
      out_energy += static_cast<double>(output_[n]) * output_[n];
    }
  }
  // Over the second half the echo comes out more than 30 dB down (41.9 dB when written).
  EXPECT_GT(10.0 * std::log10(echo_energy / (out_energy + 1.0)), 30.0);
  EXPECT_EQ(state_->frame_counter, 50 + 2 * frames);
  // Every frame's hold word was checked against the independent detector in Run.
  EXPECT_EQ(mode3_, 0);
}

// Verifies that an impulsive microphone (a sparse click train) starts the 50-frame hold and
// that it ends 50 frames after the clicks stop.
TEST_F(Core, ImpulsiveMicrophoneHoldsFor50Frames) {
  int16_t clicks[960] = {};
  for (int n = 0; n < 960; n += 240) clicks[n] = 20000;
  for (int f = 0; f < 30; ++f) Run(clicks, kZeros);
  EXPECT_EQ(echo_hold_, 1);
  for (int f = 0; f < 60; ++f) Run(kZeros, kZeros);
  EXPECT_EQ(echo_hold_, 0);
  EXPECT_GE(crest_hold_frames_, 50);
}

// Verifies the microphone floor: written every 50 frames as the level minimum of the period.
TEST_F(Core, MicrophoneNoiseFloorEvery50Frames) {
  LogCapture log;
  int16_t quiet[960], loud[960];
  for (int n = 0; n < 960; ++n) {
    quiet[n] = n % 2 ? 100 : -100;
    loud[n] = n % 2 ? 3000 : -3000;
  }
  for (int f = 1; f <= 49; ++f) Run(f == 20 ? quiet : loud, kZeros);
  EXPECT_EQ(mic_floor_, -1.0f);  // not written before frame 50
  Run(loud, kZeros);
  EXPECT_EQ(mic_floor_, 100.0f);
  for (int f = 51; f <= 250; ++f) Run(loud, kZeros);
  EXPECT_EQ(mic_floor_, 3000.0f);
  // Oldest to newest: the floors of frames 50 (the quiet frame's), 100, 150, 200 and 250.
  EXPECT_EQ(log.Count("Main Mic Noise Floor hist is  100.000000  3000.000000  3000.000000  "
                      "3000.000000  3000.000000 .\n"),
            1);
}

// Verifies music mode: one log line per change, the reference levels 16 and 64.
TEST_F(Core, MusicModeChanges) {
  LogCapture log;
  serrin_config()->music_mode.store(1);
  Run(kZeros, kZeros);
  Run(kZeros, kZeros);
  EXPECT_EQ(log.Count("LIVE MUSIC MODE ENABLED\n"), 1);
  EXPECT_EQ(serrin_config()->reference_level, 16.0f);
  EXPECT_EQ(state_->far_level[0].reset_a, 9600000.0f);
  EXPECT_EQ(state_->residual_gain_floor[0], 0.05f);
  serrin_config()->music_mode.store(0);
  Run(kZeros, kZeros);
  EXPECT_EQ(log.Count("LIVE MUSIC MODE DISABLED\n"), 1);
  EXPECT_EQ(serrin_config()->reference_level, 64.0f);
  EXPECT_EQ(state_->far_level[0].reset_a, 96000000.0f);
}

// Verifies the far_end-end hold: an energy of exactly 96000 does not start it.
TEST(SerrinProcessSteps, FarEndHold) {
  EXPECT_EQ(serrin_far_end_hold(96000.0f, 0.0f, 0), 0);
  EXPECT_EQ(serrin_far_end_hold(96001.0f, 0.0f, 0), 17);
  EXPECT_EQ(serrin_far_end_hold(96001.0f, 4800.05f, 5), 4);  // not above 20 x level
  EXPECT_EQ(serrin_far_end_hold(10.0f, 0.0f, 1), 0);
  EXPECT_EQ(serrin_far_end_hold(10.0f, 0.0f, 0), 0);
}

// Verifies that a loud far_end end starts the hold and its echo mode, and that silence ends it.
TEST_F(Core, FarEndHoldAndEchoMode) {
  const std::vector<int16_t> far_end = WhiteNoise(960, 3000.0f, 4);
  Run(kZeros, far_end.data());
  EXPECT_EQ(state_->far_loud_hold, 17);
  EXPECT_EQ(state_->echo_mode, 2);
  for (int f = 0; f < 17; ++f) Run(kZeros, kZeros);
  EXPECT_EQ(state_->far_loud_hold, 0);
  EXPECT_EQ(state_->echo_mode, 1);
}

// Verifies the ERLE checks: first after 150 frames, low ERLE for more than 60 checks gives
// reference level 64, one check above 10 dB gives 32.
TEST_F(Core, ErleChecks) {
  SerrinConfig* c = serrin_config();
  for (int f = 0; f < 150; ++f) Run(kZeros, kZeros);
  c->erle_ratio_max = 100.0f;
  Run(kZeros, kZeros);  // frame 151: check
  EXPECT_NEAR(state_->filter.erle_db, 20.0f, 1e-4f);
  EXPECT_EQ(c->reference_level, 32.0f);
  EXPECT_EQ(c->erle_ratio_max, 0.0f);
  // A low check takes 10 from the hold counter.
  state_->hold_counter = 15;
  c->erle_ratio_max = 2.0f;
  serrin_erle_check(state_.get());
  EXPECT_EQ(state_->hold_counter, 5);
  state_->low_erle_count = 0;

  for (int i = 0; i < 60; ++i) {
    c->erle_ratio_max = 2.0f;  // 3 dB
    serrin_erle_check(state_.get());
  }
  EXPECT_EQ(c->reference_level, 32.0f);
  c->erle_ratio_max = 10.0f;  // exactly 10 dB counts as low
  serrin_erle_check(state_.get());
  EXPECT_EQ(state_->low_erle_count, 61);
  EXPECT_EQ(c->reference_level, 64.0f);
  c->erle_ratio_max = 11.0f;
  serrin_erle_check(state_.get());
  EXPECT_EQ(state_->low_erle_count, 0);
  EXPECT_EQ(c->reference_level, 32.0f);
}

// Verifies the clip-safe gain: the reduced gain applies from the block's second sample
// on, the next block starts from it, and the AGC gain reports it.
TEST_F(Core, OutputGainClipsPerBlock) {
  LogCapture log;
  int16_t x[960];
  for (int n = 0; n < 960; ++n) x[n] = 1000;
  x[100] = 30000;  // peak of block 1
  state_->applied_gain = 1.0f;
  serrin_apply_output_gain(state_.get(), x, 1.0f);
  const float reduced = 25000.0f / 30000.0f;
  EXPECT_EQ(x[0], 1000);
  EXPECT_EQ(x[95], 1000);
  EXPECT_EQ(x[96], 1000);  // first sample of block 1: previous gain
  EXPECT_EQ(x[97], static_cast<int16_t>(1000 * (1.0f + (reduced - 1.0f) / 96)));
  EXPECT_EQ(x[192], static_cast<int16_t>(1000 * reduced));  // block 2 starts from the new gain
  EXPECT_EQ(x[959], static_cast<int16_t>(1000 * reduced));
  EXPECT_FLOAT_EQ(state_->agc_gain, reduced);
  EXPECT_FLOAT_EQ(state_->applied_gain, reduced);
  EXPECT_EQ(log.Count("clipped happened , change gain from 1.000000 to 0.833333."), 1);

  // Samples are limited to +-32000: the ramp down from a gain of 2.0 takes 20000 to 40000 at
  // first (the new gain 1.0 itself needs no clipping), until 20000 x gain falls below 32000.
  int16_t y[960];
  for (int n = 0; n < 960; ++n) y[n] = n % 2 ? 20000 : -20000;
  state_->applied_gain = 2.0f;
  serrin_apply_output_gain(state_.get(), y, 1.0f);
  for (int n = 0; n < 38; ++n) ASSERT_EQ(y[n], n % 2 ? 32000 : -32000) << n;
  EXPECT_LT(std::abs(static_cast<int>(y[40])), 32000);
  EXPECT_GT(std::abs(static_cast<int>(y[40])), 30000);
  for (int n = 96; n < 960; ++n) ASSERT_EQ(y[n], n % 2 ? 20000 : -20000) << n;
}

// Verifies the echo-after-canceller flag: three detections in a 150-frame period set it,
// a 1500-frame period without any clears it.
TEST_F(Core, EchoAfterCancellerFlag) {
  LogCapture log;
  for (int f = 1; f <= 150; ++f) serrin_echo_after_canceller(state_.get(), f <= 2 ? 1 : 0);
  EXPECT_EQ(state_->echo_flag, 0);
  for (int f = 151; f <= 300; ++f) serrin_echo_after_canceller(state_.get(), f % 40 == 0 ? 1 : 0);
  EXPECT_EQ(state_->echo_flag, 1);
  EXPECT_EQ(log.Count("HEADPHONE ECHO!!!"), 1);
  EXPECT_EQ(log.Count("echo after AEC\n"), 6);
  for (int f = 301; f <= 1500; ++f) serrin_echo_after_canceller(state_.get(), 0);
  EXPECT_EQ(state_->echo_flag, 1);  // this period saw detections
  for (int f = 1501; f <= 3000; ++f) serrin_echo_after_canceller(state_.get(), 0);
  EXPECT_EQ(state_->echo_flag, 0);
}

namespace {
// Writes the settings value where the platform keeps it.
void SetAutoMuteSnr(uint32_t value) {
#ifdef _WIN32
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Orvex\\SERRIN\\Settings", 0, nullptr, 0, KEY_SET_VALUE,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const DWORD v = value;
  RegSetValueExA(key, "AutoMuteSNR", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof(v));
  RegCloseKey(key);
#else
  aec_settings_fallback_set_dword("AutoMuteSNR", value);
#endif
}

void ClearAutoMuteSnr() {
#ifdef _WIN32
  RegDeleteKeyA(HKEY_CURRENT_USER, "SOFTWARE\\Orvex\\SERRIN\\Settings");
#else
  aec_settings_fallback_clear();
#endif
}
}  // namespace

// Verifies the auto-mute threshold read every 50 frames, and that music mode skips it.
TEST_F(Core, AutoMuteThresholdFromSettings) {
  SetAutoMuteSnr(20);
  ASSERT_TRUE(aec_settings_open());
  for (int f = 0; f < 49; ++f) Run(kZeros, kZeros);
  EXPECT_EQ(state_->auto_mute_threshold, 32.0f);
  Run(kZeros, kZeros);
  EXPECT_EQ(state_->auto_mute_threshold, 20.0f);
  SetAutoMuteSnr(25);
  serrin_config()->music_mode.store(1);
  for (int f = 0; f < 50; ++f) Run(kZeros, kZeros);
  EXPECT_EQ(state_->auto_mute_threshold, 20.0f);
  EXPECT_EQ(state_->loud_flag, 0);
  serrin_config()->music_mode.store(0);
  for (int f = 0; f < 50; ++f) Run(kZeros, kZeros);
  EXPECT_EQ(state_->auto_mute_threshold, 25.0f);
  aec_settings_close();
  ClearAutoMuteSnr();
}

// Verifies the second microphone: used from the first 100-frame check on, its floor
// written every 50 frames, its spectrum one block behind in channel 1.
TEST_F(Core, SecondMicrophoneBlocks) {
  LogCapture log;
  int16_t mic2[960];
  for (int n = 0; n < 960; ++n) mic2[n] = n % 2 ? 500 : -500;
  for (int f = 1; f <= 99; ++f) Run(kZeros, kZeros, mic2, 1);
  EXPECT_EQ(state_->mic2_blocks, 0);
  EXPECT_EQ(mic2_floor_, -1.0f);
  Run(kZeros, kZeros, mic2, 1);  // frame 100: the block count becomes 1 and is used
  EXPECT_EQ(state_->mic2_blocks, 1);
  EXPECT_EQ(mic2_floor_, 500.0f);
  for (int f = 101; f <= 110; ++f) Run(kZeros, kZeros, mic2, 1);
  EXPECT_GT(state_->channel_spectra[1][0].re * state_->channel_spectra[1][0].re, 0.0f);
  // Without second-microphone data the channel spectra are cleared.
  Run(kZeros, kZeros, nullptr, 0);
  EXPECT_EQ(state_->channel_spectra[1][0].re, 0.0f);
  EXPECT_EQ(state_->channel_spectra[2][100].im, 0.0f);
}

// Verifies that with the second microphone on each channel learns its own noise floor, so
// that the channel vote follows the cleaner microphone: the same quiet talker in both after
// 10 s of hiss alone, the main microphone's hiss 20 dB above the second's.
TEST_F(Core, ChannelVoteFollowsTheCleanerMicrophone) {
  const int quiet = 500, talk = 200, frames = quiet + talk;
  const std::vector<int16_t> talker = SpeechLike(960 * talk, 300.0f, 7);
  const std::vector<int16_t> main_hiss = WhiteNoise(960 * frames, 30.0f, 8);
  const std::vector<int16_t> second_hiss = WhiteNoise(960 * frames, 3.0f, 9);
  std::vector<int16_t> mic(main_hiss), mic2(second_hiss);
  for (size_t n = 0; n < talker.size(); ++n) {
    mic[960 * quiet + n] = static_cast<int16_t>(mic[960 * quiet + n] + talker[n]);
    mic2[960 * quiet + n] = static_cast<int16_t>(mic2[960 * quiet + n] + talker[n]);
  }
  for (int f = 0; f < frames; ++f) Run(&mic[960 * f], kZeros, &mic2[960 * f], 1);
  EXPECT_NE(state_->selected_channel, 0);
  // Both microphones' floors lie near their hiss, 20 dB apart, far under the start value.
  double main_floor = 0.0, second_floor = 0.0;
  for (int k = 40; k < 120; ++k) {
    main_floor += state_->spectral_floor[0].floor[k];
    second_floor += state_->spectral_floor[1].floor[k];
  }
  EXPECT_NEAR(10.0 * std::log10(main_floor / second_floor), 20.0, 3.0);
  EXPECT_LT(main_floor / 80.0, 2061458.5 / 10.0);
}

// Verifies that the caller's voice flag, not the second-microphone word, lets the magnitude
// threshold move: bursts on both microphones, each followed by silence, move it and start its
// 150-frame hold in frames marked as voice only.
TEST_F(Core, VoiceFlagEnablesTheMagnitudeThreshold) {
  const std::vector<int16_t> burst = SpeechLike(960, 12000.0f, 10);
  int16_t mic2[960];
  // Frames first..last, a burst on both microphones every tenth.
  auto run = [&](int first, int last, int second_mic_on, int voice) {
    for (int f = first; f <= last; ++f) {
      const int16_t* mic = f % 10 == 0 ? burst.data() : kZeros;
      std::memcpy(mic2, mic, sizeof(mic2));
      Run(mic, kZeros, mic2, second_mic_on, 1, voice);
    }
  };
  const float start = state_->two_mic.magnitude_threshold;
  run(1, 300, 1, 0);
  EXPECT_EQ(state_->two_mic.hold, 0);
  EXPECT_EQ(state_->two_mic.magnitude_threshold, start);
  run(301, 330, 0, 1);
  EXPECT_GT(state_->two_mic.hold, 120);
  EXPECT_NE(state_->two_mic.magnitude_threshold, start);
}

// Verifies that the reference frame is handed back delayed by the frame delay (0 here).
TEST_F(Core, ReferenceFrameComesBackAligned) {
  const std::vector<int16_t> far_end = SpeechLike(960, 10000.0f, 5);
  Run(kZeros, far_end.data());
  EXPECT_EQ(std::memcmp(reference_, far_end.data(), sizeof(reference_)), 0);
}

// Verifies that a missing microphone channel is processed as silence.
TEST_F(Core, NoMicrophoneChannelIsSilence) {
  table_[0] = nullptr;
  const std::vector<int16_t> far_end = SpeechLike(960 * 8, 10000.0f, 6);
  for (int f = 0; f < 8; ++f) Run(kZeros, &far_end[960 * f]);
  for (int16_t v : output_) ASSERT_LE(std::abs(static_cast<int>(v)), kComfortNoisePeak);
}

// Verifies the output gain: a talker 20 dB under the level the gain control aims at (a mean
// active level of 750 against the target 15000 / (2 x level), i.e. 7500) comes out within
// 3 dB of that level, and the gain never exceeds 20.
TEST_F(Core, QuietTalkerIsRaisedToTheTargetLevel) {
  const int frames = 500;
  const std::vector<int16_t> raw = SpeechLike(960 * frames, 8000.0f, 7);
  std::vector<int16_t> talker = raw;
  for (int i = 0; i < 3; ++i) talker = Scaled(talker, 750.0 / MeanActiveLevel(talker));
  ASSERT_NEAR(MeanActiveLevel(talker), 750.0, 20.0);
  std::vector<int16_t> out;
  float max_gain = 0.0f;
  for (int f = 0; f < frames; ++f) {
    Run(&talker[960 * f], kZeros);
    max_gain = std::max(max_gain, state_->agc_gain);
    out.insert(out.end(), output_, output_ + 960);
  }
  EXPECT_LE(max_gain, 20.0f);
  // The last four seconds, after the gain settled.
  const std::vector<int16_t> tail(out.end() - 960 * 200, out.end());
  const double level = MeanActiveLevel(tail);
  std::printf("quiet talker: output mean active level %.0f (gain %.2f)\n", level, state_->agc_gain);
  EXPECT_NEAR(20.0 * std::log10(level / 7500.0), 0.0, 3.0);
}

// Verifies that the output gain never lifts echo: with the far end's echo alone at the
// microphone the gain stays at or below 1.
TEST_F(Core, OutputGainNeverLiftsEcho) {
  const int frames = 400;
  const std::vector<int16_t> far_end = SpeechLike(960 * frames, 12000.0f, 8);
  const std::vector<int16_t> hiss = WhiteNoise(960 * frames, 30.0f, 9);
  const std::vector<int16_t> echo = EchoOf(far_end, 8, hiss);
  for (int f = 0; f < frames; ++f) {
    Run(&echo[960 * f], &far_end[960 * f]);
    ASSERT_LE(state_->agc_gain, 1.0f) << f;
  }
}

// Verifies the flags on a silent microphone while the far end plays (a tone, then speech,
// each after two seconds of silence, as in a meeting): whether the microphone gives digital
// zeros or a faint hiss (-70 dBFS), no frame is double talk, the echo flag stays clear and
// the final detector's hold never runs.
TEST_F(Core, SilentMicrophoneRaisesNoFlags) {
  const int frames = 400;
  std::vector<int16_t> tone = Tone(960 * frames, 1000.0, 11585.0);  // -9 dBFS RMS
  std::vector<int16_t> speech = SpeechLike(960 * frames, 16000.0f, 10);
  std::fill(tone.begin(), tone.begin() + 960 * 100, 0);
  std::fill(speech.begin(), speech.begin() + 960 * 100, 0);
  const std::vector<int16_t> zeros(960 * frames, 0);
  const std::vector<int16_t> hiss = WhiteNoise(960 * frames, 10.0f, 16);
  for (const std::vector<int16_t>* mic : {&zeros, &hiss}) {
    for (const std::vector<int16_t>* far_end : {&tone, &speech}) {
      Restart();
      for (int f = 0; f < frames; ++f) {
        Run(&(*mic)[960 * f], &(*far_end)[960 * f]);
        ASSERT_EQ(mode3_, 0) << f;
        ASSERT_EQ(echo_hold_, 0) << f;
        ASSERT_EQ(state_->echo_flag, 0) << f;
      }
    }
  }
}

// Verifies the crest value of the band levels: a tone puts all its level into one of the
// 37 bands, so the crest approaches 10 x ln(37) and sets the loud flag; white noise spreads
// over all bands and leaves both low.
TEST_F(Core, CrestValueFollowsTheBandLevels) {
  const int frames = 100;
  std::vector<int16_t> tone = Tone(960 * frames, 1000.0, 8000.0);
  for (int f = 0; f < frames; ++f) Run(&tone[960 * f], kZeros);
  EXPECT_NEAR(state_->crest_value, 10.0f * std::log(37.0f), 1.5f);
  EXPECT_EQ(state_->loud_flag, 1);

  Restart();
  const std::vector<int16_t> noise = WhiteNoise(960 * frames, 2000.0f, 11);
  for (int f = 0; f < frames; ++f) Run(&noise[960 * f], kZeros);
  EXPECT_LT(state_->crest_value, 10.0f);
  EXPECT_EQ(state_->loud_flag, 0);
}

// Verifies the echo-hold word: a click train at the microphone (one click every 10 ms) runs
// the final detector's 50-frame hold; after the clicks stop, the hold ends within the eight
// frames of the crest history plus 50.
TEST_F(Core, ImpulsiveMicrophoneRunsTheHold) {
  const std::vector<int16_t> hiss = WhiteNoise(960 * 200, 20.0f, 13);
  std::vector<int16_t> clicks = hiss;
  for (size_t n = 0; n < 960 * 40; n += 480) clicks[n] = 20000;
  int first_on = -1, last_on = -1;
  for (int f = 0; f < 200; ++f) {
    Run(&clicks[960 * f], kZeros);
    if (echo_hold_ == 1) {
      if (first_on < 0) first_on = f;
      last_on = f;
    }
  }
  EXPECT_GE(first_on, 0);
  EXPECT_LT(first_on, 8);
  EXPECT_GE(last_on, 40 + 49);
  EXPECT_LT(last_on, 40 + 8 + 50);
  EXPECT_EQ(echo_hold_, 0);
}

namespace {

// The lag (0..max_lag samples) at which `out` best matches `in` over [from, from + count).
int BestLag(const std::vector<int16_t>& in, const std::vector<int16_t>& out, size_t from, size_t count, int max_lag) {
  int best = 0;
  double best_c = -1.0;
  for (int lag = 0; lag <= max_lag; ++lag) {
    double c = 0.0, ein = 0.0;
    for (size_t n = from; n < from + count; ++n) {
      const double x = in[n - lag];
      c += x * out[n];
      ein += x * x;
    }
    c /= std::sqrt(ein + 1.0);
    if (c > best_c) {
      best_c = c;
      best = lag;
    }
  }
  return best;
}

}  // namespace

// Verifies where the detector chain's frame delay acts: with noise suppression on, plain
// sound (noise) comes out twelve 10 ms frames (5760 samples) later than without it; at
// the onset of a voice the delay is shortened until the output is as early as without it.
TEST_F(Core, ChainDelayIsHeardAndShortensAtVoiceOnset) {
  const int frames = 300;
  const std::vector<int16_t> noise = WhiteNoise(960 * frames, 600.0f, 14);
  const std::vector<int16_t> voice = SpeechLike(960 * frames, 8000.0f, 15);
  std::vector<int16_t> mic(noise);
  for (size_t n = 960 * 100; n < mic.size(); ++n) mic[n] = static_cast<int16_t>(noise[n] + voice[n]);
  auto run = [&](int ns) {
    Restart();
    std::vector<int16_t> out;
    for (int f = 0; f < frames; ++f) {
      Run(&mic[960 * f], kZeros, nullptr, 0, ns);
      out.insert(out.end(), output_, output_ + 960);
    }
    return out;
  };
  const std::vector<int16_t> plain = run(0);
  const std::vector<int16_t> chained = run(1);
  const int bank = BestLag(mic, plain, 960 * 60, 960 * 40, 9000);
  const int before = BestLag(mic, chained, 960 * 60, 960 * 40, 9000);
  const int after = BestLag(mic, chained, 960 * 250, 960 * 40, 9000);
  std::printf("output lag: banks %d samples; with the chain %d before the voice, %d after\n", bank, before, after);
  EXPECT_EQ(before, bank + 12 * 480);
  EXPECT_EQ(after, bank);
}
