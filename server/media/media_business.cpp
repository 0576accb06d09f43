#include "server/media/media_business.h"

#include "protocol/media/media_messages.h"
#include "protocol/wire/result_codes.h"
#include "server/control/server_limits.h"

namespace kiv_server {

std::string MediaGroupKey(const std::string& app_id, const std::string& group_id) {
  if (group_id.empty()) return std::string();
  return app_id + '\x1f' + group_id;
}

std::vector<std::string> MediaBusiness::Businesses() const { return {kiv_media::kBusinessMedia}; }

void MediaBusiness::SendTicket(const ClientInfo& client) {
  const kiv_media::Ticket* ticket = relay_.TicketOf(client.id);
  if (ticket == nullptr) return;
  server_.SendBusiness(client.id, kiv_media::EncodeTicket({kiv_media::TicketToHex(*ticket), relay_port_}));
}

void MediaBusiness::SendNotices(const std::vector<SourceNotice>& notices) {
  for (const SourceNotice& n : notices) {
    server_.SendBusiness(n.to, kiv_media::EncodeSource(kiv_media::kMediaSource, {n.source.user_id, n.source.media_type,
                                                                                 n.source.media_id, n.ssrc}));
  }
}

void MediaBusiness::OnLogin(ClientInfo& client) { (void)relay_.AddLogin(client.id, client.user_id); }

void MediaBusiness::OnMemberLeaving(ClientInfo& client, Group& /*group*/) { SendNotices(relay_.LeaveGroup(client.id)); }

void MediaBusiness::OnLogout(ClientInfo& client) { SendNotices(relay_.RemoveLogin(client.id)); }

void MediaBusiness::OnBusiness(ClientInfo& from, const std::string& /*business*/, int id,
                               const rapidjson::Value& body) {
  switch (id) {
    case kiv_media::kMediaTicketRequest:
      return SendTicket(from);
    case kiv_media::kMediaPublish:
    case kiv_media::kMediaUnpublish:
      return OnPublish(from, id, body);
    case kiv_media::kMediaSubscribe:
    case kiv_media::kMediaUnsubscribe:
      return OnSubscribe(from, id, body);
    default:
      server_.SendError(from.id, kiv_proto::kResultInvalidArgument, "unknown MEDIA command " + std::to_string(id));
  }
}

void MediaBusiness::OnPublish(ClientInfo& from, int id, const rapidjson::Value& body) {
  kiv_media::PublishMessage m;
  if (!kiv_media::DecodePublish(body, id, &m)) {
    server_.SendError(from.id, kiv_proto::kResultInvalidArgument, "MEDIA " + std::to_string(id) + " malformed");
    return;
  }
  if (id == kiv_media::kMediaUnpublish) return SendNotices(relay_.Unpublish(from.id, m.media_type, m.media_id));
  std::vector<SourceNotice> notices;
  m.result =
      relay_.Publish(from.id, MediaGroupKey(from.app_id, from.group_id), m.media_type, m.media_id, m.ssrc, &notices);
  if (m.result == kResultLimitReached) {
    server_.LogLimit(from, "MEDIA publications per login (" + std::to_string(kMaxPublicationsPerLogin) + ")",
                     "17002 refused");
  }
  server_.SendBusiness(from.id, kiv_media::EncodePublish(kiv_media::kMediaPublishResult, m));
  SendNotices(notices);
}

void MediaBusiness::OnSubscribe(ClientInfo& from, int id, const rapidjson::Value& body) {
  kiv_media::SourceMessage m;
  if (!kiv_media::DecodeSource(body, id, &m)) {
    server_.SendError(from.id, kiv_proto::kResultInvalidArgument, "MEDIA " + std::to_string(id) + " malformed");
    return;
  }
  const std::string group = MediaGroupKey(from.app_id, from.group_id);
  if (group.empty()) {
    server_.SendError(from.id, kiv_proto::kResultWrongState, "MEDIA subscription outside a group");
    return;
  }
  const MediaSourceKey key{group, m.user_id, m.media_type, m.media_id};
  if (id == kiv_media::kMediaUnsubscribe) return relay_.Unsubscribe(from.id, key);
  if (!relay_.SubscriptionRoom(from.id, key)) {
    const std::string bound = "MEDIA subscriptions per login (" + std::to_string(kMaxSubscriptionsPerLogin) + ")";
    server_.LogLimit(from, bound, "17006 refused");
    server_.SendError(from.id, kResultLimitReached, "MEDIA 17006 refused: " + bound + " reached");
    return;
  }
  SendNotices({relay_.Subscribe(from.id, key)});
}

}  // namespace kiv_server
