// The SDK's synchronous HTTP client.
#pragma once

#include <string>

#include "core/http_client.h"

namespace kiv {

class WinHttpImpl : public kiv_core::IHttpClient {
public:
    WinHttpImpl() = default;
    ~WinHttpImpl() override;
    WinHttpImpl(const WinHttpImpl&) = delete;
    WinHttpImpl& operator=(const WinHttpImpl&) = delete;

    std::string Post(const std::string& url, const std::string& body) override;
    std::string Get(const std::string& url) override;
    void Close() override;

private:
    void* m_session = nullptr;
    void* m_connection = nullptr;
    void* m_request = nullptr;
};

}  // namespace kiv
