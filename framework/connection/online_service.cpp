#include "online_service.h"

#include "avcore/ids.h"
#include "protocol/business_messages.h"

namespace tessarine {
namespace {

// A session result as an HRESULT: codes as they are, a stopped connection as E_FAIL.
HRESULT AsResult(int code) { return code < 0 ? E_FAIL : static_cast<HRESULT>(code); }

}  // namespace

OnlineService::OnlineService(std::shared_ptr<ConnectionCore> core)
    : ComObject(avcore::IID_IKivOnline), core_(std::move(core)) {}

HRESULT OnlineService::SetListener(avcore::IKivOnlineListener* listener) {
  if (listener == nullptr) return E_POINTER;
  core_->online_listeners().Add(listener);
  return S_OK;
}

HRESULT OnlineService::RemoveListener(avcore::IKivOnlineListener* listener) {
  return core_->online_listeners().Remove(listener) ? S_OK : S_FALSE;
}

HRESULT OnlineService::RefreshAllUserStatus(uint32_t* requestId) { return Query({}, requestId); }

HRESULT OnlineService::RefreshUserStatus(const avcore::FwVector<avcore::FwString>* userIds,
                                         uint32_t* requestId) {
  if (userIds == nullptr) return E_POINTER;
  if (userIds->size() > static_cast<int32_t>(kiv_proto::kMaxListedUsers)) return E_INVALIDARG;
  std::vector<std::string> users;
  for (const auto& u : *userIds) users.emplace_back(u.c_str(), static_cast<size_t>(u.length()));
  return Query(std::move(users), requestId);
}

HRESULT OnlineService::Query(std::vector<std::string> users, uint32_t* requestId) {
  kiv_proto::OnlineQuery query;
  query.req_id = core_->NextRequestId();
  query.users = std::move(users);
  if (requestId != nullptr) *requestId = query.req_id;
  return AsResult(core_->SendBusiness(kiv_proto::EncodeOnlineQuery(query)));
}

HRESULT OnlineService::InviteUsers(const avcore::FwVector<avcore::FwString>*,
                                   const avcore::FwVector<avcore::FwStringPair>*, const char*, const char*,
                                   uint32_t*) {
  return E_NOTIMPL;
}

HRESULT OnlineService::AcceptInvite(const char*, int32_t, const char*) { return E_NOTIMPL; }

HRESULT OnlineService::RefuseInvite(const char*, int32_t, const char*) { return E_NOTIMPL; }

}  // namespace tessarine
