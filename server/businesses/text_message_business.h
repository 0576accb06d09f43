// Business "TMSG" (protocol/messages/business_messages.h): text messages, never echoed to their
// sender. To a user (16000) and to a list (16004) they arrive as private messages
// (16001) or, for a list sent "as_group", as group messages (16003); to the group
// (16002) at every other member as group messages. Addressees are online users of the
// sender's application; others are skipped.
#pragma once

#include "server/control/business_module.h"

namespace kiv_server {

class TextMessageBusiness : public IBusinessModule {
 public:
  explicit TextMessageBusiness(IServerContext& server) : server_(server) {}

  std::vector<std::string> Businesses() const override;
  void OnBusiness(ClientInfo& from, const std::string& business, int id, const rapidjson::Value& body) override;

 private:
  IServerContext& server_;
};

}  // namespace kiv_server
