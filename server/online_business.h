// Business "ONLINE": who of an application is logged in.
//   15000 (client) {"req_id", ["users":[ids]]} -> 15001 to the asker
//     {"req_id","result":0,"users":[{"user_id","status","platform","group_id"}]}:
//     the listed users with status 1 (online) or 0, or, without a list, every
//     online user of the application.
//   15002 (server) {"user_id","status","platform","group_id"} to the application's
//     other online users when a user logs in (1) or its login ends (0).
#pragma once

#include "server/business_module.h"

namespace kiv_server {

class OnlineBusiness : public IBusinessModule {
 public:
  static constexpr int kStatusQuery = 15000;
  static constexpr int kStatusResult = 15001;
  static constexpr int kStatusNotify = 15002;
  static constexpr size_t kMaxQueryUsers = 1000;

  explicit OnlineBusiness(IServerContext& server) : server_(server) {}

  std::vector<std::string> Businesses() const override { return {"ONLINE"}; }
  void OnBusiness(ClientInfo& from, const std::string& business, int id,
                  const rapidjson::Value& body) override;
  void OnLogin(ClientInfo& client) override;
  void OnLogout(ClientInfo& client) override;

 private:
  void Notify(const ClientInfo& client, int status);

  IServerContext& server_;
};

}  // namespace kiv_server
