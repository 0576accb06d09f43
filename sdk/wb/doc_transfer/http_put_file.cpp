#include "wb/doc_transfer/http_put_file.h"

// The transfer uses CURLOPT_PUT and the progress function of the older interface.
#define CURL_DISABLE_DEPRECATION
#include <curl/curl.h>

#include <atomic>
#include <cstdio>

#include "base/text/text_holders.h"
#include "kiv_error.h"

namespace kiv_wb {

namespace {

std::atomic<UploadReadHook> g_readHook{nullptr};

size_t ReadCallback(char* buffer, size_t size, size_t count, void* file) {
  if (UploadReadHook hook = g_readHook.load()) hook();
  return std::fread(buffer, size, count, static_cast<FILE*>(file));
}

// The server's answer body is not used; without this libcurl would print it on the
// process's standard output.
size_t DiscardBody(char*, size_t size, size_t count, void*) { return size * count; }

}  // namespace

UploadReadHook SetUploadReadHook(UploadReadHook hook) { return g_readHook.exchange(hook); }

int HttpPutFile(UploadFileSlot& slot, const std::string& address, const std::string& localPath, int size) {
  if (address.empty() || localPath.empty()) {
    std::printf("param error\n\n");
    return kiv_core::ERR_INVALID_PARAM;
  }
  curl_global_init(CURL_GLOBAL_ALL);
  CURL* curl = curl_easy_init();
  if (!curl) return kiv_core::ERR_FAILED;
  Utf8ToWide widePath(localPath);
  FILE* file = widePath.Get() ? _wfopen(widePath.Get(), L"rb") : nullptr;
  if (!file) {
    // Deleted or locked since its size was measured: nothing is read, nothing is sent.
    curl_easy_cleanup(curl);
    return kiv_core::ERR_FAILED;
  }
  slot.Store(file);
  curl_easy_setopt(curl, CURLOPT_READFUNCTION, &ReadCallback);
  curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(curl, CURLOPT_PUT, 1L);
  curl_easy_setopt(curl, CURLOPT_URL, address.c_str());
  curl_easy_setopt(curl, CURLOPT_READDATA, file);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, 5000L);
  curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(size));
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &DiscardBody);
  const CURLcode code = curl_easy_perform(curl);
  int result = kiv_core::ERR_OK;
  if (code != CURLE_OK) {
    (void)curl_easy_strerror(code);
    result = kiv_core::ERR_FAILED;
  }
  curl_easy_cleanup(curl);
  slot.Close();
  return result;
}

}  // namespace kiv_wb
