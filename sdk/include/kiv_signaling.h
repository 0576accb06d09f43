// Online-user status, invitations and text messages.
#pragma once

#include "kiv_records.h"

namespace kiv {

// Events come on the framework's threads, with no lock of the engine held. Handlers are
// called in the order they were added. RemoveEventHandler returns only once no event on
// another thread is in the handler, so it may be freed then; in return, a handler must not
// wait for a thread that removes it. A handler may add or remove handlers (itself too)
// inside an event: one removed there is not called again, not even for that event.
class IKivSignalingEventHandler {
 public:
  virtual void OnUsersStateRefreshed(int result, unsigned requestId, Vector<UserStatus> statuses) = 0;
  virtual void OnUserStateChanged(const UserStatus& status) = 0;
  virtual void OnInviteReceived(const char* inviterId, int inviteId, const char* groupId, const char* message) = 0;
  virtual void OnInviteAccepted(const char* userId, int inviteId) = 0;
  virtual void OnInviteRefused(const char* userId, int inviteId) = 0;
  virtual void OnUserMsgReceived(const char* senderId, unsigned messageId, const char* text) = 0;
  virtual void OnGroupMsgReceived(const char* senderId, unsigned messageId, const char* text) = 0;

 protected:
  ~IKivSignalingEventHandler() = default;
};

// Owned by the engine. Results are kiv_core::ErrCode values.
class IKivSignaling {
 public:
  virtual void AddEventHandler(IKivSignalingEventHandler* handler) = 0;
  virtual void RemoveEventHandler(IKivSignalingEventHandler* handler) = 0;
  // An empty list asks for every user.
  virtual int UserStatusRefresh(const Vector<String>& userIds, unsigned* requestId) = 0;
  // An empty list gives 1.
  virtual int Invite(const Vector<String>& userIds, const char* groupId, const char* message, unsigned* requestId) = 0;
  virtual int AcceptInvite(const char* inviterId, int inviteId) = 0;
  virtual int RefuseInvite(const char* inviterId, int inviteId) = 0;
  virtual int SendUserMsg(const char* userId, const char* text, unsigned* messageId) = 0;
  virtual int SendGroupMsg(const char* text, unsigned* messageId) = 0;
  virtual int SendUsersMsg(const Vector<String>& userIds, const char* text, unsigned* messageId) = 0;
  virtual int SendUsersMsgEx(const Vector<String>& userIds, const char* text, unsigned* messageId) = 0;

 protected:
  ~IKivSignaling() = default;
};

}  // namespace kiv
