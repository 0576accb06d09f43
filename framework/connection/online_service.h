// avcore::IKivOnline of the connection: users' online states and invitations through
// the server's ONLINE business. Requests return 0 once sent, a control-plane code
// (1 bad arguments, 31 not logged in, 30 the link failed) or E_FAIL once the
// connection is gone; answers come to the listeners.
#pragma once

#include <memory>

#include "avcore/online.h"
#include "com_object.h"
#include "connection_core.h"

namespace tessarine {

class OnlineService final : public ComObject<avcore::IKivOnline> {
 public:
  explicit OnlineService(std::shared_ptr<ConnectionCore> core);

  HRESULT AVCORE_CALL SetListener(avcore::IKivOnlineListener* listener) override;
  HRESULT AVCORE_CALL RemoveListener(avcore::IKivOnlineListener* listener) override;
  // Not logged in: 31 and no answer follows (the request id is set all the same).
  HRESULT AVCORE_CALL RefreshAllUserStatus(uint32_t* requestId) override;
  HRESULT AVCORE_CALL RefreshUserStatus(const avcore::FwVector<avcore::FwString>* userIds,
                                        uint32_t* requestId) override;
  HRESULT AVCORE_CALL InviteUsers(const avcore::FwVector<avcore::FwString>* userIds,
                                  const avcore::FwVector<avcore::FwStringPair>* attributes, const char* groupId,
                                  const char* message, uint32_t* requestId) override;
  HRESULT AVCORE_CALL AcceptInvite(const char* inviterId, int32_t inviteId, const char* extra) override;
  HRESULT AVCORE_CALL RefuseInvite(const char* inviterId, int32_t inviteId, const char* extra) override;

 private:
  HRESULT Query(std::vector<std::string> users, uint32_t* requestId);
  HRESULT Answer(int id, const char* inviterId, int32_t inviteId, const char* extra);

  std::shared_ptr<ConnectionCore> core_;
};

}  // namespace tessarine
