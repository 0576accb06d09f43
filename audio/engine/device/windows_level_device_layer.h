// The level device layer over Core Audio (endpoint volume, device topology, notifications),
// DirectSound enumeration, the Bluetooth device search (bthprops) and the winmm mixer.
#pragma once

#include <map>
#include <memory>

#include "device/level_device_layer.h"
#include "vorax_mutex.h"

class WindowsLevelDeviceLayer : public LevelDeviceLayer {
 public:
  WindowsLevelDeviceLayer();
  ~WindowsLevelDeviceLayer() override;

  bool GetSystemVersion(int* major, int* minor) override;
  void Sleep(uint32_t ms) override;
  HResult EnumCaptureEndpoints(std::vector<EndpointInfo>* endpoints) override;
  HResult OpenCaptureEndpoint(const std::wstring& id, std::unique_ptr<LevelEndpoint>* endpoint) override;
  HResult RegisterDeviceNotifications(DeviceNotificationSink* sink) override;
  HResult UnregisterDeviceNotifications(DeviceNotificationSink* sink) override;
  HResult EnumDirectSound(DeviceKind kind, std::vector<DirectSoundDevice>* devices) override;
  HResult GetDefaultVoiceDevice(DeviceKind kind, Guid* id) override;
  HResult FindConnectedBluetoothDevices(std::vector<std::wstring>* names) override;
  int MixerCount() override;
  HResult GetMixerName(int index, std::wstring* name) override;
  HResult OpenMixer(int index, MixerNotifyWindow* window, std::unique_ptr<Mixer>* mixer) override;
  HResult CreateNotifyWindow(std::unique_ptr<MixerNotifyWindow>* window) override;

 private:
  struct Registration;
  VORAX::Mutex mutex_;
  std::map<DeviceNotificationSink*, std::unique_ptr<Registration>> registrations_;
};
