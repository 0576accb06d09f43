// GET /kiv/v1/address?app_id=..&user_id=.. -> {"code":0,"address":"host:port"}: where
// the control plane listens, as reached by the asking client. An unknown
// application gets code 33.
#pragma once

#include <cstdint>

#include "server/control/server_config.h"
#include "server/http/http_request.h"

namespace kiv_server {

HttpRouter::Handler MakeAddressHandler(const ServerConfig& config, uint16_t control_port);

}  // namespace kiv_server
