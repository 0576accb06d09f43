// One HTTP download into one local file with libcurl. SetTask prepares the transfer and
// marks the downloader busy; Run performs it; Cleanup returns it to idle.
#pragma once

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>

namespace kiv_wb {

class CurlGlobal;

class KivDownloader {
 public:
  KivDownloader();
  virtual ~KivDownloader();
  KivDownloader(const KivDownloader&) = delete;
  KivDownloader& operator=(const KivDownloader&) = delete;

  // True when the transfer ended with CURLE_OK (any HTTP status counts).
  virtual bool Run();
  // False for an empty url, a handle that cannot be made or a file that cannot be opened;
  // true at once, changing nothing, while busy.
  virtual bool SetTask(const std::string& url, const std::string& localPath);
  virtual bool Cleanup();

  bool IsBusy() const { return m_busy.load(); }

 private:
  static size_t WriteCallback(char* data, size_t size, size_t count, void* self);
  static int ProgressCallback(void* self, double, double, double, double);
  void SetOptions();

  std::shared_ptr<CurlGlobal> m_curlGlobal;
  void* m_curl = nullptr;
  FILE* m_file = nullptr;
  std::atomic<bool> m_busy{false};
  std::string m_url;
  std::string m_localPath;
};

}  // namespace kiv_wb
