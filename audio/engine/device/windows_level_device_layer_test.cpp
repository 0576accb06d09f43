// The real level device layer under Wine, on the session's PulseAudio devices: what answers
// is checked against the level control; what Wine lacks is checked to fail cleanly.
#include "device/windows_level_device_layer.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <objbase.h>

#include <cstdio>

#include "device/dsound_device_table.h"
#include "volume/volume_controller.h"

namespace {

class ComScope {
 public:
  ComScope() { CoInitialize(nullptr); }
  ~ComScope() { CoUninitialize(); }
};

// The DirectSound capture device that stands for the default capture endpoint.
bool DefaultCaptureDevice(LevelDeviceLayer* layer, Guid* id) {
  return Succeeded(layer->GetDefaultVoiceDevice(DeviceKind::kCapture, id));
}

}  // namespace

// Verifies the device lists: DirectSound capture and playback with the primary driver
// skipped, the default voice device found among them, and the Bluetooth search answering
// without a radio (and without aborting the process).
TEST(WindowsLevelDeviceLayerTest, DeviceListsAndBluetooth) {
  ComScope com;
  WindowsLevelDeviceLayer layer;
  for (int kind : {0, 1}) {
    DSoundDeviceTable table;
    ASSERT_EQ(table.Build(&layer, kind), kS_OK);
    std::printf("kind %d: %d devices, first index %d\n", kind, table.count(), table.first_index());
    for (int i = 0; i < table.count(); ++i) std::printf("  %ls\n", table.entry(i).name.c_str());
    EXPECT_GE(table.count(), 1);
    EXPECT_EQ(table.first_index(), 0);
  }
  std::vector<std::wstring> names = {L"stale"};
  EXPECT_EQ(layer.FindConnectedBluetoothDevices(&names), kS_OK);
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(FindBluetoothSpeakerphone(&layer), 0);
  int major = 0, minor = 0;
  ASSERT_TRUE(layer.GetSystemVersion(&major, &minor));
  EXPECT_GE(major, 6);
}

// Verifies the endpoint road on the default capture device: the DirectSound identifier
// matches a capture endpoint, the level and mute read, and a refused level change (Wine
// answers E_NOTIMPL) is reported as a failure and leaves the level as it was.
TEST(WindowsLevelDeviceLayerTest, EndpointVolumeOnDefaultCapture) {
  ComScope com;
  WindowsLevelDeviceLayer layer;
  Guid id;
  ASSERT_TRUE(DefaultCaptureDevice(&layer, &id));
  std::unique_ptr<VolumeController> c = VolumeController::Init(&layer, &id);
  ASSERT_NE(c->backend(), nullptr);
  CVistaAudio* v = c->backend()->vista();
  ASSERT_NE(v, nullptr);
  EXPECT_GE(v->endpoint_index(), 0);
  uint32_t level = 0;
  ASSERT_EQ(c->GetLevel(&level), kS_OK);
  const HResult set = c->SetLevel(level / 2);
  uint32_t after = 0;
  ASSERT_EQ(c->GetLevel(&after), kS_OK);
  std::printf("level %u, set -> 0x%x, level after %u, mute %d, boost %d, narrow band %d\n", level,
              static_cast<unsigned>(set), after, v->mute(), v->has_boost() ? 1 : 0, v->narrow_band() ? 1 : 0);
  if (Failed(set)) {
    EXPECT_EQ(after, level);
  } else {
    EXPECT_NEAR(static_cast<double>(after), level / 2.0, 2.0);
    (void)c->SetLevel(level);
  }
  EXPECT_FLOAT_EQ(c->GetBoostDb(), v->has_boost() ? c->GetBoostDb() : -1.0f);
  // The first decrease request at a high level only arms its hold.
  if (after >= 52428) {
    EXPECT_FALSE(c->DecreaseStep(9000.0f));
    EXPECT_EQ(c->decrease_hold, 50);
  }
}

// Verifies the winmm road: mixers listed and named, and a mixer object that finds no
// recording destination fails cleanly, restoring nothing.
TEST(WindowsLevelDeviceLayerTest, WinmmMixers) {
  WindowsLevelDeviceLayer layer;
  const int count = layer.MixerCount();
  std::printf("%d mixers\n", count);
  EXPECT_GE(count, 1);
  for (int i = 0; i < count; ++i) {
    std::wstring name;
    ASSERT_EQ(layer.GetMixerName(i, &name), kS_OK);
    HResult hr = kE_FAIL;
    CAudioMixerSrc mixer(&layer, name, &hr, nullptr);
    std::printf("  %ls: recording destination 0x%x\n", name.c_str(), static_cast<unsigned>(hr));
    EXPECT_EQ(mixer.notify_windows(), 2);
    if (Failed(hr)) {
      EXPECT_FALSE(mixer.has_mixer());
      EXPECT_EQ(mixer.SetVolume(1000), kE_FAIL);
    }
  }
}
