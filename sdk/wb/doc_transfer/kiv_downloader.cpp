#include "wb/doc_transfer/kiv_downloader.h"

// The transfer uses CURLOPT_PUT and the progress function of the older interface.
#define CURL_DISABLE_DEPRECATION
#include <curl/curl.h>

#include <windows.h>

#include <atomic>

#include "base/text/text_holders.h"
#include "wb/doc_transfer/curl_global.h"

namespace kiv_wb {

namespace {

constexpr char kUserAgent[] = "Mozilla/5.0 (Windows NT 6.1; WOW64; rv:13.0) Gecko/20100101 Firefox/13.0.1";

std::string NextPartialSuffix() {
  static std::atomic<unsigned> next{0};
  return ".part" + std::to_string(next++);
}

// Puts the finished file in the page's place (replacing an older copy).
bool MoveInPlace(const std::string& from, const std::string& to) {
  Utf8ToWide wideFrom(from);
  Utf8ToWide wideTo(to);
  return wideFrom.Get() && wideTo.Get() && MoveFileExW(wideFrom.Get(), wideTo.Get(), MOVEFILE_REPLACE_EXISTING);
}

}  // namespace

KivDownloader::KivDownloader() : m_curlGlobal(AcquireCurlGlobal()), m_partialSuffix(NextPartialSuffix()) {}

KivDownloader::~KivDownloader() { Cleanup(); }

bool KivDownloader::SetTask(const std::string& url, const std::string& localPath, const std::atomic<bool>* stop) {
  if (url.empty()) return false;
  if (m_busy.load()) return true;
  Cleanup();
  m_stop = stop;
  m_url = url;
  m_localPath = localPath;
  m_partialPath = localPath + m_partialSuffix;
  m_curl = curl_easy_init();
  if (!m_curl) return false;
  SetOptions();
  Utf8ToWide widePath(m_partialPath);
  m_file = widePath.Get() ? _wfopen(widePath.Get(), L"wb") : nullptr;
  if (!m_file) return false;
  m_busy.exchange(true);
  return true;
}

void KivDownloader::SetOptions() {
  CURL* curl = m_curl;
  curl_easy_setopt(curl, CURLOPT_URL, m_url.c_str());
  curl_easy_setopt(curl, CURLOPT_USERAGENT, kUserAgent);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_POST, 0L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &KivDownloader::WriteCallback);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, this);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_PROGRESSDATA, this);
  curl_easy_setopt(curl, CURLOPT_PROGRESSFUNCTION, &KivDownloader::ProgressCallback);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 0L);
  curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 0L);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, 10000L);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, 3000L);
}

bool KivDownloader::Run() {
  // A task that was not set (no handle or no file) fails without a transfer.
  bool ok = m_curl && m_file && curl_easy_perform(m_curl) == CURLE_OK;
  if (m_file) {
    // A file that cannot be written to its end is not the page.
    ok = std::fclose(m_file) == 0 && ok;
    m_file = nullptr;
  }
  ok = ok && MoveInPlace(m_partialPath, m_localPath);
  m_busy.exchange(false);
  return ok;
}

bool KivDownloader::Cleanup() {
  if (m_file) {
    std::fclose(m_file);
    m_file = nullptr;
  }
  // libcurl stays globally initialised while this downloader lives (m_curlGlobal): other
  // downloads may be running on other threads.
  if (m_curl) {
    curl_easy_cleanup(m_curl);
    m_curl = nullptr;
  }
  m_url.clear();
  m_localPath.clear();
  m_busy.exchange(false);
  return true;
}

size_t KivDownloader::WriteCallback(char* data, size_t size, size_t count, void* self) {
  FILE* file = static_cast<KivDownloader*>(self)->m_file;
  return file ? std::fwrite(data, size, count, file) : 0;
}

// Non-zero breaks the transfer off.
int KivDownloader::ProgressCallback(void* self, double, double, double, double) {
  const std::atomic<bool>* stop = static_cast<KivDownloader*>(self)->m_stop;
  return stop && stop->load() ? 1 : 0;
}

}  // namespace kiv_wb
