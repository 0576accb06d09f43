// The core's side of the connection's text-message business: messages to one user, to
// the group and to a list of users. Received messages are passed on, unchanged, to the
// listener (the signaling facade).
#pragma once

#include "avcore/tmsg.h"
#include "common/win/com_ref.h"

namespace kiv_core {

class TMsgBusiness : public avcore::IKivTMsgListener {
 public:
  TMsgBusiness() = default;
  ~TMsgBusiness() override;
  TMsgBusiness(const TMsgBusiness&) = delete;
  TMsgBusiness& operator=(const TMsgBusiness&) = delete;

  // Set once, before Init; null drops the events.
  void SetEventHandler(avcore::IKivTMsgListener* handler) { m_listener = handler; }
  avcore::IKivTMsgListener* EventHandler() const { return m_listener; }

  // Finds the framework's business on the connection and listens to it. Without one
  // every sender answers 302.
  void Init();
  // Stops listening and gives the business back; senders then answer 302.
  void Uninit();

  // Results are the business's control-plane results mapped to ErrCode; 302 before the
  // framework is up or without the business.
  [[nodiscard]] int SendUserMsg(const char* userId, const char* text, unsigned* messageId);
  [[nodiscard]] int SendGroupMsg(const char* text, unsigned* messageId);
  [[nodiscard]] int SendUsersMsg(const avcore::FwVector<avcore::FwString>& userIds, const char* text,
                                 unsigned* messageId);
  // Same arguments; carried by the business's second send-to-list operation.
  [[nodiscard]] int SendUsersMsgEx(const avcore::FwVector<avcore::FwString>& userIds, const char* text,
                                   unsigned* messageId);

  // avcore::IKivTMsgListener, on framework threads.
  void AVCORE_CALL OnUserMessage(const char* senderId, uint32_t messageId, const char* text) override;
  void AVCORE_CALL OnGroupMessage(const char* senderId, uint32_t messageId, const char* text) override;

 private:
  bool Available() const;

  kiv_common::ComRef<avcore::IKivTMsg> m_pKivMsg;
  avcore::IKivTMsgListener* m_listener = nullptr;
};

}  // namespace kiv_core
