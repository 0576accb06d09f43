#include "engine/devices/device_list_diff.h"

#include <gtest/gtest.h>

using kiv::DeviceLists;
using kiv::DiffDeviceLists;
using kiv_core::CoreDeviceInfo;

// A microphone and a camera plugged in give codes 1 and 5, in ascending order.
TEST(DeviceListDiffTest, AddedDevicesAscending) {
  DeviceLists before;
  DeviceLists after;
  after.microphones = {{0, "USB Mic"}};
  after.cameras = {{0, "Cam"}};
  auto diff = DiffDeviceLists(before, after);
  EXPECT_EQ(std::vector<int>(diff.codes.begin(), diff.codes.end()), (std::vector<int>{1, 5}));
  ASSERT_EQ(diff.addedCameras.size(), 1u);
  EXPECT_EQ(diff.addedCameras[0].name, "Cam");
}

// Two cameras removed at once give one code 2 and both cameras in the removed list.
TEST(DeviceListDiffTest, TwoCamerasRemovedOneCode) {
  DeviceLists before;
  before.cameras = {{0, "A"}, {1, "B"}};
  DeviceLists after;
  auto diff = DiffDeviceLists(before, after);
  EXPECT_EQ(std::vector<int>(diff.codes.begin(), diff.codes.end()), (std::vector<int>{2}));
  EXPECT_EQ(diff.removedCameras.size(), 2u);
}

// Audio devices match by name only; a camera that changes index is removed and added.
TEST(DeviceListDiffTest, MatchingRules) {
  DeviceLists before;
  before.speakers = {{0, "Speakers"}, {1, "Headset"}};
  before.cameras = {{0, "Cam"}};
  DeviceLists after;
  after.speakers = {{1, "Speakers"}, {0, "Headset"}};
  after.cameras = {{1, "Cam"}};
  auto diff = DiffDeviceLists(before, after);
  EXPECT_EQ(std::vector<int>(diff.codes.begin(), diff.codes.end()), (std::vector<int>{1, 2}));
  EXPECT_TRUE(DiffDeviceLists(after, after).codes.empty());
}

// A speaker and a microphone unplugged give codes 4 and 6.
TEST(DeviceListDiffTest, RemovedAudioDevices) {
  DeviceLists before;
  before.speakers = {{0, "S"}};
  before.microphones = {{0, "M"}};
  auto diff = DiffDeviceLists(before, DeviceLists());
  EXPECT_EQ(std::vector<int>(diff.codes.begin(), diff.codes.end()), (std::vector<int>{4, 6}));
}
