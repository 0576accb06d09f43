#include "wb/doc_transfer/kiv_download_doc_manager.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include "base/text/text_holders.h"
#include "wb/board_engine_log.h"
#include "wb/doc_transfer/curl_global.h"

namespace kiv_wb {

namespace {

constexpr int kAttempts = 3;

bool FileReadable(const std::string& path) {
  Utf8ToWide wide(path);
  FILE* file = wide.Get() ? _wfopen(wide.Get(), L"rb") : nullptr;
  if (!file) return false;
  std::fclose(file);
  return true;
}

std::atomic<PartialFileRemover> g_remover{&RemovePartialFile};

DocEventInfo PageResult(const DocumentDownloadItem& item, int pageIndex) {
  DocEventInfo info;
  info.filePath = item.convertedPath;
  info.boardId = item.boardId;
  info.pageIndex = pageIndex;
  return info;
}

// The link whose callback this thread is calling, if any.
thread_local const DownloadCallbackLink* t_calling = nullptr;

}  // namespace

// One call on the callback: taken under the lock, made with it released.
class DownloadCallbackLink::Call {
 public:
  explicit Call(DownloadCallbackLink* link) : m_link(link), m_outer(t_calling) {
    std::lock_guard<std::mutex> guard(link->m_lock);
    m_callback = link->m_callback;
    if (!m_callback) return;
    ++link->m_calls;
    t_calling = link;
  }
  ~Call() {
    t_calling = m_outer;
    if (!m_callback) return;
    std::lock_guard<std::mutex> guard(m_link->m_lock);
    if (--m_link->m_calls == 0) m_link->m_idle.notify_all();
  }
  Call(const Call&) = delete;
  Call& operator=(const Call&) = delete;
  IDocDownloadMgrCb* callback() const { return m_callback; }

 private:
  DownloadCallbackLink* m_link;
  const DownloadCallbackLink* m_outer;
  IDocDownloadMgrCb* m_callback = nullptr;
};

bool DownloadCallbackLink::HasCallback() {
  std::lock_guard<std::mutex> guard(m_lock);
  return m_callback != nullptr;
}

bool DownloadCallbackLink::RequestUrl(const std::string& filePath) {
  Call call(this);
  return call.callback() && call.callback()->RequestDocDownloadUrl(filePath);
}

void DownloadCallbackLink::Report(int eventCode, const DocEventInfo& info) {
  Call call(this);
  if (call.callback()) call.callback()->OnDownloadEvent(eventCode, info);
}

void DownloadCallbackLink::Clear() {
  m_stopping.store(true);
  std::unique_lock<std::mutex> guard(m_lock);
  m_callback = nullptr;
  const int own = t_calling == this ? 1 : 0;
  m_idle.wait(guard, [&] { return m_calls <= own; });
}

void RemovePartialFile(const std::string& path) {
  Utf8ToWide wide(path);
  if (wide.Get()) DeleteFileW(wide.Get());
}

PartialFileRemover SetPartialFileRemover(PartialFileRemover remover) {
  return g_remover.exchange(remover ? remover : &RemovePartialFile);
}

std::string PageImagePath(const std::string& convertedPath, int index) {
  return convertedPath + "/" + std::to_string(index) + ".jpg";
}

KivDownloadDocManager::KivDownloadDocManager(IDocDownloadMgrCb* callback)
    : m_curlGlobal(AcquireCurlGlobal()), m_link(std::make_shared<DownloadCallbackLink>(callback)) {}

KivDownloadDocManager::~KivDownloadDocManager() { StopReports(); }

void KivDownloadDocManager::StopReports() {
  m_link->Clear();
  m_threads.StopAndJoin();
}

DocumentDownloadItemPtr KivDownloadDocManager::EnsureWhiteBoardDownloader(const std::string& boardId, int pageCount,
                                                                          const DocumentDownloadItem& fields) {
  auto made = std::make_shared<DocumentDownloadItem>(fields);
  made->boardId = boardId;
  made->downloaders.clear();
  for (int i = 0; i < pageCount; ++i) made->downloaders.push_back(std::make_shared<DownloaderSlot>(i));
  {
    ZORVANTE::WAutoLock guard(&m_lock);
    for (const auto& item : m_items) {
      if (item->boardId == boardId) return item;
    }
    m_items.push_back(made);
  }
  WB_LOG("Create EnsureWhiteBoardDownloader, board id = %s", boardId.c_str());
  return made;
}

void KivDownloadDocManager::SetPageTask(const DocumentDownloadItemPtr& item, int pageIndex, const std::string& url,
                                        const std::string& localPath) {
  ZORVANTE::WAutoLock guard(&m_lock);
  item->url = url;
  item->localPath = localPath;
  if (pageIndex >= 0 && pageIndex < static_cast<int>(item->downloaders.size())) {
    item->downloaders[pageIndex]->localPath = localPath;
  }
}

std::string KivDownloadDocManager::PageLocalPath(const DocumentDownloadItemPtr& item, int pageIndex) {
  ZORVANTE::WAutoLock guard(&m_lock);
  if (!item || pageIndex < 0 || pageIndex >= static_cast<int>(item->downloaders.size())) return std::string();
  return item->downloaders[pageIndex]->localPath;
}

DocumentDownloadItem KivDownloadDocManager::Snapshot(const DocumentDownloadItemPtr& item) {
  ZORVANTE::WAutoLock guard(&m_lock);
  return *item;
}

DocumentDownloadItemPtr KivDownloadDocManager::FindWhiteBoardDownloader(const std::string& boardId) {
  ZORVANTE::WAutoLock guard(&m_lock);
  for (const auto& item : m_items) {
    if (item->boardId == boardId) return item;
  }
  return nullptr;
}

std::vector<DocumentDownloadItemPtr> KivDownloadDocManager::FindItemsByConvertedPath(const std::string& convertedPath) {
  ZORVANTE::WAutoLock guard(&m_lock);
  std::vector<DocumentDownloadItemPtr> found;
  for (const auto& item : m_items) {
    if (item->convertedPath == convertedPath) found.push_back(item);
  }
  return found;
}

void KivDownloadDocManager::StartPageImageThread(const DocumentDownloadItemPtr& item) {
  if (!item) return;
  (void)m_threads.Start([link = m_link, record = Snapshot(item)]() { PageImageThread(link, record); });
}

void KivDownloadDocManager::downloadWithItem(const DocumentDownloadItemPtr& item, int pageIndex) {
  if (!item) {
    WB_LOG("downloadWithItem, Invalid null param");
    return;
  }
  auto copy = std::make_shared<DocumentDownloadItem>(Snapshot(item));
  (void)m_threads.Start([link = m_link, copy, pageIndex]() mutable {
    DownloadThread(link, std::make_unique<DocumentDownloadItem>(std::move(*copy)), pageIndex);
  });
}

void PageImageThread(const std::shared_ptr<DownloadCallbackLink>& link, DocumentDownloadItem item) {
  if (!link->HasCallback()) return;
  for (int i = 0; i < item.pageCount; ++i) link->RequestUrl(PageImagePath(item.convertedPath, i));
}

void DownloadThread(const std::shared_ptr<DownloadCallbackLink>& link, std::unique_ptr<DocumentDownloadItem> item,
                    int pageIndex) {
  if (!link->HasCallback()) return;
  if (pageIndex < 0 || pageIndex >= static_cast<int>(item->downloaders.size())) {
    WB_LOG("download index %d out of range", pageIndex);
    return;
  }
  const std::shared_ptr<DownloaderSlot> slot = item->downloaders[pageIndex];
  const DocEventInfo result = PageResult(*item, pageIndex);
  if (slot->done.load() && FileReadable(item->localPath)) {
    link->Report(kDocEventPagePresent, result);
    WB_LOG("download index %u is already exists", static_cast<unsigned>(pageIndex));
    return;
  }
  // One thread per page at a time: a second request while one runs is dropped.
  if (slot->claimed.exchange(true)) {
    WB_LOG("downloading, downloaderIndex %d miss", pageIndex);
    return;
  }
  KivDownloader& downloader = *slot->downloader;
  bool downloaded = false;
  for (int left = kAttempts; left >= 1 && !downloaded && !link->Stopping().load(); --left) {
    (void)downloader.SetTask(item->url, item->localPath, &link->Stopping());
    downloaded = downloader.Run();
    if (downloaded) break;
    slot->done.store(false);
    WB_LOG("download run fail, downloaderIndex %d, %d times left", pageIndex, left - 1);
    downloader.Cleanup();
    // The page's own path never holds part of a file: what a failed attempt wrote is in the
    // downloader's partial file.
    if (left > 1) g_remover.load()(downloader.PartialPath());
  }
  slot->done.store(downloaded);
  slot->failed.store(!downloaded);
  // The page is free again before it is reported, so that a request made on the report is
  // not taken for one made while downloading.
  slot->claimed.store(false);
  link->Report(downloaded ? kDocEventPagePresent : kDocEventPageFailed, result);
}

}  // namespace kiv_wb
