// Far-end playback on one render endpoint in shared, event-driven mode on a thread of its
// own, fed through the audio core; also the playout device list and the session volume.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "device/audio_device_layer.h"
#include "platform/platform_thread.h"
#include "stream/delayed_restart.h"
#include "stream/endpoint_selection.h"
#include "vorax_mutex.h"

class AudioCore;

class WASPlayback {
 public:
  // `core` null: the process-wide core.
  explicit WASPlayback(AudioDeviceLayer* layer, AudioCore* core = nullptr);
  ~WASPlayback();
  WASPlayback(const WASPlayback&) = delete;
  WASPlayback& operator=(const WASPlayback&) = delete;

  HResult EnumPlayoutDevices(bool select_first);
  // Opens the render endpoint with this id text, or the default communications one (null).
  void Init(const wchar_t* id);
  HResult CheckFormat(bool exclusive);
  void Start();
  void Stop();
  void ResetDevice(const Guid& guid);
  // One device buffer of `bytes` bytes in the device format.
  void FillBuffer(uint8_t* out, int bytes, int rate);

  // Session volume of the running stream (0.0 to 1.0); false while no stream runs.
  bool GetVolume(float* level);
  bool SetVolume(float level);

  const std::vector<DeviceRecord>& devices() const { return devices_; }
  Guid device_guid() const { return device_guid_; }
  bool has_device() const { return selected_.endpoint != nullptr; }
  const std::wstring& friendly_name() const { return selected_.friendly_name; }
  int rate() const { return rate_; }
  int channels() const { return channels_; }
  const WaveFormat& format() const { return format_; }
  int played_bytes() const { return played_bytes_; }
  bool running() const { return thread_.running() && !stop_; }

 private:
  AudioCore& Core();
  // The render thread and its steps.
  void PlayProc();
  struct RenderStream {
    PlatformEvent event;
    std::unique_ptr<AudioClient> client;
    std::unique_ptr<RenderClient> render;
    uint32_t buffer_frames = 0;
    int64_t duration = 0;  // of the device buffer, in 100 ns units
  };
  void LeaveRenderThread(bool com, bool restart, RenderStream* stream);
  bool OpenRenderStream(RenderStream* stream);
  bool StartRenderStream(RenderStream* stream);
  bool RunRenderLoop(RenderStream* stream);
  void RenderFreeSpace(AudioClient* client, RenderClient* render, uint32_t buffer_frames);
  void StartRestartThread();

  AudioDeviceLayer* layer_;
  AudioCore* core_;

  VORAX::Mutex control_;  // Start, Stop, Init and ResetDevice run one at a time
  Guid device_guid_ = {};
  SelectedEndpoint selected_;
  VORAX::Mutex volume_mutex_;  // the render thread owns the session volume, the exports use it
  std::unique_ptr<SessionVolume> session_volume_;
  std::wstring device_id_;
  PlatformThread thread_;
  std::atomic<bool> stop_{true};
  bool exclusive_ = false;
  int rate_ = 0;
  int channels_ = 0;
  WaveFormat format_ = {};
  std::vector<int16_t> device_buffer_;
  std::vector<int16_t> mono_buffer_;
  int buffer_size_ = 0;
  std::atomic<int> played_bytes_{0};
  std::vector<DeviceRecord> devices_;

  DelayedRestart restart_;  // woken early by Stop, joined before destruction
};
