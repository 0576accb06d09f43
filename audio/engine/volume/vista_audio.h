// The Core Audio side of a microphone's level control: the endpoint that matches a
// DirectSound device identifier, its endpoint volume (the analog level), the exclusive-mode
// rate probe, the microphone boost found in the device topology, and the two notification
// objects that record volume and mute changes.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "device/level_device_layer.h"
#include "vorax_mutex.h"

class CVistaAudio;
class VolumeController;

// Records the endpoint's volume and mute changes for its owner.
class CMyAudioEndpointVolumeCallback : public EndpointVolumeSink {
 public:
  CMyAudioEndpointVolumeCallback(CVistaAudio* owner, LevelDeviceLayer* layer) : owner_(owner), layer_(layer) {}
  void OnNotify(const VolumeNotification& data) override;

  void set_controller(VolumeController* controller) { controller_ = controller; }
  VolumeController* controller() const { return controller_; }
  int last_level() const { return last_level_; }
  int last_mute() const { return last_mute_; }

 private:
  CVistaAudio* owner_;
  LevelDeviceLayer* layer_;
  std::atomic<VolumeController*> controller_{nullptr};
  std::atomic<int> last_level_{-1};
  std::atomic<int> last_mute_{2};  // unknown
};

// Device notifications: registered so that the endpoint is watched; nothing reacts to them.
class CMyNotificationClient : public DeviceNotificationSink {
 public:
  void OnDeviceStateChanged(const std::wstring&, uint32_t) override {}
  void OnDeviceAdded(const std::wstring&) override {}
  void OnDeviceRemoved(const std::wstring&) override {}
  void OnDefaultDeviceChanged(EndpointFlow, int, const std::wstring&) override {}
};

class CVistaAudio {
 public:
  // `device`: the DirectSound identifier of the capture device; `minor_version`: the
  // system's minor version is not 0. Without a matching endpoint the object has no
  // endpoint interfaces, and every operation reports a failure.
  CVistaAudio(LevelDeviceLayer* layer, const Guid& device, bool capture, bool minor_version);
  virtual ~CVistaAudio();
  CVistaAudio(const CVistaAudio&) = delete;
  CVistaAudio& operator=(const CVistaAudio&) = delete;

  bool has_endpoint() const { return volume_ != nullptr; }
  int endpoint_index() const { return endpoint_index_; }
  int endpoint_count() const { return endpoint_count_; }
  bool narrow_band() const { return narrow_band_; }
  int mute() const { return mute_; }
  void set_mute(int mute) { mute_ = mute; }
  void clear_change_pending() { change_pending_ = 0; }

  // Endpoint volume, under the object's lock.
  HResult GetMasterVolume(float* level);
  HResult SetMasterVolume(float level, const Guid& event_context);

  // Boost, channel 0 of its range (dB).
  bool has_boost() const { return boost_ != nullptr; }
  float boost_min() const { return boost_min_; }
  float boost_max() const { return boost_max_; }
  float boost_step() const { return boost_step_; }
  HResult GetBoost(float* db);
  HResult SetBoost(float db);

  // The endpoint's volume callback keeps the controller registered with it.
  void RegisterController(VolumeController* controller);
  CMyAudioEndpointVolumeCallback* volume_callback() { return callback_.get(); }

  // Lowers the controller's level, or the endpoint's boost, one step for the voice energy;
  // 1 when a step was taken, else 0.
  static int DecreaseMicBoostVol(VolumeController* controller, float energy);

  // Depth-first search from `part` for the boost: by name ("Mic" and "Boost") or by node type
  // (a volume node with a range from 0 dB up in steps of 1 dB or more).
  static std::unique_ptr<VolumeLevel> SearchMicBoostIVol(TopologyPart* part, bool by_name);

 private:
  void ProbeExclusiveRates();
  void FindBoost(LevelEndpoint* endpoint);

  LevelDeviceLayer* layer_;
  bool capture_;
  int endpoint_count_ = 0;
  int endpoint_index_ = -1;
  std::wstring endpoint_id_;
  std::unique_ptr<EndpointVolume> volume_;
  std::unique_ptr<AudioClient> client_;
  std::unique_ptr<VolumeLevel> boost_;
  float boost_min_ = 0.0f;
  float boost_max_ = 0.0f;
  float boost_step_ = 0.0f;
  std::unique_ptr<CMyNotificationClient> notification_client_;
  bool notification_registered_ = false;
  std::unique_ptr<CMyAudioEndpointVolumeCallback> callback_;
  bool callback_registered_ = false;
  std::atomic<int> mute_{0};
  std::atomic<int> change_pending_{0};
  bool narrow_band_ = false;
  VORAX::Mutex lock_;
};
