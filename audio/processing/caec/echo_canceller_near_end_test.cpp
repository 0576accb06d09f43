// The near-end talker through the whole canceller: a talker alone comes out near its own
// level (the output gain levels it), and a far-end tone that never reaches the microphone
// leaves the talker's output level as it is without the far end.
#include "echo_canceller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "aec_frame.h"
#include "serrin_config.h"
#include "serrin_test_support.h"

namespace {

constexpr int kFrame = 960;
constexpr double kPi = 3.14159265358979323846;

std::vector<int16_t> Tone(int frames, double hz, double amplitude) {
  std::vector<int16_t> out(static_cast<size_t>(frames) * kFrame);
  for (size_t n = 0; n < out.size(); ++n) {
    out[n] = static_cast<int16_t>(std::lround(amplitude * std::sin(2 * kPi * hz * n / 48000.0)));
  }
  return out;
}

// A near talker of `frames` frames (synthetic syllables with pauses, voiced RMS 5000).
std::vector<int16_t> Talk(int frames, double pitch_hz, uint32_t seed) {
  return serrin_test::Talker(static_cast<size_t>(frames) * kFrame, 5000.0f, pitch_hz, seed);
}

double RmsDb(const int16_t* x, size_t n) {
  double e = 0.0;
  for (size_t i = 0; i < n; ++i) e += static_cast<double>(x[i]) * x[i];
  return 10.0 * std::log10(e / n / (32768.0 * 32768.0) + 1e-20);
}

struct Level {
  double in_db;
  double out_db;
  int mode_counts[4];
};

// Feeds the microphone frames (and the far end into the delay line, when given; none of it
// reaches the microphone) and measures the last `tail` frames of output against the input.
Level Measure(const std::vector<int16_t>& near, const std::vector<int16_t>* far, bool ans, int tail) {
  std::unique_ptr<CAEC> aec = CAEC::Create();
  int16_t mic[kFrame], mic2[kFrame] = {}, out[kFrame], side[kFrame] = {};
  AecFrameResults results;
  AECFrame frame = aec_frame_make(AecFrameInputs{mic, mic2, false, false, ans, out, side}, &results);
  const int frames = static_cast<int>(near.size() / kFrame);
  std::vector<int16_t> output;
  Level run{};
  for (int i = 0; i < frames; ++i) {
    for (int n = 0; n < kFrame; ++n) {
      mic[n] = near[i * kFrame + n];
    }
    if (far != nullptr) aec->WriteFarEnd(&(*far)[i * kFrame]);
    aec->Process(&frame);
    if (i >= frames - tail) {
      output.insert(output.end(), out, out + kFrame);
      ++run.mode_counts[aec->State()->echo_mode & 3];
    }
  }
  run.in_db = RmsDb(&near[near.size() - output.size()], output.size());
  run.out_db = RmsDb(output.data(), output.size());
  std::printf("near %.2f dBFS out %.2f dBFS modes 1:%d 2:%d 3:%d\n", run.in_db, run.out_db, run.mode_counts[1],
              run.mode_counts[2], run.mode_counts[3]);
  return run;
}

class NearEnd : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { serrin_config()->music_mode.store(0); }
};

}  // namespace

// A near talker with no far end is single talk: it keeps its level (within 3 dB of the
// input, a level the output gain leaves), with and without noise suppression.
TEST_P(NearEnd, TalkerAloneKeepsItsLevel) {
  const std::vector<int16_t> near = Talk(500, 120.0, 1);
  const Level run = Measure(near, nullptr, GetParam(), 150);
  EXPECT_NEAR(run.out_db, run.in_db, 3.0);
}

// A far-end tone plays but nothing of it reaches the microphone: the near talker comes out
// as it does without the far end (within 3 dB).
TEST_P(NearEnd, UncoupledFarEndLeavesTheNearEnd) {
  const std::vector<int16_t> near = Talk(500, 120.0, 2);
  const std::vector<int16_t> far = Tone(500, 500.0, 12000.0);
  const Level run = Measure(near, &far, GetParam(), 150);
  const Level alone = Measure(near, nullptr, GetParam(), 150);
  EXPECT_NEAR(run.out_db, alone.out_db, 3.0);
}

// The same with a far-end tone above the talker's first formants.
TEST_P(NearEnd, UncoupledHigherFarEndLeavesTheNearEnd) {
  const std::vector<int16_t> near = Talk(500, 210.0, 4);
  const std::vector<int16_t> far = Tone(500, 1500.0, 12000.0);
  const Level run = Measure(near, &far, GetParam(), 150);
  const Level alone = Measure(near, nullptr, GetParam(), 150);
  EXPECT_NEAR(run.out_db, alone.out_db, 3.0);
}

// A meeting's first seconds: two seconds of silence, then both at once; the near end is
// judged from 0.3 s to 2.3 s after its onset.
TEST_P(NearEnd, UncoupledFarEndFromTheOnset) {
  std::vector<int16_t> near = Talk(250, 120.0, 6);
  std::vector<int16_t> far = Tone(250, 1500.0, 12000.0);
  std::fill(near.begin(), near.begin() + 100 * kFrame, 0);
  std::fill(far.begin(), far.begin() + 100 * kFrame, 0);
  near.resize(215 * kFrame);
  far.resize(215 * kFrame);
  const Level run = Measure(near, &far, GetParam(), 100);
  const Level alone = Measure(near, nullptr, GetParam(), 100);
  EXPECT_NEAR(run.out_db, alone.out_db, 3.0);
}

INSTANTIATE_TEST_SUITE_P(Ans, NearEnd, ::testing::Bool());
