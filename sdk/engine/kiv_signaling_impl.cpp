#include "engine/kiv_signaling_impl.h"

#include "core/control/cp_error.h"
#include "core/core_engine.h"
#include "kiv_error.h"

namespace kiv {

avcore::FwVector<avcore::FwString> ToFwList(const Vector<String>& userIds) {
  avcore::FwVector<avcore::FwString> list;
  for (const String& id : userIds) list.push_back(avcore::FwString(id.c_str()));
  return list;
}

KivSignalingImpl::KivSignalingImpl(kiv_core::CoreEngine* core) : m_core(core) {
  m_core->GetOnlineBusiness()->SetEventHandler(this);
  m_core->GetTMsgBusiness()->SetEventHandler(this);
}

void KivSignalingImpl::AddEventHandler(IKivSignalingEventHandler* handler) { (void)m_handlers.Add(handler); }

void KivSignalingImpl::RemoveEventHandler(IKivSignalingEventHandler* handler) { (void)m_handlers.Remove(handler); }

template <class Call>
void KivSignalingImpl::FanOut(const Call& call) {
  m_handlers.ForEach([&](IKivSignalingEventHandler& handler) { call(&handler); });
}

int KivSignalingImpl::UserStatusRefresh(const Vector<String>& userIds, unsigned* requestId) {
  return m_core->GetOnlineBusiness()->UserStatusRefresh(ToFwList(userIds), requestId);
}

int KivSignalingImpl::Invite(const Vector<String>& userIds, const char* groupId, const char* message,
                             unsigned* requestId) {
  if (userIds.empty()) return kiv_core::ERR_INVALID_PARAM;
  return m_core->GetOnlineBusiness()->Invite(ToFwList(userIds), groupId, message, requestId);
}

int KivSignalingImpl::AcceptInvite(const char* inviterId, int inviteId) {
  return m_core->GetOnlineBusiness()->AcceptInvite(inviterId, inviteId);
}

int KivSignalingImpl::RefuseInvite(const char* inviterId, int inviteId) {
  return m_core->GetOnlineBusiness()->RefuseInvite(inviterId, inviteId);
}

int KivSignalingImpl::SendUserMsg(const char* userId, const char* text, unsigned* messageId) {
  return m_core->GetTMsgBusiness()->SendUserMsg(userId, text, messageId);
}

int KivSignalingImpl::SendGroupMsg(const char* text, unsigned* messageId) {
  return m_core->GetTMsgBusiness()->SendGroupMsg(text, messageId);
}

int KivSignalingImpl::SendUsersMsg(const Vector<String>& userIds, const char* text, unsigned* messageId) {
  return m_core->GetTMsgBusiness()->SendUsersMsg(ToFwList(userIds), text, messageId);
}

int KivSignalingImpl::SendUsersMsgEx(const Vector<String>& userIds, const char* text, unsigned* messageId) {
  return m_core->GetTMsgBusiness()->SendUsersMsgEx(ToFwList(userIds), text, messageId);
}

void AVCORE_CALL KivSignalingImpl::OnUserStatusResult(int32_t result, uint32_t requestId,
                                                      const avcore::FwVector<avcore::UserStatusEntry>* entries, int32_t,
                                                      int32_t) {
  Vector<UserStatus> statuses;
  if (entries) {
    for (const avcore::UserStatusEntry& entry : *entries) {
      UserStatus status;
      status.userId = entry.user_id.c_str();
      if (entry.items.size() > 0) {
        status.status = entry.items[0].status;
        status.data = entry.items[0].data.c_str();
      }
      statuses.push_back(status);
    }
  }
  const int code = kiv_core::MapCpError(result);
  FanOut([&](IKivSignalingEventHandler* handler) { handler->OnUsersStateRefreshed(code, requestId, statuses); });
}

void AVCORE_CALL KivSignalingImpl::OnInviteCome(const char* inviterId, int32_t inviteId, const char* groupId,
                                                const char* message) {
  FanOut([&](IKivSignalingEventHandler* handler) { handler->OnInviteReceived(inviterId, inviteId, groupId, message); });
}

void AVCORE_CALL KivSignalingImpl::OnInviteAccepted(const char* userId, int32_t inviteId, const char*) {
  FanOut([&](IKivSignalingEventHandler* handler) { handler->OnInviteAccepted(userId, inviteId); });
}

void AVCORE_CALL KivSignalingImpl::OnInviteRefused(const char* userId, int32_t inviteId, const char*, int32_t) {
  FanOut([&](IKivSignalingEventHandler* handler) { handler->OnInviteRefused(userId, inviteId); });
}

void AVCORE_CALL KivSignalingImpl::OnInviteCanceled(const char*, int32_t, const char*) {}

void AVCORE_CALL KivSignalingImpl::OnOnlineNotify(const char* userId, const avcore::UserStatusItem* item) {
  UserStatus status;
  status.userId = userId;
  if (item) {
    status.status = item->status;
    status.data = item->data.c_str();
  }
  FanOut([&](IKivSignalingEventHandler* handler) { handler->OnUserStateChanged(status); });
}

void AVCORE_CALL KivSignalingImpl::OnUserMessage(const char* senderId, uint32_t messageId, const char* text) {
  FanOut([&](IKivSignalingEventHandler* handler) { handler->OnUserMsgReceived(senderId, messageId, text); });
}

void AVCORE_CALL KivSignalingImpl::OnGroupMessage(const char* senderId, uint32_t messageId, const char* text) {
  FanOut([&](IKivSignalingEventHandler* handler) { handler->OnGroupMsgReceived(senderId, messageId, text); });
}

}  // namespace kiv
