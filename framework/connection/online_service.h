// avcore::IKivOnline of the connection: users' online states through the server's
// ONLINE business. Invitations are not served yet (E_NOTIMPL).
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
  // 0 sent; 31 not logged in (no answer follows); E_FAIL once the connection is gone.
  HRESULT AVCORE_CALL RefreshAllUserStatus(uint32_t* requestId) override;
  HRESULT AVCORE_CALL RefreshUserStatus(const avcore::FwVector<avcore::FwString>* userIds,
                                        uint32_t* requestId) override;
  HRESULT AVCORE_CALL InviteUsers(const avcore::FwVector<avcore::FwString>* userIds,
                                  const avcore::FwVector<avcore::FwStringPair>* attributes,
                                  const char* groupId, const char* message, uint32_t* requestId) override;
  HRESULT AVCORE_CALL AcceptInvite(const char* inviterId, int32_t inviteId, const char* extra) override;
  HRESULT AVCORE_CALL RefuseInvite(const char* inviterId, int32_t inviteId, const char* extra) override;

 private:
  HRESULT Query(std::vector<std::string> users, uint32_t* requestId);

  std::shared_ptr<ConnectionCore> core_;
};

}  // namespace tessarine
