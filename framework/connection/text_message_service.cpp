#include "text_message_service.h"

#include "avcore/ids.h"
#include "protocol/messages/business_messages.h"
#include "protocol/wire/result_codes.h"

namespace tessarine {

TextMessageService::TextMessageService(std::shared_ptr<ConnectionCore> core)
    : ComObject(avcore::IID_IKivTMsg), core_(std::move(core)) {}

HRESULT TextMessageService::SetListener(avcore::IKivTMsgListener* listener) {
  if (listener == nullptr) return E_POINTER;
  core_->tmsg_listeners().Add(listener);
  return S_OK;
}

HRESULT TextMessageService::RemoveListener(avcore::IKivTMsgListener* listener) {
  return core_->tmsg_listeners().Remove(listener) ? S_OK : S_FALSE;
}

HRESULT TextMessageService::SendUserMsg(const char* userId, const char* text, uint32_t* messageId) {
  if (userId == nullptr || *userId == '\0' || text == nullptr) return kiv_proto::kResultInvalidArgument;
  kiv_proto::TextSend msg;
  msg.id = kiv_proto::kTextToUser;
  msg.to = userId;
  msg.text = text;
  return Send(std::move(msg), messageId);
}

HRESULT TextMessageService::SendGroupMsg(const char* text, uint32_t* messageId) {
  if (text == nullptr) return kiv_proto::kResultInvalidArgument;
  kiv_proto::TextSend msg;
  msg.id = kiv_proto::kTextToGroup;
  msg.text = text;
  return Send(std::move(msg), messageId);
}

HRESULT TextMessageService::SendUsersMsg(const avcore::FwVector<avcore::FwString>* userIds, const char* text,
                                         uint32_t* messageId) {
  return SendToList(userIds, text, true, messageId);
}

HRESULT TextMessageService::SendUsersMsgEx(const avcore::FwVector<avcore::FwString>* userIds, const char* text,
                                           uint32_t* messageId) {
  return SendToList(userIds, text, false, messageId);
}

HRESULT TextMessageService::SendToList(const avcore::FwVector<avcore::FwString>* userIds, const char* text,
                                       bool as_group, uint32_t* messageId) {
  if (userIds == nullptr || userIds->empty() || text == nullptr ||
      userIds->size() > static_cast<int32_t>(kiv_proto::kMaxListedUsers)) {
    return kiv_proto::kResultInvalidArgument;
  }
  kiv_proto::TextSend msg;
  msg.id = kiv_proto::kTextToUsers;
  msg.as_group = as_group;
  for (const auto& u : *userIds) msg.to_list.emplace_back(u.c_str(), static_cast<size_t>(u.length()));
  msg.text = text;
  return Send(std::move(msg), messageId);
}

HRESULT TextMessageService::Send(kiv_proto::TextSend msg, uint32_t* messageId) {
  if (msg.text.size() > kiv_proto::kMaxTextBytes) return kiv_proto::kResultInvalidArgument;
  msg.msg_id = core_->NextMessageId();
  if (messageId != nullptr) *messageId = msg.msg_id;
  const int code = core_->SendBusiness(kiv_proto::EncodeTextSend(msg));
  return code < 0 ? E_FAIL : static_cast<HRESULT>(code);
}

}  // namespace tessarine
