// The client session's HTTP GET, performed by the HTTP client the SDK lends the
// connection at login.
#pragma once

#include "avcore/connection.h"
#include "protocol/net/http_getter.h"

namespace tessarine {

class SdkHttpGetter : public kiv_proto::IHttpGetter {
 public:
  explicit SdkHttpGetter(avcore::IKivHttpClient* client) : client_(client) {}
  std::string Get(const std::string& url) override;
  void Cancel() override;

 private:
  avcore::IKivHttpClient* client_;  // the SDK's, not reference counted
};

}  // namespace tessarine
