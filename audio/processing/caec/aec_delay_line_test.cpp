#include "aec_delay_line.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <memory>
#include <thread>
#include <vector>

#include "serrin_test_support.h"

using serrin_test::LogCapture;
using serrin_test::SpeechLike;

namespace {

std::unique_ptr<AecDelayLine> LineWithDelay(int32_t delay) {
  std::unique_ptr<AecDelayLine> line(new AecDelayLine());
  line->SetBufferDelay(delay);
  resample_reset(line.get());
  return line;
}

}  // namespace

// Verifies the start positions and what a reset makes of various buffer delays.
TEST(AecDelayLine, ResetPositions) {
  AecDelayLine fresh;
  AecDelayLine::Positions p = fresh.Snapshot();
  EXPECT_EQ(p.read_step, 1.0);
  EXPECT_EQ(p.read_position, 960.0);
  EXPECT_EQ(p.write_index, 2880);
  EXPECT_EQ(p.buffer_delay, 1920);

  struct Case {
    int32_t delay, write_index;
    double read_position;
    int32_t kept_delay;
  };
  for (const Case& c :
       {Case{1920, 2880, 960.0, 1920}, Case{2000, 2880, 880.0, 2000}, Case{2400, 2880, 480.0, 2400},
        Case{900, 2880, 960.0, 1920}, Case{13441, 2880, 960.0, 1920}, Case{13440, 14400, 960.0, 13440}}) {
    auto line = LineWithDelay(c.delay);
    p = line->Snapshot();
    EXPECT_EQ(p.buffer_delay, c.kept_delay) << c.delay;
    EXPECT_EQ(p.write_index, c.write_index) << c.delay;
    EXPECT_EQ(p.read_position, c.read_position) << c.delay;
    EXPECT_EQ(line->CurrentDelay(), c.kept_delay) << c.delay;
  }
}

// Verifies that a reset with the reset count above 2 falls back to the default delay.
TEST(AecDelayLine, TooManyResetsFallBack) {
  LogCapture log;
  auto line = LineWithDelay(4800);
  line->CountReset();
  line->CountReset();
  resample_reset(line.get());  // count 2: keeps the delay
  EXPECT_EQ(line->BufferDelay(), 4800);
  EXPECT_EQ(line->CurrentDelay(), 4800);
  line->CountReset();
  resample_reset(line.get());  // count 3
  EXPECT_EQ(line->BufferDelay(), 1920);
  EXPECT_EQ(line->ResetCount(), 0);
  EXPECT_EQ(line->CurrentDelay(), 1920);
  EXPECT_EQ(log.Count("resample_reset: err reset count too much, use default delay buffer size."), 1);
}

// Verifies that the aligned output is the written signal delayed by the buffer delay plus
// the filter's 8 samples, scaled by about 0.957.
TEST(AecDelayLine, AlignsAKnownDelay) {
  for (int32_t delay : {1920, 2400, 7000}) {
    auto line = LineWithDelay(delay);
    const int frames = 20;
    const std::vector<int16_t> far = SpeechLike(960 * frames, 20000.0f, 7);
    std::vector<int16_t> out(960 * frames);
    for (int f = 0; f < frames; ++f) {
      line->Write(&far[960 * f]);
      line->ReadAligned(&out[960 * f]);
    }
    const int lag = delay + 8;
    for (int n = 0; n < lag && n < 960 * frames; ++n) ASSERT_EQ(out[n], 0) << n;
    for (int n = lag; n < 960 * frames; ++n) {
      ASSERT_NEAR(out[n], far[n - lag] * 0.95744, 1.0) << "delay " << delay << " n " << n;
    }
  }
}

// Verifies that the latest frame is the last one written, also across the ring's end.
TEST(AecDelayLine, LatestFrameAcrossTheEnd) {
  auto line = LineWithDelay(1920);
  int16_t frame[960];
  int16_t latest[960];
  for (int f = 0; f < 60; ++f) {
    for (int16_t& v : frame) v = static_cast<int16_t>(f);
    line->Write(frame);
    line->Latest(latest);
    ASSERT_EQ(latest[0], f);
    ASSERT_EQ(latest[959], f);
    ASSERT_GE(line->Snapshot().write_index, 0);
    ASSERT_LT(line->Snapshot().write_index, 48000);
  }
}

// Verifies that shifts wrap the write index into the ring and move the delay by frames.
TEST(AecDelayLine, ShiftsWrap) {
  auto line = LineWithDelay(1920);
  line->ShiftFrames(2);
  EXPECT_EQ(line->CurrentDelay(), 1920 + 1920);
  line->ShiftFrames(47);  // 2880 + 49 * 960 = 49920 -> 1920
  EXPECT_EQ(line->Snapshot().write_index, 1920);
  line->ShiftFrames(-3);  // -960 -> 47040
  EXPECT_EQ(line->Snapshot().write_index, 47040);
}

// Verifies that read steps outside 0.5..2.0 or not finite are ignored.
TEST(AecDelayLine, RejectsUnsoundReadSteps) {
  AecDelayLine line;
  line.SetReadStep(1.001);
  EXPECT_EQ(line.Snapshot().read_step, 1.001);
  for (double bad : {0.0, -1.0, 5.0, std::nan(""), 1e300}) line.SetReadStep(bad);
  EXPECT_EQ(line.Snapshot().read_step, 1.001);
  // A fractional step keeps the position inside the ring.
  int16_t frame[960] = {};
  for (int f = 0; f < 200; ++f) {
    line.Write(frame);
    line.ReadAligned(frame);
    const double pos = line.Snapshot().read_position;
    ASSERT_GE(pos, 0.0);
    ASSERT_LT(pos, 48000.0);
  }
}

// Verifies the interpolation table: per-phase sums and the peak moving from tap 8 to 7.
TEST(AecDelayLine, InterpolationTable) {
  const float* c = aec_interpolation_table();
  for (int ph = 0; ph < kInterpolationPhases; ++ph) {
    float sum = 0.0f;
    int peak = 0;
    for (int t = 0; t < kInterpolationTaps; ++t) {
      sum += c[t * kInterpolationPhases + ph];
      if (c[t * kInterpolationPhases + ph] > c[peak * kInterpolationPhases + ph]) peak = t;
    }
    ASSERT_NEAR(sum, 0.00374f, 1e-6f) << ph;
    ASSERT_EQ(peak, ph < 128 ? 8 : 7) << ph;
  }
}

// Verifies that a render thread writing while the capture side reads keeps the line sound.
TEST(AecDelayLine, ConcurrentWriteAndRead) {
  auto line = LineWithDelay(1920);
  std::atomic<bool> stop{false};
  std::thread render([&] {
    int16_t frame[960];
    for (int16_t& v : frame) v = 1000;
    while (!stop.load()) line->Write(frame);
  });
  int16_t out[960];
  for (int i = 0; i < 2000; ++i) {
    line->ReadAligned(out);
    line->Latest(out);
    const int32_t d = line->CurrentDelay();
    ASSERT_GE(d, 0);
    ASSERT_LT(d, 48000);
  }
  stop.store(true);
  render.join();
}
