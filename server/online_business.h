// Business "ONLINE" (protocol/business_messages.h): who of an application is logged in.
//   15000 {"req_id",["users"]} -> 15001 to the asker: the listed users (status 1 online,
//         0 offline), or without a list every online user of the application.
//   15002 to the application's other online users when a login starts (1) or ends (0).
#pragma once

#include "server/business_module.h"

namespace kiv_server {

class OnlineBusiness : public IBusinessModule {
 public:
  explicit OnlineBusiness(IServerContext& server) : server_(server) {}

  std::vector<std::string> Businesses() const override;
  void OnBusiness(ClientInfo& from, const std::string& business, int id,
                  const rapidjson::Value& body) override;
  void OnLogin(ClientInfo& client) override;
  void OnLogout(ClientInfo& client) override;

 private:
  void Notify(const ClientInfo& client, int status);

  IServerContext& server_;
};

}  // namespace kiv_server
