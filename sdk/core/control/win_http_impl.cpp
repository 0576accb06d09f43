#include "core/control/win_http_impl.h"

#include <windows.h>
#include <winhttp.h>

#include <cstdlib>
#include <cstring>

#include "base/text/string_util.h"
#include "base/text/text_holders.h"

namespace kiv {

namespace {

constexpr const wchar_t* kUserAgent = L"Kiv Sdk HttpClient/1.0";
constexpr const wchar_t* kPostHeader = L"Content-type: application/xml";
constexpr DWORD kHostBufferLength = 1024;
// Unknown authority, wrong usage, wrong host name, expired or not yet valid certificate.
constexpr DWORD kSecurityFlags = SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE |
                                 SECURITY_FLAG_IGNORE_CERT_CN_INVALID | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID;
static_assert(kSecurityFlags == 0x3300, "certificate checks that are ignored");

void CloseHandleIn(std::atomic<void*>& slot) {
  void* handle = slot.exchange(nullptr);
  if (handle) WinHttpCloseHandle(handle);
}

// Appends the response body block by block until a block of size 0 or a failure.
void ReadBody(const std::atomic<void*>& request, std::string* result) {
  DWORD size = 0;
  do {
    size = 0;
    if (!WinHttpQueryDataAvailable(request.load(), &size)) break;
    char* block = static_cast<char*>(std::calloc(static_cast<size_t>(size) + 1, 1));
    if (!block) break;
    DWORD read = 0;
    // A block is text: it ends at its first zero byte.
    if (WinHttpReadData(request.load(), block, size, &read)) result->append(block);
    std::free(block);
  } while (size > 0);
}

}  // namespace

WinHttpImpl::~WinHttpImpl() { Close(); }

std::string WinHttpImpl::Get(const std::string& url) { return Request(url, nullptr); }

std::string WinHttpImpl::Post(const std::string& url, const std::string& body) { return Request(url, &body); }

void WinHttpImpl::Close() {
  CloseHandleIn(m_request);
  CloseHandleIn(m_connection);
  CloseHandleIn(m_session);
}

std::string WinHttpImpl::Request(const std::string& url, const std::string* body) {
  Close();
  std::string result;

  m_session.store(
      WinHttpOpen(kUserAgent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  if (!m_session.load()) return result;

  const AnsiToWide wideUrl(url);
  if (!wideUrl.Get()) return result;
  URL_COMPONENTS parts = {};
  parts.dwStructSize = sizeof(parts);
  parts.dwSchemeLength = static_cast<DWORD>(-1);
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (!WinHttpCrackUrl(wideUrl.Get(), 0, 0, &parts)) return result;

  // The host part is not terminated inside the url: connect to a terminated copy. A url
  // without a usable host is refused rather than handing the rest of the url on as one.
  if (!parts.lpszHostName || parts.dwHostNameLength == 0 || parts.dwHostNameLength >= kHostBufferLength) {
    return result;
  }
  wchar_t host[kHostBufferLength] = {};
  std::memcpy(host, parts.lpszHostName, parts.dwHostNameLength * sizeof(wchar_t));
  m_connection.store(WinHttpConnect(m_session.load(), host, parts.nPort, 0));
  if (!m_connection.load()) return result;

  // Case-sensitive on purpose: only a lower-case scheme asks for TLS.
  const DWORD flags = StartsWith(url.c_str(), "https://") ? WINHTTP_FLAG_SECURE : 0;
  // The object name runs from the path to the end of the url, query included.
  const wchar_t* object = parts.lpszUrlPath ? parts.lpszUrlPath : L"";
  m_request.store(WinHttpOpenRequest(m_connection.load(), body ? L"POST" : L"GET", object, nullptr, WINHTTP_NO_REFERER,
                                     WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
  if (!m_request.load()) return result;

  DWORD security = kSecurityFlags;
  (void)WinHttpSetOption(m_request.load(), WINHTTP_OPTION_SECURITY_FLAGS, &security, sizeof(security));

  const DWORD bodyLength = body ? static_cast<DWORD>(body->size()) : 0;
  if (body) {
    (void)WinHttpAddRequestHeaders(m_request.load(), kPostHeader, static_cast<DWORD>(-1), WINHTTP_ADDREQ_FLAG_ADD);
  }
  if (!WinHttpSendRequest(m_request.load(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, bodyLength,
                          0)) {
    return result;
  }
  if (body) {
    DWORD sent = 0;
    while (sent < bodyLength) {
      DWORD written = 0;
      if (!WinHttpWriteData(m_request.load(), body->data() + sent, bodyLength - sent, &written) || written == 0) {
        return result;
      }
      sent += written;
    }
  }
  if (!WinHttpReceiveResponse(m_request.load(), nullptr)) return result;
  ReadBody(m_request, &result);
  return result;
}

}  // namespace kiv
