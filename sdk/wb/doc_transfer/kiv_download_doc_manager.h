// Page images of document boards: per board a download record with one downloader per page;
// lists the page-image paths for the board engine to ask the server about, and downloads
// each page on a detached thread of its own with up to three attempts, reporting every page
// to the board engine.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/system/w_lock.h"
#include "wb/doc_transfer/doc_download_mgr_cb.h"
#include "wb/doc_transfer/document_download_item.h"

namespace kiv_wb {

class CurlGlobal;

// The callback as the detached threads reach it: cleared when the manager goes, so that a
// thread that outlives the manager reports nothing. The lock is held only to take the
// callback; the call itself runs with it released, counted, so that reports of other pages
// and boards and requests never wait behind a slow call.
class DownloadCallbackLink {
 public:
  explicit DownloadCallbackLink(IDocDownloadMgrCb* callback) : m_callback(callback) {}
  bool HasCallback();
  bool RequestUrl(const std::string& filePath);
  void Report(int eventCode, const DocEventInfo& info);
  // From now on nothing is called; returns once the calls in flight have returned (a call
  // in progress on the calling thread itself is not waited for).
  void Clear();

 private:
  class Call;

  std::mutex m_lock;
  std::condition_variable m_idle;
  IDocDownloadMgrCb* m_callback;  // under m_lock
  int m_calls = 0;                // calls in flight, under m_lock
};

using DocumentDownloadItemPtr = std::shared_ptr<DocumentDownloadItem>;

class KivDownloadDocManager {
 public:
  explicit KivDownloadDocManager(IDocDownloadMgrCb* callback);
  virtual ~KivDownloadDocManager();
  KivDownloadDocManager(const KivDownloadDocManager&) = delete;
  KivDownloadDocManager& operator=(const KivDownloadDocManager&) = delete;

  // The record of the board, made with `pageCount` downloaders when there is none.
  DocumentDownloadItemPtr EnsureWhiteBoardDownloader(const std::string& boardId, int pageCount);
  DocumentDownloadItemPtr FindWhiteBoardDownloader(const std::string& boardId);
  // Every record showing the document converted to `convertedPath`.
  std::vector<DocumentDownloadItemPtr> FindItemsByConvertedPath(const std::string& convertedPath);
  // Asks for every page's image address, on a detached thread.
  void StartPageImageThread(const DocumentDownloadItemPtr& item);
  // Downloads the item's url to its local path as page `pageIndex`, on a detached thread.
  void downloadWithItem(const DocumentDownloadItemPtr& item, int pageIndex);
  // From now on threads report nothing; waits for the reports and requests in progress.
  void StopReports();

 private:
  std::shared_ptr<CurlGlobal> m_curlGlobal;
  ZORVANTE::WLock m_lock;
  std::vector<DocumentDownloadItemPtr> m_items;  // under m_lock
  std::shared_ptr<DownloadCallbackLink> m_link;
};

// The procedures of the manager's detached threads.
void PageImageThread(const std::shared_ptr<DownloadCallbackLink>& link, DocumentDownloadItemPtr item);
void DownloadThread(const std::shared_ptr<DownloadCallbackLink>& link, std::unique_ptr<DocumentDownloadItem> item,
                    int pageIndex);

// Removes a failed attempt's partial file before the next attempt (DeleteFileW); tests watch
// the removals.
using PartialFileRemover = void (*)(const std::string& path);
PartialFileRemover SetPartialFileRemover(PartialFileRemover remover);
void RemovePartialFile(const std::string& path);

// The server path of page `index`'s image: converted path + "/" + index + ".jpg".
std::string PageImagePath(const std::string& convertedPath, int index);

}  // namespace kiv_wb
