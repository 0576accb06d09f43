// Business "GS": media announcements and screen-share remote control.
//   14104 (client)  {"source_type","media_type","media_id","operation" 1|0}
//     -> the group's media list is updated and every member, the sender included,
//        gets 14106 {"user_id","media_id","media_type","operation","media_owner","media_name"}.
//   14108 {"operation" 0..3,"dst_user_id"} -> delivered to dst_user_id alone, with
//        "src_user_id" set to the sender.
// A member leaving the group has each of its media withdrawn (14106, operation 0)
// before the others are told it left.
#pragma once

#include "server/business_module.h"

namespace kiv_server {

class RemoteControlGrants;

class GsBusiness : public IBusinessModule {
 public:
  // `grants`, when given, follows the remote-control operations and screen withdrawals.
  explicit GsBusiness(IServerContext& server, RemoteControlGrants* grants = nullptr)
      : server_(server), grants_(grants) {}

  std::vector<std::string> Businesses() const override;
  void OnBusiness(ClientInfo& from, const std::string& business, int id,
                  const rapidjson::Value& body) override;
  void OnMemberLeaving(ClientInfo& client, Group& group) override;

 private:
  void OnMediaChange(ClientInfo& from, Group& group, const rapidjson::Value& body);
  void OnRemoteControl(ClientInfo& from, Group& group, const rapidjson::Value& body);
  void Announce(Group& group, const PublishedMedia& media, int operation, ClientId skip);

  IServerContext& server_;
  RemoteControlGrants* grants_;
};

}  // namespace kiv_server
