// Business "MEDIA": the control plane of the media relay. A login is issued its ticket
// when it starts; the client asks for it and the relay's port (17000 -> 17001). Publications, subscriptions and their
// "source" notices follow protocol/media/media_messages.h. Publishing and subscribing need a group; a member leaving
// its group (or its login ending) ends its publications and subscriptions.
#pragma once

#include <cstdint>

#include "server/control/business_module.h"
#include "server/media/media_relay.h"

namespace kiv_server {

class MediaBusiness : public IBusinessModule {
 public:
  MediaBusiness(IServerContext& server, MediaRelay& relay, uint16_t relay_port)
      : server_(server), relay_(relay), relay_port_(relay_port) {}

  std::vector<std::string> Businesses() const override;
  void OnBusiness(ClientInfo& from, const std::string& business, int id, const rapidjson::Value& body) override;
  void OnLogin(ClientInfo& client) override;
  void OnMemberLeaving(ClientInfo& client, Group& group) override;
  void OnLogout(ClientInfo& client) override;

 private:
  void SendTicket(const ClientInfo& client);
  void SendNotices(const std::vector<SourceNotice>& notices);
  void OnPublish(ClientInfo& from, int id, const rapidjson::Value& body);
  void OnSubscribe(ClientInfo& from, int id, const rapidjson::Value& body);

  IServerContext& server_;
  MediaRelay& relay_;
  uint16_t relay_port_;
};

// The relay's key of a group.
std::string MediaGroupKey(const std::string& app_id, const std::string& group_id);

}  // namespace kiv_server
