// Business "RINPUT": a controlling viewer's mouse and keyboard input for a sharer's
// screen. 14300 {"dst_user_id","events":[...]} is delivered to the sharer as 14301
// {"src_user_id","events"} only when that sharer granted the sender control and both are
// in one group; anything else is dropped (and counted). The events are the framework's
// own and pass unread.
#pragma once

#include <cstdint>

#include "server/businesses/remote_control_grants.h"
#include "server/control/business_module.h"

namespace kiv_server {

class RemoteInputBusiness : public IBusinessModule {
 public:
  explicit RemoteInputBusiness(IServerContext& server) : server_(server) {}

  std::vector<std::string> Businesses() const override;
  void OnBusiness(ClientInfo& from, const std::string& business, int id, const rapidjson::Value& body) override;
  void OnMemberLeaving(ClientInfo& client, Group& group) override;
  void OnLogout(ClientInfo& client) override;

  // Fed by the GS business, which sees the grants pass.
  RemoteControlGrants& grants() { return grants_; }
  [[nodiscard]] uint64_t dropped() const { return dropped_; }

 private:
  IServerContext& server_;
  RemoteControlGrants grants_;
  uint64_t dropped_ = 0;
};

}  // namespace kiv_server
