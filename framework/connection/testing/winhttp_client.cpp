#include "winhttp_client.h"

#include <vector>

namespace connection_test {

WinHttpClient::~WinHttpClient() { Close(); }

void WinHttpClient::Close() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (request_ != nullptr) WinHttpCloseHandle(request_);
  if (connection_ != nullptr) WinHttpCloseHandle(connection_);
  if (session_ != nullptr) WinHttpCloseHandle(session_);
  request_ = connection_ = session_ = nullptr;
}

std::string WinHttpClient::Get(const std::string& url) {
  ++requests;
  Close();
  std::wstring wide(url.begin(), url.end());
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof(parts);
  wchar_t host[256] = {};
  parts.lpszHostName = host;
  parts.dwHostNameLength = 255;
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (!WinHttpCrackUrl(wide.c_str(), 0, 0, &parts)) return {};
  HINTERNET request = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    session_ = WinHttpOpen(L"connection test", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                           WINHTTP_NO_PROXY_BYPASS, 0);
    if (session_ == nullptr) return {};
    connection_ = WinHttpConnect(session_, host, parts.nPort, 0);
    if (connection_ == nullptr) return {};
    request_ = WinHttpOpenRequest(connection_, L"GET", parts.lpszUrlPath, nullptr, WINHTTP_NO_REFERER,
                                  WINHTTP_DEFAULT_ACCEPT_TYPES, 0);
    request = request_;
  }
  if (request == nullptr || !WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, nullptr, 0, 0, 0) ||
      !WinHttpReceiveResponse(request, nullptr)) {
    return {};
  }
  std::string body;
  for (;;) {
    DWORD size = 0;
    if (!WinHttpQueryDataAvailable(request, &size) || size == 0) break;
    std::vector<char> block(size + 1, 0);
    DWORD read = 0;
    if (!WinHttpReadData(request, block.data(), size, &read)) break;
    body.append(block.data());  // up to a zero byte, as the SDK's client
  }
  return body;
}

avcore::FwString* WinHttpClient::HttpGet(avcore::FwString* response, const char* url) {
  *response = Get(url != nullptr ? url : "").c_str();
  return response;
}

avcore::FwString* WinHttpClient::HttpPost(avcore::FwString* response, const char*, const char*) {
  *response = "";
  return response;
}

HRESULT WinHttpClient::HttpCancel(intptr_t) {
  Close();
  return S_OK;
}

}  // namespace connection_test
