// Records what a connection reports, as the SDK would receive it, for tests to wait on.
// It is the connection's listener, a business handler (taking "GS" messages), and an
// online and text-message listener. Like the SDK, it can answer a lost link by
// leaving and logging out on another thread.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "avcore/avcore.h"
#include "common/testing/event_log.h"

namespace connection_test {

struct Event {
  Event() = default;
  explicit Event(std::string k, int c = 0, std::string t = {}, std::string f = {})
      : kind(std::move(k)), code(c), text(std::move(t)), from(std::move(f)) {}

  std::string kind;  // login, join, leave, logouted, reconnect_start, reconnect_ok, reconnect_fail,
                     // user_joined, user_left, media_list, business, status, invite..., user_msg, group_msg
  int code = 0;      // result, reason, command id, request id, message id
  std::string text;  // user id, group id, business body, message text
  std::string from;  // sender, conflicting device, login detail
  std::vector<std::string> users;
  std::vector<std::string> media;  // "user/type/id/name/owner"
  int status_in_callback = -1;     // GetStatus() seen inside the callback
};

class ConnectionRecorder : public avcore::IKivConnectionListener,
                           public avcore::IKivBusinessBase,
                           public avcore::IKivOnlineListener,
                           public avcore::IKivTMsgListener {
 public:
  explicit ConnectionRecorder(avcore::IKivConnection* connection) : connection_(connection) {}
  ~ConnectionRecorder() override;

  // On OnLogouted / OnReconnectStart: LeaveGroup then Logout on a thread of its own.
  void LeaveAndLogoutOnLoss() { leave_on_loss_ = true; }
  // Waits for those threads (before the connection goes).
  void JoinTasks();

  bool Wait(const std::string& kind, Event* out = nullptr, int timeout_ms = 15000,
            const std::function<bool(const Event&)>& match = nullptr);
  size_t Count(const std::string& kind) const;

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

  bool AVCORE_CALL ProcessCpBusinessCmd(const char* business, int32_t commandId, const rapidjson::Value& body) override;

  void AVCORE_CALL OnUserStatusResult(int32_t result, uint32_t requestId,
                                      const avcore::FwVector<avcore::UserStatusEntry>* entries, int32_t total,
                                      int32_t reserved) override;
  void AVCORE_CALL OnInviteCome(const char* inviterId, int32_t inviteId, const char* groupId,
                                const char* message) override;
  void AVCORE_CALL OnInviteAccepted(const char* userId, int32_t inviteId, const char* extra) override;
  void AVCORE_CALL OnInviteRefused(const char* userId, int32_t inviteId, const char* extra, int32_t reason) override;
  void AVCORE_CALL OnInviteCanceled(const char* inviterId, int32_t inviteId, const char* extra) override;
  void AVCORE_CALL OnOnlineNotify(const char* userId, const avcore::UserStatusItem* item) override;

  void AVCORE_CALL OnUserMessage(const char* senderId, uint32_t messageId, const char* text) override;
  void AVCORE_CALL OnGroupMessage(const char* senderId, uint32_t messageId, const char* text) override;

 private:
  void Push(Event e);
  void Lost();

  avcore::IKivConnection* connection_;
  bool leave_on_loss_ = false;
  kiv_common::EventLog<Event> log_;
  std::mutex mutex_;  // guards tasks_
  std::vector<std::thread> tasks_;
};

}  // namespace connection_test
