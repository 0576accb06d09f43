// Test double of the device layer: scripted endpoints with generated capture audio and
// recorded render audio, injectable failures and lost streams, and a virtual clock that
// time-outs and sleeps advance instead of waiting.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "device/audio_device_layer.h"

class ScriptedDeviceLayer;

// One endpoint; change its fields only through the layer's Configure.
struct ScriptedEndpoint {
  EndpointFlow flow = EndpointFlow::kCapture;
  std::wstring id;
  std::wstring name;
  WaveFormat mix = {};
  WaveFormat device_format = {};  // the exclusive-mode format
  HResult device_format_result = kS_OK;
  std::set<int> shared_rates;  // rates IsFormatSupported accepts in shared mode
  bool exclusive_allowed = false;
  int64_t default_period = 100000;  // 10 ms
  int64_t minimum_period = 30000;
  HResult agc_result = kE_NOINTERFACE;
  std::vector<HResult> initialize_results;  // consumed one per Initialize, then S_OK
  // Capture: sample of a channel at a frame index; packets of rate / 100 frames.
  std::function<double(int64_t frame, int channel)> source;
  int64_t packets_available = -1;  // -1: without limit
  // Packets that arrive before each wake-up; the buffer keeps at most its size in packets,
  // and an overflow drops the oldest and flags the next packet as a discontinuity.
  int packets_per_wake = 1;
  // Render: frames the device plays per wake-up.
  uint32_t consume_per_wake = 0;  // 0: one device period
  float session_volume = 1.0f;

  // Observations.
  std::vector<int16_t> rendered;          // every channel of every released render frame
  std::vector<uint32_t> render_requests;  // frame counts of GetBuffer calls after the first
  int64_t packets_dropped = 0;            // capture packets overwritten before they were read
  int activations = 0;
  int streams_started = 0;
  int64_t last_buffer_duration = 0;
  bool last_exclusive = false;
  WaveFormat last_format = {};
};

class ScriptedDeviceLayer : public AudioDeviceLayer {
 public:
  ScriptedDeviceLayer();
  ~ScriptedDeviceLayer() override;

  // A new endpoint with a float stereo mix format at `rate` accepted in shared mode.
  void AddEndpoint(EndpointFlow flow, const std::wstring& id, const std::wstring& name, int rate = 48000,
                   int channels = 2);
  void RemoveEndpoint(const std::wstring& id);
  void SetDefault(EndpointFlow flow, const std::wstring& id);
  // Changes an endpoint under the layer's lock.
  void Configure(const std::wstring& id, const std::function<void(ScriptedEndpoint&)>& change);
  // Reads an endpoint under the layer's lock.
  void Inspect(const std::wstring& id, const std::function<void(const ScriptedEndpoint&)>& look);
  // Streams open on the endpoint now stop delivering events; later streams work.
  void BreakStreams(const std::wstring& id);
  void FailEnumeration(bool fail);
  // Runs once at the start of the next OpenEndpoint (devices plugged in or removed between
  // an enumeration and the open that follows it).
  void OnNextOpen(std::function<void()> change);
  // Playout list as DirectSound gives it; by default the render endpoints.
  void SetPlayoutDevices(const std::vector<DeviceRecord>& devices, HResult result = kS_OK);

  int64_t now_ms() const { return clock_ms_.load(); }
  int com_balance() const { return com_balance_.load(); }
  // COM initialisations the calling thread has not undone yet.
  int thread_com_balance();
  // Whether every thread that initialised COM here has undone it (on that same thread).
  bool every_thread_balanced();
  int open_streams();

  // AudioDeviceLayer
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

  struct Stream;

 private:
  friend class ScriptedEndpointHandle;
  friend class ScriptedAudioClient;
  friend class ScriptedCaptureClient;
  friend class ScriptedRenderClient;
  friend class ScriptedSessionVolume;

  std::shared_ptr<ScriptedEndpoint> Find(const std::wstring& id);
  void ArrivePackets(Stream* s);  // lock held

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::shared_ptr<ScriptedEndpoint>> endpoints_;
  std::wstring default_capture_;
  std::wstring default_render_;
  bool fail_enumeration_ = false;
  std::function<void()> on_next_open_;
  bool custom_playout_ = false;
  std::vector<DeviceRecord> playout_;
  HResult playout_result_ = kS_OK;
  std::map<PlatformEvent*, std::shared_ptr<Stream>> streams_;
  std::atomic<int64_t> clock_ms_{0};
  std::atomic<int> com_balance_{0};
  std::mutex com_mutex_;
  std::map<std::thread::id, int> thread_com_;
};
