// Device lists and RTSP sources.
#pragma once

#include "kiv_records.h"

namespace kiv {

// Codes of IKivEngineEventHandler::OnDeviceChange.
enum : int {
  DEVICE_CHANGE_CAMERA_ADDED = 1,
  DEVICE_CHANGE_CAMERA_REMOVED = 2,
  DEVICE_CHANGE_SPEAKER_ADDED = 3,
  DEVICE_CHANGE_SPEAKER_REMOVED = 4,
  DEVICE_CHANGE_MIC_ADDED = 5,
  DEVICE_CHANGE_MIC_REMOVED = 6,
};

// Owned by the engine. A list fetched here is the reference for the next device change.
class IDeviceManager {
 public:
  virtual Vector<DeviceInfo> GetMicrophoneDevices() = 0;
  virtual Vector<DeviceInfo> GetSpeakerDevices() = 0;
  virtual Vector<DeviceInfo> GetCameraDevices() = 0;
  virtual int AddRtspPlugin(const RtspPluginParam* param) = 0;

 protected:
  ~IDeviceManager() = default;
};

}  // namespace kiv
