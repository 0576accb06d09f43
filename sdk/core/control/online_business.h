// The core's side of the connection's online business: users' online states and
// invitations. Every event of the framework's business is passed on, unchanged, to the
// listener (the signaling facade).
#pragma once

#include "avcore/online.h"
#include "common/win/com_ref.h"

namespace kiv_core {

class OnlineBusiness : public avcore::IKivOnlineListener {
 public:
  OnlineBusiness() = default;
  ~OnlineBusiness() override;
  OnlineBusiness(const OnlineBusiness&) = delete;
  OnlineBusiness& operator=(const OnlineBusiness&) = delete;

  // Set once, before Init; null drops the events.
  void SetEventHandler(avcore::IKivOnlineListener* handler) { m_listener = handler; }
  avcore::IKivOnlineListener* EventHandler() const { return m_listener; }

  // Finds the framework's business on the connection and listens to it. Without one
  // every request below answers 302.
  void Init();
  // Stops listening and gives the business back; requests then answer 302.
  void Uninit();

  // Results: 0; 302 before the framework is up, when the business is missing or when it
  // refuses. An answer arrives later as OnUserStatusResult carrying *requestId. An empty
  // list asks for every user.
  [[nodiscard]] int UserStatusRefresh(const avcore::FwVector<avcore::FwString>& userIds, unsigned* requestId);
  // An empty list gives 1 before anything else.
  [[nodiscard]] int Invite(const avcore::FwVector<avcore::FwString>& userIds, const char* groupId, const char* message,
                           unsigned* requestId);
  [[nodiscard]] int AcceptInvite(const char* inviterId, int inviteId);
  [[nodiscard]] int RefuseInvite(const char* inviterId, int inviteId);

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

 private:
  bool Available() const;

  kiv_common::ComRef<avcore::IKivOnline> m_pKivOnline;
  avcore::IKivOnlineListener* m_listener = nullptr;
};

}  // namespace kiv_core
