#include "playback/was_playback.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "core/audio_core.h"
#include "core/library_state.h"
#include "testing/log_capture.h"
#include "testing/scripted_device_layer.h"
#include "testing/wait_until.h"

namespace {

const std::wstring kSpeakers = L"{00000000-0000-0000-0000-0000000000A1}";
const std::wstring kSurround = L"{00000000-0000-0000-0000-0000000000A2}";

void Tone(short* buffer, int* bytes, void*) {
  static int64_t n = 0;
  for (int i = 0; i < 960; ++i, ++n) buffer[i] = static_cast<short>(8000 * std::sin(2 * 3.14159265358979 * n / 48.0));
  *bytes = 1920;
}

class WASPlaybackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Library().Reset();
    layer_.AddEndpoint(EndpointFlow::kRender, kSpeakers, L"Speakers (USB)", 48000, 2);
    layer_.AddEndpoint(EndpointFlow::kRender, kSurround, L"Surround", 48000, 6);
    layer_.SetDefault(EndpointFlow::kRender, kSpeakers);
  }
  void TearDown() override { Library().Reset(); }

  // Fills the core's render ring above its threshold with a ramp.
  void PrimeRing() {
    std::vector<int16_t> ramp(3840);
    for (int i = 0; i < 3840; ++i) ramp[i] = static_cast<int16_t>(i);
    ASSERT_EQ(core_.render_ring().Write(ramp.data(), 7680), RingBuffer::kOk);
  }

  // Runs the render thread on the default speakers until the device has taken every packet
  // it was scripted to take.
  void PlayAllPackets() {
    WASPlayback playback(&layer_, &core_);
    playback.Init(nullptr);
    playback.Start();
    ASSERT_TRUE(WaitUntil([&] {
      bool done = false;
      layer_.Inspect(kSpeakers, [&](const ScriptedEndpoint& e) { done = e.packets_available == 0; });
      return done;
    }));
    playback.Stop();
  }

  ScriptedDeviceLayer layer_;
  AudioCore core_;
};

// Verifies that a stereo device gets one pull of mono audio with every sample doubled.
TEST_F(WASPlaybackTest, StereoDeviceGetsDoubledMono) {
  WASPlayback playback(&layer_, &core_);
  playback.Init(nullptr);
  ASSERT_TRUE(playback.has_device());
  EXPECT_EQ(playback.rate(), 48000);
  EXPECT_EQ(playback.channels(), 2);
  EXPECT_EQ(playback.format().bits_per_sample, 16);
  EXPECT_EQ(ClassifyFormat(playback.format()), SampleType::kInteger);
  EXPECT_EQ(core_.speaker_name(), "Speakers (USB)");
  PrimeRing();
  std::vector<int16_t> out(960, 0x5555);
  playback.FillBuffer(reinterpret_cast<uint8_t*>(out.data()), 480 * 4, 48000);
  for (int i = 0; i < 480; ++i) {
    ASSERT_EQ(out[2 * i], i);
    ASSERT_EQ(out[2 * i + 1], i);
  }
  EXPECT_EQ(core_.render_ring().Filled(), 7680 - 960);
  EXPECT_EQ(playback.played_bytes(), 1920);
}

// Verifies that a device with six channels plays silence.
TEST_F(WASPlaybackTest, SixChannelDevicePlaysSilence) {
  WASPlayback playback(&layer_, &core_);
  playback.Init(kSurround.c_str());
  ASSERT_EQ(playback.channels(), 6);
  PrimeRing();
  std::vector<int16_t> out(480 * 6, 0x5555);
  playback.FillBuffer(reinterpret_cast<uint8_t*>(out.data()), 480 * 12, 48000);
  for (int16_t s : out) ASSERT_EQ(s, 0);
}

// Verifies the render loop: free space under 10 ms is left for the next wake-up.
TEST_F(WASPlaybackTest, WritesOnlyWhenTenMillisecondsAreFree) {
  layer_.Configure(kSpeakers, [](ScriptedEndpoint& e) {
    e.consume_per_wake = 300;
    e.packets_available = 4;
  });
  LogCapture log;
  PlayAllPackets();
  layer_.Inspect(kSpeakers, [](const ScriptedEndpoint& e) {
    EXPECT_EQ(e.last_buffer_duration, 500000);
    ASSERT_EQ(e.render_requests.size(), 2u);
    EXPECT_EQ(e.render_requests[0], 600u);
    EXPECT_EQ(e.render_requests[1], 600u);
  });
  EXPECT_TRUE(log.Contains("WASPlayback::PlayProc loop end."));
  EXPECT_EQ(layer_.com_balance(), 0);
}

// A far end that counts: 960 samples of 1, 2, 3, ... a call.
void Count(short* buffer, int* bytes, void*) {
  static int n = 0;
  for (int i = 0; i < 960; ++i) buffer[i] = static_cast<short>(++n);
  *bytes = 1920;
}

// Verifies that after a late wake-up (the device played its whole buffer) the whole free space
// is written in steps of at most 20 ms, and that the far end reaches the device without a gap.
TEST_F(WASPlaybackTest, LateWakeUpGetsTheWholeFreeSpace) {
  Library().render_callback = &Count;
  layer_.Configure(kSpeakers, [](ScriptedEndpoint& e) {
    e.consume_per_wake = 2400;
    e.packets_available = 2;
  });
  PlayAllPackets();
  layer_.Inspect(kSpeakers, [](const ScriptedEndpoint& e) {
    const std::vector<uint32_t> steps = {960, 960, 480, 960, 960, 480};
    EXPECT_EQ(e.render_requests, steps);
    // Until the core's ring holds 120 ms the device gets silence; from then on every sample.
    std::vector<int16_t> left;
    for (size_t i = 0; i < e.rendered.size(); i += 2) left.push_back(e.rendered[i]);
    ASSERT_EQ(left.size(), 4800u);
    const int first = left[1920];
    EXPECT_GT(first, 0);
    for (size_t i = 0; i < 1920; ++i) ASSERT_EQ(left[i], 0) << i;
    for (size_t i = 1920; i < left.size(); ++i) ASSERT_EQ(left[i], first + static_cast<int>(i - 1920)) << i;
  });
}

// Verifies playback end to end and the reopening of a render device that stops signalling.
TEST_F(WASPlaybackTest, PlaysFarEndAndReopensLostDevice) {
  Library().render_callback = &Tone;
  LogCapture log;
  WASPlayback playback(&layer_, &core_);
  ASSERT_EQ(playback.EnumPlayoutDevices(true), kS_OK);
  playback.Init(nullptr);
  playback.Start();
  auto rendered = [&] {
    size_t n = 0;
    layer_.Inspect(kSpeakers, [&](const ScriptedEndpoint& e) { n = e.rendered.size(); });
    return n;
  };
  ASSERT_TRUE(WaitUntil([&] { return rendered() > 48000; }));
  float volume = 0.0f;
  EXPECT_TRUE(playback.GetVolume(&volume));
  EXPECT_TRUE(playback.SetVolume(0.25f));
  layer_.BreakStreams(kSpeakers);
  ASSERT_TRUE(WaitUntil([&] { return log.Contains("RestartPlayThreadProc, after sleep"); }));
  const size_t at_restart = rendered();
  ASSERT_TRUE(WaitUntil([&] { return rendered() > at_restart + 48000; }));
  playback.Stop();
  EXPECT_FALSE(playback.GetVolume(&volume));
  layer_.Inspect(kSpeakers, [](const ScriptedEndpoint& e) {
    EXPECT_EQ(e.streams_started, 2);
    EXPECT_EQ(e.session_volume, 0.25f);
    int peak = 0;
    for (size_t i = e.rendered.size() - 2000; i < e.rendered.size(); ++i) {
      peak = std::max(peak, std::abs(static_cast<int>(e.rendered[i])));
    }
    EXPECT_NEAR(peak, 8000, 300);
  });
}

// Verifies the playout list: the first entry is selected, and a failed enumeration keeps the list.
TEST_F(WASPlaybackTest, PlayoutListSurvivesFailedEnumeration) {
  WASPlayback playback(&layer_, &core_);
  ASSERT_EQ(playback.EnumPlayoutDevices(true), kS_OK);
  ASSERT_EQ(playback.devices().size(), 2u);
  Guid speakers;
  ParseGuidText(kSpeakers, &speakers);
  EXPECT_EQ(playback.device_guid(), speakers);
  layer_.SetPlayoutDevices({}, kE_FAIL);
  EXPECT_EQ(playback.EnumPlayoutDevices(false), kE_FAIL);
  EXPECT_EQ(playback.devices().size(), 2u);
}

// Verifies that an unknown playout device leaves playback without a device, and the thread ends.
TEST_F(WASPlaybackTest, UnmatchedDeviceLeavesPlaybackSilent) {
  LogCapture log;
  WASPlayback playback(&layer_, &core_);
  Guid unknown = {0x12345678, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
  playback.ResetDevice(unknown);
  EXPECT_FALSE(playback.has_device());
  EXPECT_TRUE(log.Contains("FAILED to FIND a matched device"));
  ASSERT_TRUE(WaitUntil([&] { return log.Contains("Unexpected: m_spDevice NULL"); }));
  playback.Stop();
}

}  // namespace
