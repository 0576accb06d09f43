// avcore::IKivTMsg of the connection: text messages through the server's TMSG business.
#pragma once

#include <memory>

#include "avcore/tmsg.h"
#include "com_object.h"
#include "connection_core.h"
#include "protocol/messages/business_messages.h"

namespace tessarine {

class TextMessageService final : public ComObject<avcore::IKivTMsg> {
 public:
  explicit TextMessageService(std::shared_ptr<ConnectionCore> core);

  HRESULT AVCORE_CALL SetListener(avcore::IKivTMsgListener* listener) override;
  HRESULT AVCORE_CALL RemoveListener(avcore::IKivTMsgListener* listener) override;
  // 0 sent; 1 bad arguments; 31 not logged in; 30 the link failed; E_FAIL once the
  // connection is gone.
  HRESULT AVCORE_CALL SendUserMsg(const char* userId, const char* text, uint32_t* messageId) override;
  HRESULT AVCORE_CALL SendGroupMsg(const char* text, uint32_t* messageId) override;
  HRESULT AVCORE_CALL SendUsersMsg(const avcore::FwVector<avcore::FwString>* userIds, const char* text,
                                   uint32_t* messageId) override;
  HRESULT AVCORE_CALL SendUsersMsgEx(const avcore::FwVector<avcore::FwString>* userIds, const char* text,
                                     uint32_t* messageId) override;

 private:
  HRESULT SendToList(const avcore::FwVector<avcore::FwString>* userIds, const char* text, bool as_group,
                     uint32_t* messageId);
  HRESULT Send(kiv_proto::TextSend msg, uint32_t* messageId);

  std::shared_ptr<ConnectionCore> core_;
};

}  // namespace tessarine
