// The online business of the control-plane connection: users' online states and
// invitations into groups.
#pragma once

#include "avcore/fw_string.h"
#include "avcore/platform.h"

namespace avcore {

// One state of a user (one per logged-in device), 16 bytes on the 32-bit build.
struct UserStatusItem {
  FwString device_id;
  int32_t status;  // 0 offline, 1 online
  FwString platform;
  FwString data;
};
AVCORE_ASSERT_SIZE32(UserStatusItem, 16);

struct UserStatusEntry {
  FwString user_id;
  FwVector<UserStatusItem> items;
};
AVCORE_ASSERT_SIZE32(UserStatusEntry, 16);

// Events of the online business, on the connection's threads. Not reference counted.
struct IKivOnlineListener {
  // Answer to a refresh: control-plane result, the request id it answers, the states;
  // `total` the number of users asked for (0 = all), `reserved` 0.
  virtual void AVCORE_CALL OnUserStatusResult(int32_t result, uint32_t requestId,
                                              const FwVector<UserStatusEntry>* entries, int32_t total,
                                              int32_t reserved) = 0;
  virtual void AVCORE_CALL OnInviteCome(const char* inviterId, int32_t inviteId, const char* groupId,
                                        const char* message) = 0;
  virtual void AVCORE_CALL OnInviteAccepted(const char* userId, int32_t inviteId, const char* extra) = 0;
  virtual void AVCORE_CALL OnInviteRefused(const char* userId, int32_t inviteId, const char* extra, int32_t reason) = 0;
  virtual void AVCORE_CALL OnInviteCanceled(const char* inviterId, int32_t inviteId, const char* extra) = 0;
  virtual void AVCORE_CALL OnOnlineNotify(const char* userId, const UserStatusItem* item) = 0;
  virtual ~IKivOnlineListener() {}
};

// From IKivConnection::QueryBusiness(IID_IKivOnline).
struct IKivOnline : public IUnknown {
  virtual HRESULT AVCORE_CALL SetListener(IKivOnlineListener* listener) = 0;
  virtual HRESULT AVCORE_CALL RemoveListener(IKivOnlineListener* listener) = 0;
  // Asks for every user's state; *requestId (may be null) gets the id the answer carries.
  virtual HRESULT AVCORE_CALL RefreshAllUserStatus(uint32_t* requestId) = 0;
  virtual HRESULT AVCORE_CALL RefreshUserStatus(const FwVector<FwString>* userIds, uint32_t* requestId) = 0;
  // Invites users into `groupId` with `message`; `attributes` is an empty list.
  virtual HRESULT AVCORE_CALL InviteUsers(const FwVector<FwString>* userIds, const FwVector<FwStringPair>* attributes,
                                          const char* groupId, const char* message, uint32_t* requestId) = 0;
  virtual HRESULT AVCORE_CALL AcceptInvite(const char* inviterId, int32_t inviteId, const char* extra) = 0;
  virtual HRESULT AVCORE_CALL RefuseInvite(const char* inviterId, int32_t inviteId, const char* extra) = 0;
};

}  // namespace avcore
