// The core's side of the connection's text-message business.
#pragma once

#include "avcore/tmsg.h"

namespace kiv_core {

class TMsgBusiness {
public:
    TMsgBusiness() = default;
    TMsgBusiness(const TMsgBusiness&) = delete;
    TMsgBusiness& operator=(const TMsgBusiness&) = delete;

    void SetEventHandler(avcore::IKivTMsgListener* handler) { m_handler = handler; }
    avcore::IKivTMsgListener* EventHandler() const { return m_handler; }

    int SendUserMsg(const char* userId, const char* text, unsigned* messageId);
    int SendGroupMsg(const char* text, unsigned* messageId);
    int SendUsersMsg(const avcore::FwVector<avcore::FwString>& userIds, const char* text,
                     unsigned* messageId);
    int SendUsersMsgEx(const avcore::FwVector<avcore::FwString>& userIds, const char* text,
                       unsigned* messageId);

private:
    avcore::IKivTMsgListener* m_handler = nullptr;
};

}  // namespace kiv_core
