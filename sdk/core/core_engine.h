// The meeting core between the engine facade and the media framework.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/system/w_lock.h"
#include "core/control/kiv_cp_client_event_handler.h"
#include "core/control/online_business.h"
#include "core/control/tmsg_business.h"
#include "core/core_observers.h"
#include "core/env/engine_config.h"
#include "core/frames/core_video_profile.h"
#include "core/recorder/recoder.h"
#include "core/streams/stream_manager.h"
#include "core/white_board_netimpl.h"

namespace kiv_core {

class AudioEngine;
class CoreEnv;
class DeviceManager;
class KivCpClient;

// Every operation returns an ErrCode unless stated otherwise; strings are UTF-8.
class CoreEngine : public KivCpClientEventHandler {
 public:
  CoreEngine();
  ~CoreEngine();
  CoreEngine(const CoreEngine&) = delete;
  CoreEngine& operator=(const CoreEngine&) = delete;

  int Init(const EngineConfig& config);
  // Stops everything Init and later calls started; a second run finds nothing to stop.
  void Destory();

  int Login(const std::string& deviceId, const std::string& token, const std::string& userId, bool force,
            const std::string& extra);
  int Logout();
  int JoinGroup(const std::string& groupId);
  // Runs the hook set below first, then destroys the streams and leaves at the connection.
  int LeaveGroup();
  int LeaveGroupAndLogout();
  // Run on the leaving thread at the start of every leave (the facade closes its boards).
  void SetBeforeLeave(std::function<void()> hook) { m_beforeLeave = std::move(hook); }

  // KivCpClientEventHandler, on the connection's threads.
  void OnMediaChanged(const std::vector<MediaRecord>& records, bool fullList) override;
  void OnScreenShareRemoteControlEvent(const std::string& userId, int eventType) override;
  void OnRemoteUser(const std::string& userId, bool joined) override;
  // Leaving and logging out are posted to the thread that called Init.
  void OnConnectionLost() override;

  // Letters, digits, '_' and '-' only; the empty string passes.
  static bool IsValidId(const std::string& id);

  // Publishing and previews.
  int StartPublishAudio(const std::string& audioId);
  int StopPublishAudio(const std::string& audioId);
  int StartPublishScreenShare(int left, int top, int right, int bottom, int bias, int flag);
  int StopPublishScreenShare();
  int StartPublishDeviceVideo(const std::string& videoId, int cameraId);
  int StopPublishDeviceVideo(const std::string& videoId);
  int AddLocalPreview(int cameraId, HWND window, int renderMode);
  int RemoveLocalPreview(int cameraId, HWND window);
  int StartLocalRecord(const std::string& filePath, int cameraId, bool recordAudio);
  int StopLocalRecord(int cameraId);
  int SetDeviceVideoProfile(const std::string& videoId, const CoreVideoProfile& profile);

  // Remote media.
  int SubscribeRemoteAudio(const std::string& userId, const std::string& audioId);
  int UnSubscribeRemoteAudio(const std::string& userId, const std::string& audioId);
  // Detaches the video's window and, when nothing shows it any more, drops its stream.
  int UnSubscribeRemoteVideo(const std::string& userId, const std::string& videoId);
  // Applies announced media: updates the stored list and raises the application's events.
  void DoMediaChange(const std::vector<MediaRecord>& records);
  int SetRemoteVideoRender(const std::string& userId, const std::string& videoId, HWND window, int renderMode);
  // Null clears; without a stream the observer is dropped and 302 returned.
  int RegisterRenderVideoFrameObserver(const std::string& userId, const std::string& videoId,
                                       std::unique_ptr<ICoreVideoFrameObserver> observer);
  void RegisterRemoteRawAudioObserver(const std::string& userId, const std::string& audioId,
                                      std::shared_ptr<ICoreRemoteRawAudioObserver> observer);
  int GetRemoteAudioInfo(const std::string& userId, const std::string& audioId);
  int GetVideoStats(const std::string& userId, const std::string& videoId, int* width, int* height, int* frameRate,
                    int* bitrate);

  // Audio engine and observers.
  int StartPlayAudio();
  int StopPlayAudio();
  // The audio observers are lent, not owned: each stays registered until replaced or cleared.
  void RegisterAllMixedAudioObserver(ICoreAllMixedAudioObserver* observer);
  void RegisterLocalCaptureAudioObserver(ICoreLocalCaptureAudioObserver* observer);
  void RegisterLocalPlayAudioObserver(ICoreLocalPlayAudioObserver* observer);
  // Null clears; without a stream the observer is dropped and 302 returned.
  int RegisterCaptureVideoFrameObserver(int cameraId, std::unique_ptr<ICoreVideoFrameObserver> observer);
  int SetAutoSubscribeRemoteAudio(bool autoSubscribe);

  // 0 request, 1 cancel, 2 accept, 3 refuse, 4 clear the remote-control flag.
  int ScreenShareRemoteControl(const std::string& userId, int operation);

  // A camera of the device lists went away / came back.
  void OnCameraRemoved(int cameraId);
  void OnCameraAdded(int cameraId);

  // The core environment's configuration copy.
  EngineConfig* GetEngineConfig();
  OnlineBusiness* GetOnlineBusiness() { return &m_onlineBusiness; }
  TMsgBusiness* GetTMsgBusiness() { return &m_tmsgBusiness; }
  Recoder* GetRecoder() { return &m_recoder; }
  AudioEngine* GetAudioEngine() { return m_audioEngine.get(); }
  DeviceManager* GetDeviceManager() { return m_deviceManager.get(); }
  StreamManager* GetStreamManager() { return &m_streamManager; }
  WhiteBoardNetImpl* GetWhiteBoardNet() { return &m_whiteBoardNet; }
  KivCpClient* GetCpClient() { return m_cpClient.get(); }

 private:
  // The voice receive mode's rule: false when the audio is not to be received at all.
  bool ApplyVoiceReceiveRule(const char* operation, const std::string& userId, const std::string& audioId,
                             std::string* effectiveId);

  // Made by the constructor (null when an allocation failed), destroyed by the destructor
  // in a fixed order.
  std::unique_ptr<DeviceManager> m_deviceManager;
  std::unique_ptr<AudioEngine> m_audioEngine;
  std::unique_ptr<CoreEnv> m_env;
  StreamManager m_streamManager;
  std::unique_ptr<KivCpClient> m_cpClient;
  Recoder m_recoder;
  std::map<std::string, CoreVideoProfile> m_presetProfiles;
  OnlineBusiness m_onlineBusiness;
  TMsgBusiness m_tmsgBusiness;
  WhiteBoardNetImpl m_whiteBoardNet;
  std::function<void()> m_beforeLeave;
};

}  // namespace kiv_core
