#include "core/control/online_business.h"

#include "avcore/ids.h"
#include "core/env/core_env.h"
#include "core/env/log_record.h"
#include "kiv_error.h"

namespace kiv_core {

namespace {

int Result(HRESULT hr, const char* failure) {
  if (hr < 0) {
    KIV_LOG(failure, static_cast<unsigned>(hr));
    return ERR_FAILED;
  }
  return ERR_OK;
}

}  // namespace

OnlineBusiness::~OnlineBusiness() { CoreEnv::ReleaseFrameworkRef(m_pKivOnline); }

// A business exists only while the framework that made it is up; otherwise requests
// answer as for a missing business.
bool OnlineBusiness::Available() const { return m_pKivOnline && CoreEnv::IsBaseCoreInited(); }

void OnlineBusiness::Init() {
  CoreEnv* env = CoreEnv::Instance();
  if (!env || !env->m_connection || m_pKivOnline) return;
  avcore::IKivOnline* online = nullptr;
  if (FAILED(env->m_connection->QueryBusiness(avcore::IID_IKivOnline, reinterpret_cast<void**>(&online))) || !online) {
    KIV_LOG("Query online business failed");
    return;
  }
  m_pKivOnline.Attach(online);
  (void)m_pKivOnline->SetListener(this);
}

// Deliberate: the pointer is cleared, not kept, and the reference the connection
// handed out is released here. The business lives in the framework, which is
// unloaded after this; a kept pointer would be called into freed code.
void OnlineBusiness::Uninit() {
  // Once the framework was released its objects are gone with it: nothing to call.
  if (m_pKivOnline && CoreEnv::IsBaseCoreInited()) (void)m_pKivOnline->RemoveListener(this);
  CoreEnv::ReleaseFrameworkRef(m_pKivOnline);
}

int OnlineBusiness::UserStatusRefresh(const avcore::FwVector<avcore::FwString>& userIds, unsigned* requestId) {
  if (!Available()) {
    KIV_LOG("m_pKivOnline is null");
    return ERR_FAILED;
  }
  const HRESULT hr = userIds.empty() ? m_pKivOnline->RefreshAllUserStatus(requestId)
                                     : m_pKivOnline->RefreshUserStatus(&userIds, requestId);
  return Result(hr, "UserStatusRefresh return fail %x");
}

int OnlineBusiness::Invite(const avcore::FwVector<avcore::FwString>& userIds, const char* groupId, const char* message,
                           unsigned* requestId) {
  if (userIds.empty()) return ERR_INVALID_PARAM;
  if (!Available()) {
    KIV_LOG("Invite m_pKivOnline is null");
    return ERR_FAILED;
  }
  const avcore::FwVector<avcore::FwStringPair> attributes;
  const HRESULT hr = m_pKivOnline->InviteUsers(&userIds, &attributes, groupId, message, requestId);
  return Result(hr, "Invite return fail %x");
}

int OnlineBusiness::AcceptInvite(const char* inviterId, int inviteId) {
  if (!Available()) {
    KIV_LOG("Invite m_pKivOnline is null");
    return ERR_FAILED;
  }
  return Result(m_pKivOnline->AcceptInvite(inviterId, inviteId, ""), "InviteUsers return fail %x");
}

int OnlineBusiness::RefuseInvite(const char* inviterId, int inviteId) {
  if (!Available()) {
    KIV_LOG("m_pKivOnline is null");
    return ERR_FAILED;
  }
  return Result(m_pKivOnline->RefuseInvite(inviterId, inviteId, ""), "InviteUsers return fail %x");
}

void OnlineBusiness::OnUserStatusResult(int32_t result, uint32_t requestId,
                                        const avcore::FwVector<avcore::UserStatusEntry>* entries, int32_t total,
                                        int32_t reserved) {
  if (m_listener) m_listener->OnUserStatusResult(result, requestId, entries, total, reserved);
}

void OnlineBusiness::OnInviteCome(const char* inviterId, int32_t inviteId, const char* groupId, const char* message) {
  if (m_listener) m_listener->OnInviteCome(inviterId, inviteId, groupId, message);
}

void OnlineBusiness::OnInviteAccepted(const char* userId, int32_t inviteId, const char* extra) {
  if (m_listener) m_listener->OnInviteAccepted(userId, inviteId, extra);
}

void OnlineBusiness::OnInviteRefused(const char* userId, int32_t inviteId, const char* extra, int32_t reason) {
  if (m_listener) m_listener->OnInviteRefused(userId, inviteId, extra, reason);
}

void OnlineBusiness::OnInviteCanceled(const char* inviterId, int32_t inviteId, const char* extra) {
  if (m_listener) m_listener->OnInviteCanceled(inviterId, inviteId, extra);
}

void OnlineBusiness::OnOnlineNotify(const char* userId, const avcore::UserStatusItem* item) {
  if (m_listener) m_listener->OnOnlineNotify(userId, item);
}

}  // namespace kiv_core
