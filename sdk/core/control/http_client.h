// The SDK's HTTP client as the core sees it.
#pragma once

#include <string>

namespace kiv_core {

class IHttpClient {
 public:
  virtual ~IHttpClient() = default;
  // The response body; empty on any failure.
  virtual std::string Post(const std::string& url, const std::string& body) = 0;
  virtual std::string Get(const std::string& url) = 0;
  // Closes the handles of the last request; a running request then fails.
  virtual void Close() = 0;
};

}  // namespace kiv_core
