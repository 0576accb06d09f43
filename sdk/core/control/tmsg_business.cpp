#include "core/control/tmsg_business.h"

#include "avcore/ids.h"
#include "core/control/cp_error.h"
#include "core/env/core_env.h"
#include "core/env/log_record.h"
#include "kiv_error.h"

namespace kiv_core {

TMsgBusiness::~TMsgBusiness() { CoreEnv::ReleaseFrameworkRef(m_pKivMsg); }

bool TMsgBusiness::Available() const { return m_pKivMsg && CoreEnv::IsBaseCoreInited(); }

void TMsgBusiness::Init() {
  CoreEnv* env = CoreEnv::Instance();
  if (!env || !env->m_connection || m_pKivMsg) return;
  avcore::IKivTMsg* business = nullptr;
  if (FAILED(env->m_connection->QueryBusiness(avcore::IID_IKivTMsg, reinterpret_cast<void**>(&business))) ||
      !business) {
    KIV_LOG("Query text message business failed");
    return;
  }
  m_pKivMsg.Attach(business);
  (void)m_pKivMsg->SetListener(this);
}

// Deliberate: the pointer is cleared, not kept (see OnlineBusiness::Uninit).
void TMsgBusiness::Uninit() {
  // Once the framework was released its objects are gone with it: nothing to call.
  if (m_pKivMsg && CoreEnv::IsBaseCoreInited()) (void)m_pKivMsg->RemoveListener(this);
  CoreEnv::ReleaseFrameworkRef(m_pKivMsg);
}

int TMsgBusiness::SendUserMsg(const char* userId, const char* text, unsigned* messageId) {
  if (!Available()) {
    KIV_LOG("m_pKivMsg is null");
    return ERR_FAILED;
  }
  return MapCpError(m_pKivMsg->SendUserMsg(userId, text, messageId));
}

int TMsgBusiness::SendGroupMsg(const char* text, unsigned* messageId) {
  if (!Available()) {
    KIV_LOG("m_pKivMsg is null");
    return ERR_FAILED;
  }
  return MapCpError(m_pKivMsg->SendGroupMsg(text, messageId));
}

int TMsgBusiness::SendUsersMsg(const avcore::FwVector<avcore::FwString>& userIds, const char* text,
                               unsigned* messageId) {
  if (!Available()) {
    KIV_LOG("m_pKivMsg is null");
    return ERR_FAILED;
  }
  return MapCpError(m_pKivMsg->SendUsersMsg(&userIds, text, messageId));
}

int TMsgBusiness::SendUsersMsgEx(const avcore::FwVector<avcore::FwString>& userIds, const char* text,
                                 unsigned* messageId) {
  if (!Available()) {
    KIV_LOG("m_pKivMsg is null");
    return ERR_FAILED;
  }
  return MapCpError(m_pKivMsg->SendUsersMsgEx(&userIds, text, messageId));
}

void TMsgBusiness::OnUserMessage(const char* senderId, uint32_t messageId, const char* text) {
  if (m_listener) m_listener->OnUserMessage(senderId, messageId, text);
}

void TMsgBusiness::OnGroupMessage(const char* senderId, uint32_t messageId, const char* text) {
  if (m_listener) m_listener->OnGroupMessage(senderId, messageId, text);
}

}  // namespace kiv_core
