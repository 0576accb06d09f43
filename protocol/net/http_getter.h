// How a client session performs its HTTP GET: the caller supplies the client.
#pragma once

#include <string>

namespace kiv_proto {

class IHttpGetter {
 public:
  virtual ~IHttpGetter() = default;
  // Blocks; returns the response body, empty on any failure.
  virtual std::string Get(const std::string& url) = 0;
  // From another thread: makes a running Get return soon.
  virtual void Cancel() = 0;
};

}  // namespace kiv_proto
