// The one object behind IKivEngine: checks the application's arguments, keeps the device
// id, forwards every operation to the core engine and bridges the core's reports back.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "base/system/callback_slot.h"
#include "core/control/win_http_impl.h"
#include "core/core_engine.h"
#include "core/engine_event_handler.h"
#include "engine/frame_observer_glue.h"
#include "engine/remote_video_order.h"
#include "engine/window/wnd_msg_listener.h"
#include "kiv_engine.h"

namespace kiv {

class KivAudioEngineImpl;
class KivDeviceManagerImpl;
class KivSignalingImpl;
class KivWhiteBoardImpl;

// Carried by WM_KIV_REMOTE_VIDEO_REMOVED; deleted by its handler.
struct RemoteVideoRemoval {
  std::string userId;
  std::string videoId;
};

class KivEngineImpl : public IKivEngine, public kiv_core::EngineEventHandler, public IWndMsgListener {
 public:
  static constexpr const char* kVersion = "2.1.0.0";

  KivEngineImpl();
  ~KivEngineImpl() override;
  KivEngineImpl(const KivEngineImpl&) = delete;
  KivEngineImpl& operator=(const KivEngineImpl&) = delete;

  // IKivEngine
  int Init(const EngineContext* context) override;
  String GetVersion() override;
  int Login(const char* token, const char* userId, bool force, const char* extra) override;
  int Logout() override;
  IKivSignaling* GetSignaling() override;
  int JoinGroup(const char* groupId) override;
  int LeaveGroup() override;
  int AddVideoPreview(int cameraId, HWND window, int renderMode) override;
  int RemoveVideoPreview(int cameraId, HWND window) override;
  int StartPublishVideo(const char* videoId, int cameraId) override;
  int StopPublishVideo(const char* videoId) override;
  int SetVideoProfile(const char* videoId, const VideoProfile* profile) override;
  int SetRemoteVideoRender(const char* userId, const char* videoId, HWND window, int renderMode) override;
  int GetVideoStats(const char* userId, const char* videoId, VideoStats* stats) override;
  int RegisterCaptureVideoFrameObserver(int cameraId, IVideoFrameObserver* observer) override;
  int RegisterRenderVideoFrameObserver(const char* userId, const char* videoId, IVideoFrameObserver* observer) override;
  int RegisterAudioFrameObserver(IAudioFrameObserver* observer) override;
  int RegisterRemoteRawAudioObserver(const char* userId, const char* audioId,
                                     IRemoteRawAudioObserver* observer) override;
  int StartPublishAudio(const char* audioId) override;
  int StopPublishAudio(const char* audioId) override;
  int StartPlayAudio() override;
  int StopPlayAudio() override;
  int GetRemoteAudioInfo(const char* userId, const char* audioId) override;
  int MuteRemoteAudio(const char* userId, const char* audioId, bool mute) override;
  IDeviceManager* GetDeviceManager() override;
  IAudioEngine* GetAudioEngine() override;
  int StartPublishScreenShare(int left, int top, int right, int bottom, int bias) override;
  int StopPublishScreenShare() override;
  int StartScreenRecord(const char* filePath, int left, int top, int right, int bottom, bool recordAudio) override;
  int StopScreenRecord() override;
  int StartLocalRecord(const char* filePath, int cameraId, bool recordAudio) override;
  int StopLocalRecord(int cameraId) override;
  int RemoteControlOperation(const char* userId, int operation) override;
  IKivWhiteBoard* GetWhiteBoard() override;

  // kiv_core::EngineEventHandler: the core's reports become the application's events.
  void OnEvent(int eventType, int code) override;
  void OnRemoteVideoEvent(const std::string& userId, const std::string& videoId, int state) override;
  void OnRemoteAudioEvent(const std::string& userId, const std::string& audioId, int state) override;
  void OnRemoteControl(const std::string& userId, int operation) override;
  void OnGroupListSync(const avcore::FwVector<avcore::FwString>& userIds) override;
  void OnRemoteUserJoined(const char* userId) override;
  void OnRemoteUserLeft(const char* userId) override;
  void OnCoreNotice(int first, int second) override;
  void PostTask(const std::function<void()>& task) override;
  HWND GetPreviewRenderWindow(HWND window) override;
  void ReleasePreviewRenderWindow(HWND window) override;

  // IWndMsgListener: posted removals and tasks, on the message-window thread.
  int OnWndMsg(unsigned message, WPARAM wParam, LPARAM lParam) override;

  // The teardown KivReleaseEngine runs before deleting the engine.
  void Release();

  kiv_core::CoreEngine* Core() { return &m_core; }
  // The application handler of the last successful Init, or null: for information only.
  IKivEngineEventHandler* AppHandler() const { return m_handler.Peek(); }
  // Calls fn(handler) on the application's handler, if there is one, with no lock held.
  template <class Fn>
  void CallAppHandler(Fn&& fn) {
    (void)m_handler.Call(fn);
  }
  bool LoginPending() const { return m_loginPending.load(); }

  // The device id stored per user, "" when there is none.
  static std::string GetDeviceId();
  static bool SaveDeviceId(const std::string& deviceId);
  static std::string GetMachineGuid();
  // Splits at every ':'; a trailing ':' adds no empty part.
  static std::vector<std::string> SplitServerAddress(const std::string& text);

 private:
  // The device id for Login: stored, else a new GUID stored, else the machine GUID,
  // else the new GUID unstored.
  static std::string ObtainDeviceId();
  // Posts a report on a remote video behind what is posted for it; false when it could not.
  bool PostVideoReport(const RemoteVideoOrder::Video& video, int state);
  // Posts the removal of an unpublished video's stream, counted in m_videoOrder.
  void PostVideoRemoval(const RemoteVideoOrder::Video& video);
  void DeliverVideoReport(const RemoteVideoOrder::Video& video, int state);

  kiv_core::CoreEngine m_core;
  std::unique_ptr<KivDeviceManagerImpl> m_deviceManager;
  std::unique_ptr<KivAudioEngineImpl> m_audioEngine;
  std::unique_ptr<KivSignalingImpl> m_signaling;
  std::unique_ptr<KivWhiteBoardImpl> m_whiteBoard;
  WinHttpImpl m_httpClient;
  CoreAudioFrameObserverImpl m_audioObserver;
  EngineContext m_context;
  // The application's handler. A second Init's handler replaces it, Release removes it:
  // each returns once no call on the old one runs on another thread.
  ZORVANTE::CallbackSlot<IKivEngineEventHandler> m_handler;
  RemoteVideoOrder m_videoOrder;
  // Written by the application's thread and the connection's; exchanged so that only one
  // connection-lost event passes per login.
  std::atomic<bool> m_loginPending{false};
  // COM was initialised by an Init on the caller's thread; Release balances it once.
  bool m_comInitialised = false;
};

}  // namespace kiv
