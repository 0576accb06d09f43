#include <atomic>

#include "device/audio_device_layer.h"

#ifdef _WIN32
#include "device/wasapi_device_layer.h"
#endif

namespace {

// No endpoints at all: what a machine without sound devices looks like.
class NoDeviceLayer : public AudioDeviceLayer {
 public:
  bool InitializeThread() override { return false; }
  void UninitializeThread() override {}
  HResult EnumEndpoints(EndpointFlow, std::vector<EndpointInfo>* endpoints) override {
    endpoints->clear();
    return kS_OK;
  }
  HResult GetDefaultEndpointId(EndpointFlow, std::wstring*) override { return kE_FAIL; }
  HResult OpenEndpoint(EndpointFlow, const std::wstring&, std::unique_ptr<AudioEndpoint>*) override { return kE_FAIL; }
  HResult EnumPlayoutDevices(std::vector<DeviceRecord>* devices) override {
    devices->clear();
    return kS_OK;
  }
  PlatformEvent::WaitResult WaitForEvent(PlatformEvent* event, uint32_t timeout_ms) override {
    return event->Wait(timeout_ms);
  }
  bool Sleep(uint32_t ms, PlatformEvent* wake) override {
    if (wake) return wake->Wait(ms) == PlatformEvent::kSignalled;
    SleepMilliseconds(ms);
    return false;
  }
  bool RegisterProAudioThread(void**) override { return false; }
  void RevertProAudioThread(void*) override {}
};

AudioDeviceLayer* DefaultLayer() {
#ifdef _WIN32
  static WasapiDeviceLayer layer;
#else
  static NoDeviceLayer layer;
#endif
  return &layer;
}

std::atomic<AudioDeviceLayer*> g_layer{nullptr};

}  // namespace

AudioDeviceLayer* ActiveDeviceLayer() {
  AudioDeviceLayer* layer = g_layer.load();
  return layer ? layer : DefaultLayer();
}

void SetActiveDeviceLayer(AudioDeviceLayer* layer) { g_layer.store(layer); }
