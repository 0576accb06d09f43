// The device layer over Core Audio (MMDevice, WASAPI, device topology), DirectSound
// enumeration and Avrt.dll.
#pragma once

#include <string>

#include "common/win/com_ref.h"
#include "device/audio_device_layer.h"

struct IMMDevice;

class WasapiDeviceLayer : public AudioDeviceLayer {
 public:
  WasapiDeviceLayer();
  ~WasapiDeviceLayer() override;

  bool InitializeThread() override;
  void UninitializeThread() override;
  HResult EnumEndpoints(EndpointFlow flow, std::vector<EndpointInfo>* endpoints) override;
  HResult GetDefaultEndpointId(EndpointFlow flow, std::wstring* id) override;
  HResult OpenEndpoint(EndpointFlow flow, const std::wstring& id, std::unique_ptr<AudioEndpoint>* endpoint) override;
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
// The active endpoint of a flow whose id text equals `id` (as SameDeviceId compares), taken
// from one enumeration; E_NOTFOUND when no active endpoint has it. Nothing is logged.
HResult FindActiveEndpoint(EndpointFlow flow, const std::wstring& id, kiv_common::ComRef<IMMDevice>* device);

// The layer's AudioClient over an activated IAudioClient (takes over its reference).
std::unique_ptr<AudioClient> WrapWasapiAudioClient(void* audio_client);
