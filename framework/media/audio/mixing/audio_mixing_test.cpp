#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "audio_level_meter.h"
#include "audio_stream_mixer.h"
#include "mix_tap.h"

namespace {

using tessarine::AudioLevelMeter;
using tessarine::AudioStreamInfo;
using tessarine::AudioStreamMixer;
using tessarine::MixTap;

std::vector<int16_t> Constant(size_t n, int16_t v) { return std::vector<int16_t>(n, v); }

// Levels: silence is 0, full scale 100, -20 dBFS about 67; peak and average cover the
// last second only.
TEST(AudioLevelMeterTest, LevelsOfFramesAndHistory) {
  EXPECT_EQ(AudioLevelMeter::FrameLevel(Constant(960, 0).data(), 960), 0);
  EXPECT_EQ(AudioLevelMeter::FrameLevel(Constant(960, 32767).data(), 960), 100);
  EXPECT_EQ(AudioLevelMeter::FrameLevel(Constant(960, 3277).data(), 960), 67);
  EXPECT_EQ(AudioLevelMeter::FrameLevel(nullptr, 960), 0);

  AudioLevelMeter meter;
  meter.AddFrame(Constant(960, 32767).data(), 960);
  meter.AddFrame(Constant(960, 0).data(), 960);
  auto levels = meter.levels();
  EXPECT_EQ(levels.current, 0);
  EXPECT_EQ(levels.peak, 100);
  EXPECT_EQ(levels.average, 50);
  for (size_t i = 0; i < AudioLevelMeter::kHistoryFrames; ++i) meter.AddFrame(Constant(960, 0).data(), 960);
  EXPECT_EQ(meter.levels().peak, 0);
}

// Streams: ids are distinct and non-zero; the mix is the saturated sum; a stream short
// of data adds what it has; unknown streams are refused.
TEST(AudioStreamMixerTest, MixesStreamsWithSaturation) {
  AudioStreamMixer mixer;
  const int32_t a = mixer.Create(), b = mixer.Create();
  EXPECT_NE(a, 0);
  EXPECT_NE(b, 0);
  EXPECT_NE(a, b);
  ASSERT_TRUE(mixer.Write(a, Constant(4, 30000).data(), 4));
  ASSERT_TRUE(mixer.Write(b, Constant(2, 10000).data(), 2));
  EXPECT_FALSE(mixer.Write(a + b + 7, Constant(2, 1).data(), 2));
  int16_t out[4];
  EXPECT_EQ(mixer.MixNext(out, 4), 2u);
  EXPECT_EQ(out[0], 32767);
  EXPECT_EQ(out[1], 32767);
  EXPECT_EQ(out[2], 30000);
  EXPECT_EQ(out[3], 30000);
  EXPECT_EQ(mixer.MixNext(out, 4), 0u);
  EXPECT_EQ(out[0], 0);

  AudioStreamInfo info;
  EXPECT_TRUE(mixer.NotePacket(a, 2));
  EXPECT_TRUE(mixer.Info(a, &info));
  EXPECT_EQ(info.packets, 1);
  EXPECT_EQ(info.lost, 2);
  EXPECT_TRUE(mixer.Remove(a));
  EXPECT_FALSE(mixer.Info(a, &info));
  EXPECT_FALSE(mixer.Remove(a));
}

// A stream holds at most one second: writing more keeps the newest samples.
TEST(AudioStreamMixerTest, OverflowKeepsTheNewest) {
  AudioStreamMixer mixer;
  const int32_t id = mixer.Create();
  std::vector<int16_t> old = Constant(AudioStreamMixer::kMaxQueuedSamples, 1);
  ASSERT_TRUE(mixer.Write(id, old.data(), old.size()));
  ASSERT_TRUE(mixer.Write(id, Constant(10, 2).data(), 10));
  std::vector<int16_t> out(AudioStreamMixer::kMaxQueuedSamples);
  mixer.MixNext(out.data(), out.size());
  EXPECT_EQ(out.front(), 1);
  EXPECT_EQ(out.back(), 2);
  EXPECT_EQ(out[out.size() - 11], 1);
}

// The mix tap: without playback a captured frame is a mix frame at once; with playback
// captured frames wait and each played frame takes the oldest (or plays alone).
TEST(MixTapTest, PairsCapturedWithPlayedFrames) {
  MixTap tap;
  std::vector<int16_t> out;
  ASSERT_TRUE(tap.OnCaptured(Constant(3, 5).data(), 3, false, &out));
  EXPECT_EQ(out, Constant(3, 5));

  EXPECT_FALSE(tap.OnCaptured(Constant(3, 100).data(), 3, true, &out));
  EXPECT_FALSE(tap.OnCaptured(Constant(3, 200).data(), 3, true, &out));
  tap.OnPlayed(Constant(3, 32700).data(), 3, &out);
  EXPECT_EQ(out, Constant(3, 32767));
  tap.OnPlayed(Constant(3, 1).data(), 3, &out);
  EXPECT_EQ(out, Constant(3, 201));
  tap.OnPlayed(Constant(3, 7).data(), 3, &out);
  EXPECT_EQ(out, Constant(3, 7));

  for (int i = 0; i < 20; ++i) tap.OnCaptured(Constant(3, static_cast<int16_t>(i)).data(), 3, true, &out);
  EXPECT_EQ(tap.waiting(), MixTap::kMaxWaitingFrames);
  tap.OnPlayed(Constant(3, 0).data(), 3, &out);
  EXPECT_EQ(out, Constant(3, 10));  // the ten oldest were dropped
}

}  // namespace
