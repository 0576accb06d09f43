// The device layer over Core Audio (MMDevice, WASAPI, device topology), DirectSound
// enumeration and Avrt.dll.
#pragma once

#include "device/audio_device_layer.h"

class WasapiDeviceLayer : public AudioDeviceLayer {
 public:
  WasapiDeviceLayer();
  ~WasapiDeviceLayer() override;

  bool InitializeThread() override;
  void UninitializeThread() override;
  HResult EnumEndpoints(EndpointFlow flow, std::vector<EndpointInfo>* endpoints) override;
  HResult GetDefaultEndpointId(EndpointFlow flow, std::wstring* id) override;
  HResult OpenEndpoint(EndpointFlow flow, int index, std::unique_ptr<AudioEndpoint>* endpoint) override;
  HResult EnumPlayoutDevices(std::vector<DeviceRecord>* devices) override;
  PlatformEvent::WaitResult WaitForEvent(PlatformEvent* event, uint32_t timeout_ms) override;
  bool Sleep(uint32_t ms, PlatformEvent* wake) override;
  bool RegisterProAudioThread(void** task) override;
  void RevertProAudioThread(void* task) override;

 private:
  struct Avrt;
  Avrt* avrt_;
};

// The active endpoints of a flow in index order, with their id text and friendly name;
// `log`: failures are logged with the device layer's messages.
HResult ReadActiveEndpoints(EndpointFlow flow, std::vector<EndpointInfo>* endpoints, bool log);

// The layer's AudioClient over an activated IAudioClient (takes over its reference).
std::unique_ptr<AudioClient> WrapWasapiAudioClient(void* audio_client);
