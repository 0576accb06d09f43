// avcore::IKivHttpClient on WinHTTP, standing in for the SDK's HTTP client: a
// synchronous GET whose body (cut at a zero byte) is the answer, whatever the status.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <atomic>
#include <mutex>
#include <string>

#include "avcore/connection.h"

namespace connection_test {

class WinHttpClient : public avcore::IKivHttpClient {
 public:
  ~WinHttpClient();
  avcore::FwString* AVCORE_CALL HttpPost(avcore::FwString* response, const char* url, const char* body) override;
  avcore::FwString* AVCORE_CALL HttpGet(avcore::FwString* response, const char* url) override;
  HRESULT AVCORE_CALL HttpCancel(intptr_t reserved) override;

  std::atomic<int> requests{0};

 private:
  std::string Get(const std::string& url);
  void Close();

  std::mutex mutex_;
  HINTERNET session_ = nullptr;
  HINTERNET connection_ = nullptr;
  HINTERNET request_ = nullptr;
};

}  // namespace connection_test
