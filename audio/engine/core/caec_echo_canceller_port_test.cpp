#include "core/caec_echo_canceller_port.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/echo_frame_args.h"
#include "serrin_config.h"

namespace {

// The audio core's side of one frame, as it fills the record.
struct CoreSide {
  int16_t mic[960] = {};
  int16_t mic2[960] = {};
  int16_t out[960] = {};
  int16_t side[960] = {};
  AecFrameResults results;
  EchoFrameArgs args;

  explicit CoreSide(int32_t noise_suppression)
      : args(MakeEchoFrameArgs(AecFrameInputs{mic, mic2, false, false, noise_suppression != 0, out, side}, &results)) {
    results.mic_floor = -1.0f;  // shows whether the core wrote it
  }
};

// Deterministic white-ish noise.
void Noise(int16_t* x, int n, uint32_t* seed) {
  for (int i = 0; i < n; ++i) {
    *seed = *seed * 1664525u + 1013904223u;
    x[i] = static_cast<int16_t>(static_cast<int32_t>(*seed >> 16) % 6001 - 3000);
  }
}

double Energy(const int16_t* x, int n) {
  double e = 0.0;
  for (int i = 0; i < n; ++i) e += static_cast<double>(x[i]) * x[i];
  return e;
}

long FileBytes(FILE* f) {
  std::fflush(f);
  std::fseek(f, 0, SEEK_END);
  return std::ftell(f);
}

class CaecPortTest : public ::testing::Test {
 protected:
  void SetUp() override { serrin_config()->music_mode.store(0); }
  void TearDown() override { serrin_config()->music_mode.store(0); }
};

}  // namespace

// Verifies the frame hand-over: a bad size is refused, 25 silent frames, then processed output
// and the result words written back into the caller's variables.
TEST_F(CaecPortTest, ProcessHandsTheFrameToTheEchoCanceller) {
  std::unique_ptr<EchoCancellerPort> made = CaecEchoCancellerPort::Create();
  ASSERT_TRUE(made);
  CaecEchoCancellerPort* port = static_cast<CaecEchoCancellerPort*>(made.get());
  ASSERT_TRUE(port->HasCoreState());
  EXPECT_EQ(port->CurrentGain(), 1.0f);
  EXPECT_EQ(port->CurrentErle(), 0.0f);
  EXPECT_EQ(port->Process(nullptr), CAEC::kResultRejected);

  CoreSide f(0);
  uint32_t seed = 7;
  Noise(f.mic, 960, &seed);
  f.args.mic_bytes = 1918;
  EXPECT_EQ(port->Process(&f.args), CAEC::kResultRejected);
  EXPECT_EQ(port->aec()->FrameCount(), 0);
  f.args.mic_bytes = 1920;

  for (int i = 1; i <= 50; ++i) {
    Noise(f.mic, 960, &seed);
    std::memset(f.out, 0x55, sizeof f.out);
    f.results.echo = 7;
    f.results.double_talk = 7;
    ASSERT_EQ(port->Process(&f.args), 0) << "frame " << i;
    EXPECT_EQ(port->aec()->FrameCount(), i);
    EXPECT_TRUE(f.results.echo == 0 || f.results.echo == 1);
    EXPECT_TRUE(f.results.double_talk == 0 || f.results.double_talk == 1);
    if (i <= 25) {
      ASSERT_EQ(Energy(f.out, 960), 0.0) << "frame " << i;
    } else {
      ASSERT_GT(Energy(f.out, 960), 0.0) << "frame " << i;
    }
  }
  // The microphone noise floor arrives in the caller's word at the 50th frame.
  EXPECT_NE(f.results.mic_floor, -1.0f);
}

// Verifies that the far end written through the port is the delay line's latest frame.
TEST_F(CaecPortTest, FarEndReachesTheDelayLine) {
  std::unique_ptr<EchoCancellerPort> made = CaecEchoCancellerPort::Create();
  CaecEchoCancellerPort* port = static_cast<CaecEchoCancellerPort*>(made.get());
  ASSERT_TRUE(port->HasDelayLine());
  const int32_t index = port->aec()->DelayLine()->Snapshot().write_index;
  int16_t far[960];
  uint32_t seed = 11;
  Noise(far, 960, &seed);
  port->WriteFarEnd(far);
  EXPECT_EQ(port->aec()->DelayLine()->Snapshot().write_index, index + 960);
  int16_t latest[960];
  port->aec()->DelayLine()->Latest(latest);
  EXPECT_EQ(std::memcmp(latest, far, sizeof far), 0);
  port->WriteFarEnd(nullptr);  // nothing
  EXPECT_EQ(port->aec()->DelayLine()->Snapshot().write_index, index + 960);
}

// Verifies the caller's dump files: the streams that the frame's switches select are written.
TEST_F(CaecPortTest, DumpFilesFollowTheFrameSwitches) {
  std::unique_ptr<EchoCancellerPort> port = CaecEchoCancellerPort::Create();
  FILE* files[5];
  for (FILE*& f : files) {
    f = std::tmpfile();
    ASSERT_NE(f, nullptr);
  }
  port->SetDumpFiles(files);
  CoreSide f(0);
  ASSERT_EQ(port->Process(&f.args), 0);
  EXPECT_EQ(FileBytes(files[0]), 1920);  // microphone
  EXPECT_EQ(FileBytes(files[1]), 0);     // no second microphone
  EXPECT_EQ(FileBytes(files[2]), 1920);  // reference
  EXPECT_EQ(FileBytes(files[3]), 1920);  // output
  EXPECT_EQ(FileBytes(files[4]), 0);     // no noise suppression
  f.args.mic2_bytes = 1920;
  f.args.headset = 1;
  f.args.noise_suppression = 1;
  ASSERT_EQ(port->Process(&f.args), 0);
  EXPECT_EQ(FileBytes(files[1]), 1920);
  EXPECT_EQ(FileBytes(files[4]), 1920);
  port->SetMusicMode(true);  // music mode skips the noise-suppression pass
  EXPECT_EQ(serrin_config()->music_mode.load(), 1);
  ASSERT_EQ(port->Process(&f.args), 0);
  EXPECT_EQ(FileBytes(files[3]), 3 * 1920);
  EXPECT_EQ(FileBytes(files[4]), 1920);
  port->SetMusicMode(false);
  EXPECT_EQ(serrin_config()->music_mode.load(), 0);
  FILE* const none[5] = {};
  port->SetDumpFiles(none);
  ASSERT_EQ(port->Process(&f.args), 0);
  EXPECT_EQ(FileBytes(files[0]), 3 * 1920);
  for (FILE* file : files) std::fclose(file);
}

// Verifies that restoring without a saved record leaves the caller's values as they were.
TEST_F(CaecPortTest, RestoreWithoutRecordKeepsValues) {
  std::unique_ptr<EchoCancellerPort> port = CaecEchoCancellerPort::Create();
  float erle = 5.0f;
  int level = 80;
  float boost = -1.0f;
  EXPECT_FALSE(port->RestoreState("no such mic 7f3a", "no such speaker 7f3a", &erle, &level, &boost));
  EXPECT_EQ(erle, 5.0f);
  EXPECT_EQ(level, 80);
  EXPECT_EQ(boost, -1.0f);
}
