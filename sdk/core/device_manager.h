// The core's device lists, read from the media framework.
#pragma once

#include <string>
#include <vector>

namespace kiv_core {

struct CoreDeviceInfo {
    int id = 0;
    std::string name;
};

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
    DeviceManager() = default;
    DeviceManager(const DeviceManager&) = delete;
    DeviceManager& operator=(const DeviceManager&) = delete;

    bool Init();
    void Uninit();
    // The framework re-reads its device lists.
    void Refresh();
    bool IsCameraValid(int cameraId);
    std::vector<CoreDeviceInfo> GetMicrophoneDevices();
    std::vector<CoreDeviceInfo> GetSpeakerDevices();
    std::vector<CoreDeviceInfo> GetCameraDevices();
    bool AddRtspPlugin(const CoreRtspParam& param);
};

}  // namespace kiv_core
