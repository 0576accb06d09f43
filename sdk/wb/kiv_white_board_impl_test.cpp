// The whiteboard facade: board windows inside the application's parent, and the engine's
// reports as the application's events.
#include "wb/kiv_white_board_impl.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "base/system/w_lock.h"
#include "core/env/testing/fake_framework.h"
#include "wb/board_controller_binding.h"
#include "wb/board_window_views.h"
#include "wb/paint/testing/recording_canvas.h"

namespace {

struct Handler : kiv::IKivWhiteBoardEventHandler {
  std::vector<std::string> events;
  void Add(const std::string& event) {
    // Events reach the handler with no lock of the SDK's held.
    EXPECT_EQ(ZORVANTE::HeldLockCount(), 0) << event;
    events.push_back(event);
  }
  void OnCreateResult(const kiv::String& id, const kiv::String& name, int result) override {
    Add(std::string("created ") + id.c_str() + " " + name.c_str() + " " + std::to_string(result));
  }
  void OnBoardPublished(const kiv::String& id, const kiv::String& name) override {
    Add(std::string("published ") + id.c_str() + " " + name.c_str());
  }
  void OnBoardUnpublished(const kiv::String& id) override { Add(std::string("unpublished ") + id.c_str()); }
  void OnBoardInfo(const kiv::String& id, kiv::WhiteBoardInfo* info, int page) override {
    Add(std::string("info ") + id.c_str() + " " + info->name.c_str() + " " + std::to_string(info->pageCount) + " " +
        std::to_string(page));
  }
  void OnPageChanged(const kiv::String& id, int page) override {
    Add(std::string("page ") + id.c_str() + " " + std::to_string(page));
  }
  void OnBoardEvent(int kind, int error) override {
    Add("event " + std::to_string(kind) + " " + std::to_string(error));
  }
};

struct WhiteBoardFacadeTest : ::testing::Test {
  void SetUp() override {
    fw.Install(&env);
    parent = CreateWindowExW(0, L"STATIC", L"parent", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(parent, nullptr);
  }
  void TearDown() override { DestroyWindow(parent); }
  kiv_fake::Framework fw;
  kiv_core::CoreEnv env;
  HWND parent = nullptr;
  kiv::KivWhiteBoardImpl wb;
};

// Boards open in child windows of the given parent; opening again replaces the window;
// Destroy keeps the window until Close; CloseAllBoards closes every board.
TEST_F(WhiteBoardFacadeTest, BoardWindows) {
  EXPECT_EQ(wb.Open("wb-1", parent), 0);
  HWND first = wb.GetWindow("wb-1");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(GetParent(first), parent);
  wchar_t name[64] = {0};
  GetClassNameW(first, name, 64);
  EXPECT_STREQ(name, L"QelKivWhiteBoardWnd");
  EXPECT_EQ(GetWindowLongW(first, GWL_STYLE) & 0x56001000, 0x56001000);
  EXPECT_EQ(wb.Open("wb-1", parent), 0);
  HWND second = wb.GetWindow("wb-1");
  EXPECT_NE(second, first);
  EXPECT_FALSE(IsWindow(first));
  EXPECT_EQ(wb.GetPageCount("wb-1"), 1) << "one board in the engine";
  EXPECT_EQ(wb.Destroy("wb-1"), 0);
  EXPECT_EQ(wb.GetWindow("wb-1"), second);
  EXPECT_EQ(wb.GetPageCount("wb-1"), 0);
  EXPECT_EQ(wb.Close("wb-1"), 0);
  EXPECT_EQ(wb.GetWindow("wb-1"), nullptr);
  EXPECT_FALSE(IsWindow(second));

  EXPECT_EQ(wb.Open("wb-2", parent), 0);
  EXPECT_EQ(wb.Open("wb-3", parent), 0);
  HWND third = wb.GetWindow("wb-3");
  wb.CloseAllBoards();
  EXPECT_EQ(wb.GetWindow("wb-2"), nullptr);
  EXPECT_FALSE(IsWindow(third));
  EXPECT_EQ(wb.GetPageCount("wb-3"), 0);
}

// A board window paints (the window is validated) and takes mouse input; a window of this
// class that the facade does not know is still painted by default, never left invalid.
TEST_F(WhiteBoardFacadeTest, WindowMessages) {
  ASSERT_EQ(wb.Open("wb-1", parent), 0);
  HWND w = wb.GetWindow("wb-1");
  MoveWindow(w, 0, 0, 200, 100, FALSE);
  InvalidateRect(w, nullptr, FALSE);
  UpdateWindow(w);
  EXPECT_FALSE(GetUpdateRect(w, nullptr, FALSE));
  EXPECT_EQ(SendMessageW(w, WM_GETDLGCODE, 0, 0), DLGC_WANTARROWS | DLGC_WANTTAB | DLGC_WANTALLKEYS | DLGC_WANTCHARS);
  EXPECT_EQ(SendMessageW(w, WM_LBUTTONDOWN, 0, MAKELPARAM(5, 5)), 0);

  HWND stray = CreateWindowExW(0, L"QelKivWhiteBoardWnd", nullptr, WS_CHILD | WS_VISIBLE, 0, 0, 50, 50, parent, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(stray, nullptr);
  SetWindowLongPtrW(stray, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&wb));
  InvalidateRect(stray, nullptr, FALSE);
  UpdateWindow(stray);
  EXPECT_FALSE(GetUpdateRect(stray, nullptr, FALSE));
  DestroyWindow(stray);
}

// Released with a board still open (no Close): the board's window goes with the whiteboard,
// so that destroying the parent later runs nothing of the released object.
TEST_F(WhiteBoardFacadeTest, ReleasedWithABoardOpen) {
  auto released = std::make_unique<kiv::KivWhiteBoardImpl>();
  ASSERT_EQ(released->Open("wb-1", parent), 0);
  HWND board = released->GetWindow("wb-1");
  ASSERT_TRUE(IsWindow(board));
  released.reset();
  EXPECT_FALSE(IsWindow(board)) << "a board window outlived the whiteboard";
  if (IsWindow(board)) {
    EXPECT_EQ(GetWindowLongPtrW(board, GWLP_USERDATA), 0) << "the window still points at the freed whiteboard";
    SetWindowLongPtrW(board, GWLP_USERDATA, 0);  // keeps the parent's destruction off freed memory
  }
}

// The engine's reports reach the handler converted; with no handler they are lost.
TEST_F(WhiteBoardFacadeTest, Events) {
  wb.OnCreateResult(true, "plan", "wb-1");
  Handler h;
  wb.SetEventHandler(&h);
  wb.OnCreateResult(true, "plan", "wb-1");
  wb.OnCreateResult(false, "C:\\docs\\plan.pdf", "");
  wb.OnRemoteBoardMedia("plan", "wb-1", true);
  wb.OnRemoteBoardMedia("plan", "wb-1", false);
  kiv_wb::BoardInfo info;
  info.boardName = "plan";
  info.pageCount = 3;
  wb.OnBoardInfo("wb-1", info, 2);
  wb.OnPageChanged("wb-1", 1);
  wb.OnBoardEvent(3, 302);
  wb.SetEventHandler(nullptr);
  wb.OnBoardEvent(0, 0);
  EXPECT_EQ(kiv_fake::Joined(h.events),
            "created wb-1 plan 0, created  C:\\docs\\plan.pdf 302, published wb-1 plan, "
            "unpublished wb-1, info wb-1 plan 3 2, page wb-1 1, event 3 302");
}

// Steps of a call held on another thread, noted in order.
struct Latch {
  std::mutex lock;
  std::condition_variable changed;
  bool entered = false;
  bool open = false;
  std::vector<std::string> steps;

  void Note(const std::string& step) {
    std::lock_guard<std::mutex> guard(lock);
    steps.push_back(step);
    changed.notify_all();
  }
  // Called on the held thread.
  void Hold() {
    std::unique_lock<std::mutex> guard(lock);
    entered = true;
    changed.notify_all();
    changed.wait(guard, [&] { return open; });
  }
  bool WaitEntered() {
    std::unique_lock<std::mutex> guard(lock);
    return changed.wait_for(guard, std::chrono::seconds(10), [&] { return entered; });
  }
  void Open() {
    std::lock_guard<std::mutex> guard(lock);
    open = true;
    changed.notify_all();
  }
  std::string Steps() {
    std::lock_guard<std::mutex> guard(lock);
    return kiv_fake::Joined(steps);
  }
};

// An event handler whose board events wait until the latch opens.
struct HeldHandler : Handler {
  Latch* latch = nullptr;
  void OnBoardEvent(int, int) override {
    latch->Hold();
    latch->Note("event returned");
  }
};

// Replacing the handler while one of its events runs on another thread returns only once that
// event has returned; the new handler gets the events after it.
TEST_F(WhiteBoardFacadeTest, HandlerReplacedDuringAnEvent) {
  Latch latch;
  HeldHandler first;
  first.latch = &latch;
  Handler second;
  wb.SetEventHandler(&first);
  std::thread download([&] { wb.OnBoardEvent(6, 0); });
  ASSERT_TRUE(latch.WaitEntered());
  std::thread replacer([&] {
    wb.SetEventHandler(&second);
    latch.Note("replaced");
  });
  // From here the replacement waits for the event or has returned without waiting.
  while (wb.EventHandler() != &second) std::this_thread::yield();
  latch.Open();
  download.join();
  replacer.join();
  EXPECT_EQ(latch.Steps(), "event returned, replaced");
  wb.OnBoardEvent(6, 0);
  EXPECT_EQ(kiv_fake::Joined(second.events), "event 6 0");
  wb.SetEventHandler(nullptr);
}

// Canvases made for board windows: each notes when it goes; one can hold its repaint request.
struct CanvasLog {
  Latch latch;
  std::atomic<int> made{0};
  std::atomic<bool> holdInvalidate{false};
};
CanvasLog* g_canvases = nullptr;

struct NotedCanvas : kiv_wb::RecordingCanvas {
  int number = 0;
  ~NotedCanvas() override { g_canvases->latch.Note("canvas " + std::to_string(number) + " freed"); }
  void Invalidate() override {
    if (!g_canvases->holdInvalidate.exchange(false)) return;
    CanvasLog* log = g_canvases;  // nothing of this object is used after the hold
    log->latch.Hold();
    log->latch.Note("repaint asked");
  }
};

struct NotedController : kiv_wb::EngineBoardController {
  ~NotedController() override { g_canvases->latch.Note("controller freed"); }
};

struct HeldDeliveryTest : WhiteBoardFacadeTest {
  void SetUp() override {
    WhiteBoardFacadeTest::SetUp();
    g_canvases = &canvases;
    saved = kiv_wb::BoardViewHooks();
    kiv_wb::BoardWindowViewHooks& hooks = kiv_wb::BoardViewHooks();
    hooks = kiv_wb::BoardWindowViewHooks();
    hooks.createCanvas = [](HWND) -> kiv_wb::IBoardCanvas* {
      auto* canvas = new NotedCanvas();
      canvas->number = ++g_canvases->made;
      return canvas;
    };
    hooks.destroyCanvas = [](kiv_wb::IBoardCanvas* canvas) { delete static_cast<NotedCanvas*>(canvas); };
    previous = kiv_wb::SetBoardControllerFactory(
        []() -> std::unique_ptr<kiv_wb::IBoardController> { return std::make_unique<NotedController>(); });
  }
  void TearDown() override {
    wb.CloseAllBoards();
    kiv_wb::SetBoardControllerFactory(previous);
    kiv_wb::BoardViewHooks() = saved;
    WhiteBoardFacadeTest::TearDown();
  }
  // Delivers a line of another participant's on a network thread, held in the repaint it asks.
  std::thread HeldLine() {
    canvases.holdInvalidate = true;
    std::thread network([this] {
      const std::string line =
          "{\"id\":31000,\"seq_id\":1,\"cli_seq_id\":1,\"edit_id\":5,\"type\":\"line\",\"line\":{\"pid\":0,"
          "\"gid\":7,\"action\":1,\"graph\":1,\"brush_size\":6,\"color\":1,\"x1\":1,\"y1\":1,\"x2\":9,\"y2\":9}}";
      wb.Engine().OnBoardData("wb-1", reinterpret_cast<const uint8_t*>(line.c_str()),
                              static_cast<uint32_t>(line.size() + 1));
      canvases.latch.Note("delivered");
    });
    return network;
  }
  CanvasLog canvases;
  kiv_wb::BoardWindowViewHooks saved;
  kiv_wb::BoardControllerFactory previous = nullptr;
};

// The board is opened again while a network thread is in a call on its first canvas: the board
// draws on the new window, and the first canvas goes only once that call returned.
TEST_F(HeldDeliveryTest, ReopenedDuringADelivery) {
  ASSERT_EQ(wb.Open("wb-1", parent), 0);
  std::thread network = HeldLine();
  ASSERT_TRUE(canvases.latch.WaitEntered());
  ASSERT_EQ(wb.Open("wb-1", parent), 0);
  canvases.latch.Note("reopened");
  canvases.latch.Open();
  network.join();
  EXPECT_EQ(canvases.latch.Steps(), "reopened, repaint asked, canvas 1 freed, delivered");
  EXPECT_EQ(canvases.made.load(), 2);
}

// The board is closed (logged out: no stream to unsubscribe) while a network thread delivers a
// message to it: neither its controller nor its canvas goes before the delivery returned.
TEST_F(HeldDeliveryTest, ClosedDuringADelivery) {
  ASSERT_EQ(wb.Open("wb-1", parent), 0);
  std::thread network = HeldLine();
  ASSERT_TRUE(canvases.latch.WaitEntered());
  ASSERT_EQ(wb.Close("wb-1"), 0);
  canvases.latch.Note("closed");
  canvases.latch.Open();
  network.join();
  EXPECT_EQ(canvases.latch.Steps(), "closed, repaint asked, controller freed, canvas 1 freed, delivered");
}

}  // namespace
