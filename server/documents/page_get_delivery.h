// How the page-image route delivers its answers. The server answers every GET; a test build
// installs a policy that makes chosen transfers fail.
#pragma once

#include "server/http/http_request.h"

namespace kiv_server {

class IPageGetDelivery {
 public:
  virtual ~IPageGetDelivery() = default;
  // How to deliver the next page-image GET's answer.
  virtual HttpDelivery Next() = 0;
};

}  // namespace kiv_server
