#include "wb/doc_transfer/curl_global.h"

#include <curl/curl.h>

#include "base/system/w_lock.h"

namespace kiv_wb {

CurlGlobal::CurlGlobal() : m_ok(curl_global_init(CURL_GLOBAL_ALL) == CURLE_OK) {}

CurlGlobal::~CurlGlobal() {
  if (m_ok) curl_global_cleanup();
}

std::shared_ptr<CurlGlobal> AcquireCurlGlobal() {
  static ZORVANTE::WLock lock;
  static std::weak_ptr<CurlGlobal> current;
  ZORVANTE::WAutoLock guard(&lock);
  std::shared_ptr<CurlGlobal> token = current.lock();
  if (!token) {
    token = std::make_shared<CurlGlobal>();
    current = token;
  }
  return token;
}

}  // namespace kiv_wb
