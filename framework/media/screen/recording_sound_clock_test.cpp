// The recording's sound against its clock: a device that delivers slower than real time,
// or starts late, gets silence where its sound is missing, so that the track stays with
// the picture and ends with the video; jitter and bursts pass without silence.
#include <gtest/gtest.h>

#include "recording_sound_clock.h"

namespace tessarine::media {
namespace {

constexpr int kRate = 48000;
constexpr size_t kBlock = 960;  // 20 ms

// Feeds `blocks` blocks arriving every `period_us`; returns the track's frames and adds
// the silence written to *silence.
uint64_t Feed(const RecordingSoundClock& clock, int blocks, uint64_t period_us, uint64_t first_ms, uint64_t* silence) {
  uint64_t written = 0;
  for (int n = 0; n < blocks; ++n) {
    const uint64_t now_ms = first_ms + static_cast<uint64_t>(n) * period_us / 1000;
    const uint64_t gap = clock.SilenceBefore(written, kBlock, now_ms);
    *silence += gap;
    written += gap + kBlock;
  }
  return written;
}

TEST(RecordingSoundClockTest, RealTimeSoundGetsNoSilence) {
  const RecordingSoundClock clock(kRate);
  uint64_t silence = 0;
  const uint64_t written = Feed(clock, 200, 20000, 20, &silence);  // four seconds
  EXPECT_EQ(silence, 0u);
  EXPECT_EQ(written, 200u * kBlock);
  EXPECT_EQ(clock.SilenceToEnd(written, 4000), 0u);
}

// The measured case: the mix came every 23 ms instead of 20 (4.09 s gave 3.52 s of sound).
TEST(RecordingSoundClockTest, SlowDeviceStaysWithThePicture) {
  const RecordingSoundClock clock(kRate);
  uint64_t silence = 0;
  const int blocks = 177;  // 4.07 s at 23 ms
  uint64_t written = Feed(clock, blocks, 23000, 23, &silence);
  EXPECT_GT(silence, 0u);
  // Never further behind the clock than the slack, plus a block.
  const uint64_t now_ms = 23 + static_cast<uint64_t>(blocks - 1) * 23;
  EXPECT_GE(written + (RecordingSoundClock::kSlackMs + 20) * kRate / 1000, now_ms * kRate / 1000);
  written += clock.SilenceToEnd(written, 4100);
  EXPECT_EQ(written, 4100u * kRate / 1000) << "the track ends with the video";
}

TEST(RecordingSoundClockTest, LateStartIsSilence) {
  const RecordingSoundClock clock(kRate);
  // The first block arrives half a second after the start: its sound began 20 ms before.
  EXPECT_EQ(clock.SilenceBefore(0, kBlock, 500), 480u * kRate / 1000);
  // Within the slack nothing is added.
  EXPECT_EQ(clock.SilenceBefore(0, kBlock, 20 + RecordingSoundClock::kSlackMs), 0u);
}

// A stall followed by a burst of the held blocks: silence for the stall's excess over the
// slack only, and none during the burst.
TEST(RecordingSoundClockTest, BurstAfterAStallAddsNoMoreSilence) {
  const RecordingSoundClock clock(kRate);
  uint64_t written = 50 * kBlock;  // one second on time
  const uint64_t gap = clock.SilenceBefore(written, kBlock, 1000 + 100);
  EXPECT_EQ(gap, (100 - 20) * kRate / 1000u);
  written += gap + kBlock;
  for (int n = 0; n < 4; ++n) {
    EXPECT_EQ(clock.SilenceBefore(written, kBlock, 1100), 0u);
    written += kBlock;
  }
}

TEST(RecordingSoundClockTest, TrackLongerThanTheVideoIsLeft) {
  const RecordingSoundClock clock(kRate);
  EXPECT_EQ(clock.SilenceToEnd(5 * kRate, 4000), 0u);
  EXPECT_EQ(clock.SilenceToEnd(0, 0), 0u);
}

}  // namespace
}  // namespace tessarine::media
