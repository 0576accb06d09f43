#include "device/dsound_device_table.h"

#include <gtest/gtest.h>

#include "testing/scripted_level_layer.h"

namespace {

Guid Id(uint32_t n) {
  Guid g = {};
  g.data1 = n;
  return g;
}

DirectSoundDevice Device(uint32_t n, const std::wstring& name) { return DirectSoundDevice{true, Id(n), name}; }

std::vector<std::wstring> Names(const DSoundDeviceTable& t) {
  std::vector<std::wstring> names;
  for (int i = 0; i < t.count(); ++i) names.push_back(t.entry(i).name);
  return names;
}

}  // namespace

// Verifies the plain ordering: the primary driver skipped, the default voice device first.
TEST(DSoundDeviceTableTest, DefaultVoiceDeviceFirst) {
  ScriptedLevelLayer layer;
  layer.SetDirectSound(DeviceKind::kCapture, {DirectSoundDevice{false, {}, L"Primary Sound Capture Driver"},
                                              Device(1, L"Microphone (Realtek)"), Device(2, L"Microphone (USB)")});
  layer.SetDefaultVoice(DeviceKind::kCapture, Id(2));
  DSoundDeviceTable t;
  ASSERT_EQ(t.Build(&layer, 0), kS_OK);
  EXPECT_EQ(Names(t), (std::vector<std::wstring>{L"Microphone (USB)", L"Microphone (Realtek)"}));
  EXPECT_EQ(t.first_index(), 0);
  EXPECT_EQ(t.seen(), 2);
  std::wstring name;
  EXPECT_TRUE(t.NameOf(Id(1), &name));
  EXPECT_EQ(name, L"Microphone (Realtek)");
}

// Verifies that a headset goes to the front even ahead of the default voice device, and
// that Bluetooth headphones and the speakerphone's stereo profile are never kept.
TEST(DSoundDeviceTableTest, HeadsetFirstAndRemovedKinds) {
  ScriptedLevelLayer layer;
  layer.SetBluetooth({L"Some Phone"});
  layer.SetDirectSound(DeviceKind::kPlayback,
                       {Device(1, L"Speakers (Realtek)"), Device(2, L"Bluetooth Headphones (Bluetooth Audio)"),
                        Device(3, L"Orvex Talvey Stereo"), Device(4, L"USB Headset Earphone")});
  layer.SetDefaultVoice(DeviceKind::kPlayback, Id(1));
  DSoundDeviceTable t;
  ASSERT_EQ(t.Build(&layer, 1), kS_OK);
  EXPECT_EQ(Names(t), (std::vector<std::wstring>{L"USB Headset Earphone", L"Speakers (Realtek)"}));
  EXPECT_EQ(t.first_index(), 0);
  EXPECT_EQ(t.seen(), 4);
  EXPECT_EQ(t.speakerphone_index(), -1);
}

// Verifies the speakerphone family: with one connected over Bluetooth, the first device not
// named for it stands for it and later ones are skipped; its own named device then takes
// that entry's name and identifier. Each unnamed device costs one 20 ms Bluetooth search.
TEST(DSoundDeviceTableTest, ConnectedSpeakerphoneTakesOneEntry) {
  ScriptedLevelLayer layer;
  layer.SetBluetooth({L"Orvex Talvey 40"});
  layer.SetDirectSound(DeviceKind::kCapture, {Device(1, L"Microphone (Realtek)"), Device(2, L"Microphone (USB)"),
                                              Device(3, L"Headset (Orvex Talvey 40)")});
  DSoundDeviceTable t;
  ASSERT_EQ(t.Build(&layer, 0), kS_OK);
  EXPECT_EQ(Names(t), (std::vector<std::wstring>{L"Headset (Orvex Talvey 40)"}));
  EXPECT_EQ(t.entry(0).id, Id(3));
  EXPECT_EQ(t.speakerphone_index(), 0);
  EXPECT_EQ(layer.bluetooth_searches(), 2);
  EXPECT_EQ(layer.slept_ms(), 40u);
}

// Verifies the hands-free profile and the conference speaker without Bluetooth.
TEST(DSoundDeviceTableTest, HandsFreeAndParlance) {
  ScriptedLevelLayer layer;
  layer.SetDirectSound(DeviceKind::kCapture,
                       {Device(1, L"Microphone (Realtek)"), Device(2, L"Orvex Talvey Hands-Free AG Audio"),
                        Device(3, L"Orvex Talvey Hands-Free 2"), Device(4, L"Echo Cancelling Orvex Parlance")});
  layer.SetDefaultVoice(DeviceKind::kCapture, Id(1));
  DSoundDeviceTable t;
  ASSERT_EQ(t.Build(&layer, 0), kS_OK);
  EXPECT_EQ(Names(t), (std::vector<std::wstring>{L"Echo Cancelling Orvex Parlance", L"Orvex Talvey Hands-Free AG Audio",
                                                 L"Microphone (Realtek)"}));
  EXPECT_EQ(t.speakerphone_index(), 1);
  EXPECT_EQ(t.seen(), 4);
}

// Verifies the limits: kind 2 is refused with an empty table; at most 100 entries.
TEST(DSoundDeviceTableTest, BadKindAndFullTable) {
  ScriptedLevelLayer layer;
  std::vector<DirectSoundDevice> many;
  for (uint32_t i = 1; i <= 120; ++i) many.push_back(Device(i, L"Line " + std::to_wstring(i)));
  layer.SetDirectSound(DeviceKind::kCapture, many);
  DSoundDeviceTable t;
  ASSERT_EQ(t.Build(&layer, 0), kS_OK);
  EXPECT_EQ(t.count(), 100);
  EXPECT_EQ(t.seen(), 100);
  EXPECT_EQ(t.Build(&layer, 2), kE_INVALIDARG);
  EXPECT_EQ(t.count(), 0);
  EXPECT_EQ(FindBluetoothSpeakerphone(&layer), 0);
}
