// The object behind IKivSignaling: online status, invitations and text messages, and the
// fan-out of their events to the application's handlers.
#pragma once

#include "avcore/online.h"
#include "avcore/tmsg.h"
#include "base/system/callback_slot.h"
#include "kiv_signaling.h"

namespace kiv_core {
class CoreEngine;
}

namespace kiv {

class KivSignalingImpl : public IKivSignaling, public avcore::IKivOnlineListener, public avcore::IKivTMsgListener {
 public:
  // Registers its listener faces with the core's two businesses.
  explicit KivSignalingImpl(kiv_core::CoreEngine* core);
  ~KivSignalingImpl() override = default;
  KivSignalingImpl(const KivSignalingImpl&) = delete;
  KivSignalingImpl& operator=(const KivSignalingImpl&) = delete;

  // IKivSignaling. RemoveEventHandler returns once no event on another thread is in the
  // handler; made inside an event, it takes effect before the next handler is called.
  void AddEventHandler(IKivSignalingEventHandler* handler) override;
  void RemoveEventHandler(IKivSignalingEventHandler* handler) override;
  int UserStatusRefresh(const Vector<String>& userIds, unsigned* requestId) override;
  int Invite(const Vector<String>& userIds, const char* groupId, const char* message, unsigned* requestId) override;
  int AcceptInvite(const char* inviterId, int inviteId) override;
  int RefuseInvite(const char* inviterId, int inviteId) override;
  int SendUserMsg(const char* userId, const char* text, unsigned* messageId) override;
  int SendGroupMsg(const char* text, unsigned* messageId) override;
  int SendUsersMsg(const Vector<String>& userIds, const char* text, unsigned* messageId) override;
  int SendUsersMsgEx(const Vector<String>& userIds, const char* text, unsigned* messageId) override;

  // avcore::IKivOnlineListener, on framework threads.
  void AVCORE_CALL OnUserStatusResult(int32_t result, uint32_t requestId,
                                      const avcore::FwVector<avcore::UserStatusEntry>* entries, int32_t total,
                                      int32_t reserved) override;
  void AVCORE_CALL OnInviteCome(const char* inviterId, int32_t inviteId, const char* groupId,
                                const char* message) override;
  void AVCORE_CALL OnInviteAccepted(const char* userId, int32_t inviteId, const char* extra) override;
  void AVCORE_CALL OnInviteRefused(const char* userId, int32_t inviteId, const char* extra, int32_t reason) override;
  void AVCORE_CALL OnInviteCanceled(const char* inviterId, int32_t inviteId, const char* extra) override;
  void AVCORE_CALL OnOnlineNotify(const char* userId, const avcore::UserStatusItem* item) override;

  // avcore::IKivTMsgListener, on framework threads.
  void AVCORE_CALL OnUserMessage(const char* senderId, uint32_t messageId, const char* text) override;
  void AVCORE_CALL OnGroupMessage(const char* senderId, uint32_t messageId, const char* text) override;

 private:
  // Calls `call` with every handler still added when its turn comes, in the order added,
  // with no lock of ours held.
  template <class Call>
  void FanOut(const Call& call);

  kiv_core::CoreEngine* m_core;
  ZORVANTE::CallbackSet<IKivSignalingEventHandler> m_handlers;
};

// A framework-side copy of a list of user ids, in order.
avcore::FwVector<avcore::FwString> ToFwList(const Vector<String>& userIds);

}  // namespace kiv
