// The core engine's reaction to other participants' media announcements and to remote
// users joining and leaving; remote audio subscription and remote video removal.
#include <functional>

#include "core/core_engine.h"
#include "core/engine_event_handler.h"
#include "core/env/core_env.h"
#include "core/env/log_record.h"
#include "kiv_error.h"

namespace kiv_core {

namespace {

constexpr const char* kMicAudioId = "appdef_mic";
constexpr const char* kVoiceVariantAudioId = "appdef_mic_magic";
constexpr int kVoiceModeReceiveOrigin = 1;
constexpr int kVoiceModeNoOrigin = 2;

std::vector<MediaRecord> Withdrawn(std::vector<MediaRecord> records) {
  for (MediaRecord& record : records) record.published = false;
  return records;
}

}  // namespace

void CoreEngine::OnMediaChanged(const std::vector<MediaRecord>& records, bool fullList) {
  if (fullList) DoMediaChange(Withdrawn(m_streamManager.CollectAbsentMediaRecords(records)));
  DoMediaChange(records);
}

void CoreEngine::DoMediaChange(const std::vector<MediaRecord>& records) {
  EngineEventHandler* handler = m_env ? m_env->m_config.eventHandler : nullptr;
  const bool autoRecv = m_env && m_env->m_config.audioAutoRecv;
  m_streamManager.UpdateMediaRecords(records);
  // A stream found for a published video may be a withdrawn one whose removal is posted
  // still: asked again on the window thread, after that removal, whether to report it.
  auto reportOnceRemoved = [this, handler](const std::string& user, const std::string& video) {
    if (!handler) return;
    handler->PostTask([this, handler, user, video] {
      if (!m_streamManager.FindRemoteVideoStream(user, video)) handler->OnRemoteVideoEvent(user, video, 0);
    });
  };
  for (const MediaRecord& record : records) {
    const std::string& user = record.userId;
    const std::string& media = record.mediaId;
    switch (record.mediaType) {
      case kMediaVideo:
        if (record.published) {
          if (m_streamManager.FindRemoteVideoStream(user, media)) {
            reportOnceRemoved(user, media);
            break;
          }
          KIV_LOG("DoMediaChange video start publish: %s, %s", user.c_str(), media.c_str());
          if (handler) handler->OnRemoteVideoEvent(user, media, 0);
        } else {
          KIV_LOG("DoMediaChange video stoped publish: %s, %s", user.c_str(), media.c_str());
          if (handler) {
            handler->PostTask([this, user, media] { (void)UnSubscribeRemoteVideo(user, media); });
            handler->OnRemoteVideoEvent(user, media, 1);
          }
        }
        break;
      case kMediaAudio:
        if (record.published) {
          if (handler) handler->OnRemoteAudioEvent(user, media, 0);
          KIV_LOG("DoMediaChange audio publish uid=%s, mid=%s, autoRecv=%d", user.c_str(), media.c_str(),
                  autoRecv ? 1 : 0);
          if (autoRecv) (void)SubscribeRemoteAudio(user, media);
        } else {
          if (handler) handler->OnRemoteAudioEvent(user, media, 1);
          KIV_LOG("DoMediaChange audio stoped publish: uid=%s, mid=%s", user.c_str(), media.c_str());
          if (autoRecv) (void)UnSubscribeRemoteAudio(user, media);
        }
        break;
      case kMediaScreen:
        if (record.published) {
          if (m_streamManager.FindRemoteVideoStream(user, kScreenShareVideoId)) {
            reportOnceRemoved(user, kScreenShareVideoId);
            break;
          }
          KIV_LOG("DoMediaChange screenShare start publish, remote_user_id: %s, media_id: %s", user.c_str(),
                  media.c_str());
          if (handler) handler->OnRemoteVideoEvent(user, kScreenShareVideoId, 0);
        } else {
          KIV_LOG("DoMediaChange screenShare stop published, remote_user_id: %s, media_id: %s", user.c_str(),
                  media.c_str());
          if (handler) handler->OnRemoteVideoEvent(user, kScreenShareVideoId, 1);
        }
        break;
      case kMediaBoard:
        m_whiteBoardNet.OnMediaChange(record.mediaName, media, record.published);
        break;
      default:
        break;
    }
  }
}

void CoreEngine::OnRemoteUser(const std::string& userId, bool joined) {
  EngineEventHandler* handler = m_env ? m_env->m_config.eventHandler : nullptr;
  if (!joined) {
    // Deleting the user's audio streams is an unsubscription; a subscription in progress on
    // another thread holds its own reference and starts nothing on a closed stream.
    if (m_env && m_env->m_config.audioAutoRecv) m_streamManager.RemoveRemoteUser(userId);
    DoMediaChange(Withdrawn(m_streamManager.CollectUserMediaRecords(userId)));
  }
  if (!handler) return;
  if (joined) {
    handler->OnRemoteUserJoined(userId.c_str());
  } else {
    handler->OnRemoteUserLeft(userId.c_str());
  }
}

void CoreEngine::OnScreenShareRemoteControlEvent(const std::string& userId, int eventType) {
  EngineEventHandler* handler = m_env ? m_env->m_config.eventHandler : nullptr;
  if (!handler) {
    KIV_LOG("Invalid event handler!!!");
    return;
  }
  KIV_LOG("OnScreenShareRemoteControlEvent, uid=%s, event_type=%d", userId.c_str(), eventType);
  if (eventType == 2 || eventType == 3) {
    // An owning reference: the application's thread may take the viewer away meanwhile.
    if (std::shared_ptr<RemoteVideoStreamBase> viewer =
            m_streamManager.FindRemoteVideoStream(userId, kScreenShareVideoId))
      viewer->HandleRemoteControlEvent(eventType);
  } else if (eventType == 1) {
    m_streamManager.GetLocalScreenShareStream()->OnRemoteControlCancel(userId);
  }
  handler->OnRemoteControl(userId, eventType);
}

bool CoreEngine::ApplyVoiceReceiveRule(const char* operation, const std::string& userId, const std::string& audioId,
                                       std::string* effectiveId) {
  const int mode = m_env ? m_env->m_config.remoteVoiceMode : 0;
  *effectiveId = audioId;
  if (mode == kVoiceModeReceiveOrigin && audioId == kVoiceVariantAudioId) {
    *effectiveId = kMicAudioId;
    KIV_LOG("%s userid=%s, recv voice variant but config to recv origin audioid[%s ==> %s]", operation, userId.c_str(),
            audioId.c_str(), effectiveId->c_str());
  } else if (mode == kVoiceModeNoOrigin && audioId == kMicAudioId) {
    KIV_LOG("%s userid=%s, recv voice origin bug config to recv appdef_mic_magic, no audio output!", operation,
            userId.c_str());
    return false;
  }
  if (effectiveId->empty()) *effectiveId = kMicAudioId;
  return true;
}

int CoreEngine::SubscribeRemoteAudio(const std::string& userId, const std::string& audioId) {
  if (!CoreEnv::IsBaseCoreInited()) return ERR_INVALID_STATE;
  if (!CoreEnv::IsConnected()) {
    KIV_LOG("SubscribeRemoteAudio");
    return ERR_NOT_LOGINED;
  }
  KIV_LOG("SubscribeRemoteAudio, uid=%s, aid=%s", userId.c_str(), audioId.c_str());
  std::string effective;
  if (!ApplyVoiceReceiveRule("SubscribeRemoteAudio,", userId, audioId, &effective)) return ERR_OK;
  // Null once the group is left: a subscription announced before the leave makes nothing.
  std::shared_ptr<RemoteAudioStream> stream = m_streamManager.CreateRemoteAudioStream(userId, effective);
  if (!stream) return ERR_FAILED;
  const int result = stream->Subscribe();
  m_streamManager.RecordSubscribedAudio(stream);
  return result;
}

int CoreEngine::UnSubscribeRemoteAudio(const std::string& userId, const std::string& audioId) {
  if (!CoreEnv::IsBaseCoreInited()) return ERR_INVALID_STATE;
  if (!CoreEnv::IsConnected()) {
    KIV_LOG("UnSubscribeRemoteAudio");
    return ERR_NOT_LOGINED;
  }
  KIV_LOG("UnSubscribeRemoteAudio, uid=%s, audioid=%s", userId.c_str(), audioId.c_str());
  std::string effective;
  if (!ApplyVoiceReceiveRule("UnSubscribeRemoteAudio", userId, audioId, &effective)) return ERR_OK;
  std::shared_ptr<RemoteAudioStream> stream = m_streamManager.FindRemoteAudioStream(userId, effective);
  if (!stream) {
    KIV_LOG("Cannot find remote audio stream!");
    return ERR_INVALID_PARAM;
  }
  const int result = m_streamManager.DeleteRemoteAudioStream(stream);
  if (result != ERR_OK) KIV_LOG("Unsubscribe remote audio failed!");
  return result;
}

int CoreEngine::UnSubscribeRemoteVideo(const std::string& userId, const std::string& videoId) {
  if (!CoreEnv::IsBaseCoreInited()) return ERR_INVALID_STATE;
  if (!CoreEnv::IsConnected()) {
    KIV_LOG("UnSubscribeRemoteVideo");
    return ERR_NOT_LOGINED;
  }
  KIV_LOG("UnSubscribeRemoteVideo, uid=%s, vid=%s", userId.c_str(), videoId.c_str());
  std::shared_ptr<RemoteVideoStreamBase> stream = m_streamManager.FindRemoteVideoStream(userId, videoId);
  if (!stream) {
    KIV_LOG("UnSubscribeRemoteVideo have not releative remotevideo:%s, %s", userId.c_str(), videoId.c_str());
    return ERR_FAILED;
  }
  int result = stream->SetRender(nullptr, 1);
  if (stream->CanUnSubscribe()) {
    result = stream->UnSubscribe();
    m_streamManager.DestroyRemoteVideoStream(stream);
  }
  return result;
}

}  // namespace kiv_core
