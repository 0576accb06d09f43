#include "server/businesses/gs_business.h"

#include <algorithm>

#include "protocol/messages/business_messages.h"
#include "protocol/wire/ids.h"
#include "protocol/wire/result_codes.h"
#include "protocol/wire/wire_message.h"
#include "server/businesses/remote_control_grants.h"
#include "server/control/server_limits.h"

namespace kiv_server {

using kiv_proto::GetInt;
using kiv_proto::GetString;

namespace {

bool KnownMediaType(int t) { return t == 0 || t == 1 || t == 2 || t == 4; }

// Media ids follow the device ids' rule: 1..128 printable ASCII characters without spaces,
// so that none grows when written out again.
bool ValidMediaId(const std::string& id) { return kiv_proto::IsValidDeviceId(id); }

rapidjson::Value Str(const std::string& s, rapidjson::Document::AllocatorType& a) {
  return rapidjson::Value(s.data(), static_cast<rapidjson::SizeType>(s.size()), a);
}

}  // namespace

std::vector<std::string> GsBusiness::Businesses() const { return {kiv_proto::kBusinessGs}; }

void GsBusiness::OnBusiness(ClientInfo& from, const std::string& /*business*/, int id, const rapidjson::Value& body) {
  Group* group = server_.State().GroupOf(from);
  if (group == nullptr) {
    server_.SendError(from.id, kiv_proto::kResultWrongState, "GS message outside a group");
    return;
  }
  if (id == kiv_proto::kGsMediaChange) {
    OnMediaChange(from, *group, body);
  } else if (id == kiv_proto::kGsRemoteControl) {
    OnRemoteControl(from, *group, body);
  } else {
    server_.SendError(from.id, kiv_proto::kResultInvalidArgument, "unknown GS command " + std::to_string(id));
  }
}

void GsBusiness::OnMediaChange(ClientInfo& from, Group& group, const rapidjson::Value& body) {
  PublishedMedia media;
  int operation = -1;
  if (!GetInt(body, "media_type", &media.media_type) || !KnownMediaType(media.media_type) ||
      !GetString(body, "media_id", &media.media_id) || !ValidMediaId(media.media_id) ||
      !GetInt(body, "operation", &operation) || (operation != 0 && operation != 1)) {
    server_.SendError(from.id, kiv_proto::kResultInvalidArgument, "GS 14104 malformed");
    return;
  }
  media.user_id = from.user_id;
  media.media_owner = from.user_id;
  if (media.media_type == kBoardMediaType && boards_ != nullptr) {
    const std::string* name = boards_->BoardName(group, media.media_id);
    if (name == nullptr) {
      server_.SendError(from.id, kiv_proto::kResultNoSuchMedia,
                        "GS 14104: no board " + media.media_id + " in the group");
      return;
    }
    media.media_name = *name;
  }
  auto& list = group.media;
  auto same = [&](const PublishedMedia& p) {
    return p.user_id == media.user_id && p.media_type == media.media_type && p.media_id == media.media_id;
  };
  auto it = std::find_if(list.begin(), list.end(), same);
  if (operation == 1) {
    if (it == list.end()) {
      if (!RoomForMedia(from, group, media)) return;
      list.push_back(media);
    } else {
      media = *it;  // announced again: keep what the group already has
    }
  } else if (it != list.end()) {
    media = *it;
    list.erase(it);
    if (grants_ != nullptr && media.media_type == 0) grants_->OnShareStopped(from.id);
  } else if (media.media_type == kBoardMediaType) {
    // Only the member who announced a board withdraws it: nothing was, so nobody hears of it.
    server_.SendError(from.id, kiv_proto::kResultNoSuchMedia,
                      "GS 14104: board " + media.media_id + " not announced by this member");
    return;
  }
  Announce(group, media, operation, 0);
}

bool GsBusiness::RoomForMedia(ClientInfo& from, const Group& group, const PublishedMedia& media) {
  const auto& list = group.media;
  const bool board = media.media_type == kBoardMediaType;
  const size_t own =
      board ? 0 : static_cast<size_t>(std::count_if(list.begin(), list.end(), [&](const PublishedMedia& p) {
        return p.user_id == from.user_id && p.media_type != kBoardMediaType;
      }));
  std::string bound;
  if (own >= kMaxMediaPerMember) {
    bound = "GS media per member (" + std::to_string(kMaxMediaPerMember) + ")";
  } else if (list.size() >= kMaxMediaPerGroup) {
    bound = "GS media per group (" + std::to_string(kMaxMediaPerGroup) + ")";
  } else {
    return true;
  }
  server_.LogLimit(from, bound, "14104 refused");
  server_.SendError(from.id, kResultLimitReached, "GS 14104 refused: " + bound + " reached");
  return false;
}

void GsBusiness::OnRemoteControl(ClientInfo& from, Group& group, const rapidjson::Value& body) {
  int operation = -1;
  std::string dst;
  if (!GetInt(body, "operation", &operation) || operation < 0 || operation > 3 ||
      !GetString(body, "dst_user_id", &dst) || !kiv_proto::IsValidUserId(dst)) {
    server_.SendError(from.id, kiv_proto::kResultInvalidArgument, "GS 14108 malformed");
    return;
  }
  MeetingState& state = server_.State();
  const ClientId to = state.FindUser(from.app_id, dst);
  const ClientInfo* target = state.Client(to);
  if (target == nullptr || target->group_id != group.group_id) {
    server_.SendError(from.id, kiv_proto::kResultInvalidArgument, "GS 14108: " + dst + " is not in the group");
    return;
  }
  rapidjson::Document out(rapidjson::kObjectType);
  auto& a = out.GetAllocator();
  out.AddMember("business", "GS", a);
  out.AddMember("id", kiv_proto::kGsRemoteControl, a);
  out.AddMember("operation", operation, a);
  out.AddMember("src_user_id", Str(from.user_id, a), a);
  out.AddMember("dst_user_id", Str(dst, a), a);
  server_.SendBusiness(to, out);
  if (grants_ != nullptr) grants_->OnControlOperation(from.id, to, operation);
}

void GsBusiness::OnMemberLeaving(ClientInfo& client, Group& group) {
  auto& list = group.media;
  for (auto it = list.begin(); it != list.end();) {
    if (it->user_id == client.user_id && it->media_type != kBoardMediaType) {
      const PublishedMedia gone = *it;
      it = list.erase(it);
      Announce(group, gone, 0, client.id);
    } else {
      ++it;
    }
  }
}

void AnnounceMedia(IServerContext& server, const Group& group, const PublishedMedia& media, int operation,
                   ClientId skip) {
  rapidjson::Document out(rapidjson::kObjectType);
  auto& a = out.GetAllocator();
  out.AddMember("business", "GS", a);
  out.AddMember("id", kiv_proto::kGsMediaChanged, a);
  out.AddMember("user_id", Str(media.user_id, a), a);
  out.AddMember("media_id", Str(media.media_id, a), a);
  out.AddMember("media_type", media.media_type, a);
  out.AddMember("operation", operation, a);
  out.AddMember("media_owner", Str(media.media_owner, a), a);
  out.AddMember("media_name", Str(media.media_name, a), a);
  for (ClientId m : group.members) {
    if (m != skip) server.SendBusiness(m, out);
  }
}

}  // namespace kiv_server
