// The text-message business of the control-plane connection.
#pragma once

#include "avcore/fw_string.h"
#include "avcore/platform.h"

namespace avcore {

// Events on the connection's threads. A message is not echoed to its sender.
struct IKivTMsgListener {
  virtual void AVCORE_CALL OnUserMessage(const char* senderId, uint32_t messageId, const char* text) = 0;
  virtual void AVCORE_CALL OnGroupMessage(const char* senderId, uint32_t messageId, const char* text) = 0;
  virtual ~IKivTMsgListener() {}
};

// From IKivConnection::QueryBusiness(IID_IKivTMsg). Senders return 0 when the message
// was taken, a control-plane code or a negative failure otherwise; *messageId may be null.
struct IKivTMsg : public IUnknown {
  virtual HRESULT AVCORE_CALL SetListener(IKivTMsgListener* listener) = 0;
  virtual HRESULT AVCORE_CALL RemoveListener(IKivTMsgListener* listener) = 0;
  virtual HRESULT AVCORE_CALL SendUserMsg(const char* userId, const char* text, uint32_t* messageId) = 0;
  virtual HRESULT AVCORE_CALL SendGroupMsg(const char* text, uint32_t* messageId) = 0;
  // To the listed users as a group message (OnGroupMessage at each addressee).
  virtual HRESULT AVCORE_CALL SendUsersMsg(const FwVector<FwString>* userIds, const char* text,
                                           uint32_t* messageId) = 0;
  // To the listed users as a private message (OnUserMessage at each addressee).
  virtual HRESULT AVCORE_CALL SendUsersMsgEx(const FwVector<FwString>* userIds, const char* text,
                                             uint32_t* messageId) = 0;
};

}  // namespace avcore
