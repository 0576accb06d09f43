// One microphone captured in event-driven mode on a thread of its own, cut into 20 ms mono
// chunks at the device rate and handed to the audio core (main microphone) or, resampled,
// to the core's second-microphone ring (second microphone).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "capture/mic_sample_converter.h"
#include "device/audio_device_layer.h"
#include "device/device_quirks.h"
#include "platform/platform_thread.h"
#include "stream/delayed_restart.h"
#include "stream/endpoint_selection.h"
#include "volume/mic_level_control.h"
#include "vorax_mutex.h"

class AudioCore;

class MicCapture {
 public:
  // `core` null: the process-wide core. `level_factory` null: the library's level control.
  MicCapture(AudioDeviceLayer* layer, bool second_mic, AudioCore* core = nullptr,
             MicLevelControlFactory level_factory = nullptr);
  ~MicCapture();
  MicCapture(const MicCapture&) = delete;
  MicCapture& operator=(const MicCapture&) = delete;

  HResult EnumDevices();
  // Opens the endpoint with this id text, or the default communications endpoint (null).
  HResult Init(const wchar_t* id);
  void Start();
  void Stop();
  void ResetDevice(const Guid& guid);
  void SetDevice(const Guid& guid);
  void SetVolume(int level);
  HResult Find2ndMic(const std::wstring& main_id, std::wstring* out);

  // Reads the level (0..100) and the boost through the level control; false without one.
  bool GetVolume(int* percent, float* boost_db);

  // A copy of the device list: the exports and a second microphone's thread rewrite it.
  std::vector<DeviceRecord> devices() const;
  bool second_mic() const { return second_mic_; }
  bool has_device() const { return selected_.endpoint != nullptr; }
  std::wstring device_id() const;
  Guid device_guid() const;
  const std::wstring& friendly_name() const { return selected_.friendly_name; }
  int rate() const { return rate_; }
  int channels() const { return channels_; }
  int chunk() const { return chunk_; }
  bool exclusive() const { return exclusive_; }
  SampleType sample_type() const { return sample_type_; }
  bool running() const { return thread_.running() && !stop_; }
  bool extra_gain_on() const { return extra_gain_on_; }

  // Process-wide: the main microphone's endpoint id text.
  static std::wstring MainDeviceId();
  // Forgets the second microphones already tried (tests; the library never does).
  static void ClearTriedSecondMics();

  // Steps of the capture thread: delivery of one chunk and the automatic mic level.
  void OnCapturedData(int16_t* chunk, int bytes, int rate, int64_t position);
  void AutoMicLevel(const int16_t* chunk, int samples, uint8_t raise, float energy);

 private:
  AudioCore& Core();
  HResult CheckFormat(bool exclusive);
  // The capture thread and its steps.
  void CaptureProc();
  struct StreamThread {
    bool com = false;
    void* task = nullptr;  // the "Pro Audio" registration, when this thread made it
  };
  struct CaptureStream {
    PlatformEvent event;
    std::unique_ptr<AudioClient> client;
    std::unique_ptr<CaptureClient> capture;
  };
  StreamThread EnterCaptureThread();
  void LeaveCaptureThread(const StreamThread& thread, CaptureStream* stream);
  bool OpenCaptureStream(CaptureStream* stream);
  void ChooseShareMode();
  CaptureBufferChoice ChooseBufferDuration(int64_t default_period);
  bool StartCaptureStream(CaptureStream* stream);
  void RunCaptureLoop(CaptureStream* stream);
  enum class PacketResult { kRead, kEmpty, kGetFailed, kReleaseFailed };
  // One packet: GetBuffer and, when it handed one out, ReleaseBuffer; `first` of a wake-up
  // logs a short packet.
  PacketResult ReadPacket(CaptureClient* capture, bool first, const MicSampleFormat& sample_format,
                          std::vector<uint8_t>* silence);
  void DeliverSamples(const int16_t* mono, int count, int64_t position);
  // Steps of OnCapturedData, under the level lock.
  void ApplyDigitalGain(int16_t* chunk, int samples);
  void DeliverSecondMicChunk(const int16_t* chunk, int bytes, int rate);
  void SaveLevelForEchoState(MicLevelControl* control);
  static constexpr int32_t kExtraGainIndex = 152;  // the extra virtual gain's step
  void StartRestartThread();
  void ReplaceLevelControl(const Guid& guid);
  void HandleDeadSecondMic();

  AudioDeviceLayer* layer_;
  AudioCore* core_;
  MicLevelControlFactory level_factory_;

  // Start, Stop, Init and ResetDevice run one at a time (exports and restart threads).
  VORAX::Mutex control_;
  PlatformThread thread_;
  std::atomic<bool> stop_{true};
  std::atomic<bool> restart_requested_{false};
  int wait_timeouts_ = 0;
  // The level control is replaced by the capture thread and read by the exports.
  VORAX::Mutex level_mutex_;
  std::unique_ptr<MicLevelControl> level_control_;
  DigitalGain digital_gain_;
  std::atomic<bool> extra_gain_on_{false};
  Guid device_guid_ = {};
  SelectedEndpoint selected_;
  std::wstring device_id_;
  bool second_mic_;
  bool two_channel_sum_ = false;
  bool exclusive_ = false;
  int rate_ = 0;
  int channels_ = 0;
  WaveFormat format_ = {};
  SampleType sample_type_ = SampleType::kUnknown;
  std::vector<int16_t> conversion_;
  std::vector<int16_t> mono_ring_;
  int read_index_ = 0;
  int write_index_ = 0;
  int stored_ = 0;
  int chunk_ = 0;
  int64_t first_position_ = -1;
  int64_t device_position_ = 0;
  int64_t relative_position_ = 0;
  bool thread_class_registered_ = false;
  mutable VORAX::Mutex devices_mutex_;
  std::vector<DeviceRecord> devices_;  // under devices_mutex_

  // Restart threads: woken early by Stop, joined before destruction.
  DelayedRestart restart_;
};
