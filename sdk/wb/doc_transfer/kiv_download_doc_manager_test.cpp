// Page-image downloads against HTTP servers on loopback: path requests, attempts and their
// log lines, partial files, reports, and downloads that outlive the manager.
#include "wb/doc_transfer/kiv_download_doc_manager.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>

#include "core/control/testing/loopback_http_server.h"
#include "core/env/testing/fake_framework.h"
#include "testing/temp_dir.h"
#include "wb/board_engine_log.h"
#include "wb/doc_transfer/testing/gated_http_server.h"

namespace {

using kiv_test::LoopbackHttpServer;
using namespace std::chrono_literals;

std::mutex g_removedLock;
std::vector<std::string> g_removed;

void CountingRemover(const std::string& path) {
  {
    std::lock_guard<std::mutex> guard(g_removedLock);
    g_removed.push_back(path);
  }
  kiv_wb::RemovePartialFile(path);
}

std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

// The names in a folder, "." and ".." left out.
std::vector<std::string> FolderNames(const std::wstring& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = Narrow(data.cFileName);
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return names;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

struct RecordingCallback : kiv_wb::IDocDownloadMgrCb {
  std::mutex lock;
  std::condition_variable changed;
  std::vector<std::string> requests;
  std::vector<std::string> events;  // "<code> <board> <page> <file path>"

  bool RequestDocDownloadUrl(const std::string& path) override {
    std::lock_guard<std::mutex> guard(lock);
    requests.push_back(path);
    changed.notify_all();
    return true;
  }
  void OnDownloadEvent(int code, kiv_wb::DocEventInfo info) override {
    std::lock_guard<std::mutex> guard(lock);
    events.push_back(std::to_string(code) + " " + info.boardId + " " + std::to_string(info.pageIndex) + " " +
                     info.filePath + (info.convertFilePath.empty() && info.width == -1 ? "" : " ?"));
    changed.notify_all();
  }
  bool WaitRequests(size_t n) {
    std::unique_lock<std::mutex> guard(lock);
    return changed.wait_for(guard, 10s, [&] { return requests.size() >= n; });
  }
  bool WaitEvents(size_t n, std::chrono::milliseconds wait = 20s) {
    std::unique_lock<std::mutex> guard(lock);
    return changed.wait_for(guard, wait, [&] { return events.size() >= n; });
  }
  std::vector<std::string> Events() {
    std::lock_guard<std::mutex> guard(lock);
    return events;
  }
};

// Holds the reports of one board until opened; every other call is recorded.
struct BlockingCallback : RecordingCallback {
  std::string blocked;
  bool entered = false;
  bool open = false;
  bool returned = false;

  void OnDownloadEvent(int code, kiv_wb::DocEventInfo info) override {
    if (info.boardId != blocked) return RecordingCallback::OnDownloadEvent(code, info);
    std::unique_lock<std::mutex> guard(lock);
    entered = true;
    changed.notify_all();
    changed.wait(guard, [&] { return open; });
    returned = true;
  }
  bool WaitEntered() {
    std::unique_lock<std::mutex> guard(lock);
    return changed.wait_for(guard, 10s, [&] { return entered; });
  }
  void Open() {
    std::lock_guard<std::mutex> guard(lock);
    open = true;
    changed.notify_all();
  }
  bool Returned() {
    std::lock_guard<std::mutex> guard(lock);
    return returned;
  }
};

struct DownloadManagerTest : ::testing::Test {
  void SetUp() override {
    kiv_wb::WbLogger().manager = &log;
    kiv_wb::WbLogger().handle = 1;
    previousRemover = kiv_wb::SetPartialFileRemover(&CountingRemover);
    std::lock_guard<std::mutex> guard(g_removedLock);
    g_removed.clear();
  }
  void TearDown() override {
    kiv_wb::SetPartialFileRemover(previousRemover);
    kiv_wb::WbLogger() = kiv_core::ModuleLogger();
  }
  // A record of `pages` pages whose page-0 task points at the server.
  kiv_wb::DocumentDownloadItemPtr Item(kiv_wb::KivDownloadDocManager& manager, const std::string& board, int pages,
                                       const std::string& url) {
    auto item = manager.EnsureWhiteBoardDownloader(board, pages);
    item->pageCount = pages;
    item->convertedPath = "/g1/doc";
    item->url = url;
    item->localPath = page0;
    return item;
  }
  // Lines may follow the report they belong to.
  bool WaitLog(const std::string& line) {
    for (int i = 0; i < 500 && !log.Has(line); ++i) std::this_thread::sleep_for(10ms);
    return log.Has(line);
  }
  size_t Removed() {
    std::lock_guard<std::mutex> guard(g_removedLock);
    return g_removed.size();
  }
  int FailureLines(int left) {
    std::lock_guard<std::mutex> guard(log.mutex);
    int n = 0;
    for (const auto& l : log.lines) {
      n += l == "download run fail, downloaderIndex 0, " + std::to_string(left) + " times left" ? 1 : 0;
    }
    return n;
  }

  kiv_fake::LogSink log;
  kiv_wb::PartialFileRemover previousRemover = nullptr;
  kiv_test::TempDir dir;
  std::string page0 = Narrow(dir.Path()) + "\\0.jpg";
  RecordingCallback callback;
  LoopbackHttpServer server;
};

// Records are made once per board; the page paths of a 5-page document are asked for in order;
// several boards may show one document.
TEST_F(DownloadManagerTest, RecordsAndPagePathRequests) {
  kiv_wb::KivDownloadDocManager manager(&callback);
  auto first = manager.EnsureWhiteBoardDownloader("wb-1", 5);
  auto again = manager.EnsureWhiteBoardDownloader("wb-1", 7);
  EXPECT_EQ(first, again);
  ASSERT_EQ(first->downloaders.size(), 5u);
  EXPECT_EQ(first->downloaders[4]->pageIndex, 4);
  EXPECT_TRUE(log.Has("Create EnsureWhiteBoardDownloader, board id = wb-1"));
  {
    std::lock_guard<std::mutex> guard(log.mutex);
    EXPECT_EQ(log.lines.size(), 1u);
  }
  EXPECT_EQ(manager.FindWhiteBoardDownloader("wb-1"), first);
  EXPECT_EQ(manager.FindWhiteBoardDownloader("wb-2"), nullptr);

  first->pageCount = 5;
  first->convertedPath = "/g1/plan";
  auto other = manager.EnsureWhiteBoardDownloader("wb-2", 5);
  other->convertedPath = "/g1/plan";
  EXPECT_EQ(manager.FindItemsByConvertedPath("/g1/plan").size(), 2u);
  EXPECT_TRUE(manager.FindItemsByConvertedPath("/g1/pla").empty());

  manager.StartPageImageThread(first);
  ASSERT_TRUE(callback.WaitRequests(5));
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(callback.requests, (std::vector<std::string>{"/g1/plan/0.jpg", "/g1/plan/1.jpg", "/g1/plan/2.jpg",
                                                         "/g1/plan/3.jpg", "/g1/plan/4.jpg"}));
  manager.downloadWithItem(nullptr, 0);
  EXPECT_TRUE(log.Has("downloadWithItem, Invalid null param"));
}

// The first attempt gets no answer, the second the image: one failure line with 2 left, the
// partial file removed once, 14 once; a later request finds the page on disk and transfers
// nothing; once the file is gone it is downloaded again.
TEST_F(DownloadManagerTest, SecondAttemptSucceedsThenPageIsReused) {
  server.QueueResponses({""});
  server.SetResponse(LoopbackHttpServer::Response("JPEG-0"));
  kiv_wb::KivDownloadDocManager manager(&callback);
  auto item = Item(manager, "wb-1", 2, server.Url("/img/0.jpg"));
  manager.downloadWithItem(item, 0);
  ASSERT_TRUE(callback.WaitEvents(1));
  EXPECT_EQ(callback.Events(), std::vector<std::string>{"14 wb-1 0 /g1/doc"});
  EXPECT_EQ(server.Requests().size(), 2u);
  EXPECT_TRUE(WaitLog("download run fail, downloaderIndex 0, 2 times left"));
  EXPECT_EQ(FailureLines(2), 1);
  EXPECT_EQ(FailureLines(1), 0);
  EXPECT_EQ(Removed(), 1u);
  EXPECT_EQ(ReadFile(page0), "JPEG-0");
  EXPECT_TRUE(item->downloaders[0]->done);

  manager.downloadWithItem(item, 0);
  ASSERT_TRUE(callback.WaitEvents(2));
  EXPECT_TRUE(WaitLog("download index 0 is already exists"));
  EXPECT_EQ(server.Requests().size(), 2u) << "no transfer for a page on disk";

  ASSERT_TRUE(DeleteFileA(page0.c_str()));
  manager.downloadWithItem(item, 0);
  ASSERT_TRUE(callback.WaitEvents(3));
  EXPECT_EQ(server.Requests().size(), 3u);
  EXPECT_EQ(ReadFile(page0), "JPEG-0");
}

// Three attempts without an answer: lines with 2, 1 and 0 left, the partial file removed
// twice, 13 once; the page stays not done, so the next request downloads it.
TEST_F(DownloadManagerTest, ThreeFailuresReportOnceAndRetryLater) {
  server.QueueResponses({"", "", ""});
  server.SetResponse(LoopbackHttpServer::Response("JPEG-0"));
  kiv_wb::KivDownloadDocManager manager(&callback);
  auto item = Item(manager, "wb-1", 1, server.Url("/img/0.jpg"));
  manager.downloadWithItem(item, 0);
  ASSERT_TRUE(callback.WaitEvents(1));
  EXPECT_TRUE(WaitLog("download run fail, downloaderIndex 0, 0 times left"));
  EXPECT_EQ(callback.Events(), std::vector<std::string>{"13 wb-1 0 /g1/doc"});
  EXPECT_EQ(server.Requests().size(), 3u);
  for (int left : {2, 1, 0}) EXPECT_EQ(FailureLines(left), 1) << left;
  EXPECT_EQ(Removed(), 2u);
  EXPECT_FALSE(item->downloaders[0]->done);
  EXPECT_TRUE(item->downloaders[0]->failed);

  manager.downloadWithItem(item, 0);
  ASSERT_TRUE(callback.WaitEvents(2));
  EXPECT_EQ(callback.Events().back(), "14 wb-1 0 /g1/doc");
  EXPECT_EQ(ReadFile(page0), "JPEG-0");
  EXPECT_FALSE(item->downloaders[0]->failed);
}

// Whatever body the server returns counts: a 404 page becomes the page's file.
TEST_F(DownloadManagerTest, ErrorPageIsStoredAsThePage) {
  const std::string body = "<html><body>404 Not Found</body></html>";
  server.SetResponse(LoopbackHttpServer::Response(body, "404 Not Found"));
  kiv_wb::KivDownloadDocManager manager(&callback);
  manager.downloadWithItem(Item(manager, "wb-1", 1, server.Url("/missing.jpg")), 0);
  ASSERT_TRUE(callback.WaitEvents(1));
  EXPECT_EQ(callback.Events(), std::vector<std::string>{"14 wb-1 0 /g1/doc"});
  EXPECT_EQ(ReadFile(page0), body);
}

// While a page's download is in flight nothing is at the page's path; the image appears
// there whole when the transfer ends, and nothing else is left in the folder.
TEST_F(DownloadManagerTest, PageFileAppearsOnlyWhole) {
  const std::string image(48 * 1024, 'J');
  kiv_test::GatedHttpServer gated(kiv_test::GatedHttpServer::HoldAt::kMidResponse, image);
  kiv_wb::KivDownloadDocManager manager(&callback);
  manager.downloadWithItem(Item(manager, "wb-1", 1, gated.Url("/img/0.jpg")), 0);
  ASSERT_TRUE(gated.WaitForHeads(1, 10s));
  EXPECT_EQ(GetFileAttributesA(page0.c_str()), INVALID_FILE_ATTRIBUTES) << "a page file while downloading";
  gated.Open();
  ASSERT_TRUE(callback.WaitEvents(1));
  EXPECT_EQ(callback.Events(), std::vector<std::string>{"14 wb-1 0 /g1/doc"});
  EXPECT_TRUE(ReadFile(page0) == image);
  EXPECT_EQ(FolderNames(dir.Path()), std::vector<std::string>{"0.jpg"});
}

// A transfer that breaks off leaves no page file behind; the next request fetches the page.
TEST_F(DownloadManagerTest, BrokenTransferLeavesNoPageFile) {
  const std::string body = "JPEG-0 whole";
  const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 100\r\nConnection: close\r\n\r\n";
  server.QueueResponses({head + "JPEG", head + "JP", head + "J"});
  server.SetResponse(LoopbackHttpServer::Response(body));
  kiv_wb::KivDownloadDocManager manager(&callback);
  auto item = Item(manager, "wb-1", 1, server.Url("/img/0.jpg"));
  manager.downloadWithItem(item, 0);
  ASSERT_TRUE(callback.WaitEvents(1));
  EXPECT_EQ(callback.Events(), std::vector<std::string>{"13 wb-1 0 /g1/doc"});
  EXPECT_EQ(GetFileAttributesA(page0.c_str()), INVALID_FILE_ATTRIBUTES) << "a partial page file";
  EXPECT_EQ(Removed(), 2u);

  manager.downloadWithItem(item, 0);
  ASSERT_TRUE(callback.WaitEvents(2));
  EXPECT_EQ(callback.Events().back(), "14 wb-1 0 /g1/doc");
  EXPECT_EQ(ReadFile(page0), body);
}

// A second request for a page while its download runs is dropped: one transfer, one report.
TEST_F(DownloadManagerTest, SecondRequestWhileDownloadingIsDropped) {
  server.SetResponse(LoopbackHttpServer::Response("JPEG-0"));
  server.Stall();
  kiv_wb::KivDownloadDocManager manager(&callback);
  auto item = Item(manager, "wb-1", 1, server.Url("/img/0.jpg"));
  manager.downloadWithItem(item, 0);
  ASSERT_TRUE(server.WaitForRequests(1, 10000));
  manager.downloadWithItem(item, 0);
  EXPECT_TRUE(WaitLog("downloading, downloaderIndex 0 miss"));
  server.Release();
  ASSERT_TRUE(callback.WaitEvents(1));
  EXPECT_FALSE(callback.WaitEvents(2, 300ms));
  EXPECT_EQ(server.Requests().size(), 1u);
}

// A page that fails (its downloader cleaned up three times) while another page's transfer is
// in flight leaves that transfer intact.
TEST_F(DownloadManagerTest, FailingPageDoesNotBreakAnotherTransfer) {
  LoopbackHttpServer slow;
  slow.SetResponse(LoopbackHttpServer::Response("JPEG-1"));
  slow.Stall();
  server.SetResponse("");
  kiv_wb::KivDownloadDocManager manager(&callback);
  auto item = Item(manager, "wb-1", 2, slow.Url("/img/1.jpg"));
  const std::string page1 = Narrow(dir.Path()) + "\\1.jpg";
  item->localPath = page1;
  manager.downloadWithItem(item, 1);
  ASSERT_TRUE(slow.WaitForRequests(1, 10000));
  item->url = server.Url("/img/0.jpg");
  item->localPath = page0;
  manager.downloadWithItem(item, 0);
  ASSERT_TRUE(callback.WaitEvents(1));
  EXPECT_EQ(callback.Events(), std::vector<std::string>{"13 wb-1 0 /g1/doc"});
  slow.Release();
  ASSERT_TRUE(callback.WaitEvents(2));
  EXPECT_EQ(callback.Events().back(), "14 wb-1 1 /g1/doc");
  EXPECT_EQ(ReadFile(page1), "JPEG-1");
}

// A download still running when the manager goes breaks off and its thread has ended (record
// and downloader freed) when the manager's end returns; it reports nothing, and no page file
// is left.
TEST_F(DownloadManagerTest, DownloadEndsWithTheManager) {
  server.SetResponse(LoopbackHttpServer::Response("JPEG-0"));
  server.Stall();
  std::weak_ptr<kiv_wb::DownloaderSlot> slot;
  {
    kiv_wb::KivDownloadDocManager manager(&callback);
    auto item = Item(manager, "wb-1", 1, server.Url("/img/0.jpg"));
    slot = item->downloaders[0];
    manager.downloadWithItem(item, 0);
    ASSERT_TRUE(server.WaitForRequests(1, 10000));
    EXPECT_EQ(manager.ThreadCount(), 1u);
  }
  EXPECT_TRUE(slot.expired()) << "a download thread outlived the manager";
  server.Release();
  EXPECT_TRUE(callback.Events().empty());
  EXPECT_EQ(GetFileAttributesA(page0.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(server.Requests().size(), 1u) << "no attempt after the manager went";
}

// A handler held in one board's page report holds back neither another board's page report
// nor a page-path request; stopping the reports returns only once the held report returned.
TEST_F(DownloadManagerTest, HeldReportHoldsBackNoOtherCall) {
  server.SetResponse(LoopbackHttpServer::Response("JPEG"));
  BlockingCallback handler;
  handler.blocked = "wb-1";
  kiv_wb::KivDownloadDocManager manager(&handler);
  manager.downloadWithItem(Item(manager, "wb-1", 1, server.Url("/a/0.jpg")), 0);
  ASSERT_TRUE(handler.WaitEntered());

  auto other = Item(manager, "wb-2", 1, server.Url("/b/0.jpg"));
  other->localPath = Narrow(dir.Path()) + "\\b0.jpg";
  manager.downloadWithItem(other, 0);
  const bool reported = handler.WaitEvents(1, 10s);
  manager.StartPageImageThread(other);
  const bool requested = handler.WaitRequests(1);

  std::atomic<bool> returnedFirst{false};
  std::atomic<bool> stopped{false};
  std::thread stopper([&] {
    manager.StopReports();
    returnedFirst = handler.Returned();
    stopped = true;
  });
  // The held report is let go only once the stopper has cleared the reports: from then on it
  // either waits for the report or has returned without waiting.
  while (manager.Reporting()) std::this_thread::yield();
  const bool stoppedEarly = stopped.load();
  handler.Open();
  stopper.join();
  EXPECT_FALSE(stoppedEarly) << "reports stopped while a report was still running";
  EXPECT_TRUE(reported) << "another board's report waited for the held one";
  EXPECT_TRUE(requested) << "a request waited for the held report";
  EXPECT_TRUE(returnedFirst) << "reports stopped while a report was still running";
  if (reported) EXPECT_EQ(handler.Events(), std::vector<std::string>{"14 wb-2 0 /g1/doc"});
}

}  // namespace
