// Page images of document boards: per board a download record with one downloader per page;
// lists the page-image paths for the board engine to ask the server about, and downloads
// each page on a thread of its own with up to three attempts, reporting every page to the
// board engine. StopReports (and the manager's end) stops and joins every thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/system/w_lock.h"
#include "wb/doc_transfer/doc_download_mgr_cb.h"
#include "wb/doc_transfer/document_download_item.h"
#include "wb/doc_transfer/worker_threads.h"

namespace kiv_wb {

class CurlGlobal;

// The callback as the manager's threads reach it: cleared when reports stop, so that a thread
// still winding down reports nothing. The lock is held only to take the callback; the call
// itself runs with it released, counted, so that reports of other pages and boards and
// requests never wait behind a slow call.
class DownloadCallbackLink {
 public:
  explicit DownloadCallbackLink(IDocDownloadMgrCb* callback) : m_callback(callback) {}
  bool HasCallback();
  bool RequestUrl(const std::string& filePath);
  void Report(int eventCode, const DocEventInfo& info);
  // From now on nothing is called; returns once the calls in flight have returned (a call
  // in progress on the calling thread itself is not waited for).
  void Clear();
  // Set by Clear: transfers in progress break off.
  const std::atomic<bool>& Stopping() const { return m_stopping; }

 private:
  class Call;

  std::mutex m_lock;
  std::condition_variable m_idle;
  IDocDownloadMgrCb* m_callback;  // under m_lock
  int m_calls = 0;                // calls in flight, under m_lock
  std::atomic<bool> m_stopping{false};
};

using DocumentDownloadItemPtr = std::shared_ptr<DocumentDownloadItem>;

class KivDownloadDocManager {
 public:
  explicit KivDownloadDocManager(IDocDownloadMgrCb* callback);
  virtual ~KivDownloadDocManager();
  KivDownloadDocManager(const KivDownloadDocManager&) = delete;
  KivDownloadDocManager& operator=(const KivDownloadDocManager&) = delete;

  // The record of the board, made with `pageCount` downloaders when there is none; a record
  // made here holds `fields` (board id, page count, paths, current page) from the start.
  DocumentDownloadItemPtr EnsureWhiteBoardDownloader(const std::string& boardId, int pageCount,
                                                     const DocumentDownloadItem& fields = DocumentDownloadItem());
  DocumentDownloadItemPtr FindWhiteBoardDownloader(const std::string& boardId);
  // Every record showing the document converted to `convertedPath`.
  std::vector<DocumentDownloadItemPtr> FindItemsByConvertedPath(const std::string& convertedPath);
  // The page's next transfer: the record's url and local path and the page's own local path.
  void SetPageTask(const DocumentDownloadItemPtr& item, int pageIndex, const std::string& url,
                   const std::string& localPath);
  // The local path of the record's page (empty for a page it does not have).
  std::string PageLocalPath(const DocumentDownloadItemPtr& item, int pageIndex);
  // Asks for every page's image address, on a thread of its own.
  void StartPageImageThread(const DocumentDownloadItemPtr& item);
  // Downloads the item's url to its local path as page `pageIndex`, on a thread of its own.
  void downloadWithItem(const DocumentDownloadItemPtr& item, int pageIndex);
  // From now on threads report nothing and transfers break off; returns once the reports
  // and requests in progress have returned and every thread has ended.
  void StopReports();
  // Threads started and not yet joined (finished ones are joined when the next starts).
  size_t ThreadCount() { return m_threads.Count(); }
  // False once StopReports has begun.
  bool Reporting() { return m_link->HasCallback(); }

 private:
  DocumentDownloadItem Snapshot(const DocumentDownloadItemPtr& item);

  std::shared_ptr<CurlGlobal> m_curlGlobal;
  ZORVANTE::WLock m_lock;  // guards m_items and the records' fields; never held across a call out
  std::vector<DocumentDownloadItemPtr> m_items;
  std::shared_ptr<DownloadCallbackLink> m_link;
  WorkerThreads m_threads;  // last: joined before the link and records go
};

// The procedures of the manager's threads.
void PageImageThread(const std::shared_ptr<DownloadCallbackLink>& link, DocumentDownloadItem item);
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
