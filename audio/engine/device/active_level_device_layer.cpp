#include <atomic>

#include "device/level_device_layer.h"
#include "platform/platform_thread.h"

#ifdef _WIN32
#include "device/windows_level_device_layer.h"
#endif

namespace {

// No endpoints, DirectSound devices, mixers or Bluetooth devices.
class NoLevelDeviceLayer : public LevelDeviceLayer {
 public:
  bool GetSystemVersion(int*, int*) override { return false; }
  void Sleep(uint32_t ms) override { SleepMilliseconds(ms); }
  HResult EnumCaptureEndpoints(std::vector<EndpointInfo>* endpoints) override {
    endpoints->clear();
    return kS_OK;
  }
  HResult OpenCaptureEndpoint(const std::wstring&, std::unique_ptr<LevelEndpoint>*) override { return kE_FAIL; }
  HResult RegisterDeviceNotifications(DeviceNotificationSink*) override { return kS_OK; }
  HResult UnregisterDeviceNotifications(DeviceNotificationSink*) override { return kS_OK; }
  HResult EnumDirectSound(DeviceKind, std::vector<DirectSoundDevice>* devices) override {
    devices->clear();
    return kS_OK;
  }
  HResult GetDefaultVoiceDevice(DeviceKind, Guid*) override { return kE_FAIL; }
  HResult FindConnectedBluetoothDevices(std::vector<std::wstring>* names) override {
    names->clear();
    return kS_OK;
  }
  int MixerCount() override { return 0; }
  HResult GetMixerName(int, std::wstring*) override { return kE_FAIL; }
  HResult OpenMixer(int, MixerNotifyWindow*, std::unique_ptr<Mixer>*) override { return kE_FAIL; }
  HResult CreateNotifyWindow(std::unique_ptr<MixerNotifyWindow>*) override { return kE_FAIL; }
};

LevelDeviceLayer* DefaultLayer() {
#ifdef _WIN32
  static WindowsLevelDeviceLayer layer;
#else
  static NoLevelDeviceLayer layer;
#endif
  return &layer;
}

std::atomic<LevelDeviceLayer*> g_layer{nullptr};

}  // namespace

LevelDeviceLayer* ActiveLevelDeviceLayer() {
  LevelDeviceLayer* layer = g_layer.load();
  return layer ? layer : DefaultLayer();
}

void SetActiveLevelDeviceLayer(LevelDeviceLayer* layer) { g_layer.store(layer); }
