// A minimal HTTP/1.0 GET client over IStreamSocket, for "http://host:port/path" URLs.
// Used by native clients; the Windows framework hands the SDK's HTTP client instead.
#pragma once

#include <mutex>

#include "protocol/net/http_getter.h"
#include "protocol/net/stream_socket.h"

namespace kiv_proto {

class PlainHttpGetter : public IHttpGetter {
 public:
  explicit PlainHttpGetter(ISocketFactory& sockets, int timeout_ms = 5000)
      : sockets_(sockets), timeout_ms_(timeout_ms) {}

  std::string Get(const std::string& url) override;
  // Ends a request in progress; has no effect on a later one.
  void Cancel() override;

 private:
  ISocketFactory& sockets_;
  int timeout_ms_;
  std::mutex mutex_;
  IStreamSocket* active_ = nullptr;  // the request in progress, for Cancel
};

// Splits "http://host:port/path?query"; false for any other scheme or form.
[[nodiscard]] bool SplitHttpUrl(const std::string& url, std::string* host, uint16_t* port, std::string* target);

}  // namespace kiv_proto
