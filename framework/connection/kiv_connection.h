// The control-plane connection component (CLSID_KivConnection): avcore::IKivConnection
// on the protocol's client session over Winsock. It reports CPSTATUS_LOGINED from
// before OnLoginResult(0) until logout, also while in a group, and raises OnLogouted
// and OnReconnectStart only for a logout by the server or a lost link, never in
// answer to its own Logout or LeaveGroup.
#pragma once

#include <memory>
#include <mutex>

#include "avcore/connection.h"
#include "com_object.h"
#include "connection_core.h"
#include "online_service.h"
#include "text_message_service.h"

namespace tessarine {

class KivConnection final : public ComObject<avcore::IKivConnection> {
 public:
  KivConnection();

  HRESULT AVCORE_CALL SetListener(avcore::IKivConnectionListener* listener) override;
  HRESULT AVCORE_CALL RemoveListener(avcore::IKivConnectionListener* listener) override;
  HRESULT AVCORE_CALL AddBusiness(avcore::IKivBusinessBase* business) override;
  HRESULT AVCORE_CALL RemoveBusiness(avcore::IKivBusinessBase* business) override;
  HRESULT AVCORE_CALL QueryBusiness(REFIID interfaceId, void** business) override;
  // E_INVALIDARG: an argument is missing or invalid (a user id of other characters than
  // letters, digits, '_' and '-' never reaches the server); E_UNEXPECTED: a login is in
  // effect; E_FAIL: Winsock is unavailable.
  HRESULT AVCORE_CALL Login(const char* server, avcore::IKivHttpClient* http, const char* appId, const char* token,
                            const char* deviceId, const char* reserved, const char* userId, const char* platform,
                            const char* extra, int32_t force, int32_t mode) override;
  HRESULT AVCORE_CALL Logout() override;
  // 0 accepted; 1 invalid id; 2 in or joining a group; 31 not logged in.
  HRESULT AVCORE_CALL JoinGroup(const char* groupId) override;
  // 0 accepted; 2 not in a group.
  HRESULT AVCORE_CALL LeaveGroup() override;
  int32_t AVCORE_CALL GetStatus() override;
  // 0 sent; 1 not a business message; 31 not logged in; 30 the link failed.
  HRESULT AVCORE_CALL SendBusinessCmd(const rapidjson::Value& command) override;

  const std::shared_ptr<ConnectionCore>& core() const { return core_; }

 private:
  ~KivConnection() override;

  std::shared_ptr<ConnectionCore> core_;
  std::mutex services_mutex_;
  ComRef<OnlineService> online_;
  ComRef<TextMessageService> text_;
};

}  // namespace tessarine
