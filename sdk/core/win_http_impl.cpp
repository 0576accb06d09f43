#include "core/win_http_impl.h"

namespace kiv {

WinHttpImpl::~WinHttpImpl() { Close(); }

// Requests are not served yet: every request answers with an empty body.
std::string WinHttpImpl::Post(const std::string&, const std::string&) {
    Close();
    return std::string();
}

std::string WinHttpImpl::Get(const std::string&) {
    Close();
    return std::string();
}

void WinHttpImpl::Close() {
    m_request = nullptr;
    m_connection = nullptr;
    m_session = nullptr;
}

}  // namespace kiv
