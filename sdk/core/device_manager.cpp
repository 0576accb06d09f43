#include "core/device_manager.h"

#include "core/core_env.h"

namespace kiv_core {

// No device is listed until the framework's device components are bound.

bool DeviceManager::Init() { return CoreEnv::IsBaseCoreInited(); }

void DeviceManager::Uninit() {}

void DeviceManager::Refresh() {}

bool DeviceManager::IsCameraValid(int) { return false; }

std::vector<CoreDeviceInfo> DeviceManager::GetMicrophoneDevices() { return {}; }

std::vector<CoreDeviceInfo> DeviceManager::GetSpeakerDevices() { return {}; }

std::vector<CoreDeviceInfo> DeviceManager::GetCameraDevices() { return {}; }

bool DeviceManager::AddRtspPlugin(const CoreRtspParam&) { return false; }

}  // namespace kiv_core
