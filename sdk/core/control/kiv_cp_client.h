// The SDK's one client of the framework's control-plane connection: login, logout, join and
// leave requests out; the connection's results, losses, remote users and media lists in; and
// the HTTP client the connection borrows for its requests.
#pragma once

#include <string>

#include "avcore/connection.h"
#include "core/control/kiv_cp_client_event_handler.h"
#include "core/env/shared_text.h"

namespace kiv_core {

class KivCpClient : public avcore::IKivConnectionListener,
                    public avcore::IKivBusinessBase,
                    public avcore::IKivHttpClient {
 public:
  // The handler (the core engine) is not owned.
  explicit KivCpClient(KivCpClientEventHandler* handler);
  ~KivCpClient() override = default;
  KivCpClient(const KivCpClient&) = delete;
  KivCpClient& operator=(const KivCpClient&) = delete;

  // Registers as the connection's listener and business handler.
  void Init();
  void Uninit();

  // Every request returns an ErrCode. Login's outcome arrives as event 3, a join's as
  // event 0, a leave's as event 4.
  [[nodiscard]] int Login(const std::string& deviceId, const std::string& token, const std::string& userId, bool force,
                          const std::string& extra);
  int Logout();
  [[nodiscard]] int JoinGroup(const std::string& groupId);
  int LeaveGroup();

  // "GS" media changes (source type 0 local, 1 whiteboard; operation 1 published, 0 withdrawn).
  int SendMediaChange(int sourceType, int mediaType, const char* mediaId, int operation);
  int SendLocalMediaChange(int mediaType, const char* mediaId, int operation);
  int PublishAudioNotify(const std::string& audioId);
  int UnpublishAudioNotify(const std::string& audioId);
  int PublishVideoNotify(const std::string& videoId);
  int UnpublishVideoNotify(const std::string& videoId);
  int PublishScreenShareNotify();
  int UnpublishScreenShareNotify();
  // 0 request, 1 cancel, 2 accept, 3 refuse, addressed to one user.
  int RemoteControlOperation(const std::string& destinationUserId, int operation);

  // The user id of the last Login call (a copy: a later Login may replace it at any time).
  std::string GetUserId() const { return m_userId.Get(); }
  // The group of the last JoinGroup (a copy: joins and leaves may come from other threads).
  std::string GetGroupId() const { return m_groupId.Get(); }

  // avcore::IKivConnectionListener
  void AVCORE_CALL OnLoginResult(int32_t result, const char* userId, const char* detail) override;
  void AVCORE_CALL OnJoinGroupResult(int32_t result, const char* groupId) override;
  void AVCORE_CALL OnLeaveGroupResult(int32_t result, const char* groupId) override;
  void AVCORE_CALL OnLogouted(int32_t reason) override;
  int32_t AVCORE_CALL OnReconnectStart() override;
  void AVCORE_CALL OnReconnectSucess() override;
  void AVCORE_CALL OnReconnectFail(int32_t error, const char* conflictDeviceId) override;
  void AVCORE_CALL OnRemoteUserJoined(const char* userId) override;
  void AVCORE_CALL OnRemoteUserLeft(const char* userId) override;
  void AVCORE_CALL OnGroupMediaList(const avcore::FwVector<avcore::FwString>* userIds,
                                    const avcore::FwVector<avcore::GroupMediaEntry>* media,
                                    const char* groupId) override;

  // avcore::IKivBusinessBase
  bool AVCORE_CALL ProcessCpBusinessCmd(const char* business, int32_t commandId, const rapidjson::Value& body) override;

  // avcore::IKivHttpClient: served by the engine's HTTP client.
  avcore::FwString* AVCORE_CALL HttpPost(avcore::FwString* response, const char* url, const char* body) override;
  avcore::FwString* AVCORE_CALL HttpGet(avcore::FwString* response, const char* url) override;
  HRESULT AVCORE_CALL HttpCancel(intptr_t reserved) override;

 private:
  // Event to the engine's event handler, when there is one.
  static void ReportEngineEvent(int eventType, int code);

  // Written by joins and leaves on the application's threads.
  SharedText m_groupId;
  // Written by Login on the application's thread, read on the connection's threads.
  SharedText m_userId;
  KivCpClientEventHandler* m_handler = nullptr;
};

}  // namespace kiv_core
