// Comparison of two snapshots of the device lists.
#pragma once

#include <set>
#include <vector>

#include "core/devices/core_device_info.h"

namespace kiv {

struct DeviceLists {
  std::vector<kiv_core::CoreDeviceInfo> microphones;
  std::vector<kiv_core::CoreDeviceInfo> speakers;
  std::vector<kiv_core::CoreDeviceInfo> cameras;
};

struct DeviceListDiff {
  // Device-change codes (1-6), each at most once, ascending.
  std::set<int> codes;
  std::vector<kiv_core::CoreDeviceInfo> addedCameras;
  std::vector<kiv_core::CoreDeviceInfo> removedCameras;
};

// Audio devices are matched by name, cameras by id and name.
DeviceListDiff DiffDeviceLists(const DeviceLists& before, const DeviceLists& after);

}  // namespace kiv
