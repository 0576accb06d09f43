// Test double of the level device layer: scripted capture endpoints with endpoint volume,
// mute, exclusive rates and a device topology with boost parts; volume notifications on
// demand; DirectSound lists, the default voice devices, Bluetooth names, the system version
// and winmm mixers with lines, controls and list items. Sleeps only count.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "device/level_device_layer.h"

extern const Guid kKsNodeTypeVolumeForTests;

// A topology part; the boost is a part with a level.
struct ScriptedPart {
  std::wstring name;
  Guid subtype = {};
  bool has_level = false;
  uint32_t channels = 2;
  float min_db = 0, max_db = 0, step_db = 0;
  float level_db = 0;
  HResult set_result = kS_OK;
  std::vector<std::shared_ptr<ScriptedPart>> outgoing;
  int sets = 0;
};

struct ScriptedLevelEndpoint {
  std::wstring guid_text;  // PKEY_AudioEndpoint_GUID
  std::wstring name;
  float master = 0.5f;
  HResult set_master_result = kS_OK;
  bool muted = false;
  std::set<int> exclusive_rates;           // rates accepted for 16-bit PCM in exclusive mode
  std::shared_ptr<ScriptedPart> topology;  // the connected part; null: no device topology
  // Observations.
  int master_sets = 0;
  Guid last_context = {};
  EndpointVolumeSink* sink = nullptr;
};

struct ScriptedMixerControl {
  MixerControlInfo info;
  std::vector<int32_t> values;      // channels x items as last written (or scripted)
  std::vector<std::wstring> texts;  // list items
  int writes = 0;
};

struct ScriptedMixerLine {
  MixerLineInfo info;
  std::vector<uint32_t> control_ids;
};

struct ScriptedMixer {
  std::wstring name;
  ScriptedMixerLine destination;
  std::vector<ScriptedMixerLine> sources;
  std::map<uint32_t, ScriptedMixerControl> controls;
  bool open = false;
  MixerNotifyWindow* window = nullptr;
};

class ScriptedLevelLayer : public LevelDeviceLayer {
 public:
  ScriptedLevelLayer();
  ~ScriptedLevelLayer() override;

  ScriptedLevelEndpoint& AddEndpoint(const std::wstring& guid_text, const std::wstring& name);
  // A device plugged in: its endpoint lists before the others.
  ScriptedLevelEndpoint& PlugEndpointFirst(const std::wstring& guid_text, const std::wstring& name);
  // Runs once at the start of the next OpenCaptureEndpoint (devices plugged in or removed
  // between an enumeration and the open that follows it).
  void OnNextOpen(std::function<void()> change) { on_next_open_ = std::move(change); }
  ScriptedLevelEndpoint& endpoint(const std::wstring& guid_text);
  // Delivers a volume notification to the endpoint's registered callback, as a system
  // thread would.
  void NotifyVolume(const std::wstring& guid_text, bool muted, float master);
  void SetSystemVersion(int major, int minor) { major_ = major, minor_ = minor; }
  void SetDirectSound(DeviceKind kind, const std::vector<DirectSoundDevice>& devices);
  void SetDefaultVoice(DeviceKind kind, const Guid& id);
  void SetBluetooth(const std::vector<std::wstring>& names) { bluetooth_ = names; }
  ScriptedMixer& AddMixer(const std::wstring& name);
  // Sends MM_MIXM_CONTROL_CHANGE to the mixer's window.
  void NotifyMixerControl(int mixer, uint32_t control_id);

  int bluetooth_searches() const { return bluetooth_searches_; }
  uint32_t slept_ms() const { return slept_ms_; }
  int notification_clients() const { return static_cast<int>(notification_sinks_.size()); }
  int windows() const { return windows_; }
  std::vector<ScriptedMixer>& mixers() { return mixers_; }

  // LevelDeviceLayer
  bool GetSystemVersion(int* major, int* minor) override;
  void Sleep(uint32_t ms) override { slept_ms_ += ms; }
  HResult EnumCaptureEndpoints(std::vector<EndpointInfo>* endpoints) override;
  HResult OpenCaptureEndpoint(const std::wstring& id, std::unique_ptr<LevelEndpoint>* endpoint) override;
  HResult RegisterDeviceNotifications(DeviceNotificationSink* sink) override;
  HResult UnregisterDeviceNotifications(DeviceNotificationSink* sink) override;
  HResult EnumDirectSound(DeviceKind kind, std::vector<DirectSoundDevice>* devices) override;
  HResult GetDefaultVoiceDevice(DeviceKind kind, Guid* id) override;
  HResult FindConnectedBluetoothDevices(std::vector<std::wstring>* names) override;
  int MixerCount() override { return static_cast<int>(mixers_.size()); }
  HResult GetMixerName(int index, std::wstring* name) override;
  HResult OpenMixer(int index, MixerNotifyWindow* window, std::unique_ptr<Mixer>* mixer) override;
  HResult CreateNotifyWindow(std::unique_ptr<MixerNotifyWindow>* window) override;

  std::recursive_mutex mutex;

 private:
  friend class ScriptedNotifyWindow;
  int major_ = 6, minor_ = 1;
  std::vector<std::unique_ptr<ScriptedLevelEndpoint>> endpoints_;
  std::function<void()> on_next_open_;
  std::vector<DirectSoundDevice> dsound_[2];
  bool has_default_voice_[2] = {};
  Guid default_voice_[2] = {};
  std::vector<std::wstring> bluetooth_;
  int bluetooth_searches_ = 0;
  uint32_t slept_ms_ = 0;
  std::set<DeviceNotificationSink*> notification_sinks_;
  std::vector<ScriptedMixer> mixers_;
  int windows_ = 0;
};
