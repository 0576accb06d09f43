#include "connection_recorder.h"

#include <chrono>

#include "protocol/wire/wire_message.h"

namespace connection_test {
namespace {

std::string S(const char* s) { return s != nullptr ? s : "<null>"; }

}  // namespace

ConnectionRecorder::~ConnectionRecorder() { JoinTasks(); }

void ConnectionRecorder::JoinTasks() {
  std::vector<std::thread> tasks;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    tasks.swap(tasks_);
  }
  for (auto& t : tasks) t.join();
}

void ConnectionRecorder::Push(Event e) {
  e.status_in_callback = connection_->GetStatus();
  log_.Push(std::move(e));
}

bool ConnectionRecorder::Wait(const std::string& kind, Event* out, int timeout_ms,
                              const std::function<bool(const Event&)>& match) {
  return log_.Wait(kind, out, timeout_ms, match);
}

size_t ConnectionRecorder::Count(const std::string& kind) const { return log_.Count(kind); }

void ConnectionRecorder::Lost() {
  if (!leave_on_loss_) return;
  // As the SDK posts its leave-and-logout to the thread that called Init.
  std::lock_guard<std::mutex> lock(mutex_);
  tasks_.emplace_back([c = connection_] {
    c->LeaveGroup();
    c->Logout();
  });
}

void ConnectionRecorder::OnLoginResult(int32_t result, const char* userId, const char* detail) {
  Push(Event("login", result, S(userId), S(detail)));
}

void ConnectionRecorder::OnJoinGroupResult(int32_t result, const char* groupId) {
  Push(Event("join", result, S(groupId)));
}

void ConnectionRecorder::OnLeaveGroupResult(int32_t result, const char* groupId) {
  Push(Event("leave", result, S(groupId)));
}

void ConnectionRecorder::OnLogouted(int32_t reason) {
  Push(Event("logouted", reason));
  Lost();
}

int32_t ConnectionRecorder::OnReconnectStart() {
  Push(Event("reconnect_start"));
  Lost();
  return 2;
}

void ConnectionRecorder::OnReconnectSucess() { Push(Event("reconnect_ok")); }

void ConnectionRecorder::OnReconnectFail(int32_t error, const char* conflictDeviceId) {
  Push(Event("reconnect_fail", error, "", S(conflictDeviceId)));
}

void ConnectionRecorder::OnRemoteUserJoined(const char* userId) { Push(Event("user_joined", 0, S(userId))); }

void ConnectionRecorder::OnRemoteUserLeft(const char* userId) { Push(Event("user_left", 0, S(userId))); }

void ConnectionRecorder::OnGroupMediaList(const avcore::FwVector<avcore::FwString>* userIds,
                                          const avcore::FwVector<avcore::GroupMediaEntry>* media, const char* groupId) {
  Event e("media_list", 0, S(groupId));
  for (const auto& u : *userIds) e.users.push_back(u.c_str());
  for (const auto& m : *media) {
    e.media.push_back(std::string(m.user_id.c_str()) + "/" + std::to_string(m.media_type) + "/" + m.media_id.c_str() +
                      "/" + m.media_name.c_str() + "/" + m.media_owner.c_str());
  }
  Push(std::move(e));
}

bool ConnectionRecorder::ProcessCpBusinessCmd(const char* business, int32_t commandId, const rapidjson::Value& body) {
  if (std::string(business) != "GS") return false;
  Push(Event("business", commandId, kiv_proto::ToJson(body)));
  return true;
}

void ConnectionRecorder::OnUserStatusResult(int32_t result, uint32_t requestId,
                                            const avcore::FwVector<avcore::UserStatusEntry>* entries, int32_t total,
                                            int32_t) {
  Event e("status", static_cast<int>(requestId), std::to_string(result) + "/" + std::to_string(total));
  for (const auto& entry : *entries) {
    std::string user = entry.user_id.c_str();
    if (!entry.items.empty()) {
      user += ":" + std::to_string(entry.items[0].status) + ":" + entry.items[0].platform.c_str() + ":" +
              entry.items[0].data.c_str();
    }
    e.users.push_back(user);
  }
  Push(std::move(e));
}

void ConnectionRecorder::OnInviteCome(const char* inviterId, int32_t inviteId, const char* groupId,
                                      const char* message) {
  Push(Event("invite", inviteId, S(groupId) + " " + S(message), S(inviterId)));
}

void ConnectionRecorder::OnInviteAccepted(const char* userId, int32_t inviteId, const char*) {
  Push(Event("accepted", inviteId, "", S(userId)));
}

void ConnectionRecorder::OnInviteRefused(const char* userId, int32_t inviteId, const char*, int32_t) {
  Push(Event("refused", inviteId, "", S(userId)));
}

void ConnectionRecorder::OnInviteCanceled(const char* inviterId, int32_t inviteId, const char*) {
  Push(Event("canceled", inviteId, "", S(inviterId)));
}

void ConnectionRecorder::OnOnlineNotify(const char* userId, const avcore::UserStatusItem* item) {
  Push(Event("online_notify", item->status, S(userId)));
}

void ConnectionRecorder::OnUserMessage(const char* senderId, uint32_t messageId, const char* text) {
  Push(Event("user_msg", static_cast<int>(messageId), S(text), S(senderId)));
}

void ConnectionRecorder::OnGroupMessage(const char* senderId, uint32_t messageId, const char* text) {
  Push(Event("group_msg", static_cast<int>(messageId), S(text), S(senderId)));
}

}  // namespace connection_test
