#include "echo_canceller.h"

#include "aec_frame.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "serrin_config.h"
#include "serrin_test_support.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

using serrin_test::Energy;
using serrin_test::LogCapture;
using serrin_test::SpeechLike;
using serrin_test::WhiteNoise;

namespace {

// The audio core's side of one frame: buffers and result words.
struct CoreFrame {
  int16_t mic[960] = {};
  int16_t mic2[960] = {};
  int16_t out[960] = {};
  int16_t side[960] = {};
  AecFrameResults results;
  AECFrame frame;

  explicit CoreFrame(int32_t ans)
      : frame(aec_frame_make(AecFrameInputs{mic, mic2, false, false, ans != 0, out, side}, &results)) {}
  int Run(CAEC* aec, const int16_t* samples) {
    std::memcpy(mic, samples, sizeof(mic));
    results.echo = 0;
    results.double_talk = 0;
    return aec->Process(&frame);
  }
};

class Wrapper : public ::testing::Test {
 protected:
  void SetUp() override { serrin_config()->music_mode.store(0); }
  void TearDown() override { serrin_config()->music_mode.store(0); }
};

}  // namespace

// Verifies the state after Create: reset delay line, default ratio, reference level 64.
TEST_F(Wrapper, CreateGivesResetCanceller) {
  std::unique_ptr<CAEC> aec = CAEC::Create();
  ASSERT_TRUE(aec);
  ASSERT_TRUE(aec->HasCore());
  ASSERT_NE(aec->DelayLine(), nullptr);
  const AecDelayLine::Positions p = aec->DelayLine()->Snapshot();
  EXPECT_EQ(p.write_index, 2880);
  EXPECT_EQ(p.read_position, 960.0);
  EXPECT_EQ(p.reset_count, 1);
  EXPECT_EQ(aec->State()->filter.sample_rate_ratio, 1.0);
  EXPECT_EQ(aec->State()->core_switch_a, 1);
  EXPECT_EQ(aec->State()->features.s64, 0);
  EXPECT_EQ(aec->State()->features.s64_copies[0], 1);
  EXPECT_EQ(serrin_config()->reference_level, 64.0f);
  EXPECT_EQ(aec->AgcGain(), 1.0f);
  EXPECT_EQ(aec->CurrentErle(), 0.0f);
}

// Verifies that a frame of another size, or without buffers, is refused and changes nothing.
TEST_F(Wrapper, RejectsBadFrames) {
  std::unique_ptr<CAEC> aec = CAEC::Create();
  CoreFrame f(1);
  f.frame.bytes = 1918;
  EXPECT_EQ(f.Run(aec.get(), f.mic), 255);
  EXPECT_EQ(aec->FrameCount(), 0);
  f.frame.bytes = 1920;
  f.frame.out = nullptr;
  EXPECT_EQ(aec->Process(&f.frame), 255);
  EXPECT_EQ(aec->Process(nullptr), 255);
  EXPECT_EQ(aec->FrameCount(), 0);
  f.frame.out = f.out;
  EXPECT_EQ(f.Run(aec.get(), f.mic), 0);
  EXPECT_EQ(aec->FrameCount(), 1);
}

// Verifies the silent start: the first 25 frames are zero, the 26th is not.
TEST_F(Wrapper, SilentStart) {
  std::unique_ptr<CAEC> aec = CAEC::Create();
  CoreFrame f(0);
  const std::vector<int16_t> noise = WhiteNoise(960 * 26, 3000.0f, 21);
  for (int i = 0; i < 25; ++i) {
    ASSERT_EQ(f.Run(aec.get(), &noise[960 * i]), 0);
    for (int16_t v : f.out) ASSERT_EQ(v, 0) << "frame " << i + 1;
  }
  f.Run(aec.get(), &noise[960 * 25]);
  EXPECT_GT(Energy(f.out, 960), 0.0);
}

// Verifies silence, speech and echo (far end through the delay line) through the wrapper.
TEST_F(Wrapper, SilenceSpeechAndEcho) {
  std::unique_ptr<CAEC> aec = CAEC::Create();
  CoreFrame f(1);
  const int frames = 300;
  const std::vector<int16_t> far = SpeechLike(960 * frames, 12000.0f, 22);
  const std::vector<int16_t> near = SpeechLike(960 * frames, 6000.0f, 23);
  int16_t zeros[960] = {};
  for (int i = 0; i < 50; ++i) {
    ASSERT_EQ(f.Run(aec.get(), zeros), 0);
    // Silent start, then at most comfort noise at the start floor (below -54 dBFS).
    for (int16_t v : f.out) ASSERT_LE(std::abs(static_cast<int>(v)), i < 25 ? 0 : 64);
  }
  for (int i = 0; i < frames; ++i) ASSERT_EQ(f.Run(aec.get(), &near[960 * i]), 0);
  EXPECT_GT(Energy(f.out, 960), 0.0);
  // Echo: what was played comes back 60 ms later at 0.4 of its level.
  std::vector<int16_t> echo(960 * frames);
  for (size_t n = 2880; n < echo.size(); ++n) echo[n] = static_cast<int16_t>(far[n - 2880] * 0.4f);
  ASSERT_TRUE(aec->HasDelayLine());
  for (int i = 0; i < frames; ++i) {
    aec->WriteFarEnd(&far[960 * i]);
    ASSERT_EQ(f.Run(aec.get(), &echo[960 * i]), 0);
  }
  EXPECT_EQ(aec->FrameCount(), 50 + 2 * frames);
  EXPECT_EQ(f.results.mic_floor, 0.0f);  // the last 50 frames held the quiet start of the echo
}

// Verifies that the RNNoise pass runs with the ANS switch and is skipped in music mode.
TEST_F(Wrapper, RnnoiseGatedByAnsAndMusicMode) {
  const int frames = 150;
  // Below the level the output gain adapts to (a level follower under 714), so that the
  // denoiser gets the noise at its own level.
  const std::vector<int16_t> noise = WhiteNoise(960 * frames, 300.0f, 24);
  auto run = [&](int32_t ans, bool music) {
    serrin_config()->music_mode.store(music ? 1 : 0);
    std::unique_ptr<CAEC> aec = CAEC::Create();
    CoreFrame f(ans);
    double e = 0.0;
    for (int i = 0; i < frames; ++i) {
      f.Run(aec.get(), &noise[960 * i]);
      if (i >= 100) e += Energy(f.out, 960);
    }
    return e;
  };
  const double plain = run(0, false);
  const double denoised = run(1, false);
  const double music_plain = run(0, true);
  const double music_ans = run(1, true);
  EXPECT_GT(10.0 * std::log10(plain / (denoised + 1.0)), 10.0);
  EXPECT_EQ(music_ans, music_plain);
}

// Verifies the tracking decisions of the worked cases.
TEST(DelayTracking, Decisions) {
  DelayTrackDecision d = aec_decide_delay_tracking(10, 6.5f, 10, 3.0f, 2.0f);
  EXPECT_FALSE(d.reset);
  EXPECT_TRUE(d.adjust);
  EXPECT_EQ(d.shift, 2);
  d = aec_decide_delay_tracking(10, 2.5f, 10, 3.0f, 2.0f);
  EXPECT_EQ(d.shift, -1);
  d = aec_decide_delay_tracking(10, 4.0f, 10, 3.0f, 2.0f);
  EXPECT_TRUE(d.adjust);
  EXPECT_EQ(d.shift, 0);
  EXPECT_TRUE(aec_decide_delay_tracking(0, 0.0f, 5, 0.5f, 2.0f).reset);   // aligned below 1
  EXPECT_TRUE(aec_decide_delay_tracking(5, 20.0f, 0, 0.0f, 2.0f).reset);  // total 20 or more
  EXPECT_TRUE(aec_decide_delay_tracking(5, 2.0f, 0, 0.0f, 2.0f).reset);   // buffer not ahead
  d = aec_decide_delay_tracking(0, 0.0f, 0, 0.0f, 2.0f);
  EXPECT_FALSE(d.reset);
  EXPECT_FALSE(d.adjust);
  d = aec_decide_delay_tracking(5, 6.0f, 0, 0.0f, 2.0f);  // only one estimate: nothing moves
  EXPECT_FALSE(d.reset);
  EXPECT_FALSE(d.adjust);
  // A 250 ms echo behind a 40 ms buffer: the aligned detector sees 12.5 frames, out of its
  // range, but the shift of 10 frames mends that instead of a reset.
  d = aec_decide_delay_tracking(10, 13.5f, 10, 12.5f, 2.0f);
  EXPECT_FALSE(d.reset);
  EXPECT_EQ(d.shift, 9);
  // Out of range without a shift to come still resets.
  EXPECT_TRUE(aec_decide_delay_tracking(10, 5.0f, 10, 12.5f, 2.0f).reset);
}

// Verifies the far-end activity detector: quiet stays inactive, a loud onset is active.
TEST_F(Wrapper, FarEndActivity) {
  std::unique_ptr<CAEC> aec = CAEC::Create();
  const std::vector<int16_t> hiss = WhiteNoise(960 * 50, 10.0f, 25);
  for (int i = 0; i < 50; ++i) EXPECT_FALSE(aec->IsFarEndActive(&hiss[960 * i]));
  const std::vector<int16_t> loud = WhiteNoise(960 * 5, 5000.0f, 26);
  bool active = false;
  for (int i = 0; i < 5; ++i) active = aec->IsFarEndActive(&loud[960 * i]) || active;
  EXPECT_TRUE(active);
}

// Verifies the caller's dumps: every stream written per frame, files left open for the caller.
TEST_F(Wrapper, CallerDumpFiles) {
  FILE* files[CAEC::kDumpCount];
  for (FILE*& f : files) {
    f = std::tmpfile();
    ASSERT_NE(f, nullptr);
  }
  {
    std::unique_ptr<CAEC> aec = CAEC::Create();
    aec->SetDumpFiles(files);
    CoreFrame f(1);
    const std::vector<int16_t> noise = WhiteNoise(960 * 4, 500.0f, 27);
    for (int i = 0; i < 4; ++i) f.Run(aec.get(), &noise[960 * i]);
  }
  const long expected[CAEC::kDumpCount] = {4 * 1920, 0, 4 * 1920, 4 * 1920, 4 * 1920};
  for (int i = 0; i < CAEC::kDumpCount; ++i) {
    ASSERT_EQ(std::fseek(files[i], 0, SEEK_END), 0);  // still open after the canceller went
    EXPECT_EQ(std::ftell(files[i]), expected[i]) << "dump " << i;
    std::fclose(files[i]);
  }
}

// Verifies that a second-microphone count beyond one frame is not believed.
TEST_F(Wrapper, OversizedSecondMicrophoneCount) {
  std::unique_ptr<CAEC> aec = CAEC::Create();
  CoreFrame f(0);
  f.frame.mic2_bytes = 3840 * 4;
  f.frame.second_mic_on = 1;
  const std::vector<int16_t> noise = WhiteNoise(960 * 120, 500.0f, 28);
  for (int i = 0; i < 120; ++i) ASSERT_EQ(f.Run(aec.get(), &noise[960 * i]), 0);
  EXPECT_EQ(aec->State()->mic2_blocks, 0);
}

#ifndef _WIN32
namespace {
// A private HOME with the debug folder; restores the old HOME on destruction.
struct DebugHome {
  std::string root;
  std::string folder;
  std::string old_home;
  DebugHome() {
    const char* h = std::getenv("HOME");
    old_home = h != nullptr ? h : "";
    char tmpl[] = "/tmp/aec_home_XXXXXX";
    root = mkdtemp(tmpl);
    mkdir((root + "/Documents").c_str(), 0700);
    folder = root + "/Documents/Larkmoot";
    mkdir(folder.c_str(), 0700);
    setenv("HOME", root.c_str(), 1);
  }
  ~DebugHome() {
    setenv("HOME", old_home.c_str(), 1);
    std::system(("rm -rf " + root).c_str());
  }
  void Touch(const char* name, const std::vector<int16_t>& samples = {}) const {
    FILE* f = std::fopen((folder + "/" + name).c_str(), "wb");
    if (!samples.empty()) std::fwrite(samples.data(), 2, samples.size(), f);
    std::fclose(f);
  }
  long Size(const char* name) const {
    struct stat st;
    return stat((folder + "/" + name).c_str(), &st) == 0 ? static_cast<long>(st.st_size) : -1;
  }
};
}  // namespace

// Verifies the audio-debug marker: the five dumps are created and filled per frame.
TEST_F(Wrapper, AudioDebugDumps) {
  DebugHome home;
  home.Touch("audio.debug");
  {
    std::unique_ptr<CAEC> aec = CAEC::Create();
    CoreFrame f(1);
    const std::vector<int16_t> noise = WhiteNoise(960 * 3, 500.0f, 29);
    for (int i = 0; i < 3; ++i) f.Run(aec.get(), &noise[960 * i]);
  }
  EXPECT_EQ(home.Size("Mic.pcm"), 3 * 1920);
  EXPECT_EQ(home.Size("Mic2.pcm"), 0);
  EXPECT_EQ(home.Size("Ref.pcm"), 3 * 1920);
  EXPECT_EQ(home.Size("Out.pcm"), 3 * 1920);
  EXPECT_EQ(home.Size("RNN.pcm"), 3 * 1920);
}

// Verifies file input: the microphone comes from the file, and the end of the reference
// file ends the process with status 0.
TEST_F(Wrapper, FileInputEndsAtEndOfReference) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  DebugHome home;
  home.Touch("file.debug");
  home.Touch("debugMic.pcm", WhiteNoise(960 * 40, 2000.0f, 30));
  home.Touch("debugSpk.pcm", std::vector<int16_t>(960 * 30, 0));
  std::unique_ptr<CAEC> aec = CAEC::Create();
  CoreFrame f(0);
  int16_t zeros[960] = {};
  for (int i = 0; i < 30; ++i) ASSERT_EQ(f.Run(aec.get(), zeros), 0);
  EXPECT_GT(Energy(f.out, 960), 0.0);  // the file's noise, not the silent device input
  EXPECT_EXIT(f.Run(aec.get(), zeros), ::testing::ExitedWithCode(0), "");
}
#endif

// Verifies the result words while the microphone is silent and the far end plays a loud
// tone and then a voice through the delay line: no frame reports double talk or echo (the
// render side would duck the far end for them).
TEST_F(Wrapper, SilentMicrophoneReportsNoDoubleTalkOrEcho) {
  std::unique_ptr<CAEC> aec = CAEC::Create();
  CoreFrame f(1);
  const int frames = 400;
  std::vector<int16_t> far(960 * frames);
  const std::vector<int16_t> voice = SpeechLike(960 * frames, 16000.0f, 25);
  for (size_t n = 0; n < far.size(); ++n) {
    far[n] = n < far.size() / 2 ? static_cast<int16_t>(11585.0 * std::sin(2 * 3.14159265358979 * 1000.0 * n / 48000.0))
                                : voice[n];
  }
  int16_t zeros[960] = {};
  for (int i = 0; i < frames; ++i) {
    aec->WriteFarEnd(&far[960 * i]);
    ASSERT_EQ(f.Run(aec.get(), zeros), 0);
    ASSERT_EQ(f.results.double_talk, 0) << i;
    ASSERT_EQ(f.results.echo, 0) << i;
  }
}
