// The download record of one document board: per page a downloader slot, shared between the
// manager's record and the copies that travel with the download threads (shared ownership,
// so that a thread never uses a slot or downloader that was freed under it).
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "wb/doc_transfer/kiv_downloader.h"

namespace kiv_wb {

struct DownloaderSlot {
  explicit DownloaderSlot(int index) : pageIndex(index) {}
  std::unique_ptr<KivDownloader> downloader = std::make_unique<KivDownloader>();
  int pageIndex = 0;
  std::string localPath;             // where this page's image is written (set with the page's url)
  std::atomic<bool> done{false};     // the page's file was downloaded completely
  std::atomic<bool> failed{false};   // the last download ended without the page: its file is partial
  std::atomic<bool> claimed{false};  // a download thread works on this page
};

struct DocumentDownloadItem {
  std::string boardId;
  std::string url;        // the page image to download now
  std::string localPath;  // the file to write
  std::string convertedPath;
  std::string documentPath;
  std::vector<std::shared_ptr<DownloaderSlot>> downloaders;  // index = page number
  int pageCount = 0;
  int currentPage = 0;
};

}  // namespace kiv_wb
