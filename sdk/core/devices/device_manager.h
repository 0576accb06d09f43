// The core's device lists, read from the media framework: cameras from its video device,
// microphones and speakers from the core environment's audio device.
#pragma once

#include <string>
#include <vector>

#include "avcore/video_device.h"
#include "base/system/w_lock.h"
#include "common/win/com_ref.h"
#include "core/devices/core_device_info.h"

namespace kiv_core {

struct CoreRtspParam {
  std::string url;
  std::string audioName;
  std::string videoName;
  bool hasAudio = false;
  bool hasVideo = false;
  bool udp = false;
  bool vbuf = false;
  int timeout = 0;
};

class DeviceManager {
 public:
  // At most this many cameras are listed.
  static constexpr int kMaxCameras = 16;
  // Capacity, in UTF-16 units, of the name buffers handed to the framework.
  static constexpr int kNameCapacity = 260;

  DeviceManager() = default;
  ~DeviceManager();
  DeviceManager(const DeviceManager&) = delete;
  DeviceManager& operator=(const DeviceManager&) = delete;

  // Creates the framework's video device and lets it enumerate; false (nothing held)
  // when it cannot be created.
  [[nodiscard]] bool Init();
  void Uninit();
  // The framework re-reads its device lists (cameras, then the audio device's).
  void Refresh();
  // Whether the video device knows a camera of that index.
  bool IsCameraValid(int cameraId);
  // Empty before the framework is up.
  std::vector<CoreDeviceInfo> GetMicrophoneDevices();
  std::vector<CoreDeviceInfo> GetSpeakerDevices();
  // Empty without a video device.
  std::vector<CoreDeviceInfo> GetCameraDevices();
  // Checks that the source's parameter text fits the framework's buffer.
  [[nodiscard]] bool AddRtspPlugin(const CoreRtspParam& param);

  // The compact JSON parameter text of an RTSP source: url, use_udp, use_vbuf.
  static std::string RtspParamText(const CoreRtspParam& param);

 private:
  kiv_common::ComRef<avcore::IVideoDevice> m_videoDevice;
  // Serialises camera enumeration.
  ZORVANTE::WLock m_cameraLock;
};

}  // namespace kiv_core
