#include "online_service.h"

#include "avcore/ids.h"
#include "protocol/messages/business_messages.h"
#include "protocol/wire/result_codes.h"

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

HRESULT OnlineService::RefreshUserStatus(const avcore::FwVector<avcore::FwString>* userIds, uint32_t* requestId) {
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

HRESULT OnlineService::InviteUsers(const avcore::FwVector<avcore::FwString>* userIds,
                                   const avcore::FwVector<avcore::FwStringPair>* /*attributes*/, const char* groupId,
                                   const char* message, uint32_t* requestId) {
  if (userIds == nullptr || userIds->empty() || userIds->size() > static_cast<int32_t>(kiv_proto::kMaxListedUsers) ||
      groupId == nullptr) {
    return kiv_proto::kResultInvalidArgument;
  }
  kiv_proto::InviteRequest req;
  req.req_id = core_->NextRequestId();
  for (const auto& u : *userIds) req.users.emplace_back(u.c_str(), static_cast<size_t>(u.length()));
  req.group_id = groupId;
  req.message = message != nullptr ? message : "";
  if (requestId != nullptr) *requestId = req.req_id;
  return AsResult(core_->SendBusiness(kiv_proto::EncodeInviteRequest(req)));
}

HRESULT OnlineService::AcceptInvite(const char* inviterId, int32_t inviteId, const char* extra) {
  return Answer(kiv_proto::kInviteAccept, inviterId, inviteId, extra);
}

HRESULT OnlineService::RefuseInvite(const char* inviterId, int32_t inviteId, const char* extra) {
  return Answer(kiv_proto::kInviteRefuse, inviterId, inviteId, extra);
}

HRESULT OnlineService::Answer(int id, const char* inviterId, int32_t inviteId, const char* extra) {
  if (inviterId == nullptr || *inviterId == '\0') return kiv_proto::kResultInvalidArgument;
  kiv_proto::InviteReply reply{inviterId, inviteId, extra != nullptr ? extra : ""};
  return AsResult(core_->SendBusiness(kiv_proto::EncodeInviteReply(id, reply)));
}

}  // namespace tessarine
