// The core's side of the connection's online business.
#pragma once

#include "avcore/online.h"

namespace kiv_core {

class OnlineBusiness {
public:
    OnlineBusiness() = default;
    OnlineBusiness(const OnlineBusiness&) = delete;
    OnlineBusiness& operator=(const OnlineBusiness&) = delete;

    void SetEventHandler(avcore::IKivOnlineListener* handler) { m_handler = handler; }
    avcore::IKivOnlineListener* EventHandler() const { return m_handler; }

    // An empty list asks for every user.
    int UserStatusRefresh(const avcore::FwVector<avcore::FwString>& userIds, unsigned* requestId);
    int Invite(const avcore::FwVector<avcore::FwString>& userIds, const char* groupId,
               const char* message, unsigned* requestId);
    int AcceptInvite(const char* inviterId, int inviteId);
    int RefuseInvite(const char* inviterId, int inviteId);

private:
    avcore::IKivOnlineListener* m_handler = nullptr;
};

}  // namespace kiv_core
