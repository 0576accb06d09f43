#include "capture/mic_capture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <mutex>
#include <thread>
#include <vector>

#include "core/audio_core.h"
#include "core/library_state.h"
#include "testing/log_capture.h"
#include "testing/scripted_device_layer.h"
#include "testing/wait_until.h"

namespace {

const std::wstring kMainId = L"{00000000-0000-0000-0000-000000000001}";
const std::wstring kOtherId = L"{00000000-0000-0000-0000-000000000002}";
const std::wstring kMixId = L"{00000000-0000-0000-0000-000000000003}";
const std::wstring kFourthId = L"{00000000-0000-0000-0000-000000000004}";
const std::wstring kStereoMix = L"\u7ACB\u4F53\u58F0\u6DF7\u97F3 (Realtek)";

std::mutex g_frames_mutex;
std::vector<std::vector<int16_t>> g_frames;
void Capture(const short* pcm, int bytes, int) {
  std::lock_guard<std::mutex> lock(g_frames_mutex);
  g_frames.emplace_back(pcm, pcm + bytes / 2);
}
size_t FrameCount() {
  std::lock_guard<std::mutex> lock(g_frames_mutex);
  return g_frames.size();
}

// Level control stand-in that records the calls.
struct LevelScript {
  uint32_t level = 40000;
  int decreases = 0;
  float last_decrease_energy = 0.0f;
  int increases = 0;
  int increase_result = 1;
  int sets = 0;
};
LevelScript g_level;

class FakeLevel : public MicLevelControl {
 public:
  HResult GetLevel(uint32_t* level) override {
    *level = g_level.level;
    return kS_OK;
  }
  HResult SetLevel(uint32_t level) override {
    ++g_level.sets;
    g_level.level = level;
    return kS_OK;
  }
  float GetBoostDb() override { return -1.0f; }
  bool DecreaseStep(float energy) override {
    ++g_level.decreases;
    g_level.last_decrease_energy = energy;
    clip_count = 0;
    return true;
  }
  int IncreaseStep(float) override {
    ++g_level.increases;
    return g_level.increase_result;
  }
  void ApplyDigitalGain(DigitalGain*, int16_t*, int) override {}
};
std::unique_ptr<MicLevelControl> MakeFakeLevel(const Guid&) { return std::unique_ptr<MicLevelControl>(new FakeLevel); }

class MicCaptureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Library().Reset();
    Library().capture_callback = &Capture;
    MicCapture::ClearTriedSecondMics();
    g_frames.clear();
    g_level = LevelScript();
    core_.set_processing_off(true);
    layer_.AddEndpoint(EndpointFlow::kCapture, kMainId, L"Microphone (USB Audio)", 44100, 2);
    layer_.AddEndpoint(EndpointFlow::kCapture, kOtherId, L"Headset Microphone", 48000, 1);
    layer_.SetDefault(EndpointFlow::kCapture, kMainId);
    // A 1 kHz tone at half scale on the left channel.
    layer_.Configure(kMainId, [](ScriptedEndpoint& e) {
      e.source = [](int64_t frame, int channel) {
        return channel == 0 ? 0.5 * std::sin(2 * 3.14159265358979 * 1000.0 * frame / 44100.0) : 0.0;
      };
    });
  }
  void TearDown() override { Library().Reset(); }

  ScriptedDeviceLayer layer_;
  AudioCore core_;
};

// Verifies that the device list can be read while another thread re-enumerates it: every
// reader gets a whole list of its own. The writer goes on until the reader has read 300
// times, however the two threads are scheduled.
TEST_F(MicCaptureTest, DeviceListReadWhileRewritten) {
  MicCapture mic(&layer_, false, &core_);
  layer_.AddEndpoint(EndpointFlow::kCapture, kMixId, L"Line In (Realtek)", 48000, 2);
  ASSERT_EQ(mic.EnumDevices(), kS_OK);
  constexpr int kRounds = 300;
  std::atomic<bool> done{false};
  std::atomic<int> reads{0};
  std::thread writer([&] {
    for (int i = 0; i < kRounds || reads < kRounds; ++i) {
      if (i % 2) {
        layer_.AddEndpoint(EndpointFlow::kCapture, kFourthId, L"Fourth Microphone With A Long Name", 48000, 1);
      } else {
        layer_.RemoveEndpoint(kFourthId);
      }
      mic.EnumDevices();
    }
    done = true;
  });
  bool whole = true;
  while (!done && whole) {
    const std::vector<DeviceRecord> list = mic.devices();
    EXPECT_TRUE(list.size() == 3 || list.size() == 4) << list.size();
    whole = list.size() == 3 || list.size() == 4;
    for (const DeviceRecord& r : list) {
      EXPECT_FALSE(r.name.empty());
      whole = whole && !r.name.empty();
    }
    ++reads;
  }
  if (!whole) reads = kRounds;  // lets the writer end
  writer.join();
  EXPECT_GE(reads, kRounds);
}

// Verifies the device list: default microphone first, and kept when no endpoint is active.
TEST_F(MicCaptureTest, EnumDevicesPutsDefaultFirst) {
  MicCapture mic(&layer_, false, &core_);
  layer_.SetDefault(EndpointFlow::kCapture, kOtherId);
  ASSERT_EQ(mic.EnumDevices(), kS_OK);
  ASSERT_EQ(mic.devices().size(), 2u);
  EXPECT_EQ(mic.devices()[0].name, L"Headset Microphone");
  EXPECT_EQ(mic.devices()[0].id.data4[7], 2);
  layer_.RemoveEndpoint(kMainId);
  layer_.RemoveEndpoint(kOtherId);
  LogCapture log;
  EXPECT_EQ(mic.EnumDevices(), kS_OK);
  EXPECT_EQ(mic.devices().size(), 2u);
  EXPECT_TRUE(log.Contains(" m_uDevCount = 0, No device has been found"));
  layer_.FailEnumeration(true);
  EXPECT_TRUE(Failed(mic.EnumDevices()));
  EXPECT_EQ(mic.devices().size(), 2u);
}

// Verifies opening: the default endpoint, the first shared rate, the chunk size, the mic name.
TEST_F(MicCaptureTest, InitChoosesRateAndChunk) {
  LogCapture log;
  MicCapture mic(&layer_, false, &core_);
  ASSERT_EQ(mic.Init(nullptr), kS_OK);
  EXPECT_EQ(mic.rate(), 44100);
  EXPECT_EQ(mic.chunk(), 882);
  EXPECT_EQ(mic.channels(), 2);
  EXPECT_EQ(mic.sample_type(), SampleType::kFloat);
  EXPECT_EQ(core_.mic_name(), "Microphone (USB Audio)");
  EXPECT_EQ(MicCapture::MainDeviceId(), kMainId);
  EXPECT_TRUE(log.Contains("CheckFormat() SHARED mode succeeded. Smapling rate: 44100"));
  EXPECT_TRUE(log.Contains("not built-in mic, exclusive mode false."));

  ASSERT_EQ(mic.Init(kOtherId.c_str()), kS_OK);
  EXPECT_EQ(mic.rate(), 48000);
  EXPECT_EQ(mic.chunk(), 960);

  EXPECT_EQ(mic.Init(L"{00000000-0000-0000-0000-0000000000FF}"), kE_FAIL);
  EXPECT_TRUE(log.Contains("FAILED to FIND a matched device"));
  EXPECT_FALSE(mic.has_device());
}

// Verifies capture end to end on the scripted device: 44.1 kHz float stereo in, 48 kHz frames out.
TEST_F(MicCaptureTest, CapturesFramesThroughTheCore) {
  layer_.Configure(kMainId, [](ScriptedEndpoint& e) { e.packets_available = 100; });  // one second
  {
    MicCapture mic(&layer_, false, &core_);
    ASSERT_EQ(mic.Init(nullptr), kS_OK);
    mic.Start();
    ASSERT_TRUE(WaitUntil([] { return FrameCount() >= 50; }));
    mic.Stop();
    EXPECT_FALSE(mic.running());
  }
  EXPECT_EQ(FrameCount(), 50u);
  int peak = 0;
  for (int16_t s : g_frames[40]) peak = std::max(peak, std::abs(static_cast<int>(s)));
  EXPECT_NEAR(peak, 16383, 800);
  EXPECT_EQ(layer_.com_balance(), 0);
  EXPECT_EQ(layer_.open_streams(), 0);
  layer_.Inspect(kMainId, [](const ScriptedEndpoint& e) {
    EXPECT_FALSE(e.last_exclusive);
    EXPECT_EQ(e.last_buffer_duration, 400000);  // shared below 48 kHz: four periods
  });
}

// Verifies that every packet the device holds at a wake-up is read: three arrive per
// wake-up (a thread that wakes late, or a driver that signals every 30 ms), none is
// overwritten, and the frames carry the tone without a skip.
TEST_F(MicCaptureTest, PacketsArrivingTogetherAreAllRead) {
  layer_.Configure(kMainId, [](ScriptedEndpoint& e) {
    e.packets_available = 150;  // 1.5 s
    e.packets_per_wake = 3;
    // 10.25 periods per packet: a lost packet turns the phase by a quarter.
    e.source = [](int64_t frame, int channel) {
      return channel == 0 ? 0.5 * std::sin(2 * 3.14159265358979 * 1025.0 * frame / 44100.0) : 0.0;
    };
  });
  {
    MicCapture mic(&layer_, false, &core_);
    ASSERT_EQ(mic.Init(nullptr), kS_OK);
    mic.Start();
    EXPECT_TRUE(WaitUntil([] { return FrameCount() >= 75; }));
    mic.Stop();
  }
  EXPECT_EQ(FrameCount(), 75u);
  layer_.Inspect(kMainId, [](const ScriptedEndpoint& e) { EXPECT_EQ(e.packets_dropped, 0); });
  // A sine: each sample follows from the two before it; a skip breaks the recurrence.
  std::vector<int16_t> pcm;
  for (size_t f = 10; f < FrameCount(); ++f) pcm.insert(pcm.end(), g_frames[f].begin(), g_frames[f].end());
  const double c = 2 * std::cos(2 * 3.14159265358979 * 1025.0 / 48000.0);
  double worst = 0.0;
  for (size_t i = 2; i < pcm.size(); ++i) worst = std::max(worst, std::fabs(pcm[i] - c * pcm[i - 1] + pcm[i - 2]));
  EXPECT_LT(worst, 3000.0);  // about 600 from the resampler; a lost packet gives 25000
}

// Verifies that a capture device that stops signalling is reopened and frames keep coming.
TEST_F(MicCaptureTest, LostDeviceIsReopened) {
  LogCapture log;
  MicCapture mic(&layer_, false, &core_);
  ASSERT_EQ(mic.Init(nullptr), kS_OK);
  mic.Start();
  ASSERT_TRUE(WaitUntil([] { return FrameCount() >= 20; }));
  const int64_t before = layer_.now_ms();
  layer_.BreakStreams(kMainId);
  ASSERT_TRUE(WaitUntil([&] { return log.Contains("RestartCaptureThreadProc, after sleep"); }));
  const size_t at_restart = FrameCount();
  ASSERT_TRUE(WaitUntil([&] { return FrameCount() >= at_restart + 20; }));
  mic.Stop();
  EXPECT_TRUE(log.Contains("Unexpected, WaitForSingleObject time out, count 3."));
  EXPECT_GE(layer_.now_ms() - before, 3000 + 5000);
  layer_.Inspect(kMainId, [](const ScriptedEndpoint& e) { EXPECT_EQ(e.streams_started, 2); });
}

// Verifies that a stop while a restart waits cancels the restart, and destruction is clean.
TEST_F(MicCaptureTest, StopCancelsPendingRestart) {
  LogCapture log;
  {
    MicCapture mic(&layer_, false, &core_);
    ASSERT_EQ(mic.Init(nullptr), kS_OK);
    mic.Start();
    ASSERT_TRUE(WaitUntil([] { return FrameCount() >= 5; }));
    layer_.BreakStreams(kMainId);
    ASSERT_TRUE(WaitUntil([&] { return log.Contains("RestartCaptureThreadProc, enter."); }));
    mic.Stop();
  }
  EXPECT_EQ(layer_.com_balance(), 0);
  layer_.Inspect(kMainId, [](const ScriptedEndpoint& e) { EXPECT_LE(e.streams_started, 2); });
}

// Verifies that a built-in microphone is checked for exclusive mode but opened shared unless
// music mode is on.
TEST_F(MicCaptureTest, BuiltInMicExclusiveOnlyWithMusicMode) {
  layer_.AddEndpoint(EndpointFlow::kCapture, kFourthId, L"Microphone (Realtek(R) Audio)", 48000, 2);
  layer_.Configure(kFourthId, [](ScriptedEndpoint& e) {
    e.exclusive_allowed = true;
    e.packets_available = 10;
  });
  MicCapture mic(&layer_, false, &core_);
  ASSERT_EQ(mic.Init(kFourthId.c_str()), kS_OK);
  EXPECT_TRUE(mic.exclusive());
  EXPECT_EQ(mic.sample_type(), SampleType::kInteger);
  mic.Start();
  ASSERT_TRUE(WaitUntil([] { return FrameCount() >= 5; }));
  mic.Stop();
  layer_.Inspect(kFourthId, [](const ScriptedEndpoint& e) { EXPECT_FALSE(e.last_exclusive); });

  core_.set_music_mode(true);
  layer_.Configure(kFourthId, [](ScriptedEndpoint& e) { e.packets_available = 10; });
  ASSERT_EQ(mic.Init(kFourthId.c_str()), kS_OK);
  mic.Start();
  ASSERT_TRUE(WaitUntil([] { return FrameCount() >= 10; }));
  mic.Stop();
  layer_.Inspect(kFourthId, [](const ScriptedEndpoint& e) {
    EXPECT_TRUE(e.last_exclusive);
    EXPECT_EQ(e.last_buffer_duration, 200000);
  });
}

// Verifies the search for a second microphone and the move of a dead one.
TEST_F(MicCaptureTest, DeadSecondMicMovesOnlyToUsableDevices) {
  layer_.AddEndpoint(EndpointFlow::kCapture, kMixId, kStereoMix, 48000, 2);
  MicCapture main(&layer_, false, &core_);
  ASSERT_EQ(main.Init(kMainId.c_str()), kS_OK);
  std::wstring found;
  ASSERT_EQ(main.Find2ndMic(kMainId, &found), kS_OK);
  EXPECT_EQ(found, kOtherId);

  MicCapture second(&layer_, true, &core_);
  ASSERT_EQ(second.Init(kOtherId.c_str()), kS_OK);
  Guid other;
  ParseGuidText(kOtherId, &other);
  second.SetDevice(other);
  // The core declares the second microphone dead after 500 frames without its data.
  core_.set_processing_off(false);
  std::vector<int16_t> frame(960, 0);
  for (int i = 0; i < 500; ++i) core_.CaptureFrame(frame.data(), 1920, 48000, nullptr, nullptr);
  ASSERT_TRUE(core_.second_mic_dead());

  LogCapture log;
  second.OnCapturedData(frame.data(), 1920, 48000, 0);
  EXPECT_EQ(second.device_guid(), other);  // only the stereo mix is left: stays dead
  EXPECT_TRUE(log.Contains("found unsupported 2nd mic."));
  EXPECT_TRUE(core_.second_mic_dead());

  layer_.AddEndpoint(EndpointFlow::kCapture, kFourthId, L"USB Microphone", 48000, 1);
  second.OnCapturedData(frame.data(), 1920, 48000, 0);
  Guid fourth;
  ParseGuidText(kFourthId, &fourth);
  EXPECT_EQ(second.device_guid(), fourth);
  EXPECT_FALSE(core_.second_mic_dead());
  EXPECT_TRUE(log.Contains("reset 2nd mic"));
}

// Verifies the second microphone's chunks reach the core's ring at 48 kHz.
TEST_F(MicCaptureTest, SecondMicFillsItsRing) {
  MicCapture second(&layer_, true, &core_);
  std::vector<int16_t> chunk(882, 300);
  second.OnCapturedData(chunk.data(), 882 * 2, 44100, 0);
  EXPECT_EQ(core_.second_mic_ring().Filled(), 1920);
  LogCapture log;
  second.OnCapturedData(chunk.data(), 880 * 2, 44100, 0);  // not a whole 20 ms chunk
  EXPECT_TRUE(log.Contains("Write 2nd mic data to ring buffer failed"));
  EXPECT_EQ(core_.second_mic_ring().Filled(), 0);
}

// Verifies the automatic mic level's reactions to clipping, loudness and the raise request.
TEST_F(MicCaptureTest, AutomaticMicLevel) {
  LogCapture log;
  MicCapture main(&layer_, false, &core_, &MakeFakeLevel);
  ASSERT_EQ(main.Init(kMainId.c_str()), kS_OK);
  main.SetDevice(Guid{});  // creates the level control
  std::vector<int16_t> loud(882, 0);
  for (int i = 0; i < 20; ++i) loud[i * 10] = 31000;
  std::vector<int16_t> quiet(882, 10);

  main.AutoMicLevel(loud.data(), 882, 0, 2000.0f);  // clipping but low energy: main mic waits
  EXPECT_EQ(g_level.decreases, 0);
  main.AutoMicLevel(loud.data(), 882, 0, 4000.0f);
  EXPECT_EQ(g_level.decreases, 1);
  EXPECT_EQ(g_level.last_decrease_energy, 8000.0f);
  EXPECT_TRUE(log.Contains("detected clip, reduce mic volume, voice eng is 4000.000000 , 2nd mic false"));

  main.AutoMicLevel(quiet.data(), 882, 0, 9500.0f);  // too loud
  EXPECT_EQ(g_level.decreases, 2);
  EXPECT_EQ(g_level.last_decrease_energy, 9500.0f);

  g_level.increase_result = 2;
  main.AutoMicLevel(quiet.data(), 882, 1, 100.0f);
  EXPECT_EQ(g_level.increases, 1);
  EXPECT_TRUE(main.extra_gain_on());
  EXPECT_TRUE(log.Contains(" mic volume is 100,  add extra virtual gain"));
  main.AutoMicLevel(quiet.data(), 882, 0, 9500.0f);
  EXPECT_FALSE(main.extra_gain_on());

  // The second microphone steps down on clipping whatever its energy.
  MicCapture second(&layer_, true, &core_, &MakeFakeLevel);
  second.SetDevice(Guid{});
  const int before = g_level.decreases;
  second.AutoMicLevel(loud.data(), 882, 0, 0.0f);
  EXPECT_EQ(g_level.decreases, before + 1);

  main.SetVolume(150);
  EXPECT_EQ(g_level.level, 65535u);
  int percent = 0;
  float boost = 0.0f;
  ASSERT_TRUE(main.GetVolume(&percent, &boost));
  EXPECT_EQ(percent, 100);
  EXPECT_EQ(boost, -1.0f);
}

// Verifies the volume calls without a level control.
TEST_F(MicCaptureTest, VolumeWithoutLevelControl) {
  LogCapture log;
  MicCapture mic(&layer_, false, &core_);
  mic.SetVolume(50);
  EXPECT_TRUE(log.Contains("MicCapture::SetVolume failed! "));
  int percent = -1;
  float boost = 0.0f;
  EXPECT_FALSE(mic.GetVolume(&percent, &boost));
}

}  // namespace
