#include "server/http/address_endpoint.h"

#include "protocol/net/address_query.h"
#include "protocol/wire/result_codes.h"

namespace kiv_server {

HttpRouter::Handler MakeAddressHandler(const ServerConfig& config, uint16_t control_port) {
  return [&config, control_port](const HttpRequest& req, const HttpPeer& peer) {
    if (req.method != "GET") return HttpResponse{405, "application/json", "{}"};
    std::string app_id;
    if (!QueryParam(req.query, "app_id", &app_id)) {
      return HttpResponse{400, "application/json",
                          kiv_proto::EncodeAddressReply(kiv_proto::kResultInvalidArgument, "")};
    }
    if (config.SecretOf(app_id) == nullptr) {
      return HttpResponse{200, "application/json", kiv_proto::EncodeAddressReply(kiv_proto::kResultAppNotExist, "")};
    }
    const std::string host = peer.local_host.empty() ? "127.0.0.1" : peer.local_host;
    return HttpResponse{200, "application/json",
                        kiv_proto::EncodeAddressReply(kiv_proto::kResultOk, host + ":" + std::to_string(control_port))};
  };
}

}  // namespace kiv_server
