// The board engine's document road against an HTTP server on loopback: the upload thread with
// its events and the upload-ended request, and page images from the board's full state to the
// page background.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>

#include "core/control/testing/loopback_http_server.h"
#include "core/env/testing/fake_framework.h"
#include "testing/temp_dir.h"
#include "wb/board_controller_binding.h"
#include "wb/board_engine.h"
#include "wb/board_engine_log.h"
#include "wb/doc_transfer/http_put_file.h"
#include "wb/doc_transfer/testing/gated_http_server.h"
#include "wb/paint/testing/recording_canvas.h"

namespace {

using kiv_test::GatedHttpServer;
using kiv_test::LoopbackHttpServer;
using namespace std::chrono_literals;

std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// `size` bytes that differ from document to document (`seed`) and from place to place.
std::string Pattern(int seed, size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 31 + i / 4093 + seed * 101) & 0xFF);
  return bytes;
}

// The body of the first request whose head starts with `start`.
std::string BodyOf(const std::vector<GatedHttpServer::Request>& requests, const std::string& start) {
  for (const auto& r : requests) {
    if (r.head.compare(0, start.size(), start) == 0) return r.body;
  }
  return "<no request>";
}

// Net requests and listener calls in one ordered list.
struct Journal {
  std::mutex lock;
  std::condition_variable changed;
  std::vector<std::string> lines;
  void Add(const std::string& line) {
    std::lock_guard<std::mutex> guard(lock);
    lines.push_back(line);
    changed.notify_all();
  }
  bool WaitFor(const std::string& line, std::chrono::milliseconds wait = 20s) {
    std::unique_lock<std::mutex> guard(lock);
    return changed.wait_for(guard, wait, [&] { return Find(line) >= 0; });
  }
  // Waits until `count` lines start with `prefix`.
  bool WaitCount(const std::string& prefix, int count, std::chrono::milliseconds wait = 20s) {
    std::unique_lock<std::mutex> guard(lock);
    return changed.wait_for(guard, wait, [&] {
      int n = 0;
      for (const auto& l : lines) n += l.compare(0, prefix.size(), prefix) == 0 ? 1 : 0;
      return n >= count;
    });
  }
  int Find(const std::string& line) {
    for (size_t i = 0; i < lines.size(); ++i) {
      if (lines[i] == line) return static_cast<int>(i);
    }
    return -1;
  }
  int IndexOf(const std::string& line) {
    std::lock_guard<std::mutex> guard(lock);
    return Find(line);
  }
  int Count(const std::string& prefix) {
    std::lock_guard<std::mutex> guard(lock);
    int n = 0;
    for (const auto& l : lines) n += l.compare(0, prefix.size(), prefix) == 0 ? 1 : 0;
    return n;
  }
};

struct JournalNet : kiv_core::IWhiteBoardNet {
  Journal* journal;
  explicit JournalNet(Journal* j) : journal(j) {}
  int Note(const std::string& line) {
    journal->Add(line);
    return 0;
  }
  void SetListener(kiv_core::IWhiteBoardNetListener*) override {}
  int SubscribeBoardStream(const char*) override { return 0; }
  int UnsubscribeBoardStream(const char*) override { return 0; }
  int SendBoardData(const char*, const uint8_t*, uint32_t) override { return 0; }
  int PublishBoardStream(const char*) override { return 0; }
  int SendCloseBoardReq(const char*) override { return 0; }
  int SendDocTransCodeReq(const char* path) override { return Note(std::string("transcode ") + path); }
  int SendDocDownloadReq(const char* path) override { return Note(std::string("download ") + path); }
  int SendCreateBoardReq(int, const char* name, int, int, int, int, const char*, const char*) override {
    return Note(std::string("create ") + name);
  }
  int SendUploadDocReq(const char* path, int size) override {
    return Note(std::string("upload ") + path + " " + std::to_string(size));
  }
  int SendUploadDocEndReq(const std::string& path) override { return Note("uploaded " + path); }
};

struct JournalListener : kiv_wb::IBoardEngineListener {
  Journal* journal;
  explicit JournalListener(Journal* j) : journal(j) {}
  void OnCreateResult(bool ok, const std::string& name, const std::string& id) override {
    journal->Add("created " + std::to_string(ok) + " " + name + " [" + id + "]");
  }
  void OnRemoteBoardMedia(const std::string&, const std::string&, bool) override {}
  void OnPageChanged(const std::string&, int) override {}
  void OnBoardEvent(int kind, int error) override {
    journal->Add("event " + std::to_string(kind) + " " + std::to_string(error));
  }
  void OnBoardInfo(const std::string& id, const kiv_wb::BoardInfo& info, int) override {
    journal->Add("info " + id + " " + std::to_string(info.boardType) + " " + std::to_string(info.pageCount));
  }
};

struct DocumentRoadTest : ::testing::Test {
  void SetUp() override {
    kiv_wb::WbLogger().manager = &log;
    kiv_wb::WbLogger().handle = 1;
    previous = kiv_wb::SetBoardControllerFactory(&kiv_wb::MakeDrawingBoardController);
    engine = std::make_unique<kiv_wb::BoardEngine>();
    engine->Attach(&net, &listener, work, nullptr);
    engine->Init("alice");
  }
  void TearDown() override {
    engine.reset();
    kiv_wb::SetBoardControllerFactory(previous);
    kiv_wb::WbLogger() = kiv_core::ModuleLogger();
  }
  // A document of `bytes` bytes announced for upload in group g1.
  std::string Document(const std::string& bytes) { return DocumentAt("plan.pdf", bytes); }
  std::string DocumentAt(const std::string& name, const std::string& bytes) {
    const std::string path = work + "\\" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    EXPECT_EQ(engine->CreateDocWb("g1", path), 0);
    return path;
  }
  // The journal and the log, for failure messages.
  std::string Transcript() {
    std::string text = "journal:\n";
    {
      std::lock_guard<std::mutex> guard(journal.lock);
      for (const auto& l : journal.lines) text += "  " + l + "\n";
    }
    text += "log:\n";
    std::lock_guard<std::mutex> guard(log.mutex);
    for (const auto& l : log.lines) text += "  " + l + "\n";
    return text;
  }
  // Waits for the log line (lines may follow the event they belong to).
  bool WaitLog(const std::string& line) {
    for (int i = 0; i < 1000 && !log.Has(line); ++i) std::this_thread::sleep_for(10ms);
    return log.Has(line);
  }
  void FullState(const std::string& board, int current) {
    const std::string text =
        "{\"id\":30004,\"seq_id\":0,\"data\":[{\"board\":{\"board_name\":\"plan.pdf\","
        "\"board_type\":1,\"width\":1280,\"height\":720,\"page\":3,\"current_pid\":" +
        std::to_string(current) + ",\"file_path\":\"/g1/plan.pdf\",\"convert_file_path\":\"/g1/plan\"}}]}";
    engine->OnBoardData(board, reinterpret_cast<const uint8_t*>(text.c_str()), text.size() + 1);
  }
  // The fixture's canvas, which outlives the engine.
  static std::shared_ptr<kiv_wb::IBoardCanvas> Unowned(kiv_wb::IBoardCanvas& c) {
    return std::shared_ptr<kiv_wb::IBoardCanvas>(&c, [](kiv_wb::IBoardCanvas*) {});
  }
  std::string PageFile(int page) { return work + "/KivDocImages/alice/plan/" + std::to_string(page) + ".jpg"; }
  std::string LocalPath(const std::string& board, int page) {
    std::string path;
    if (auto c = engine->FindController(board)) c->GetPageLocalPath(page, &path);
    return path;
  }
  // What the board window's paint does when an arrived page asked it to redraw.
  void Paint(const std::string& board) {
    if (auto c = engine->FindController(board)) c->Redraw();
  }

  kiv_fake::LogSink log;
  kiv_test::TempDir dir;
  std::string work = Narrow(dir.Path());
  Journal journal;
  JournalNet net{&journal};
  JournalListener listener{&journal};
  kiv_wb::RecordingCanvas canvas;
  LoopbackHttpServer server;
  kiv_wb::BoardControllerFactory previous = nullptr;
  std::unique_ptr<kiv_wb::BoardEngine> engine;
};

// The document goes out as one PUT of its bytes; event 4 comes before the upload-ended request.
TEST_F(DocumentRoadTest, UploadSucceedsThenUploadEnded) {
  Document("%PDF-1.4 three pages");
  EXPECT_TRUE(journal.WaitFor("upload /g1/plan.pdf 20"));
  engine->OnUploadDocRsp(0, "/g1/plan.pdf", server.Url("/files/g1/plan.pdf").c_str());
  ASSERT_TRUE(journal.WaitFor("uploaded /g1/plan.pdf"));
  EXPECT_GE(journal.IndexOf("event 0 0"), 0);
  EXPECT_LT(journal.IndexOf("event 0 0"), journal.IndexOf("uploaded /g1/plan.pdf"));
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].compare(0, 22, "PUT /files/g1/plan.pdf"), 0) << requests[0];
  EXPECT_EQ(requests[0].substr(requests[0].size() - 20), "%PDF-1.4 three pages");
}

// An upload reply without an address, and a document deleted since its size was measured,
// fail with event 5 and send nothing; the PUT's own argument check gives 1.
TEST_F(DocumentRoadTest, UploadWithoutAddressOrFileFails) {
  const std::string path = Document("%PDF");
  engine->OnUploadDocRsp(0, "/g1/plan.pdf", nullptr);
  ASSERT_TRUE(journal.WaitFor("event 0 302"));
  EXPECT_GE(journal.IndexOf("created 0 " + path + " []"), 0);
  kiv_wb::UploadFileSlot slot;
  EXPECT_EQ(kiv_wb::HttpPutFile(slot, "", path, 4), 1);
  EXPECT_EQ(kiv_wb::HttpPutFile(slot, server.Url("/x"), "", 4), 1);

  ASSERT_TRUE(DeleteFileA(path.c_str()));
  engine->OnUploadDocRsp(0, "/g1/plan.pdf", server.Url("/files/g1/plan.pdf").c_str());
  for (int i = 0; i < 2000 && journal.Count("event 0 302") < 2; ++i) std::this_thread::sleep_for(10ms);
  EXPECT_EQ(journal.Count("event 0 302"), 2);
  EXPECT_EQ(journal.Count("uploaded "), 0);
  EXPECT_TRUE(server.Requests().empty());
}

// Two documents announced before either upload reply: each reply sends its own document
// (found by its path on the server), each upload-end reply asks for its own document's
// conversion, and both boards are asked for.
TEST_F(DocumentRoadTest, EachUploadReplySendsItsOwnDocument) {
  DocumentAt("a.pdf", "%PDF-a first");
  DocumentAt("b.pdf", "%PDF-b the second");
  engine->OnUploadDocRsp(0, "/g1/a.pdf", server.Url("/files/a").c_str());
  ASSERT_TRUE(journal.WaitFor("uploaded /g1/a.pdf"));
  engine->OnUploadDocRsp(0, "/g1/b.pdf", server.Url("/files/b").c_str());
  ASSERT_TRUE(journal.WaitFor("uploaded /g1/b.pdf"));
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].substr(requests[0].size() - 12), "%PDF-a first");
  EXPECT_NE(requests[0].find("Content-Length: 12\r\n"), std::string::npos) << requests[0];
  EXPECT_EQ(requests[1].substr(requests[1].size() - 17), "%PDF-b the second");

  engine->OnUploadDocEndRsp(0, "/g1/a.pdf");
  engine->OnUploadDocEndRsp(0, "/g1/b.pdf");
  EXPECT_EQ(journal.Count("transcode /g1/a.pdf"), 1);
  EXPECT_EQ(journal.Count("transcode /g1/b.pdf"), 1);
  engine->OnDocTransCodeRsp(0, "/doc/2", "/g1/b.pdf", 1280, 720, 2);
  engine->OnDocTransCodeRsp(0, "/doc/1", "/g1/a.pdf", 1280, 720, 3);
  EXPECT_GE(journal.IndexOf("create b.pdf"), 0);
  EXPECT_GE(journal.IndexOf("create a.pdf"), 0);
}

// An upload reply that names no document (a refusal) belongs to the oldest document still
// waiting for its reply: that one is reported failed, the next one is still sent.
TEST_F(DocumentRoadTest, RefusedUploadReportsItsOwnDocument) {
  const std::string a = DocumentAt("a.pdf", "%PDF-a");
  DocumentAt("b.pdf", "%PDF-b");
  engine->OnUploadDocRsp(9, "", "");
  ASSERT_TRUE(journal.WaitFor("event 0 302"));
  EXPECT_GE(journal.IndexOf("created 0 " + a + " []"), 0);
  engine->OnUploadDocRsp(0, "/g1/b.pdf", server.Url("/files/b").c_str());
  ASSERT_TRUE(journal.WaitFor("uploaded /g1/b.pdf"));
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].substr(requests[0].size() - 6), "%PDF-b");
}

// Holds the first read of an upload's file until released; counts every read.
struct ReadLatch {
  std::mutex lock;
  std::condition_variable changed;
  int reads = 0;
  bool released = false;

  static ReadLatch* current;
  static void Hook() { current->Read(); }
  void Read() {
    std::unique_lock<std::mutex> guard(lock);
    const bool first = reads++ == 0;
    changed.notify_all();
    if (first) changed.wait(guard, [this] { return released; });
  }
  bool WaitReads(int count) {
    std::unique_lock<std::mutex> guard(lock);
    return changed.wait_for(guard, 10s, [&] { return reads >= count; });
  }
  void Release() {
    std::lock_guard<std::mutex> guard(lock);
    released = true;
    changed.notify_all();
  }
};
ReadLatch* ReadLatch::current = nullptr;

// Two uploads in flight at once each read their own file to its end: the first is held at its
// first read of its file until the second has opened its own file and is reading it.
TEST_F(DocumentRoadTest, UploadsAtOnceEachSendTheirOwnFile) {
  GatedHttpServer receiver(GatedHttpServer::HoldAt::kNowhere, "");
  static ReadLatch latch;  // outlives upload threads that a failure leaves running
  ReadLatch::current = &latch;
  const kiv_wb::UploadReadHook previousHook = kiv_wb::SetUploadReadHook(&ReadLatch::Hook);
  const std::string aBytes = Pattern(1, 300 * 1024);
  const std::string bBytes = Pattern(2, 300 * 1024 + 7);
  DocumentAt("a.pdf", aBytes);
  DocumentAt("b.pdf", bBytes);
  engine->OnUploadDocRsp(0, "/g1/a.pdf", receiver.Url("/files/a").c_str());
  const bool firstReading = latch.WaitReads(1);
  if (firstReading) engine->OnUploadDocRsp(0, "/g1/b.pdf", receiver.Url("/files/b").c_str());
  const bool secondReading = firstReading && latch.WaitReads(2);
  latch.Release();
  const bool ended = journal.WaitCount("event 0 ", firstReading ? 2 : 1);
  kiv_wb::SetUploadReadHook(previousHook);
  ASSERT_TRUE(firstReading) << "the first upload never read its file";
  ASSERT_TRUE(secondReading) << "the second upload never read its file";
  ASSERT_TRUE(ended);
  EXPECT_EQ(journal.Count("event 0 302"), 0);
  EXPECT_TRUE(journal.WaitFor("uploaded /g1/a.pdf", 1s));
  EXPECT_TRUE(journal.WaitFor("uploaded /g1/b.pdf", 1s));
  ASSERT_TRUE(receiver.WaitForEnds(2, 10s));
  const auto requests = receiver.Requests();
  const std::string a = BodyOf(requests, "PUT /files/a");
  const std::string b = BodyOf(requests, "PUT /files/b");
  EXPECT_EQ(a.size(), aBytes.size());
  EXPECT_TRUE(a == aBytes) << "the first document arrived changed";
  EXPECT_EQ(b.size(), bBytes.size());
  EXPECT_TRUE(b == bBytes) << "the second document arrived changed";
}

// A server that never answers: the transfer gives up after 5 s with event 5.
TEST_F(DocumentRoadTest, UploadTimesOut) {
  Document("%PDF-1.4");
  server.Stall();
  const auto start = std::chrono::steady_clock::now();
  engine->OnUploadDocRsp(0, "/g1/plan.pdf", server.Url("/files/g1/plan.pdf").c_str());
  ASSERT_TRUE(journal.WaitFor("event 0 302", 20s));
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_GE(seconds, 4.5);
  EXPECT_EQ(journal.Count("uploaded "), 0);
  server.Release();
}

// The engine waits for an upload in progress before it goes.
TEST_F(DocumentRoadTest, EngineWaitsForUploadThread) {
  Document("%PDF-1.4");
  server.SetResponse(LoopbackHttpServer::Response(""));
  server.Stall();
  engine->OnUploadDocRsp(0, "/g1/plan.pdf", server.Url("/files/g1/plan.pdf").c_str());
  ASSERT_TRUE(server.WaitForRequests(1, 10000));
  std::thread release([this] {
    std::this_thread::sleep_for(300ms);
    server.Release();
  });
  engine.reset();
  release.join();
  EXPECT_EQ(journal.Count("event 0 0"), 1) << "the upload ended before the engine";
}

// A document board's full state asks for every page's image address; each answer is
// downloaded under KivDocImages/<user>/<document folder>/ and shown as the page's
// background; a page already on disk is shown without a transfer.
TEST_F(DocumentRoadTest, PageImagesBecomeBackgrounds) {
  server.SetResponse(LoopbackHttpServer::Response("JPEG-BYTES"));
  ASSERT_EQ(engine->Open("wb-7", Unowned(canvas), nullptr), 0);
  FullState("wb-7", 0);
  EXPECT_GE(journal.IndexOf("info wb-7 1 3"), 0);
  ASSERT_TRUE(journal.WaitFor("download /g1/plan/2.jpg"));
  EXPECT_LT(journal.IndexOf("download /g1/plan/0.jpg"), journal.IndexOf("download /g1/plan/1.jpg"));

  engine->OnDocDownloadRsp(0, "", "/g1/plan/1.jpg", server.Url("/img/1.jpg").c_str());
  ASSERT_TRUE(journal.WaitFor("event 6 0"));
  EXPECT_EQ(LocalPath("wb-7", 1), PageFile(1));
  EXPECT_EQ(ReadFile(PageFile(1)), "JPEG-BYTES");
  Paint("wb-7");
  EXPECT_EQ(canvas.Count("background"), 0) << "page 1 is not the current page";

  engine->OnDocDownloadRsp(0, "", "/g1/plan/0.jpg", server.Url("/img/0.jpg").c_str());
  for (int i = 0; i < 2000 && journal.Count("event 6 0") < 2; ++i) std::this_thread::sleep_for(10ms);
  EXPECT_EQ(LocalPath("wb-7", 0), PageFile(0));
  Paint("wb-7");
  EXPECT_GE(canvas.Count("background " + PageFile(0)), 1) << "the current page shows its image";
  EXPECT_EQ(server.Requests().size(), 2u);

  // Another full state: the current page has its image, nothing is asked for.
  const int asked = journal.Count("download ");
  FullState("wb-7", 0);
  EXPECT_EQ(journal.Count("download "), asked);
  EXPECT_TRUE(log.Has("OnBoardSynUpdate, image exist localPath=" + PageFile(0)));

  // An answer for a page whose image is on disk: shown at once, no transfer.
  engine->OnDocDownloadRsp(0, "", "/g1/plan/1.jpg", server.Url("/img/1.jpg").c_str());
  EXPECT_EQ(journal.Count("event 6 0"), 3);
  EXPECT_EQ(server.Requests().size(), 2u);
}

// A second address answer for a page whose download is still writing neither announces nor
// shows the page: the page appears once, complete, when its download ends.
TEST_F(DocumentRoadTest, PageStillDownloadingIsNotShown) {
  const std::string image = "JPEG-" + Pattern(3, 64 * 1024);
  GatedHttpServer gated(GatedHttpServer::HoldAt::kMidResponse, image);
  ASSERT_EQ(engine->Open("wb-7", Unowned(canvas), nullptr), 0);
  FullState("wb-7", 0);
  ASSERT_TRUE(journal.WaitFor("download /g1/plan/2.jpg"));
  engine->OnDocDownloadRsp(0, "", "/g1/plan/0.jpg", gated.Url("/img/0.jpg").c_str());
  ASSERT_TRUE(gated.WaitForHeads(1, 10s)) << Transcript();
  engine->OnDocDownloadRsp(0, "", "/g1/plan/0.jpg", gated.Url("/img/0.jpg").c_str());
  EXPECT_EQ(journal.Count("event 6"), 0);
  EXPECT_EQ(LocalPath("wb-7", 0), "");
  EXPECT_EQ(canvas.Count("background " + PageFile(0)), 0);
  // The second answer's download gives way to the one in flight, and reports nothing.
  ASSERT_TRUE(WaitLog("downloading, downloaderIndex 0 miss"));
  EXPECT_EQ(journal.Count("event 6"), 0);

  gated.Open();
  ASSERT_TRUE(journal.WaitFor("event 6 0"));
  EXPECT_EQ(LocalPath("wb-7", 0), PageFile(0));
  EXPECT_TRUE(ReadFile(PageFile(0)) == image) << "the page shown is the whole image";
  Paint("wb-7");
  EXPECT_GE(canvas.Count("background " + PageFile(0)), 1);
  EXPECT_EQ(gated.Requests().size(), 1u);
}

// Answers that fail or do not name a page image of a known document: event 5 for a failed
// answer, nothing else, and no file outside the image folder.
TEST_F(DocumentRoadTest, BadPageAnswers) {
  server.SetResponse(LoopbackHttpServer::Response("JPEG-BYTES"));
  ASSERT_EQ(engine->Open("wb-7", Unowned(canvas), nullptr), 0);
  FullState("wb-7", 0);
  ASSERT_TRUE(journal.WaitFor("download /g1/plan/2.jpg"));
  engine->OnDocDownloadRsp(404, "no such page", "/g1/plan/1.jpg", nullptr);
  EXPECT_GE(journal.IndexOf("event 5 302"), 0);
  EXPECT_TRUE(log.Has("Search Document Download path Faild !!!!!msg == no such page"));
  const std::string url = server.Url("/img/x.jpg");
  for (const char* path : {"/g1/plan/x.jpg", "/g1/../1.jpg", "/g1/plan\\..\\..\\1.jpg", "plan/1.jpg", "/g1/plan/7.jpg",
                           "/other/plan/1.jpg"}) {
    engine->OnDocDownloadRsp(0, "", path, url.c_str());
  }
  engine->OnDocDownloadRsp(0, "", "/g1/plan/1.jpg", nullptr);
  std::this_thread::sleep_for(300ms);
  EXPECT_TRUE(server.Requests().empty());
  EXPECT_EQ(journal.Count("event 6"), 0);
}

// A page image that cannot be fetched after three attempts is reported as event 6 with 302.
TEST_F(DocumentRoadTest, PageThatNeverComesIsReported) {
  server.SetResponse("");
  ASSERT_EQ(engine->Open("wb-7", Unowned(canvas), nullptr), 0);
  FullState("wb-7", 0);
  ASSERT_TRUE(journal.WaitFor("download /g1/plan/2.jpg"));
  engine->OnDocDownloadRsp(0, "", "/g1/plan/0.jpg", server.Url("/img/0.jpg").c_str());
  ASSERT_TRUE(journal.WaitFor("event 6 302"));
  EXPECT_EQ(server.Requests().size(), 3u);
  EXPECT_EQ(LocalPath("wb-7", 0), "");
  // The partial file left behind is not taken for the page on the next answer.
  server.SetResponse(LoopbackHttpServer::Response("JPEG-BYTES"));
  engine->OnDocDownloadRsp(0, "", "/g1/plan/0.jpg", server.Url("/img/0.jpg").c_str());
  ASSERT_TRUE(journal.WaitFor("event 6 0"));
  EXPECT_EQ(server.Requests().size(), 4u);
  EXPECT_EQ(ReadFile(PageFile(0)), "JPEG-BYTES");
}

}  // namespace
