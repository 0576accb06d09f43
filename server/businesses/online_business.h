// Business "ONLINE" (protocol/messages/business_messages.h): who of an application is logged
// in, and invitations into groups.
//   15000 {"req_id",["users"]} -> 15001 to the asker: the listed users (status 1 online,
//         0 offline), or without a list every online user of the application.
//   15002 to the application's other online users when a login starts (1) or ends (0).
//   15010 invites online users (others are skipped) -> 15011 at each invitee; the
//         invitee's 15012 / 15014 reaches the inviter as 15013 / 15015. When the
//         inviter's login ends first, the invitees still to answer get 15016.
#pragma once

#include <cstdint>
#include <map>
#include <set>

#include "server/control/business_module.h"

namespace kiv_server {

class OnlineBusiness : public IBusinessModule {
 public:
  explicit OnlineBusiness(IServerContext& server) : server_(server) {}

  std::vector<std::string> Businesses() const override;
  void OnBusiness(ClientInfo& from, const std::string& business, int id, const rapidjson::Value& body) override;
  void OnLogin(ClientInfo& client) override;
  void OnLogout(ClientInfo& client) override;

  static constexpr size_t kMaxPendingInvites = 10000;

 private:
  struct PendingInvite {
    std::string app_id;
    std::string inviter;
    ClientId inviter_client = 0;
    std::set<std::string> invitees;  // still to answer
  };

  void Query(ClientInfo& from, const rapidjson::Value& body);
  void Invite(ClientInfo& from, const rapidjson::Value& body);
  void Answer(ClientInfo& from, int id, const rapidjson::Value& body);
  void Notify(const ClientInfo& client, int status);

  IServerContext& server_;
  std::map<int32_t, PendingInvite> invites_;  // by id: oldest first
  int32_t next_invite_ = 1;
};

}  // namespace kiv_server
