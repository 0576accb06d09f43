#include "engine/kiv_engine_impl.h"

#include <objbase.h>

#include <memory>

#include "base/text/text_holders.h"
#include "core/devices/device_manager.h"
#include "core/env/core_env.h"
#include "core/env/log_record.h"
#include "engine/kiv_audio_engine_impl.h"
#include "engine/kiv_device_manager_impl.h"
#include "engine/kiv_signaling_impl.h"
#include "engine/window/msg_window.h"
#include "wb/kiv_white_board_impl.h"

namespace kiv {

namespace {

// Application texts may be null: they read as empty.
std::string Text(const char* text) { return text ? std::string(text) : std::string(); }

// UTF-8, as every text the core is given.
std::string CurrentDirectory() {
  wchar_t buffer[MAX_PATH] = {0};
  const DWORD n = GetCurrentDirectoryW(MAX_PATH, buffer);
  if (n == 0 || n >= MAX_PATH) return std::string();
  const WideToUtf8 text(buffer);
  return text.Get() ? std::string(text.Get()) : std::string();
}

}  // namespace

KivEngineImpl::KivEngineImpl() : m_audioObserver(&m_core) {
  m_deviceManager = std::make_unique<KivDeviceManagerImpl>(this);
  m_audioEngine = std::make_unique<KivAudioEngineImpl>(m_core.GetAudioEngine());
  m_signaling = std::make_unique<KivSignalingImpl>(&m_core);
  m_whiteBoard = std::make_unique<KivWhiteBoardImpl>();
}

KivEngineImpl::~KivEngineImpl() {
  // In this order, before the core they reach.
  m_deviceManager.reset();
  m_audioEngine.reset();
  m_signaling.reset();
  m_whiteBoard.reset();
  m_loginPending = false;
}

int KivEngineImpl::Init(const EngineContext* context) {
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (SUCCEEDED(com)) m_comInitialised = true;
  if (!context) return kiv_core::ERR_INVALID_PARAM;
  if (context->appId.empty()) return kiv_core::ERR_INVALID_PARAM;
  // The core only sees the engine's own face, so the application's handler is checked here.
  if (!context->handler) return kiv_core::ERR_INVALID_PARAM;
  if (!context->serverAddress.empty() && SplitServerAddress(context->serverAddress.c_str()).size() < 2) {
    return kiv_core::ERR_INVALID_PARAM;
  }

  MsgWindow::Instance()->EnsureCreated();

  kiv_core::EngineConfig config;
  config.eventHandler = this;
  config.appId = context->appId.c_str();
  config.workDir = context->workDir.c_str();
  if (config.workDir.empty()) config.workDir = CurrentDirectory();
  config.pluginConfigPath = context->pluginConfigPath.c_str();
  config.serverAddress = context->serverAddress.c_str();
  config.hwEncoderCount = 0;
  config.hwDecoderCount = 0;
  config.audioAutoRecv = context->autoReceiveAudio;
  config.remoteVoiceMode = context->remoteVoiceMode;
  config.httpClient = &m_httpClient;

  const int result = m_core.Init(config);
  if (result == kiv_core::ERR_OK) {
    // Every leave closes the boards first, a posted one after a lost connection too.
    m_core.SetBeforeLeave([this] { m_whiteBoard->CloseAllBoards(); });
    m_deviceManager->Start();
    m_context = *context;
    (void)m_handler.Set(context->handler);
    if (kiv_core::CoreEnv::Instance()) m_whiteBoard->Init(m_core.GetWhiteBoardNet(), config.workDir);
  }
  MsgWindow::Instance()->AddListener(this);
  return result;
}

String KivEngineImpl::GetVersion() { return String(kVersion); }

int KivEngineImpl::Login(const char* token, const char* userId, bool force, const char* extra) {
  const std::string deviceId = ObtainDeviceId();
  const std::string user = Text(userId);
  const int result = m_core.Login(deviceId, Text(token), user, force, Text(extra));
  if (result == kiv_core::ERR_OK) m_whiteBoard->OnLogin(user);
  m_loginPending = true;
  return result;
}

int KivEngineImpl::Logout() {
  m_loginPending = false;
  return m_core.Logout();
}

IKivSignaling* KivEngineImpl::GetSignaling() { return m_signaling.get(); }

int KivEngineImpl::JoinGroup(const char* groupId) { return m_core.JoinGroup(Text(groupId)); }

int KivEngineImpl::LeaveGroup() {
  // The core closes the boards first (the hook set at Init).
  return m_core.LeaveGroup();
}

int KivEngineImpl::AddVideoPreview(int cameraId, HWND window, int renderMode) {
  if (!m_core.GetDeviceManager()->IsCameraValid(cameraId)) return kiv_core::ERR_INVALID_PARAM;
  return m_core.AddLocalPreview(cameraId, window, renderMode);
}

int KivEngineImpl::RemoveVideoPreview(int cameraId, HWND window) {
  if (!m_core.GetDeviceManager()->IsCameraValid(cameraId)) return kiv_core::ERR_INVALID_PARAM;
  return m_core.RemoveLocalPreview(cameraId, window);
}

int KivEngineImpl::StartPublishVideo(const char* videoId, int cameraId) {
  return m_core.StartPublishDeviceVideo(Text(videoId), cameraId);
}

int KivEngineImpl::StopPublishVideo(const char* videoId) { return m_core.StopPublishDeviceVideo(Text(videoId)); }

int KivEngineImpl::SetVideoProfile(const char* videoId, const VideoProfile* profile) {
  if (!profile) return kiv_core::ERR_INVALID_PARAM;
  kiv_core::CoreVideoProfile core;
  core.width = profile->width;
  core.height = profile->height;
  core.frameRate = profile->frameRate;
  return m_core.SetDeviceVideoProfile(Text(videoId), core);
}

int KivEngineImpl::SetRemoteVideoRender(const char* userId, const char* videoId, HWND window, int renderMode) {
  return m_core.SetRemoteVideoRender(Text(userId), Text(videoId), window, renderMode);
}

int KivEngineImpl::GetVideoStats(const char* userId, const char* videoId, VideoStats* stats) {
  if (!stats) return kiv_core::ERR_INVALID_PARAM;
  return m_core.GetVideoStats(Text(userId), Text(videoId), &stats->width, &stats->height, &stats->frameRate,
                              &stats->bitrate);
}

int KivEngineImpl::RegisterCaptureVideoFrameObserver(int cameraId, IVideoFrameObserver* observer) {
  std::unique_ptr<kiv_core::ICoreVideoFrameObserver> glue;
  if (observer) glue = std::make_unique<CoreVideoFrameObserverImpl>(observer);
  return m_core.RegisterCaptureVideoFrameObserver(cameraId, std::move(glue));
}

int KivEngineImpl::RegisterRenderVideoFrameObserver(const char* userId, const char* videoId,
                                                    IVideoFrameObserver* observer) {
  std::unique_ptr<kiv_core::ICoreVideoFrameObserver> glue;
  if (observer) glue = std::make_unique<CoreVideoFrameObserverImpl>(observer);
  return m_core.RegisterRenderVideoFrameObserver(Text(userId), Text(videoId), std::move(glue));
}

int KivEngineImpl::RegisterAudioFrameObserver(IAudioFrameObserver* observer) {
  m_audioObserver.SetObserver(observer);
  return kiv_core::ERR_OK;
}

int KivEngineImpl::RegisterRemoteRawAudioObserver(const char* userId, const char* audioId,
                                                  IRemoteRawAudioObserver* observer) {
  // Null clears the observer on the user's stream and leaves its playback alone.
  m_core.RegisterRemoteRawAudioObserver(Text(userId), Text(audioId),
                                        observer ? std::make_shared<CoreRemoteRawAudioGlue>(observer) : nullptr);
  return kiv_core::ERR_OK;
}

int KivEngineImpl::StartPublishAudio(const char* audioId) { return m_core.StartPublishAudio(Text(audioId)); }

int KivEngineImpl::StopPublishAudio(const char* audioId) { return m_core.StopPublishAudio(Text(audioId)); }

int KivEngineImpl::StartPlayAudio() { return m_core.StartPlayAudio(); }

int KivEngineImpl::StopPlayAudio() { return m_core.StopPlayAudio(); }

int KivEngineImpl::GetRemoteAudioInfo(const char* userId, const char* audioId) {
  std::string audio = Text(audioId);
  if (audio.empty()) audio = "appdef_mic";
  return m_core.GetRemoteAudioInfo(Text(userId), audio);
}

int KivEngineImpl::MuteRemoteAudio(const char* userId, const char* audioId, bool mute) {
  return mute ? m_core.UnSubscribeRemoteAudio(Text(userId), Text(audioId))
              : m_core.SubscribeRemoteAudio(Text(userId), Text(audioId));
}

IDeviceManager* KivEngineImpl::GetDeviceManager() { return m_deviceManager.get(); }

IAudioEngine* KivEngineImpl::GetAudioEngine() { return m_audioEngine.get(); }

int KivEngineImpl::StartPublishScreenShare(int left, int top, int right, int bottom, int bias) {
  const int cx = GetSystemMetrics(SM_CXVIRTUALSCREEN);
  const int cy = GetSystemMetrics(SM_CYVIRTUALSCREEN);
  if (right <= cx && bottom <= cy) return m_core.StartPublishScreenShare(left, top, right, bottom, bias, 0);
  KIV_LOG("screenshare invalid arg right:%d, bottom:%d, cx:%d, cy:%d", right, bottom, cx, cy);
  return kiv_core::ERR_INVALID_PARAM;
}

int KivEngineImpl::StopPublishScreenShare() { return m_core.StopPublishScreenShare(); }

int KivEngineImpl::StartScreenRecord(const char* filePath, int left, int top, int right, int bottom, bool recordAudio) {
  if (left == 0 && top == 0 && right == 0 && bottom == 0) {
    right = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    bottom = GetSystemMetrics(SM_CYVIRTUALSCREEN);
  }
  return m_core.GetRecoder()->StartScreenRecord(Text(filePath), left, top, right, bottom, recordAudio);
}

int KivEngineImpl::StopScreenRecord() { return m_core.GetRecoder()->Stop(); }

int KivEngineImpl::StartLocalRecord(const char* filePath, int cameraId, bool recordAudio) {
  if (!m_core.GetDeviceManager()->IsCameraValid(cameraId)) return kiv_core::ERR_INVALID_PARAM;
  return m_core.StartLocalRecord(Text(filePath), cameraId, recordAudio);
}

int KivEngineImpl::StopLocalRecord(int cameraId) {
  if (!m_core.GetDeviceManager()->IsCameraValid(cameraId)) return kiv_core::ERR_INVALID_PARAM;
  return m_core.StopLocalRecord(cameraId);
}

int KivEngineImpl::RemoteControlOperation(const char* userId, int operation) {
  return m_core.ScreenShareRemoteControl(Text(userId), operation);
}

IKivWhiteBoard* KivEngineImpl::GetWhiteBoard() { return m_whiteBoard.get(); }

void KivEngineImpl::Release() {
  MsgWindow* window = MsgWindow::Instance();
  window->RemoveListener(this);
  m_deviceManager->Stop();
  m_core.Destory();
  // No call on the application's handler runs after this returns.
  (void)m_handler.Set(nullptr);
  window->Destroy();
  if (m_comInitialised) {
    CoUninitialize();
    m_comInitialised = false;
  }
}

}  // namespace kiv
