#include "engine/devices/device_list_diff.h"

#include <algorithm>

#include "kiv_device_manager.h"

namespace kiv {

namespace {

using List = std::vector<kiv_core::CoreDeviceInfo>;

bool HasName(const List& list, const kiv_core::CoreDeviceInfo& device) {
  return std::any_of(list.begin(), list.end(),
                     [&](const kiv_core::CoreDeviceInfo& d) { return d.name == device.name; });
}

bool HasSame(const List& list, const kiv_core::CoreDeviceInfo& device) {
  return std::any_of(list.begin(), list.end(),
                     [&](const kiv_core::CoreDeviceInfo& d) { return d.id == device.id && d.name == device.name; });
}

}  // namespace

DeviceListDiff DiffDeviceLists(const DeviceLists& before, const DeviceLists& after) {
  DeviceListDiff diff;
  for (const auto& d : after.microphones)
    if (!HasName(before.microphones, d)) diff.codes.insert(DEVICE_CHANGE_MIC_ADDED);
  for (const auto& d : after.speakers)
    if (!HasName(before.speakers, d)) diff.codes.insert(DEVICE_CHANGE_SPEAKER_ADDED);
  for (const auto& d : after.cameras) {
    if (!HasSame(before.cameras, d)) {
      diff.codes.insert(DEVICE_CHANGE_CAMERA_ADDED);
      diff.addedCameras.push_back(d);
    }
  }
  for (const auto& d : before.microphones)
    if (!HasName(after.microphones, d)) diff.codes.insert(DEVICE_CHANGE_MIC_REMOVED);
  for (const auto& d : before.speakers)
    if (!HasName(after.speakers, d)) diff.codes.insert(DEVICE_CHANGE_SPEAKER_REMOVED);
  for (const auto& d : before.cameras) {
    if (!HasSame(after.cameras, d)) {
      diff.codes.insert(DEVICE_CHANGE_CAMERA_REMOVED);
      diff.removedCameras.push_back(d);
    }
  }
  return diff;
}

}  // namespace kiv
