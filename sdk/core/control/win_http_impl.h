// The SDK's synchronous HTTP client on WinHTTP. The handles of the last request stay open
// until the next request, Close or the destructor.
#pragma once

#include <atomic>
#include <string>

#include "core/control/http_client.h"

namespace kiv {

class WinHttpImpl : public kiv_core::IHttpClient {
 public:
  WinHttpImpl() = default;
  ~WinHttpImpl() override;
  WinHttpImpl(const WinHttpImpl&) = delete;
  WinHttpImpl& operator=(const WinHttpImpl&) = delete;

  // Urls are in the ANSI code page. The response body, whatever the status, each read
  // block cut at its first zero byte; what was read so far (usually nothing) on failure.
  std::string Post(const std::string& url, const std::string& body) override;
  std::string Get(const std::string& url) override;
  // Closes the request, connection and session handles. From another thread it aborts a
  // running request, which then returns what it had read.
  void Close() override;

 private:
  // body null: GET.
  std::string Request(const std::string& url, const std::string* body);

  // HINTERNET values; atomic so that a Close from another thread closes each handle once.
  std::atomic<void*> m_session{nullptr};
  std::atomic<void*> m_connection{nullptr};
  std::atomic<void*> m_request{nullptr};
};

}  // namespace kiv
