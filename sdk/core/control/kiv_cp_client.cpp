#include "core/control/kiv_cp_client.h"

#include <cstring>
#include <vector>

#include "core/control/cp_error.h"
#include "core/control/gs_message.h"
#include "core/control/http_client.h"
#include "core/engine_event_handler.h"
#include "core/env/core_env.h"
#include "core/env/log_record.h"
#include "kiv_error.h"

namespace kiv_core {

namespace {

constexpr int kEventJoinResult = 0;
constexpr int kEventConnection = 1;
constexpr int kEventLoginResult = 3;
constexpr int kEventLeaveResult = 4;
// Asks the connection to go on reconnecting.
constexpr int32_t kReconnectAnswer = 2;

avcore::IKivConnection* Connection() {
  CoreEnv* env = CoreEnv::Instance();
  return env ? env->m_connection.get() : nullptr;
}

EngineEventHandler* EventHandler() {
  CoreEnv* env = CoreEnv::Instance();
  return env ? env->m_config.eventHandler : nullptr;
}

IHttpClient* HttpClient() {
  CoreEnv* env = CoreEnv::Instance();
  return env ? env->m_config.httpClient : nullptr;
}

const char* Text(const char* text) { return text ? text : ""; }

}  // namespace

KivCpClient::KivCpClient(KivCpClientEventHandler* handler) : m_handler(handler) {}

void KivCpClient::Init() {
  avcore::IKivConnection* connection = Connection();
  HRESULT hr = S_FALSE;
  if (connection) {
    connection->SetListener(this);
    hr = connection->AddBusiness(this);
  }
  KIV_LOG("init end %d", static_cast<int>(hr));
}

void KivCpClient::Uninit() {
  avcore::IKivConnection* connection = Connection();
  HRESULT hr = S_FALSE;
  if (connection) {
    connection->RemoveListener(this);
    hr = connection->RemoveBusiness(this);
  }
  KIV_LOG("uninit end %d", static_cast<int>(hr));
}

int KivCpClient::Login(const std::string& deviceId, const std::string& token, const std::string& userId, bool force,
                       const std::string& extra) {
  if (token.empty() || userId.empty()) return ERR_INVALID_PARAM;
  avcore::IKivConnection* connection = Connection();
  if (!CoreEnv::IsBaseCoreInited() || !connection) return ERR_INVALID_STATE;
  const CoreEnv* env = CoreEnv::Instance();
  m_userId.Set(userId);
  KIV_LOG("Login deviceid:%s, appid: %s, userid: %s, forcelgin:%d", deviceId.c_str(), env->m_config.appId.c_str(),
          userId.c_str(), force ? 1 : 0);
  const HRESULT hr =
      connection->Login(env->m_config.serverAddress.c_str(), this, env->m_config.appId.c_str(), token.c_str(),
                        deviceId.c_str(), "", userId.c_str(), "windows", extra.c_str(), force ? 1 : 0, 1);
  if (hr < 0) {
    KIV_LOG("login kivconnection fail %x", static_cast<unsigned>(hr));
    return ERR_FAILED;
  }
  return ERR_OK;
}

int KivCpClient::Logout() {
  avcore::IKivConnection* connection = Connection();
  if (!connection) {
    KIV_LOG("already logout");
    return ERR_INVALID_STATE;
  }
  (void)connection->Logout();
  return ERR_OK;
}

int KivCpClient::JoinGroup(const std::string& groupId) {
  if (groupId.empty()) return ERR_INVALID_PARAM;
  avcore::IKivConnection* connection = Connection();
  if (!CoreEnv::IsBaseCoreInited() || !connection) {
    KIV_LOG("JoinGroup failed, env not inited.");
    return ERR_INVALID_STATE;
  }
  const HRESULT hr = connection->JoinGroup(groupId.c_str());
  if (hr != 0) {
    KIV_LOG("joingroup avcore fail");
    return MapCpError(hr);
  }
  m_groupId.Set(groupId);
  KIV_LOG("JoinGroup gropuid: %s", groupId.c_str());
  return ERR_OK;
}

int KivCpClient::LeaveGroup() {
  avcore::IKivConnection* connection = Connection();
  if (!CoreEnv::IsBaseCoreInited() || !connection) {
    KIV_LOG("LeaveGroup failed, env not inited.");
    return ERR_INVALID_STATE;
  }
  KIV_LOG("start leavegroup gropuid: %s", m_groupId.Get().c_str());
  (void)connection->LeaveGroup();
  m_groupId.Set(std::string());
  return ERR_OK;
}

void KivCpClient::ReportEngineEvent(int eventType, int code) {
  EngineEventHandler* handler = EventHandler();
  if (handler) handler->OnEvent(eventType, code);
}

void AVCORE_CALL KivCpClient::OnLoginResult(int32_t result, const char*, const char*) {
  KIV_LOG("OnLoginResult errCode=%d, evthand=%d", static_cast<int>(result), EventHandler() ? 1 : 0);
  ReportEngineEvent(kEventLoginResult, MapCpError(result));
}

void AVCORE_CALL KivCpClient::OnJoinGroupResult(int32_t result, const char*) {
  KIV_LOG("OnJoinGroupResult errCode=%d", static_cast<int>(result));
  ReportEngineEvent(kEventJoinResult, MapCpError(result));
}

void AVCORE_CALL KivCpClient::OnLeaveGroupResult(int32_t result, const char*) {
  KIV_LOG("OnLeaveGroupResult errCode=%d", static_cast<int>(result));
  ReportEngineEvent(kEventLeaveResult, MapCpError(result));
}

void AVCORE_CALL KivCpClient::OnLogouted(int32_t reason) {
  KIV_LOG("OnLogouted %d", static_cast<int>(reason));
  if (m_handler) m_handler->OnConnectionLost();
  ReportEngineEvent(kEventConnection, MapCpError(reason));
}

int32_t AVCORE_CALL KivCpClient::OnReconnectStart() {
  KIV_LOG("OnReconnectStart");
  if (m_handler) m_handler->OnConnectionLost();
  ReportEngineEvent(kEventConnection, ERR_CONNECT_SERVER_FAILED);
  return kReconnectAnswer;
}

void AVCORE_CALL KivCpClient::OnReconnectSucess() { KIV_LOG("OnReconnectSucess"); }

void AVCORE_CALL KivCpClient::OnReconnectFail(int32_t error, const char* conflictDeviceId) {
  KIV_LOG("OnReconnectFail err:%d, conflicetdeviceid:%s", static_cast<int>(error), Text(conflictDeviceId));
  ReportEngineEvent(kEventConnection, MapCpError(error));
}

void AVCORE_CALL KivCpClient::OnRemoteUserJoined(const char* userId) {
  if (m_handler) m_handler->OnRemoteUser(Text(userId), true);
}

void AVCORE_CALL KivCpClient::OnRemoteUserLeft(const char* userId) {
  if (m_handler) m_handler->OnRemoteUser(Text(userId), false);
}

void AVCORE_CALL KivCpClient::OnGroupMediaList(const avcore::FwVector<avcore::FwString>* userIds,
                                               const avcore::FwVector<avcore::GroupMediaEntry>* media, const char*) {
  EngineEventHandler* handler = EventHandler();
  if (handler) {
    if (userIds) {
      handler->OnGroupListSync(*userIds);
    } else {
      handler->OnGroupListSync(avcore::FwVector<avcore::FwString>());
    }
  }
  std::vector<MediaRecord> records;
  if (media) {
    records.reserve(static_cast<size_t>(media->size()));
    for (const avcore::GroupMediaEntry& entry : *media) {
      records.emplace_back(entry.user_id.c_str(), entry.media_id.c_str(), entry.media_owner.c_str(),
                           entry.media_name.c_str(), entry.media_type, true);
    }
  }
  if (m_handler) m_handler->OnMediaChanged(records, true);
}

int KivCpClient::SendMediaChange(int sourceType, int mediaType, const char* mediaId, int operation) {
  KIV_LOG("SendMediaChange, mediaType=%d, mediaId=%s, oper=%d", mediaType, Text(mediaId), operation);
  avcore::IKivConnection* connection = Connection();
  if (!CoreEnv::IsBaseCoreInited() || !connection) return ERR_INVALID_STATE;
  rapidjson::Document message;
  BuildMediaChange(message, sourceType, mediaType, Text(mediaId), operation);
  if (connection->SendBusinessCmd(message) != 0) {
    KIV_LOG("Send business cmd failed!!!");
    return ERR_FAILED;
  }
  return ERR_OK;
}

int KivCpClient::SendLocalMediaChange(int mediaType, const char* mediaId, int operation) {
  return SendMediaChange(kMediaSourceLocal, mediaType, mediaId, operation);
}

int KivCpClient::PublishAudioNotify(const std::string& audioId) {
  return SendLocalMediaChange(kMediaAudio, audioId.c_str(), 1);
}

int KivCpClient::UnpublishAudioNotify(const std::string& audioId) {
  return SendLocalMediaChange(kMediaAudio, audioId.c_str(), 0);
}

int KivCpClient::PublishVideoNotify(const std::string& videoId) {
  return SendLocalMediaChange(kMediaVideo, videoId.c_str(), 1);
}

int KivCpClient::UnpublishVideoNotify(const std::string& videoId) {
  return SendLocalMediaChange(kMediaVideo, videoId.c_str(), 0);
}

int KivCpClient::PublishScreenShareNotify() { return SendLocalMediaChange(kMediaScreen, "0", 1); }

int KivCpClient::UnpublishScreenShareNotify() { return SendLocalMediaChange(kMediaScreen, "0", 0); }

int KivCpClient::RemoteControlOperation(const std::string& destinationUserId, int operation) {
  avcore::IKivConnection* connection = Connection();
  if (!CoreEnv::IsBaseCoreInited() || !connection) {
    KIV_LOG("RemoteControlOperation failed, env not inited.");
    return ERR_INVALID_STATE;
  }
  rapidjson::Document message;
  BuildRemoteControl(message, operation, m_userId.Get(), destinationUserId);
  return connection->SendBusinessCmd(message) == 0 ? ERR_OK : ERR_FAILED;
}

bool AVCORE_CALL KivCpClient::ProcessCpBusinessCmd(const char* business, int32_t commandId,
                                                   const rapidjson::Value& body) {
  if (!business || std::strcmp(business, kGsBusiness) != 0) return false;
  if (commandId == kGsMediaChangeReceived) {
    MediaRecord record;
    if (!ReadMediaChange(body, &record)) return true;
    // A participant's own media come back to it; its own board announcements pass.
    if (record.mediaType != kMediaBoard && m_userId.Equals(record.userId)) return true;
    if (m_handler) m_handler->OnMediaChanged(std::vector<MediaRecord>{record}, false);
    return true;
  }
  if (commandId == kGsRemoteControl) {
    std::string source;
    int operation = 0;
    if (ReadRemoteControl(body, &source, &operation) && m_handler)
      m_handler->OnScreenShareRemoteControlEvent(source, operation);
    return true;
  }
  return false;
}

avcore::FwString* AVCORE_CALL KivCpClient::HttpPost(avcore::FwString* response, const char* url, const char* body) {
  IHttpClient* http = HttpClient();
  const std::string answer = http ? http->Post(Text(url), Text(body)) : std::string();
  if (response) *response = answer.c_str();
  return response;
}

avcore::FwString* AVCORE_CALL KivCpClient::HttpGet(avcore::FwString* response, const char* url) {
  IHttpClient* http = HttpClient();
  const std::string answer = http ? http->Get(Text(url)) : std::string();
  if (response) *response = answer.c_str();
  return response;
}

HRESULT AVCORE_CALL KivCpClient::HttpCancel(intptr_t) {
  IHttpClient* http = HttpClient();
  if (http) http->Close();
  return S_OK;
}

}  // namespace kiv_core
