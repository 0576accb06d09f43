// The platform under the microphone level control: endpoint volume, boost and device
// topology (Core Audio), device and volume notifications, the winmm mixer with its hidden
// notification windows, the DirectSound device lists, the Bluetooth device search and the
// system version. The Windows implementation makes the real calls; a scripted one stands in
// for them in tests.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "device/audio_device_layer.h"

// One change of an endpoint's volume or mute (AUDIO_VOLUME_NOTIFICATION_DATA).
struct VolumeNotification {
  Guid event_context;
  bool muted;
  float master_volume;  // 0..1
};

// Receives volume notifications on a system thread (IAudioEndpointVolumeCallback).
class EndpointVolumeSink {
 public:
  virtual ~EndpointVolumeSink() = default;
  virtual void OnNotify(const VolumeNotification& data) = 0;
};

// Receives device notifications (IMMNotificationClient); the library reacts to none.
class DeviceNotificationSink {
 public:
  virtual ~DeviceNotificationSink() = default;
  virtual void OnDeviceStateChanged(const std::wstring& id, uint32_t state) = 0;
  virtual void OnDeviceAdded(const std::wstring& id) = 0;
  virtual void OnDeviceRemoved(const std::wstring& id) = 0;
  virtual void OnDefaultDeviceChanged(EndpointFlow flow, int role, const std::wstring& id) = 0;
};

// IAudioEndpointVolume of one endpoint.
class EndpointVolume {
 public:
  virtual ~EndpointVolume() = default;
  virtual HResult GetMasterVolumeLevelScalar(float* level) = 0;
  virtual HResult SetMasterVolumeLevelScalar(float level, const Guid& event_context) = 0;
  virtual HResult GetMute(bool* muted) = 0;
  // The sink must outlive its registration.
  virtual HResult RegisterControlChangeNotify(EndpointVolumeSink* sink) = 0;
  virtual HResult UnregisterControlChangeNotify(EndpointVolumeSink* sink) = 0;
};

// IAudioVolumeLevel of a topology part: levels in dB per channel.
class VolumeLevel {
 public:
  virtual ~VolumeLevel() = default;
  virtual HResult GetChannelCount(uint32_t* channels) = 0;
  virtual HResult GetLevelRange(uint32_t channel, float* min_db, float* max_db, float* step_db) = 0;
  virtual HResult GetLevel(uint32_t channel, float* db) = 0;
  virtual HResult SetLevelUniform(float db) = 0;
};

// IPart of an endpoint's device topology.
class TopologyPart {
 public:
  virtual ~TopologyPart() = default;
  virtual HResult GetName(std::wstring* name) = 0;
  virtual HResult GetSubType(Guid* subtype) = 0;
  virtual HResult ActivateVolumeLevel(std::unique_ptr<VolumeLevel>* level) = 0;
  // The parts that follow this one; kE_NOTFOUND when there are none.
  virtual HResult EnumPartsOutgoing(std::vector<std::unique_ptr<TopologyPart>>* parts) = 0;
};

// A capture endpoint as the level control opens it.
class LevelEndpoint {
 public:
  virtual ~LevelEndpoint() = default;
  virtual HResult GetId(std::wstring* id) = 0;
  virtual HResult ActivateEndpointVolume(std::unique_ptr<EndpointVolume>* volume) = 0;
  virtual HResult ActivateAudioClient(std::unique_ptr<AudioClient>* client) = 0;
  // The part on the device side of the endpoint's connector 0 (topology, connector, the
  // connector it is connected to, its IPart).
  virtual HResult GetConnectedPart(std::unique_ptr<TopologyPart>* part) = 0;
};

// A DirectSound device as the enumeration offers it.
struct DirectSoundDevice {
  bool has_guid = false;  // false for the primary driver
  Guid id = {};
  std::wstring description;
};

enum class DeviceKind { kCapture = 0, kPlayback = 1 };

// winmm mixer records.
struct MixerLineInfo {
  uint32_t line_id = 0;
  uint32_t component_type = 0;
  uint32_t channels = 0;
  uint32_t connections = 0;  // source lines of a destination
  uint32_t controls = 0;
  std::wstring name;
};

struct MixerControlInfo {
  uint32_t id = 0;
  uint32_t type = 0;
  uint32_t flags = 0;  // MIXERCONTROL_CONTROLF_UNIFORM (1), _MULTIPLE (2)
  int32_t minimum = 0;
  int32_t maximum = 0;
  uint32_t items = 0;  // items of a list control
};

constexpr uint32_t kMixerControlUniform = 0x1;
constexpr uint32_t kMixerControlMultiple = 0x2;
constexpr uint32_t kMixerDstWaveIn = 0x00000007;      // MIXERLINE_COMPONENTTYPE_DST_WAVEIN
constexpr uint32_t kMixerSrcMicrophone = 0x00001003;  // MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE
constexpr uint32_t kMixerSrcLine = 0x00001002;        // MIXERLINE_COMPONENTTYPE_SRC_LINE
constexpr uint32_t kMixerControlVolume = 0x50030001;  // MIXERCONTROL_CONTROLTYPE_VOLUME
constexpr uint32_t kMixerControlMute = 0x20010002;    // MIXERCONTROL_CONTROLTYPE_MUTE

// Receives MM_MIXM_CONTROL_CHANGE on a notification window's thread.
class MixerWindowSink {
 public:
  virtual ~MixerWindowSink() = default;
  virtual void OnControlChange(uint32_t control_id) = 0;
};

// A hidden window of class "OrvexCommonClass", titled "TORMWND"; destroyed with the object
// (it leaves the window map first).
class MixerNotifyWindow {
 public:
  virtual ~MixerNotifyWindow() = default;
  virtual void* handle() const = 0;
  // Links the window to the mixer object it reports to (null unlinks).
  virtual void set_sink(MixerWindowSink* sink) = 0;
};

// An opened winmm mixer; closed with the object.
class Mixer {
 public:
  virtual ~Mixer() = default;
  virtual HResult GetDestinationLine(uint32_t component_type, MixerLineInfo* line) = 0;
  virtual HResult GetSourceLine(const MixerLineInfo& destination, uint32_t index, MixerLineInfo* line) = 0;
  virtual HResult GetControlByType(uint32_t line_id, uint32_t type, MixerControlInfo* control) = 0;
  virtual HResult GetAllControls(const MixerLineInfo& line, std::vector<MixerControlInfo>* controls) = 0;
  // Values of `channels` x `items` entries (items 0 for a plain control, counted as 1).
  virtual HResult GetValues(const MixerControlInfo& control, uint32_t channels, std::vector<int32_t>* values) = 0;
  virtual HResult SetValues(const MixerControlInfo& control, uint32_t channels, const std::vector<int32_t>& values) = 0;
  // Texts of a list control's items.
  virtual HResult GetItemTexts(const MixerControlInfo& control, uint32_t channels,
                               std::vector<std::wstring>* texts) = 0;
};

class LevelDeviceLayer {
 public:
  virtual ~LevelDeviceLayer() = default;

  // Operating-system version; false when it cannot be read.
  virtual bool GetSystemVersion(int* major, int* minor) = 0;
  virtual void Sleep(uint32_t ms) = 0;

  // Core Audio, on a thread that has initialised COM.
  virtual HResult EnumCaptureEndpoints(std::vector<EndpointInfo>* endpoints) = 0;
  // The active capture endpoint whose id text equals `id`; E_NOTFOUND when none has it.
  virtual HResult OpenCaptureEndpoint(const std::wstring& id, std::unique_ptr<LevelEndpoint>* endpoint) = 0;
  // The sink must outlive its registration.
  virtual HResult RegisterDeviceNotifications(DeviceNotificationSink* sink) = 0;
  virtual HResult UnregisterDeviceNotifications(DeviceNotificationSink* sink) = 0;

  // DirectSound.
  virtual HResult EnumDirectSound(DeviceKind kind, std::vector<DirectSoundDevice>* devices) = 0;
  // The device DSDEVID_DefaultVoiceCapture / DSDEVID_DefaultVoicePlayback map to.
  virtual HResult GetDefaultVoiceDevice(DeviceKind kind, Guid* id) = 0;

  // Bluetooth: names of the connected devices (no inquiry); an empty list when none.
  virtual HResult FindConnectedBluetoothDevices(std::vector<std::wstring>* names) = 0;

  // winmm mixer.
  virtual int MixerCount() = 0;
  virtual HResult GetMixerName(int index, std::wstring* name) = 0;
  // Opens mixer `index` reporting control changes to `window`.
  virtual HResult OpenMixer(int index, MixerNotifyWindow* window, std::unique_ptr<Mixer>* mixer) = 0;
  virtual HResult CreateNotifyWindow(std::unique_ptr<MixerNotifyWindow>* window) = 0;
};

// The layer the library's level control uses: the Windows layer on Windows, one without
// devices natively.
LevelDeviceLayer* ActiveLevelDeviceLayer();
// Replaces it (tests); null restores the default.
void SetActiveLevelDeviceLayer(LevelDeviceLayer* layer);
