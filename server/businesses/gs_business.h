// Business "GS": media announcements and screen-share remote control.
//   14104 (client)  {"source_type","media_type","media_id","operation" 1|0}
//     -> the group's media list is updated and every member, the sender included,
//        gets 14106 {"user_id","media_id","media_type","operation","media_owner","media_name"}.
//   14108 {"operation" 0..3,"dst_user_id"} -> delivered to dst_user_id alone, with
//        "src_user_id" set to the sender.
// A member leaving the group has each of its media withdrawn (14106, operation 0)
// before the others are told it left; boards (type 4) belong to the group and stay. A board
// is announced only when the board service has it in the group, under its board name.
#pragma once

#include "server/control/business_module.h"

namespace kiv_server {

// What GS asks the board service about a board (media type 4).
class IBoardDirectory {
 public:
  virtual ~IBoardDirectory() = default;
  // The board's name, or null when the group has no such board.
  virtual const std::string* BoardName(const Group& group, const std::string& board_id) const = 0;
};

// 14106 of `media` to every member but `skip`.
void AnnounceMedia(IServerContext& server, const Group& group, const PublishedMedia& media, int operation,
                   ClientId skip);

class RemoteControlGrants;

class GsBusiness : public IBusinessModule {
 public:
  // `boards`, when given, names the group's boards; `grants`, when given, follows the
  // remote-control operations and screen withdrawals.
  explicit GsBusiness(IServerContext& server, const IBoardDirectory* boards = nullptr,
                      RemoteControlGrants* grants = nullptr)
      : server_(server), boards_(boards), grants_(grants) {}

  std::vector<std::string> Businesses() const override;
  void OnBusiness(ClientInfo& from, const std::string& business, int id, const rapidjson::Value& body) override;
  void OnMemberLeaving(ClientInfo& client, Group& group) override;

 private:
  void OnMediaChange(ClientInfo& from, Group& group, const rapidjson::Value& body);
  void OnRemoteControl(ClientInfo& from, Group& group, const rapidjson::Value& body);
  // False (refused and logged) when the member or the group holds as many media as allowed.
  bool RoomForMedia(ClientInfo& from, const Group& group, const PublishedMedia& media);
  void Announce(Group& group, const PublishedMedia& media, int operation, ClientId skip) {
    AnnounceMedia(server_, group, media, operation, skip);
  }

  IServerContext& server_;
  const IBoardDirectory* boards_;
  RemoteControlGrants* grants_;
};

}  // namespace kiv_server
