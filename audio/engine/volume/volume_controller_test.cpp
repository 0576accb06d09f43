#include "volume/volume_controller.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "capture/mic_capture.h"
#include "core/audio_core.h"
#include "core/library_state.h"
#include "testing/log_capture.h"
#include "testing/scripted_device_layer.h"
#include "testing/scripted_level_layer.h"

namespace {

const std::wstring kMicText = L"{1B2C3D4E-0001-0002-0003-A1B2C3D4E5F6}";

Guid MicGuid() {
  Guid g;
  ParseGuidText(kMicText, &g);
  return g;
}

uint32_t Percent(double p) { return static_cast<uint32_t>(p * 65535 / 100); }

// A boost part behind two topology parts, found by its name.
std::shared_ptr<ScriptedPart> BoostTopology(float lo, float hi, float step, float level, const std::wstring& name) {
  auto boost = std::make_shared<ScriptedPart>();
  boost->name = name;
  boost->subtype = kKsNodeTypeVolumeForTests;
  boost->has_level = true;
  boost->min_db = lo;
  boost->max_db = hi;
  boost->step_db = step;
  boost->level_db = level;
  auto volume = std::make_shared<ScriptedPart>();
  volume->name = L"Volume";
  volume->subtype = kKsNodeTypeVolumeForTests;
  volume->has_level = true;
  volume->min_db = -96;
  volume->max_db = 0;
  volume->step_db = 0.5f;
  volume->outgoing = {boost};
  auto root = std::make_shared<ScriptedPart>();
  root->name = L"Connector";
  root->outgoing = {volume};
  return root;
}

class VolumeControllerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Library().Reset();
    layer_.SetDirectSound(DeviceKind::kCapture, {DirectSoundDevice{false, {}, L"Primary Sound Capture Driver"},
                                                 DirectSoundDevice{true, MicGuid(), L"Microphone (USB Audio)"}});
    layer_.SetDefaultVoice(DeviceKind::kCapture, MicGuid());
    mic_ = &layer_.AddEndpoint(kMicText, L"Microphone (USB Audio)");
    mic_->master = 0.7f;
  }
  void TearDown() override { Library().Reset(); }

  std::unique_ptr<VolumeController> Make() {
    const Guid g = MicGuid();
    return VolumeController::Init(&layer_, &g);
  }
  uint32_t Level() { return static_cast<uint32_t>(mic_->master * 65535.0f); }
  void SetLevel(uint32_t l) { mic_->master = l / 65535.0f; }

  ScriptedLevelLayer layer_;
  ScriptedLevelEndpoint* mic_ = nullptr;
};

// Verifies the starting band: above 80 % is lowered to 80, below 60 % raised to 60, 70 % kept.
TEST_F(VolumeControllerTest, InitBringsLevelIntoBand) {
  mic_->master = 0.9f;
  Make();
  EXPECT_EQ(Level(), 52428u);
  mic_->master = 0.3f;
  Make();
  EXPECT_EQ(Level(), 39321u);
  mic_->master = 0.7f;
  const int sets = mic_->master_sets;
  Make();
  EXPECT_EQ(mic_->master_sets, sets);
  // Every change carries the library's event context.
  EXPECT_EQ(FormatGuidText(mic_->last_context), L"{4E5EA27F-4422-4758-8762-C583CF198501}");
}

// Verifies the raise steps: large before any decrease, small after, smaller near the top,
// capped at full scale with result 2; refused at low energy or while held.
TEST_F(VolumeControllerTest, IncreaseStepsByLevelAndHistory) {
  std::unique_ptr<VolumeController> c = Make();
  SetLevel(40000);
  EXPECT_EQ(c->IncreaseMicVolume(500.0f), 1);
  EXPECT_EQ(Level(), 46550u);
  EXPECT_EQ(c->increase_hold, 250);
  EXPECT_EQ(c->IncreaseMicVolume(500.0f), 1);  // held
  EXPECT_EQ(Level(), 46550u);
  c->increase_hold = 0;
  EXPECT_EQ(c->IncreaseMicVolume(150.0f), 1);  // too quiet to count
  EXPECT_EQ(Level(), 46550u);

  c->decrease_count = 1;
  SetLevel(40000);
  c->IncreaseMicVolume(500.0f);
  EXPECT_EQ(Level(), 41965u);
  EXPECT_EQ(c->increase_hold, 500);

  c->increase_hold = 0;
  c->decrease_count = 0;
  SetLevel(60000);
  c->IncreaseMicVolume(500.0f);
  EXPECT_EQ(Level(), 63275u);
  c->increase_hold = 0;
  EXPECT_EQ(c->IncreaseMicVolume(500.0f), 2);
  EXPECT_EQ(Level(), 65535u);
  c->increase_hold = 0;
  EXPECT_EQ(c->IncreaseMicVolume(500.0f), 1);  // already at the top

  c->increase_hold = 0;
  SetLevel(10000);
  c->IncreaseMicVolume(500.0f);
  EXPECT_EQ(Level(), 23100u);
  EXPECT_EQ(c->increase_hold, 250);
  c->increase_hold = 0;
  SetLevel(1000);
  c->IncreaseMicVolume(500.0f);
  EXPECT_EQ(c->increase_hold, 100);  // still under 30 %
}

// Verifies the first decrease request at 80 % or more only arms a hold; then steps of 6553,
// or 9830 for very loud voice.
TEST_F(VolumeControllerTest, DecreaseFromHighLevel) {
  std::unique_ptr<VolumeController> c = Make();
  SetLevel(Percent(85));
  EXPECT_FALSE(c->DecreaseStep(9000.0f));
  EXPECT_EQ(c->decrease_hold, 50);
  EXPECT_EQ(Level(), Percent(85));
  c->decrease_hold = 0;
  EXPECT_TRUE(c->DecreaseStep(9000.0f));
  EXPECT_EQ(Level(), Percent(85) - 6553);
  EXPECT_EQ(c->increase_hold, 750);
  EXPECT_EQ(c->decrease_hold, 50);
  c->decrease_hold = 0;
  SetLevel(50000);
  EXPECT_TRUE(c->DecreaseStep(30000.0f));
  EXPECT_EQ(Level(), 50000u - 9830);
  c->decrease_hold = 0;
  SetLevel(24000);
  EXPECT_TRUE(c->DecreaseStep(9000.0f));
  EXPECT_EQ(Level(), 18350u);  // not below the 30 % mark by a plain step
}

// Verifies the quiet rules: below 20 % only loud voice lowers, and below 20 % of full scale
// only every fifth request does.
TEST_F(VolumeControllerTest, DecreaseAtLowLevels) {
  std::unique_ptr<VolumeController> c = Make();
  SetLevel(18000);
  EXPECT_FALSE(c->DecreaseStep(5000.0f));
  SetLevel(10000);
  for (int i = 0; i < 4; ++i) {
    c->clip_count = 7;
    EXPECT_FALSE(c->DecreaseStep(8000.0f));
    EXPECT_EQ(c->clip_count, 0);
  }
  EXPECT_TRUE(c->DecreaseStep(8000.0f));
  EXPECT_EQ(Level(), 8034u);
  EXPECT_EQ(c->decrease_hold, 75);
}

// Verifies the boost: found through the topology by name, started one step under its top,
// raised from its minimum by the increase, stepped down by the decrease before the level.
TEST_F(VolumeControllerTest, BoostFoundAndStepped) {
  mic_->topology = BoostTopology(0, 30, 10, 0, L"Mic Boost");
  std::unique_ptr<VolumeController> c = Make();
  CVistaAudio* v = c->backend()->vista();
  ASSERT_TRUE(v->has_boost());
  EXPECT_FLOAT_EQ(c->GetBoostDb(), 20.0f);
  EXPECT_FLOAT_EQ(v->boost_step(), 10.0f);

  // At 20 dB the boost is one step over the middle of its range (15 dB): a step down would
  // cross the middle, so the level steps instead.
  SetLevel(Percent(70));
  EXPECT_TRUE(c->DecreaseStep(9000.0f));
  EXPECT_FLOAT_EQ(c->GetBoostDb(), 20.0f);
  EXPECT_EQ(Level(), Percent(70) - 6553);

  // From 30 dB the boost steps to 20 dB and the level stays.
  ASSERT_EQ(v->SetBoost(30.0f), kS_OK);
  c->decrease_hold = 0;
  const uint32_t before = Level();
  EXPECT_TRUE(c->DecreaseStep(9000.0f));
  EXPECT_FLOAT_EQ(c->GetBoostDb(), 20.0f);
  EXPECT_EQ(Level(), before);
  EXPECT_EQ(c->decrease_hold, 55);

  // At its minimum the increase raises the boost by one step and holds for 30 buffers.
  ASSERT_EQ(v->SetBoost(0.0f), kS_OK);
  c->increase_hold = 0;
  c->IncreaseMicVolume(500.0f);
  EXPECT_FLOAT_EQ(c->GetBoostDb(), 10.0f);
  EXPECT_EQ(c->increase_hold, 30);
}

// Verifies the boost search by node type and where the boost starts: the top of a range of
// fewer than 3 steps, one step over the minimum on the named models, unset at 0 dB or below.
TEST_F(VolumeControllerTest, BoostByNodeTypeAndStartValues) {
  mic_->topology = BoostTopology(0, 20, 10, 0, L"Input Gain");  // no "Mic Boost" name
  std::unique_ptr<VolumeController> c = Make();
  ASSERT_TRUE(c->backend()->vista()->has_boost());
  EXPECT_FLOAT_EQ(c->GetBoostDb(), 20.0f);  // fewer than 3 steps: the top

  Library().set_pc_model("ThinkPad S2 3rd Gen");
  mic_->topology = BoostTopology(0, 30, 10, 0, L"Mic Boost");
  c = Make();
  EXPECT_FLOAT_EQ(c->GetBoostDb(), 10.0f);

  Library().set_pc_model("");
  mic_->topology = BoostTopology(-10, 0, 10, -5, L"Mic Boost");
  c = Make();
  EXPECT_FLOAT_EQ(c->GetBoostDb(), -5.0f);  // a start of 0 dB or below is not set

  mic_->topology.reset();  // no device topology (Wine)
  c = Make();
  EXPECT_FALSE(c->backend()->vista()->has_boost());
  EXPECT_FLOAT_EQ(c->GetBoostDb(), -1.0f);
}

// Verifies the endpoint: rate probe, mute read at start, and the volume callback recording
// mute and level changes (a change of 10 units or less is not recorded).
TEST_F(VolumeControllerTest, EndpointStateAndNotifications) {
  mic_->muted = true;
  mic_->exclusive_rates = {8000, 16000};
  std::unique_ptr<VolumeController> c = Make();
  CVistaAudio* v = c->backend()->vista();
  EXPECT_TRUE(v->narrow_band());
  EXPECT_EQ(v->mute(), 1);
  EXPECT_EQ(layer_.notification_clients(), 1);
  ASSERT_NE(mic_->sink, nullptr);
  EXPECT_EQ(v->volume_callback()->controller(), c.get());

  layer_.NotifyVolume(kMicText, false, 0.5f);
  EXPECT_EQ(v->mute(), 0);
  EXPECT_EQ(v->volume_callback()->last_level(), 32767);
  layer_.NotifyVolume(kMicText, false, 32777 / 65535.0f);
  EXPECT_EQ(v->volume_callback()->last_level(), 32767);
  layer_.NotifyVolume(kMicText, false, 32800 / 65535.0f);
  EXPECT_EQ(v->volume_callback()->last_level(), 32800);

  c.reset();  // both registrations undone
  EXPECT_EQ(mic_->sink, nullptr);
  EXPECT_EQ(layer_.notification_clients(), 0);

  mic_->exclusive_rates = {8000, 16000, 48000};
  c = Make();
  EXPECT_FALSE(c->backend()->vista()->narrow_band());
}

// Verifies that the level control opens the microphone it matched when a device is plugged
// in between the enumeration and the open and lists at the matched microphone's index.
TEST_F(VolumeControllerTest, OpensMatchedMicrophoneWhenDevicesChangeMeanwhile) {
  mic_->master = 0.9f;
  ScriptedLevelEndpoint* plugged = nullptr;
  layer_.OnNextOpen([this, &plugged] {
    plugged = &layer_.PlugEndpointFirst(L"{1B2C3D4E-0001-0002-0003-00000000000B}", L"USB Headset");
    plugged->master = 0.9f;
  });
  std::unique_ptr<VolumeController> c = Make();
  ASSERT_NE(plugged, nullptr);
  EXPECT_NE(mic_->sink, nullptr);
  EXPECT_EQ(plugged->sink, nullptr);
  EXPECT_EQ(Level(), 52428u);  // the matched microphone brought into the band
  EXPECT_EQ(plugged->master_sets, 0);
}

// Verifies that a refused level change (Wine answers E_NOTIMPL) is reported, and that a
// boost-only device never sets its level.
TEST_F(VolumeControllerTest, RefusedSetAndBoostOnlyDevice) {
  std::unique_ptr<VolumeController> c = Make();
  mic_->set_master_result = kE_NOTIMPL;
  EXPECT_EQ(c->SetLevel(1000), kE_NOTIMPL);
  EXPECT_EQ(Level(), Percent(70));

  mic_->set_master_result = kS_OK;
  layer_.SetDirectSound(DeviceKind::kCapture, {DirectSoundDevice{true, MicGuid(), L"Plantronics C320 Headset"}});
  LogCapture log;
  c = Make();
  EXPECT_TRUE(c->backend()->boost_only());
  EXPECT_EQ(c->SetLevel(1000), kS_OK);
  EXPECT_EQ(Level(), Percent(70));
  EXPECT_TRUE(log.Contains("only use boost volume control"));
}

// Verifies that no backend means no effect: an unknown device, or no default voice device.
TEST_F(VolumeControllerTest, WithoutBackendNothingHappens) {
  Guid other = MicGuid();
  other.data1 ^= 1;
  LogCapture log;
  std::unique_ptr<VolumeController> c = VolumeController::Init(&layer_, &other);
  EXPECT_EQ(c->backend(), nullptr);
  EXPECT_TRUE(log.Contains("warning, m_pVistaAudio init error!!"));
  EXPECT_EQ(c->IncreaseMicVolume(5000.0f), 0);
  EXPECT_FALSE(c->DecreaseStep(50000.0f));
  uint32_t level = 0;
  EXPECT_TRUE(Failed(c->GetLevel(&level)));

  ScriptedLevelLayer empty;
  c = VolumeController::Init(&empty, nullptr);
  EXPECT_EQ(c->backend(), nullptr);
}

// Verifies the digital gain table and its back-off on clipping.
TEST(DigitalGainTest, TableAndClipBackOff) {
  EXPECT_EQ(DigitalGain::TableEntry(0), 102);
  EXPECT_EQ(DigitalGain::TableEntry(127), 1024);
  EXPECT_EQ(DigitalGain::TableEntry(128), 1052);
  EXPECT_EQ(DigitalGain::TableEntry(255), 32382);
  DigitalGain g;
  std::vector<int16_t> block(10, 1000);
  g.gain_index = 127;
  g.Apply(block.data(), 10);
  EXPECT_EQ(block[3], 1000);
  std::vector<int16_t> loud(20, 32767);
  g.gain_index = 255;
  g.Apply(loud.data(), 20);
  EXPECT_EQ(loud[0], 32767);
  EXPECT_EQ(g.gain_index, 255 - 20);
  std::vector<int16_t> quiet = {100, -100};
  g.gain_index = 255;
  g.Apply(quiet.data(), 2);
  EXPECT_EQ(quiet[0], (100 * 32382) >> 10);
  EXPECT_EQ(quiet[1], (-100 * 32382) >> 10);
  EXPECT_EQ(g.gain_index, 255);
}

// The automatic level of the capture path with the real controller on the scripted layer.
class AutoMicLevelTest : public VolumeControllerTest {
 protected:
  void SetUp() override {
    VolumeControllerTest::SetUp();
    SetActiveLevelDeviceLayer(&layer_);
    Library().mic_volume_control = true;
  }
  void TearDown() override {
    SetActiveLevelDeviceLayer(nullptr);
    VolumeControllerTest::TearDown();
  }
  ScriptedDeviceLayer devices_;
  AudioCore core_;
};

// Verifies a quiet talker raises the level step by step into the top, where the extra
// digital gain switches on, and that a loud talker lowers it again and switches it off.
TEST_F(AutoMicLevelTest, QuietTalkerRaisesLoudTalkerLowers) {
  mic_->master = 0.6f;
  MicCapture mic(&devices_, false, &core_, &CreateVolumeController);
  mic.SetDevice(MicGuid());
  std::vector<int16_t> chunk(960, 500);
  std::vector<uint32_t> levels;
  for (int buffer = 0; buffer < 4000 && !mic.extra_gain_on(); ++buffer) {
    mic.AutoMicLevel(chunk.data(), 960, 1, 1000.0f);
    if (levels.empty() || levels.back() != Level()) levels.push_back(Level());
  }
  ASSERT_GE(levels.size(), 3u);
  for (size_t i = 1; i < levels.size(); ++i) EXPECT_GT(levels[i], levels[i - 1]);
  EXPECT_GT(Level(), 65499u);
  EXPECT_TRUE(mic.extra_gain_on());

  // A loud talker (moving-average energy over 9000) lowers it and ends the extra gain.
  for (int buffer = 0; buffer < 2000 && Level() > Percent(50); ++buffer)
    mic.AutoMicLevel(chunk.data(), 960, 0, 12000.0f);
  EXPECT_LE(Level(), Percent(50));
  EXPECT_FALSE(mic.extra_gain_on());

  // Clipping with voice lowers one step too.
  std::vector<int16_t> clipped(960, 32000);
  const uint32_t before = Level();
  for (int buffer = 0; buffer < 200 && Level() == before; ++buffer) mic.AutoMicLevel(clipped.data(), 960, 0, 4000.0f);
  EXPECT_LT(Level(), before);
}

// Verifies that the capture-volume read and write go through the controller.
TEST_F(AutoMicLevelTest, CaptureVolumeThroughController) {
  MicCapture mic(&devices_, false, &core_, &CreateVolumeController);
  mic.SetDevice(MicGuid());
  mic.SetVolume(35);
  EXPECT_EQ(Level(), 35u * 65535 / 100);
  int percent = -1;
  float boost = 0.0f;
  ASSERT_TRUE(mic.GetVolume(&percent, &boost));
  EXPECT_EQ(percent, 35);
  EXPECT_FLOAT_EQ(boost, -1.0f);
  mic.SetVolume(150);
  ASSERT_TRUE(mic.GetVolume(&percent, &boost));
  EXPECT_EQ(percent, 100);
}

std::vector<int16_t> g_delivered;
void Deliver(const short* pcm, int bytes, int) { g_delivered.assign(pcm, pcm + bytes / 2); }

// Verifies that the extra digital gain is applied to the delivered chunks only once the
// analog level has reached the top (with headset enhance on, in shared mode).
TEST_F(AutoMicLevelTest, DigitalGainOnlyAtTheTop) {
  Library().headset_enhance = true;
  Library().capture_callback = &Deliver;
  core_.set_processing_off(true);
  MicCapture mic(&devices_, false, &core_, &CreateVolumeController);
  mic.SetDevice(MicGuid());
  std::vector<int16_t> chunk(960, 1000);
  mic.OnCapturedData(chunk.data(), 1920, 48000, 0);
  ASSERT_EQ(g_delivered.size(), 960u);
  EXPECT_EQ(g_delivered[100], 1000);
  for (int buffer = 0; buffer < 4000 && !mic.extra_gain_on(); ++buffer) mic.AutoMicLevel(chunk.data(), 960, 1, 1000.0f);
  ASSERT_TRUE(mic.extra_gain_on());
  std::fill(chunk.begin(), chunk.end(), 1000);
  mic.OnCapturedData(chunk.data(), 1920, 48000, 0);
  EXPECT_EQ(g_delivered[100], (1000 * DigitalGain::TableEntry(152)) >> 10);
  Library().capture_callback = nullptr;
}

}  // namespace
