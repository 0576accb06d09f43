#include "volume/audio_mixer_src.h"

#include <gtest/gtest.h>

#include "testing/scripted_level_layer.h"
#include "volume/volume_backend.h"

namespace {

constexpr uint32_t kMux = 0x70010001;

ScriptedMixerControl Control(uint32_t id, uint32_t type, int32_t lo, int32_t hi, uint32_t flags = 0,
                             std::vector<int32_t> values = {0, 0}) {
  ScriptedMixerControl c;
  c.info.id = id;
  c.info.type = type;
  c.info.minimum = lo;
  c.info.maximum = hi;
  c.info.flags = flags;
  c.values = values;
  return c;
}

// A recording destination with a multiplexer ("Microphone", "Line In"; line-in selected),
// a volume and a mute; the sources as given.
ScriptedMixer& AddRecordingMixer(ScriptedLevelLayer* layer, const std::wstring& name, bool with_microphone) {
  ScriptedMixer& m = layer->AddMixer(name);
  m.destination.info = MixerLineInfo{100, kMixerDstWaveIn, 2, 0, 3, L"Recording Control"};
  m.destination.control_ids = {1, 2, 3};
  m.controls[1] = Control(1, kMixerControlVolume, 0, 65535);
  m.controls[2] = Control(2, kMixerControlMute, 0, 1);
  ScriptedMixerControl mux = Control(3, kMux, 0, 1, kMixerControlUniform | kMixerControlMultiple, {0, 1});
  mux.info.items = 2;
  mux.texts = {L"Microphone", L"Line In"};
  m.controls[3] = mux;
  m.sources.push_back(ScriptedMixerLine{MixerLineInfo{200, 0x1004 /* CD */, 2, 0, 1, L"CD"}, {20}});
  m.controls[20] = Control(20, kMixerControlVolume, 0, 100);
  m.sources.push_back(ScriptedMixerLine{MixerLineInfo{201, kMixerSrcLine, 2, 0, 2, L"Line In"}, {21, 22}});
  m.controls[21] = Control(21, kMixerControlVolume, 0, 1000);
  m.controls[22] = Control(22, kMixerControlMute, 0, 1);
  if (with_microphone) {
    m.sources.push_back(ScriptedMixerLine{MixerLineInfo{202, kMixerSrcMicrophone, 1, 0, 2, L"Mic"}, {23, 24}});
    m.controls[23] = Control(23, kMixerControlVolume, 100, 5000, kMixerControlUniform, {0});
    m.controls[24] = Control(24, kMixerControlMute, 0, 1, 0, {0});
  }
  m.destination.info.connections = static_cast<uint32_t>(m.sources.size());
  return m;
}

}  // namespace

// Verifies the mixer match over the first 32 characters, the microphone source and its
// level mapping (65535 is the maximum, 0 the minimum), and the notification windows.
TEST(AudioMixerSrcTest, MatchesMixerAndSetsMicrophoneLevel) {
  ScriptedLevelLayer layer;
  AddRecordingMixer(&layer, L"Other Device", true);
  const std::wstring long_name = L"Microphone (High Definition Audio Device)";
  AddRecordingMixer(&layer, long_name.substr(0, 31), true);
  HResult hr = kE_FAIL;
  {
    CAudioMixerSrc mixer(&layer, long_name, &hr, nullptr);
    ASSERT_EQ(hr, kS_OK);
    EXPECT_TRUE(layer.mixers()[1].open);
    EXPECT_FALSE(layer.mixers()[0].open);
    EXPECT_EQ(layer.windows(), 2);
    EXPECT_EQ(mixer.SetVolume(65535), kS_OK);
    EXPECT_EQ(layer.mixers()[1].controls[23].values, std::vector<int32_t>{5000});
    EXPECT_EQ(layer.mixers()[1].controls[1].values, (std::vector<int32_t>{65535, 65535}));
    EXPECT_EQ(mixer.SetSourceVolume(0), kS_OK);
    uint32_t value = 7;
    EXPECT_EQ(mixer.GetSourceVolume(&value), kS_OK);
    EXPECT_EQ(value, 100u);
    EXPECT_EQ(mixer.SetSourceVolume(32768), kS_OK);
    EXPECT_EQ(mixer.GetSourceVolume(&value), kS_OK);
    EXPECT_EQ(value, 100u + 4900u * 32768 / 65535);
    EXPECT_EQ(mixer.SetMute(true), kS_OK);
    EXPECT_EQ(mixer.GetSourceMute(&value), kS_OK);
    EXPECT_EQ(value, 1u);
    layer.NotifyMixerControl(1, 23);  // read back under the mixer lock, nothing else
  }
  EXPECT_FALSE(layer.mixers()[1].open);
  EXPECT_EQ(layer.windows(), 0);
}

// Verifies selecting "Mic" on a multiplexer, and that destruction selects the earlier item.
TEST(AudioMixerSrcTest, SelectsSourceAndRestoresIt) {
  ScriptedLevelLayer layer;
  ScriptedMixer& m = AddRecordingMixer(&layer, L"USB Audio", true);
  HResult hr = kE_FAIL;
  {
    CAudioMixerSrc mixer(&layer, L"USB Audio", &hr, nullptr);
    ASSERT_EQ(hr, kS_OK);
    EXPECT_EQ(mixer.SelectRecordingSource(L"Mic"), kS_OK);
    EXPECT_EQ(m.controls[3].values, (std::vector<int32_t>{1, 0}));
    EXPECT_EQ(mixer.remembered_source(), L"Line In");
    // No item matches: nothing is written, the selection stays.
    EXPECT_EQ(mixer.SelectRecordingSource(L"Stereo Mix"), kE_FAIL);
    EXPECT_EQ(m.controls[3].values, (std::vector<int32_t>{1, 0}));
  }
  EXPECT_EQ(m.controls[3].values, (std::vector<int32_t>{0, 1}));
}

// Verifies that without a microphone source the line-in's controls are used, and that no
// matching mixer gives E_FAIL with every operation failing.
TEST(AudioMixerSrcTest, LineInFallbackAndNoMixer) {
  ScriptedLevelLayer layer;
  ScriptedMixer& m = AddRecordingMixer(&layer, L"Line Device", false);
  HResult hr = kE_FAIL;
  CAudioMixerSrc mixer(&layer, L"Line Device", &hr, nullptr);
  ASSERT_EQ(hr, kS_OK);
  EXPECT_EQ(mixer.SetSourceVolume(65535), kS_OK);
  EXPECT_EQ(m.controls[21].values, (std::vector<int32_t>{1000, 1000}));

  CAudioMixerSrc none(&layer, L"Nothing Like It", &hr, nullptr);
  EXPECT_EQ(hr, kE_FAIL);
  EXPECT_FALSE(none.has_mixer());
  EXPECT_EQ(none.SetVolume(100), kE_FAIL);
  EXPECT_EQ(none.SelectRecordingSource(L"Mic"), kE_FAIL);
}

// Verifies the level on Windows XP: the backend takes the winmm road by the device's
// DirectSound name and reads back the raw control value.
TEST(AudioMixerSrcTest, BackendUsesMixerOnOlderSystems) {
  ScriptedLevelLayer layer;
  layer.SetSystemVersion(5, 1);
  ScriptedMixer& m = AddRecordingMixer(&layer, L"USB Audio", true);
  Guid id = {};
  id.data1 = 9;
  layer.SetDirectSound(DeviceKind::kCapture, {DirectSoundDevice{true, id, L"USB Audio"}});
  HResult hr = kE_FAIL;
  VolumeBackend backend(&layer, &hr, &id);
  ASSERT_EQ(hr, kS_OK);
  EXPECT_EQ(backend.system_kind(), VolumeBackend::kWindowsXp);
  ASSERT_NE(backend.mixer(), nullptr);
  EXPECT_EQ(backend.SetMicLevel(70000), kS_OK);  // counts as full scale
  uint32_t level = 0;
  EXPECT_EQ(backend.GetMicLevel(&level), kS_OK);
  EXPECT_EQ(level, 5000u);
  EXPECT_EQ(m.controls[3].values, (std::vector<int32_t>{1, 0}));

  Guid unknown = id;
  unknown.data1 = 10;
  VolumeBackend missing(&layer, &hr, &unknown);
  EXPECT_EQ(hr, kE_FAIL);
}
