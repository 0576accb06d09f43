// Business "TMSG": text messages. Nothing is echoed to its sender.
//   16000 {"to":user,"text","msg_id"}        -> 16001 {"from","text","msg_id"} to that user
//   16002 {"text","msg_id"}                  -> 16003 {"from","text","msg_id"} to the
//                                               sender's group, sender excluded
//   16004 {"to":[users],"text","msg_id"}     -> 16001 to each listed user
// Addressees are online users of the sender's application; others are skipped.
#pragma once

#include "server/business_module.h"

namespace kiv_server {

class TextMessageBusiness : public IBusinessModule {
 public:
  static constexpr int kToUser = 16000;
  static constexpr int kUserMessage = 16001;
  static constexpr int kToGroup = 16002;
  static constexpr int kGroupMessage = 16003;
  static constexpr int kToUsers = 16004;
  static constexpr size_t kMaxTextBytes = 64 * 1024;
  static constexpr size_t kMaxAddressees = 1000;

  explicit TextMessageBusiness(IServerContext& server) : server_(server) {}

  std::vector<std::string> Businesses() const override { return {"TMSG"}; }
  void OnBusiness(ClientInfo& from, const std::string& business, int id,
                  const rapidjson::Value& body) override;

 private:
  IServerContext& server_;
};

}  // namespace kiv_server
