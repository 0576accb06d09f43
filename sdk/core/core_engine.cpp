#include "core/core_engine.h"

#include <functional>
#include <new>

#include "core/control/kiv_cp_client.h"
#include "core/devices/audio_engine.h"
#include "core/devices/device_manager.h"
#include "core/engine_event_handler.h"
#include "core/env/core_env.h"
#include "core/env/log_record.h"
#include "kiv_error.h"

namespace kiv_core {

namespace {

constexpr size_t kMaxUserIdLength = 128;

bool IsAlphaNumeric(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

}  // namespace

CoreEngine::CoreEngine() {
  m_env.reset(new (std::nothrow) CoreEnv());
  m_audioEngine.reset(new (std::nothrow) AudioEngine());
  m_deviceManager.reset(new (std::nothrow) DeviceManager());
  m_cpClient.reset(new (std::nothrow) KivCpClient(this));
}

CoreEngine::~CoreEngine() {
  Destory();
  m_cpClient.reset();
  m_deviceManager.reset();
  m_audioEngine.reset();
  m_env.reset();
}

bool CoreEngine::IsValidId(const std::string& id) {
  for (char c : id) {
    if (!IsAlphaNumeric(c) && c != '_' && c != '-') return false;
  }
  return true;
}

int CoreEngine::Init(const EngineConfig& config) {
  if (!config.httpClient || !config.eventHandler) return ERR_INVALID_PARAM;
  for (char c : config.appId) {
    if (!IsAlphaNumeric(c)) return ERR_INVALID_PARAM;
  }
  if (!m_env) return ERR_FAILED;
  m_env->m_config = config;
  m_env->m_config.pluginConfigPath.clear();
  if (!m_env->CreateBaseCore(config.frameworkDirs, config.workDir, config.pluginConfigPath)) {
    KIV_LOG("Create base core failed!!!");
    return ERR_FAILED;
  }
  if (!m_deviceManager || !m_deviceManager->Init()) {
    KIV_LOG("Init device manager failed!!!");
    m_env->ReleaseBaseCore();
    return ERR_FAILED;
  }
  const HRESULT net =
      m_env->m_avnet->Initialize(m_env->m_connection.get(), m_env->m_audiodevice.get(),
                                 m_env->m_video_rendermanager.get(), m_env->m_vnc_rendermanager.get(), 0);
  if (net < 0) {
    KIV_LOG("Initialize avnet failed!!!");
    // The device manager holds a framework object too: give it back before the release.
    m_deviceManager->Uninit();
    m_env->ReleaseBaseCore();
    return ERR_FAILED;
  }
  m_env->m_cpclient = m_cpClient.get();
  if (m_cpClient) m_cpClient->Init();
  m_onlineBusiness.Init();
  m_tmsgBusiness.Init();
  m_whiteBoardNet.Init(&m_streamManager);
  KIV_LOG("Init sucess, hwenc=%d, hedec=%d, audioAutoPlay=%d, audioAutoRecv=%d", config.hwEncoderCount,
          config.hwDecoderCount, config.audioAutoPlay ? 1 : 0, config.audioAutoRecv ? 1 : 0);
  return ERR_OK;
}

void CoreEngine::Destory() {
  KIV_LOG("CoreEngine::Destory!");
  if (m_env && m_env->m_audiodevice) {
    m_env->m_audiodevice->StopPlay();
    m_env->m_audiodevice->StopCapture();
  }
  m_tmsgBusiness.Uninit();
  m_onlineBusiness.Uninit();
  m_whiteBoardNet.Uninit();
  if (m_cpClient) m_cpClient->Uninit();
  // A login in effect keeps using what it was lent (this engine's control-plane client as
  // its HTTP client, and through it the facade's WinHTTP client), which go before the
  // framework is released: end the login now. The listener is gone, so nothing is reported.
  if (m_env && m_env->m_connection) (void)m_env->m_connection->Logout();
  if (m_audioEngine) {
    m_audioEngine->Uninit();
    // The device outlives this engine in the framework: it must call no tap any more.
    m_audioEngine->RemoveTaps();
  }
  m_streamManager.DestroyStreams();
  // The system-sound source outlives group leaves but not the framework.
  (void)m_streamManager.GetLocalSysAudioStream()->StopPublish();
  if (m_deviceManager) m_deviceManager->Uninit();
}

int CoreEngine::Login(const std::string& deviceId, const std::string& token, const std::string& userId, bool force,
                      const std::string& extra) {
  if (userId.size() > kMaxUserIdLength) {
    KIV_LOG("Login userid too long");
    return ERR_INVALID_PARAM;
  }
  // The device id is only tested for emptiness: a generated one contains braces.
  if (userId.empty() || deviceId.empty() || !IsValidId(userId)) {
    KIV_LOG("Login userid or deviceid invalid");
    return ERR_INVALID_PARAM;
  }
  if (!m_cpClient) return ERR_FAILED;
  return m_cpClient->Login(deviceId, token, userId, force, extra);
}

int CoreEngine::Logout() {
  KIV_LOG("logout");
  if (!m_cpClient) return ERR_FAILED;
  return m_cpClient->Logout();
}

int CoreEngine::JoinGroup(const std::string& groupId) {
  KIV_LOG("Join group %s", groupId.c_str());
  if (!IsValidId(groupId)) return ERR_INVALID_PARAM;
  m_streamManager.Reopen();
  if (m_audioEngine) (void)m_audioEngine->Init();
  if (!m_cpClient) return ERR_FAILED;
  return m_cpClient->JoinGroup(groupId);
}

int CoreEngine::LeaveGroup() {
  KIV_LOG("leave group");
  // The boards go first, as the facade's leave does (a posted leave after a lost
  // connection comes here directly).
  if (m_beforeLeave) m_beforeLeave();
  // A subscription running on a framework thread holds its own reference; it makes nothing
  // once the streams are destroyed, and has stopped its stream when this returns.
  m_streamManager.DestroyStreams();
  (void)m_recoder.Stop();
  if (m_audioEngine) m_audioEngine->Uninit();
  if (!m_cpClient) return ERR_FAILED;
  return m_cpClient->LeaveGroup();
}

int CoreEngine::LeaveGroupAndLogout() {
  (void)LeaveGroup();
  return Logout();
}

void CoreEngine::OnConnectionLost() {
  EngineEventHandler* handler = m_env ? m_env->m_config.eventHandler : nullptr;
  if (!handler) return;
  // Nothing is torn down on the connection's thread.
  handler->PostTask(std::function<void()>([this] { (void)LeaveGroupAndLogout(); }));
}

int CoreEngine::StartPublishAudio(const std::string& audioId) {
  if (!CoreEnv::IsBaseCoreInited()) return ERR_INVALID_STATE;
  if (!CoreEnv::IsConnected()) {
    KIV_LOG("StartPublishAudio");
    return ERR_NOT_LOGINED;
  }
  KIV_LOG("StartPublishAudio audioi=%s", audioId.c_str());
  if (m_audioEngine) (void)m_audioEngine->StartCapture();
  if (audioId == "appdef_mic") return m_streamManager.GetLocalAudioStream()->StartPublish();
  if (audioId == "reserved_audioid_systemplay") return m_streamManager.GetLocalSysAudioStream()->StartPublish();
  const std::string customId = audioId == "custom_appdef_mic" ? std::string("appdef_mic") : audioId;
  std::shared_ptr<LocalAudioCustomStream> custom = m_streamManager.CreateLocalAudioCustomStream(customId);
  return custom ? custom->StartPublish() : ERR_FAILED;
}

int CoreEngine::StopPublishAudio(const std::string& audioId) {
  KIV_LOG("StopPublishAudio audioid=%s", audioId.c_str());
  // Custom audio streams stop only when the group is left.
  if (audioId != "appdef_mic" && audioId != "reserved_audioid_systemplay") return ERR_INVALID_PARAM;
  if (!CoreEnv::IsBaseCoreInited()) return ERR_INVALID_STATE;
  if (audioId == "appdef_mic") return m_streamManager.GetLocalAudioStream()->StopPublish();
  return m_streamManager.GetLocalSysAudioStream()->StopPublish();
}

int CoreEngine::StartPublishScreenShare(int left, int top, int right, int bottom, int bias, int flag) {
  if (!CoreEnv::IsBaseCoreInited()) return ERR_INVALID_STATE;
  if (!CoreEnv::IsConnected()) {
    KIV_LOG("StartPublishScreenShare");
    return ERR_NOT_LOGINED;
  }
  KIV_LOG("StartPublishScreenShare l: %d, t: %d, r: %d, b: %d, bias: %d", left, top, right, bottom, bias);
  return m_streamManager.GetLocalScreenShareStream()->StartPublish(left, top, right, bottom, bias, flag);
}

int CoreEngine::StopPublishScreenShare() {
  if (!CoreEnv::IsBaseCoreInited()) return ERR_INVALID_STATE;
  KIV_LOG("StopPublishScreenShare");
  return m_streamManager.GetLocalScreenShareStream()->StopPublish();
}

int CoreEngine::StartPlayAudio() {
  KIV_LOG("StartPlayAudio");
  return m_audioEngine ? m_audioEngine->StartPlay() : ERR_FAILED;
}

int CoreEngine::StopPlayAudio() {
  KIV_LOG("StopPlayAudio");
  return m_audioEngine ? m_audioEngine->StopPlay() : ERR_FAILED;
}

void CoreEngine::RegisterAllMixedAudioObserver(ICoreAllMixedAudioObserver* observer) {
  KIV_LOG("RegisterAllMixedAudioObserver, observer %p,", static_cast<void*>(observer));
  if (m_audioEngine) m_audioEngine->SetMixedAudioObserver(observer);
}

void CoreEngine::RegisterLocalCaptureAudioObserver(ICoreLocalCaptureAudioObserver* observer) {
  KIV_LOG("RegisterLocalCaptureAudioObserver, observer %p,", static_cast<void*>(observer));
  if (m_audioEngine) m_audioEngine->SetLocalCaptureAudioObserver(observer);
}

void CoreEngine::RegisterLocalPlayAudioObserver(ICoreLocalPlayAudioObserver* observer) {
  KIV_LOG("RegisterLocalPlayAudioObserver, observer %p,", static_cast<void*>(observer));
  if (m_audioEngine) m_audioEngine->SetLocalPlayAudioObserver(observer);
}

int CoreEngine::SetAutoSubscribeRemoteAudio(bool autoSubscribe) {
  KIV_LOG("SetAutoSubscribeRemoteAudio isAutoSubscribeRemoteAudio %d", autoSubscribe ? 1 : 0);
  if (m_env) m_env->m_config.audioAutoRecv = autoSubscribe;
  return ERR_OK;
}

int CoreEngine::ScreenShareRemoteControl(const std::string& userId, int operation) {
  switch (operation) {
    case 0:
    case 1: {
      if (!CoreEnv::IsBaseCoreInited()) return ERR_INVALID_STATE;
      std::shared_ptr<RemoteVideoStreamBase> viewer =
          m_streamManager.FindRemoteVideoStream(userId, kScreenShareVideoId);
      if (!viewer) {
        KIV_LOG("not found releative screenshare stream %s, type: %d", userId.c_str(), operation);
        return ERR_FAILED;
      }
      return viewer->RemoteControl(operation);
    }
    case 2:
    case 3:
      if (!CoreEnv::IsBaseCoreInited()) return ERR_INVALID_STATE;
      return m_streamManager.GetLocalScreenShareStream()->RemoteControlOperation(userId, operation);
    case 4:
      if (m_env) m_env->m_remoteControl = false;
      return ERR_OK;
    default:
      KIV_LOG("invalid operation type %d", operation);
      return ERR_INVALID_PARAM;
  }
}

EngineConfig* CoreEngine::GetEngineConfig() { return m_env ? &m_env->m_config : nullptr; }

}  // namespace kiv_core
