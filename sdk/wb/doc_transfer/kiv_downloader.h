// One HTTP download into one local file with libcurl. SetTask prepares the transfer and
// marks the downloader busy; Run performs it; Cleanup returns it to idle. The transfer writes
// a partial file of this downloader's own beside the local path and puts it in the local
// path's place only once complete, so that the local path never holds part of a file.
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

  // True when the transfer ended with CURLE_OK (any HTTP status counts) and its file took the
  // local path's place.
  virtual bool Run();
  // False for an empty url, a handle that cannot be made or a file that cannot be opened;
  // true at once, changing nothing, while busy. The transfer breaks off once `stop` (when
  // given) is set.
  virtual bool SetTask(const std::string& url, const std::string& localPath, const std::atomic<bool>* stop = nullptr);
  virtual bool Cleanup();

  bool IsBusy() const { return m_busy.load(); }
  // Where the task set last is written until complete; empty before the first task.
  const std::string& PartialPath() const { return m_partialPath; }

 private:
  static size_t WriteCallback(char* data, size_t size, size_t count, void* self);
  static int ProgressCallback(void* self, double, double, double, double);
  void SetOptions();

  std::shared_ptr<CurlGlobal> m_curlGlobal;
  void* m_curl = nullptr;
  FILE* m_file = nullptr;
  std::atomic<bool> m_busy{false};
  const std::atomic<bool>* m_stop = nullptr;
  std::string m_url;
  std::string m_localPath;
  const std::string m_partialSuffix;  // unique among the process's downloaders
  std::string m_partialPath;          // kept by Cleanup, for the removal of a failed attempt's file
};

}  // namespace kiv_wb
