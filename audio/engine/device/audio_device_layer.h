// The device layer under capture and playback: endpoints, audio clients, capture and render
// clients, session volume, events, the clock and thread set-up. The WASAPI implementation
// drives the real devices; a scripted one stands in for them in tests.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "device/guid_text.h"
#include "device/hresult.h"
#include "device/wave_format.h"
#include "platform/platform_thread.h"

enum class EndpointFlow { kRender, kCapture };

// One active endpoint as the enumeration lists it.
struct EndpointInfo {
  std::wstring id;    // the endpoint GUID as text in braces (PKEY_AudioEndpoint_GUID)
  std::wstring name;  // friendly name
};

// A capture or playout device as the device lists keep it.
struct DeviceRecord {
  std::wstring name;
  Guid id;
};

class CaptureClient {
 public:
  virtual ~CaptureClient() = default;
  // The next packet: data, frames, buffer flags and the device position of its first frame.
  virtual HResult GetBuffer(uint8_t** data, uint32_t* frames, uint32_t* flags, uint64_t* device_position) = 0;
  virtual HResult ReleaseBuffer(uint32_t frames) = 0;
};

class RenderClient {
 public:
  virtual ~RenderClient() = default;
  virtual HResult GetBuffer(uint32_t frames, uint8_t** data) = 0;
  virtual HResult ReleaseBuffer(uint32_t frames, uint32_t flags) = 0;
};

// The stream's session volume (ISimpleAudioVolume).
class SessionVolume {
 public:
  virtual ~SessionVolume() = default;
  virtual HResult GetMasterVolume(float* level) = 0;
  virtual HResult SetMasterVolume(float level) = 0;
};

// IAudioClient. Durations are in 100 ns units. Streams are always event driven.
class AudioClient {
 public:
  virtual ~AudioClient() = default;
  virtual HResult GetMixFormat(WaveFormat* format) = 0;
  virtual HResult IsFormatSupported(bool exclusive, const WaveFormat& format) = 0;
  virtual HResult GetDevicePeriod(int64_t* default_period, int64_t* minimum_period) = 0;
  virtual HResult Initialize(bool exclusive, int64_t buffer_duration, int64_t periodicity,
                             const WaveFormat& format) = 0;
  virtual HResult GetBufferSize(uint32_t* frames) = 0;
  virtual HResult SetEventHandle(PlatformEvent* event) = 0;
  virtual HResult Start() = 0;
  virtual HResult Stop() = 0;
  virtual HResult GetCurrentPadding(uint32_t* frames) = 0;
  virtual HResult GetCaptureClient(std::unique_ptr<CaptureClient>* client) = 0;
  virtual HResult GetRenderClient(std::unique_ptr<RenderClient>* client) = 0;
  virtual HResult GetSessionVolume(std::unique_ptr<SessionVolume>* volume) = 0;
};

// IMMDevice: one opened endpoint.
class AudioEndpoint {
 public:
  virtual ~AudioEndpoint() = default;
  virtual HResult Activate(std::unique_ptr<AudioClient>* client) = 0;
  // PKEY_AudioEngine_DeviceFormat, the format exclusive mode uses.
  virtual HResult GetDeviceFormat(WaveFormat* format) = 0;
  // Finds the endpoint's AGC part through its device topology and switches it off.
  virtual HResult DisableSystemAgc() = 0;
};

class AudioDeviceLayer {
 public:
  virtual ~AudioDeviceLayer() = default;

  // COM for the calling thread (CoInitialize(NULL)); true when it succeeded, and then one
  // UninitializeThread (CoUninitialize) on the same thread undoes it. The layer keeps no
  // per-thread state (ThreadComScope pairs the two): a thread_local with a destructor would
  // pin the DLL to each calling thread and unload it from that thread's exit.
  virtual bool InitializeThread() = 0;
  virtual void UninitializeThread() = 0;

  // Active endpoints in index order.
  virtual HResult EnumEndpoints(EndpointFlow flow, std::vector<EndpointInfo>* endpoints) = 0;
  // Id text of the default communications endpoint.
  virtual HResult GetDefaultEndpointId(EndpointFlow flow, std::wstring* id) = 0;
  // The active endpoint whose id text equals `id` (as SameDeviceId compares); E_NOTFOUND
  // when none has it, as when it was removed since it was enumerated.
  virtual HResult OpenEndpoint(EndpointFlow flow, const std::wstring& id, std::unique_ptr<AudioEndpoint>* endpoint) = 0;
  // Playout devices as DirectSound lists them (the primary driver, which has no GUID, skipped).
  virtual HResult EnumPlayoutDevices(std::vector<DeviceRecord>* devices) = 0;

  // Waits for a stream event; the clock of the wait is the layer's.
  virtual PlatformEvent::WaitResult WaitForEvent(PlatformEvent* event, uint32_t timeout_ms) = 0;
  // Sleeps on the layer's clock; returns early (true) when `wake` is set meanwhile.
  virtual bool Sleep(uint32_t ms, PlatformEvent* wake) = 0;

  // "Pro Audio" task class at critical priority for the calling thread; false when the
  // thread class could not be set. RevertProAudioThread undoes it.
  virtual bool RegisterProAudioThread(void** task) = 0;
  virtual void RevertProAudioThread(void* task) = 0;
};

// COM on the calling thread for the life of the scope, undone on the same thread before it
// ends, so that no thread keeps an initialisation of the library's after an export returns.
class ThreadComScope {
 public:
  explicit ThreadComScope(AudioDeviceLayer* layer) : layer_(layer), initialised_(layer->InitializeThread()) {}
  ~ThreadComScope() {
    if (initialised_) layer_->UninitializeThread();
  }
  ThreadComScope(const ThreadComScope&) = delete;
  ThreadComScope& operator=(const ThreadComScope&) = delete;

 private:
  AudioDeviceLayer* layer_;
  bool initialised_;
};

// The layer the library's devices use: the WASAPI layer on Windows, a layer without
// endpoints natively.
AudioDeviceLayer* ActiveDeviceLayer();
// Replaces it (tests); null restores the default.
void SetActiveDeviceLayer(AudioDeviceLayer* layer);
