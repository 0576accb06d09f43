// The board engine and the board manager against a recording network adapter and recording
// board controllers.
#include "wb/board_engine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "base/system/w_lock.h"
#include "core/env/testing/fake_framework.h"
#include "wb/board_controller_binding.h"
#include "wb/board_engine_log.h"
#include "wb/board_engine_plain_controller.h"
#include "wb/paint/testing/recording_canvas.h"

namespace {

std::vector<std::string>* g_controllerCalls = nullptr;

struct FakeNet : kiv_core::IWhiteBoardNet {
  std::vector<std::string> calls;
  kiv_core::IWhiteBoardNetListener* listener = nullptr;
  int result = 0;
  int Note(const std::string& call) {
    // No lock of the whiteboard's is held across a call into the network.
    EXPECT_EQ(ZORVANTE::HeldLockCount(), 0) << call;
    calls.push_back(call);
    return result;
  }
  void SetListener(kiv_core::IWhiteBoardNetListener* l) override { listener = l; }
  int SubscribeBoardStream(const char* id) override { return Note(std::string("subscribe ") + id); }
  int UnsubscribeBoardStream(const char* id) override { return Note(std::string("unsubscribe ") + id); }
  int SendBoardData(const char* id, const uint8_t*, uint32_t) override { return Note(std::string("data ") + id); }
  int PublishBoardStream(const char* id) override { return Note(std::string("publish ") + id); }
  int SendCloseBoardReq(const char* id) override { return Note(std::string("close ") + id); }
  int SendDocTransCodeReq(const char* path) override { return Note(std::string("transcode ") + path); }
  int SendDocDownloadReq(const char* path) override { return Note(std::string("download ") + path); }
  int SendCreateBoardReq(int seq, const char* name, int type, int w, int h, int pages, const char* path,
                         const char* converted) override {
    return Note("create " + std::to_string(seq) + " " + name + " " + std::to_string(type) + " " + std::to_string(w) +
                "x" + std::to_string(h) + " " + std::to_string(pages) + " [" + path + "] [" + converted + "]");
  }
  int SendUploadDocReq(const char* path, int size) override {
    return Note(std::string("upload ") + path + " " + std::to_string(size));
  }
  int SendUploadDocEndReq(const std::string& path) override { return Note("uploaded " + path); }
};

struct Listener : kiv_wb::IBoardEngineListener {
  std::vector<std::string> calls;
  void Add(const std::string& call) {
    // Nor across a call towards the application's handler.
    EXPECT_EQ(ZORVANTE::HeldLockCount(), 0) << call;
    calls.push_back(call);
  }
  void OnCreateResult(bool ok, const std::string& name, const std::string& id) override {
    Add("created " + std::to_string(ok) + " " + name + " [" + id + "]");
  }
  void OnRemoteBoardMedia(const std::string& name, const std::string& id, bool published) override {
    Add("media " + name + " " + id + " " + std::to_string(published));
  }
  void OnPageChanged(const std::string& id, int page) override { Add("page " + id + " " + std::to_string(page)); }
  void OnBoardEvent(int kind, int error) override {
    Add("event " + std::to_string(kind) + " " + std::to_string(error));
  }
  void OnBoardInfo(const std::string& id, const kiv_wb::BoardInfo& info, int current) override {
    Add("info " + id + " " + info.boardName + " " + std::to_string(current));
  }
};

// A plain controller that notes what reaches it.
struct RecordingController : kiv_wb::PlainBoardController {
  std::string id;
  void Attach(const std::string& boardId, kiv_wb::ICoreBoardEventListener* l, std::shared_ptr<kiv_wb::IBoardCanvas> c,
              kiv_core::IWhiteBoardNet* n, kiv_wb::IEditView* e) override {
    id = boardId;
    g_controllerCalls->push_back("attach " + boardId);
    PlainBoardController::Attach(boardId, l, c, n, e);
  }
  void OnNetMsg(const uint8_t* data, uint32_t length) override {
    g_controllerCalls->push_back("msg " + id + " " + std::string(reinterpret_cast<const char*>(data), length));
  }
  void ResetPendingCommands() override { g_controllerCalls->push_back("reset " + id); }
};

std::unique_ptr<kiv_wb::IBoardController> MakeRecording() { return std::make_unique<RecordingController>(); }

// A page image held on its way into the board: SetPageLocalPath waits until opened; the
// steps are noted in order.
struct HeldPageImage {
  std::mutex lock;
  std::condition_variable changed;
  bool entered = false;
  bool open = false;
  bool closerWaits = false;
  std::vector<std::string> steps;

  void Note(const std::string& step) {
    std::lock_guard<std::mutex> guard(lock);
    steps.push_back(step);
    changed.notify_all();
  }
  template <typename Predicate>
  bool Wait(Predicate done) {
    std::unique_lock<std::mutex> guard(lock);
    return changed.wait_for(guard, std::chrono::seconds(10), done);
  }
  void Open() {
    std::lock_guard<std::mutex> guard(lock);
    open = true;
    changed.notify_all();
  }
};
HeldPageImage* g_held = nullptr;
thread_local bool t_closer = false;

void NoteCloserWaits(const ZORVANTE::WLock*) {
  if (!t_closer) return;
  std::lock_guard<std::mutex> guard(g_held->lock);
  g_held->closerWaits = true;
  g_held->changed.notify_all();
}

struct HeldController : kiv_wb::PlainBoardController {
  ~HeldController() override { g_held->Note("controller freed"); }
  bool SetPageLocalPath(int, const std::string&) override {
    {
      std::unique_lock<std::mutex> guard(g_held->lock);
      g_held->entered = true;
      g_held->changed.notify_all();
      g_held->changed.wait(guard, [] { return g_held->open; });
    }
    g_held->Note("page image set");
    return false;
  }
};

std::unique_ptr<kiv_wb::IBoardController> MakeHeld() { return std::make_unique<HeldController>(); }

// Holds a board message in delivery until opened.
struct HeldDelivery : kiv_wb::PlainBoardController {
  ~HeldDelivery() override { g_held->Note("controller freed"); }
  void OnNetMsg(const uint8_t*, uint32_t) override {
    {
      std::unique_lock<std::mutex> guard(g_held->lock);
      g_held->entered = true;
      g_held->changed.notify_all();
      g_held->changed.wait(guard, [] { return g_held->open; });
    }
    g_held->Note("message delivered");
  }
};

std::unique_ptr<kiv_wb::IBoardController> MakeHeldDelivery() { return std::make_unique<HeldDelivery>(); }

// Notes what the engine finds while a fresh controller is being attached.
kiv_wb::BoardEngine* g_probedEngine = nullptr;
struct ProbingController : RecordingController {
  void Attach(const std::string& boardId, kiv_wb::ICoreBoardEventListener* l, std::shared_ptr<kiv_wb::IBoardCanvas> c,
              kiv_core::IWhiteBoardNet* n, kiv_wb::IEditView* e) override {
    const bool unnamed = g_probedEngine->FindController("") != nullptr;
    const bool named = g_probedEngine->FindController(boardId) != nullptr;
    g_controllerCalls->push_back("found while attaching: unnamed " + std::to_string(unnamed) + ", " + boardId + " " +
                                 std::to_string(named));
    RecordingController::Attach(boardId, l, c, n, e);
  }
};

std::unique_ptr<kiv_wb::IBoardController> MakeProbing() { return std::make_unique<ProbingController>(); }

struct BoardEngineTest : ::testing::Test {
  void SetUp() override {
    g_controllerCalls = &controllerCalls;
    previous = kiv_wb::SetBoardControllerFactory(&MakeRecording);
    fw.Install(&env);
    engine.Attach(&net, &listener, ".", nullptr);
  }
  void TearDown() override { kiv_wb::SetBoardControllerFactory(previous); }
  kiv_fake::Framework fw;
  kiv_core::CoreEnv env;
  FakeNet net;
  Listener listener;
  std::vector<std::string> controllerCalls;
  kiv_wb::BoardControllerFactory previous = nullptr;
  kiv_wb::BoardEngine engine;
};

// Create requests share one counter from 1; answers are matched to their names; a success
// publishes the board; answers without a pending request, or with sequence id -1, publish
// nothing.
TEST_F(BoardEngineTest, CreateRequestsAndAnswers) {
  EXPECT_EQ(net.listener, &engine);
  EXPECT_EQ(engine.CreateBlankWb("plan", 0, 720, 1), 1);
  EXPECT_EQ(engine.CreateBlankWb("plan", 1280, 720, 0), 1);
  EXPECT_EQ(engine.CreateBlankWb("plan", 1280, 720, 2), 0);
  EXPECT_EQ(engine.CreateBlankWb("notes", 640, 480, 1), 0);
  net.result = 31;
  EXPECT_EQ(engine.CreateBlankWb("late", 640, 480, 1), 31);
  EXPECT_EQ(kiv_fake::Joined(net.calls),
            "create 1 plan 0 1280x720 2 [] [], create 2 notes 0 640x480 1 [] [], "
            "create 3 late 0 640x480 1 [] []");
  EXPECT_EQ(engine.PendingCreates(), 3u) << "a failed send stays pending";
  net.calls.clear();
  net.result = 0;
  engine.ProcessCreateWbRsp(2, 0, "wb-9");
  engine.ProcessCreateWbRsp(2, 0, "wb-9");  // answered already
  engine.ProcessCreateWbRsp(1, 40, nullptr);
  engine.ProcessCreateWbRsp(-1, 0, "wb-5");
  EXPECT_EQ(kiv_fake::Joined(listener.calls), "created 1 notes [wb-9], created 0 plan []");
  EXPECT_EQ(kiv_fake::Joined(net.calls), "publish wb-9");
}

// Opening gives the board a controller and subscribes its stream; data reaches the board it
// was received for; closing unsubscribes and deletes; destroying asks the server first.
TEST_F(BoardEngineTest, OpenDataCloseDestroy) {
  EXPECT_EQ(engine.Open("wb-1", nullptr, nullptr), 0);
  EXPECT_EQ(engine.Open("wb-2", nullptr, nullptr), 0);
  EXPECT_EQ(engine.Open("wb-1", nullptr, nullptr), 0);
  engine.OnBoardData("wb-2", reinterpret_cast<const uint8_t*>("two"), 3);
  engine.OnBoardData("wb-3", reinterpret_cast<const uint8_t*>("none"), 4);
  EXPECT_EQ(engine.Close("wb-2"), 0);
  engine.OnBoardData("wb-2", reinterpret_cast<const uint8_t*>("late"), 4);
  EXPECT_EQ(engine.Destroy("wb-1"), 0);
  EXPECT_EQ(kiv_fake::Joined(controllerCalls),
            "attach wb-1, attach wb-2, attach wb-1, msg wb-2 two, reset wb-2, reset wb-1");
  EXPECT_EQ(kiv_fake::Joined(net.calls),
            "subscribe wb-1, subscribe wb-2, subscribe wb-1, unsubscribe wb-2, "
            "close wb-1, unsubscribe wb-1");
  EXPECT_EQ(engine.FindController("wb-1"), nullptr);
}

// Per-board operations on a board nobody opened answer their defaults; the listed ones log.
TEST_F(BoardEngineTest, UnknownBoardDefaults) {
  kiv_wb::WbLogger() = {&fw.log, 1};
  engine.SetLineWidth("nope", 3);
  EXPECT_EQ(engine.GetLineWidth("nope"), 0);
  EXPECT_EQ(engine.GetLineColor("nope"), 0);
  EXPECT_FALSE(engine.GetPageChangeSynMode("nope"));
  EXPECT_EQ(engine.ClearCurrentPage("nope"), 302);
  EXPECT_FALSE(engine.Undo("nope"));
  EXPECT_FALSE(engine.Redo("nope"));
  EXPECT_EQ(engine.GetPageCount("nope"), 0);
  EXPECT_TRUE(fw.log.Has("KivBoardImpl::GetLineColor have not releative whiteboard:nope"));
  EXPECT_TRUE(fw.log.Has("KivBoardImpl::ClearCurrentPage have not releative whiteboard:nope"));
  kiv_wb::WbLogger() = {};

  ASSERT_EQ(engine.Open("wb-1", nullptr, nullptr), 0);
  engine.SetLineWidth("wb-1", 6);
  engine.SetLineColor("wb-1", -65536);
  EXPECT_EQ(engine.GetLineWidth("wb-1"), 6);
  EXPECT_EQ(engine.GetLineColor("wb-1"), -65536);
  EXPECT_EQ(engine.GetPageCount("wb-1"), 1);
}

// Another participant's switch to a page this board does not have is reported to the listener
// and logged in the GBK code page.
TEST_F(BoardEngineTest, RemoteSwitchToAMissingPage) {
  kiv_wb::WbLogger() = {&fw.log, 1};
  ASSERT_EQ(engine.Open("wb-1", nullptr, nullptr), 0);
  engine.OnRemoteChangePage("wb-1", 5);
  EXPECT_EQ(kiv_fake::Joined(listener.calls), "page wb-1 5");
  EXPECT_TRUE(fw.log.Has("\xC7\xD0\xBB\xBB\xB5\xC4\xD2\xB3\xB2\xBB\xB4\xE6\xD4\xDA!!! PageId = 5"));
  kiv_wb::WbLogger() = {};
}

// Announcements pass through; the document road raises its events in order and creates the
// document board once converted.
TEST_F(BoardEngineTest, AnnouncementsAndDocumentRoad) {
  engine.OnBoardMediaChange("plan", "wb-4", true);
  engine.OnBoardMediaChange("", "wb-4", false);
  engine.OnUploadDocEndRsp(5, nullptr);  // whatever the code: conversion is asked for
  engine.OnDocTransCodeRsp(0, nullptr, "/g1/plan.pdf", 1, 1, 1);
  engine.OnDocTransCodeRsp(0, "/a/b", "/g1/plan.pdf", 800, 600, 3);
  engine.OnDocTransCodeRsp(7, nullptr, nullptr, 0, 0, 0);
  EXPECT_EQ(kiv_fake::Joined(listener.calls), "media plan wb-4 1, media  wb-4 0, event 2 0, event 3 0, event 3 302");
  EXPECT_EQ(kiv_fake::Joined(net.calls), "transcode , create 1 plan.pdf 1 800x600 3 [/g1/plan.pdf] [/a/b]");
}

// The manager: one controller per id, an unknown id's deletion logs and changes nothing; a
// deleted board's controller lives on with the references handed out.
TEST(BoardManager, ItemsById) {
  kiv_fake::LogSink log;
  kiv_wb::WbLogger() = {&log, 1};
  kiv_wb::BoardManager boards;
  std::shared_ptr<kiv_wb::IBoardController> fresh = boards.Create("wb-1");
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(boards.Find("wb-1"), fresh);
  EXPECT_EQ(boards.Create("wb-1"), fresh);
  EXPECT_EQ(boards.Count(), 1u);
  EXPECT_EQ(boards.Delete("wb-2"), nullptr);
  EXPECT_TRUE(log.Has("Failedt to find white board  to delete!!!\n"));
  EXPECT_EQ(boards.Count(), 1u);
  std::weak_ptr<kiv_wb::IBoardController> held = boards.Find("wb-1");
  EXPECT_EQ(boards.Delete("wb-1"), fresh);
  EXPECT_EQ(boards.Find("wb-1"), nullptr);
  EXPECT_FALSE(held.expired()) << "freed under a reference handed out";
  fresh.reset();
  EXPECT_TRUE(held.expired());
  kiv_wb::WbLogger() = {};
}

// A page image arriving on a download thread while the window's thread closes the board: the
// close does not wait for it, and the board's controller is freed only after the image was set.
TEST_F(BoardEngineTest, PageImageWhileTheBoardCloses) {
  HeldPageImage held;
  g_held = &held;
  kiv_wb::SetBoardControllerFactory(&MakeHeld);
  ASSERT_EQ(engine.Open("wb-1", nullptr, nullptr), 0);
  std::thread download([&] { engine.SetLocalFilePath("wb-1", "C:/images/0.jpg", 0); });
  ASSERT_TRUE(held.Wait([&] { return held.entered; }));
  ZORVANTE::WLock::SetWaitObserver(&NoteCloserWaits);
  std::thread closer([&] {
    t_closer = true;
    engine.Close("wb-1");
    held.Note("closed");
  });
  // The close returns, waits for a lock the image holds, or frees the controller under it.
  const bool settled = held.Wait([&] { return held.closerWaits || !held.steps.empty(); });
  ZORVANTE::WLock::SetWaitObserver(nullptr);
  const bool waited = held.closerWaits;
  held.Open();
  download.join();
  closer.join();
  EXPECT_TRUE(settled);
  EXPECT_FALSE(waited) << "the close waited for a page image";
  EXPECT_EQ(kiv_fake::Joined(held.steps), "closed, page image set, controller freed");
  g_held = nullptr;
}

// A page image that arrives for the current page on a download thread draws nothing there: the
// window is asked to repaint, on its own thread.
TEST_F(BoardEngineTest, PageImageIsDrawnOnTheWindowsThread) {
  kiv_wb::SetBoardControllerFactory(&kiv_wb::MakeDrawingBoardController);
  kiv_wb::RecordingCanvas canvas;
  ASSERT_EQ(engine.Open("wb-1", std::shared_ptr<kiv_wb::IBoardCanvas>(&canvas, [](kiv_wb::IBoardCanvas*) {}), nullptr),
            0);
  canvas.calls.clear();
  canvas.invalidations = 0;
  std::thread download([&] { engine.SetLocalFilePath("wb-1", "C:/images/0.jpg", 0); });
  download.join();
  EXPECT_EQ(kiv_fake::Joined(canvas.calls), "") << "drawn on the download thread";
  EXPECT_EQ(canvas.invalidations, 1);
  std::string path;
  ASSERT_TRUE(engine.FindController("wb-1")->GetPageLocalPath(0, &path));
  EXPECT_EQ(path, "C:/images/0.jpg");
}

// A board closed while one of its messages is being delivered, logged out (the stream cannot be
// unsubscribed): the close does not wait, and the controller is freed once the delivery
// returned.
TEST_F(BoardEngineTest, DeliveryWhileTheBoardClosesLoggedOut) {
  HeldPageImage held;
  g_held = &held;
  kiv_wb::SetBoardControllerFactory(&MakeHeldDelivery);
  ASSERT_EQ(engine.Open("wb-1", nullptr, nullptr), 0);
  net.result = 31;
  std::thread delivery([&] { engine.OnBoardData("wb-1", reinterpret_cast<const uint8_t*>("x"), 1); });
  ASSERT_TRUE(held.Wait([&] { return held.entered; }));
  EXPECT_EQ(engine.Close("wb-1"), 0);
  held.Note("closed");
  EXPECT_EQ(engine.FindController("wb-1"), nullptr);
  held.Open();
  delivery.join();
  EXPECT_EQ(kiv_fake::Joined(held.steps), "closed, message delivered, controller freed");
  g_held = nullptr;
}

// A board can be found only once it is complete: under its own id, after its controller was
// attached; opening it again attaches the same controller to the new views.
TEST_F(BoardEngineTest, BoardFoundOnlyOnceComplete) {
  g_probedEngine = &engine;
  kiv_wb::SetBoardControllerFactory(&MakeProbing);
  ASSERT_EQ(engine.Open("wb-1", nullptr, nullptr), 0);
  ASSERT_EQ(engine.Open("wb-1", nullptr, nullptr), 0);
  EXPECT_EQ(kiv_fake::Joined(controllerCalls),
            "found while attaching: unnamed 0, wb-1 0, attach wb-1, "
            "found while attaching: unnamed 0, wb-1 1, attach wb-1");
  g_probedEngine = nullptr;
}

}  // namespace
