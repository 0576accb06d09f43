#include "wb/board_controller.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <future>
#include <thread>

#include "wb/board_engine_controller.h"
#include "wb/model/board_snapshot.h"
#include "wb/testing/board_controller_testing.h"

namespace kiv_wb {
namespace {

class BoardControllerTest : public ::testing::Test {
 protected:
  BoardControllerTest() {
    controller.SetCanvas(&canvas);
    controller.SetNet(&net);
    controller.SetBoardId("b", nullptr);
  }
  // Nothing of the SDK is held across a call into the network.
  void TearDown() override { EXPECT_EQ(net.sendsUnderLock, 0); }
  void Receive(const std::string& text) {
    controller.OnNetMsg(reinterpret_cast<const uint8_t*>(text.c_str()), text.size() + 1);
  }
  static std::string Line(uint32_t seq, int editId, int gid) {
    return "{\"id\":31000,\"seq_id\":" + std::to_string(seq) +
           ",\"cli_seq_id\":1,\"edit_id\":" + std::to_string(editId) +
           ",\"type\":\"line\",\"line\":{\"pid\":0,\"gid\":" + std::to_string(gid) +
           ",\"action\":1,\"graph\":1,\"brush_size\":6,\"color\":1,"
           "\"x1\":1,\"y1\":1,\"x2\":9,\"y2\":9}}";
  }
  Board& board() { return controller.GetBoard(); }

  RecordingCanvas canvas;
  RecordingNet net;
  BoardController controller;
};

// Verifies the sequence protocol: the first notice with seq 1 asks for the full state and an
// edit id; a notice in order only advances; gaps and repeated 1s ask again.
TEST_F(BoardControllerTest, SequenceNotices) {
  Receive("{\"id\":30000,\"seq_id\":1}");
  EXPECT_EQ(net.CountId(30003), 1);
  EXPECT_EQ(net.CountId(30001), 1);
  EXPECT_EQ(board().GetNextSeqId(), 2u);
  Receive("{\"id\":30000,\"seq_id\":2}");
  EXPECT_EQ(net.CountId(30003), 1);
  EXPECT_EQ(board().GetNextSeqId(), 3u);
  Receive("{\"id\":30002,\"edit_id\":0}");
  EXPECT_EQ(board().GetEditId(), 0);
  Receive("{\"id\":30002,\"edit_id\":7}");
  EXPECT_EQ(board().GetEditId(), 7);
  Receive("{\"id\":30000,\"seq_id\":9}");
  EXPECT_EQ(net.CountId(30003), 2);
  EXPECT_EQ(net.CountId(30001), 1);
  EXPECT_EQ(board().GetNextSeqId(), 10u);
  // An unreadable text counts as a notice of seq 0.
  Receive("garbage");
  EXPECT_EQ(net.CountId(30003), 3);
  EXPECT_EQ(board().GetNextSeqId(), 1u);
}

// Verifies updates: applied and painted later on the window's thread; an own echo advances the
// number and changes nothing; a gap asks for the full state but still applies.
TEST_F(BoardControllerTest, UpdatesAndEchoes) {
  board().SetEditId(3);
  board().SetNextSeqId(5);
  Receive(Line(5, 4, 100));
  EXPECT_EQ(board().FindPage(0)->GetGraphCount(), 1u);
  EXPECT_EQ(canvas.invalidations, 1);
  Receive(Line(6, 3, 101));
  EXPECT_EQ(board().FindPage(0)->GetGraphCount(), 1u);
  EXPECT_EQ(board().GetNextSeqId(), 7u);
  Receive(Line(9, 4, 102));
  EXPECT_EQ(net.CountId(30003), 1);
  EXPECT_EQ(net.CountId(30001), 0);
  EXPECT_EQ(board().FindPage(0)->GetGraphCount(), 2u);
  Receive("{\"id\":31000,\"seq_id\":10,\"edit_id\":4,\"type\":\"nope\"}");
  EXPECT_EQ(board().GetNextSeqId(), 11u);
  Receive("{\"id\":30004,\"seq_id\":40,\"data\":[]}");
  EXPECT_EQ(board().GetNextSeqId(), 11u);
}

// Verifies that the echo of an own add takes the server's place in the drawing order.
TEST_F(BoardControllerTest, OwnAddEchoTakesServerOrder) {
  board().SetEditId(3);
  board().SetNextSeqId(1);
  controller.SetOperation(kOpDraw);
  controller.SetGraphType(kGraphLine);
  controller.OnMouseDown(10, 10);
  controller.OnMouseUp(20, 20);
  const uint32_t own = board().FindPage(0)->GetGraphs()[0]->GetId();
  Receive("{\"id\":30000,\"seq_id\":1}");
  Receive(Line(2, 4, 100));
  EXPECT_EQ(board().FindPage(0)->GetGraphs()[0]->GetId(), own);
  Receive(
      "{\"id\":31000,\"seq_id\":3,\"cli_seq_id\":1,\"edit_id\":3,\"type\":\"line\",\"line\":{\"pid\":0,"
      "\"gid\":" +
      std::to_string(static_cast<int>(own)) + ",\"action\":1,\"graph\":1}}");
  EXPECT_EQ(board().FindPage(0)->GetGraphs()[1]->GetId(), own);
  EXPECT_NE(DescribeBoard(board()).find("10,10 20,20"), std::string::npos);
}

// Verifies that updates sent before the board had its edit id are known as own when the server
// relays them stamped with the id it assigned: a curve's points are not appended twice; another
// participant's update of the same client sequence number is still applied.
TEST_F(BoardControllerTest, OwnUpdatesSentBeforeTheEditId) {
  ASSERT_EQ(board().GetEditId(), 0);
  board().SetNextSeqId(1);
  const int gid = 0x10000;
  controller.OnUpdateCommand(
      std::make_shared<PathGraphUpdateCommand>(1, 0, 0, gid, kGraphAdd, 6, 1, std::vector<IntPoint>{{1, 1}, {2, 2}}));
  controller.OnUpdateCommand(std::make_shared<PathGraphUpdateCommand>(2, 0, 0, gid, kGraphModify, 6, 1,
                                                                      std::vector<IntPoint>{{3, 8}, {9, 4}}));
  ASSERT_EQ(net.sent.size(), 2u);
  auto relayed = [](std::string text, uint32_t seq, int editId) {
    const std::string zero = "\"edit_id\":0";
    text.replace(text.find(zero), zero.size(), "\"edit_id\":" + std::to_string(editId));
    return text.insert(text.find(',') + 1, "\"seq_id\":" + std::to_string(seq) + ",");
  };
  const std::string first = net.sent[0];
  const std::string second = net.sent[1];
  Receive(relayed(first, 1, 4));
  Receive(
      "{\"id\":31002,\"seq_id\":2,\"cli_seq_id\":2,\"edit_id\":5,\"type\":\"curve\",\"curve\":{\"pid\":0,"
      "\"gid\":65536,\"action\":2,\"brush_size\":6,\"color\":1,\"points\":[[0,0]]}}");
  Receive(relayed(second, 3, 4));
  auto path = std::dynamic_pointer_cast<GraphPath>(board().FindPage(0)->FindGraph(gid));
  ASSERT_NE(path, nullptr);
  const std::vector<IntPoint> expected{{1, 1}, {2, 2}, {3, 8}, {9, 4}, {0, 0}};
  EXPECT_EQ(path->GetPoints(), expected) << "an own update applied again, or another's taken for an own one";
  EXPECT_EQ(board().FindPage(0)->GetGraphCount(), 1u);
}

// Verifies that a gesture cut by remote page changes lands in the history of the page it was
// made on, whichever window step ends it: a tool change, or a redraw after a second change.
TEST_F(BoardControllerTest, GestureCutByRemotePageChange) {
  PageUpdateCommand(0, 0, 1, 0).Apply(board());
  PageUpdateCommand(0, 0, 1, 0).Apply(board());
  board().SetEditId(3);
  board().SetNextSeqId(2);
  auto remoteSwitch = [](uint32_t seq, int pid) {
    return "{\"id\":30200,\"seq_id\":" + std::to_string(seq) +
           ",\"cli_seq_id\":1,\"edit_id\":9,\"type\":\"page\",\"page\":{\"pid\":" + std::to_string(pid) +
           ",\"action\":0}}";
  };
  auto undo = [&](int pid) { return board().FindPage(pid)->GetUndoCount(); };
  controller.SetOperation(kOpDraw);
  controller.SetGraphType(kGraphLine);
  controller.OnMouseDown(10, 10);
  controller.OnMouseMove(20, 20);
  Receive(remoteSwitch(2, 1));
  ASSERT_EQ(controller.GetCurrentPage(), 1);
  controller.SetGraphType(kGraphPath);
  EXPECT_EQ(undo(0), 1);
  EXPECT_EQ(undo(1), 0);

  controller.SetGraphType(kGraphLine);
  controller.OnMouseDown(10, 10);
  controller.OnMouseMove(30, 30);
  Receive(remoteSwitch(3, 2));
  Receive(remoteSwitch(4, 0));
  controller.Redraw();
  EXPECT_EQ(undo(1), 1);
  EXPECT_EQ(undo(2), 0);
  EXPECT_EQ(undo(0), 1);
}

// Verifies that a remote page switch landing while the window's thread ends a gesture (after
// the gesture's last step, before its entry in the history) leaves the gesture in the history
// of the page it was made on.
TEST_F(BoardControllerTest, RemoteSwitchWhileAGestureEnds) {
  struct SwitchingNet : RecordingNet {
    std::function<void()> onSend;
    int SendBoardData(const char* id, const uint8_t* data, uint32_t length) override {
      const int result = RecordingNet::SendBoardData(id, data, length);
      if (std::function<void()> send = std::move(onSend)) {
        onSend = nullptr;
        send();
      }
      return result;
    }
  } switching;
  controller.SetNet(&switching);
  PageUpdateCommand(0, 0, 1, 0).Apply(board());
  board().SetEditId(3);
  board().SetNextSeqId(2);
  controller.SetOperation(kOpDraw);
  controller.SetGraphType(kGraphLine);
  controller.OnMouseDown(10, 10);
  controller.OnMouseMove(20, 20);
  // The release's update goes out (once the gesture is in the history and the lock released);
  // the switch arrives on a network thread meanwhile.
  switching.onSend = [&] {
    std::thread network([&] {
      Receive(
          "{\"id\":30200,\"seq_id\":2,\"cli_seq_id\":1,\"edit_id\":9,\"type\":\"page\",\"page\":{\"pid\":1,"
          "\"action\":0}}");
    });
    network.join();
  };
  controller.OnMouseUp(30, 30);
  ASSERT_FALSE(switching.onSend) << "the release sent nothing";
  EXPECT_EQ(controller.GetCurrentPage(), 1);
  EXPECT_EQ(board().FindPage(0)->GetUndoCount(), 1);
  EXPECT_EQ(board().FindPage(1)->GetUndoCount(), 0);
}

// Verifies that a gesture's update goes out with the controller's lock released: while the
// network holds the send of a press's update, the window's thread can still redraw, and a
// network thread's request queued meanwhile goes out after the held send, in order.
TEST_F(BoardControllerTest, UpdateSentWithTheLockReleased) {
  struct HeldNet : RecordingNet {
    std::mutex mutex;
    std::condition_variable changed;
    bool hold = false;
    bool arrived = false;
    bool released = false;
    int SendBoardData(const char* id, const uint8_t* data, uint32_t length) override {
      const int result = RecordingNet::SendBoardData(id, data, length);
      std::unique_lock<std::mutex> lock(mutex);
      if (hold) {
        hold = false;
        arrived = true;
        changed.notify_all();
        changed.wait(lock, [&] { return released; });
      }
      return result;
    }
    bool WaitFor(const std::function<bool()>& condition) {
      std::unique_lock<std::mutex> lock(mutex);
      return changed.wait_for(lock, std::chrono::seconds(10), condition);
    }
    void Release() {
      std::lock_guard<std::mutex> lock(mutex);
      released = true;
      changed.notify_all();
    }
  } held;
  controller.SetNet(&held);
  board().SetEditId(3);
  controller.SetOperation(kOpDraw);
  controller.SetGraphType(kGraphLine);
  held.sent.clear();
  held.hold = true;
  std::thread window([&] { controller.OnMouseDown(10, 10); });
  ASSERT_TRUE(held.WaitFor([&] { return held.arrived; })) << "the press sent nothing";
  bool redrawn = false;
  std::thread painter([&] {
    controller.Redraw();
    std::lock_guard<std::mutex> lock(held.mutex);
    redrawn = true;
    held.changed.notify_all();
  });
  EXPECT_TRUE(held.WaitFor([&] { return redrawn; })) << "the lock was held across the send";
  Receive("{\"id\":30000,\"seq_id\":5}");  // a gap: the full-state request queues
  held.Release();
  window.join();
  painter.join();
  ASSERT_EQ(held.sent.size(), 2u);
  EXPECT_EQ(ReadBoardMsgHeader(held.sent[0].c_str(), held.sent[0].size()).id, kBoardLineUpdate);
  EXPECT_EQ(ReadBoardMsgHeader(held.sent[1].c_str(), held.sent[1].size()).id, kBoardFullStateRequest);
  EXPECT_EQ(held.sendsUnderLock, 0);
}

// Verifies the committed layer: while a free-hand stroke is drawn, each move draws only the
// stroke over the layer kept at its first frame; a remote update, the stroke's end and any
// other gesture draw the whole page again.
TEST_F(BoardControllerTest, StrokeDrawnOverTheCommittedLayer) {
  canvas.layers = true;
  board().SetEditId(3);
  board().SetNextSeqId(2);
  Receive(Line(2, 9, 70));
  controller.SetOperation(kOpDraw);
  controller.SetGraphType(kGraphPath);
  canvas.calls.clear();
  controller.OnMouseDown(10, 10);
  EXPECT_EQ(canvas.Count("clear"), 1);
  EXPECT_EQ(canvas.Count("save layer"), 1);
  canvas.calls.clear();
  controller.OnMouseMove(20, 20);
  controller.OnMouseMove(30, 25);
  EXPECT_EQ(canvas.Count("clear"), 0) << "the page was drawn again for a move";
  EXPECT_EQ(canvas.Count("line"), 0) << "a committed graph was drawn again for a move";
  EXPECT_EQ(canvas.Count("restore layer"), 2);
  EXPECT_EQ(canvas.Count("curve"), 2) << "the stroke is drawn over the layer";
  EXPECT_EQ(canvas.Count("end"), 2);
  canvas.calls.clear();
  Receive(Line(3, 9, 71));
  controller.OnMouseMove(40, 30);
  EXPECT_EQ(canvas.Count("clear"), 1) << "a remote update left the layer in use";
  EXPECT_EQ(canvas.Count("restore layer"), 0);
  canvas.calls.clear();
  controller.OnMouseUp(50, 30);
  EXPECT_EQ(canvas.Count("clear"), 1);
  EXPECT_EQ(canvas.Count("restore layer"), 0);
  canvas.calls.clear();
  controller.SetGraphType(kGraphLine);
  controller.OnMouseDown(10, 10);
  controller.OnMouseMove(60, 60);
  EXPECT_EQ(canvas.Count("restore layer"), 0) << "a line is not drawn over the layer";
  EXPECT_EQ(canvas.Count("clear"), 3) << "tool change, press and move each draw the page";
}

// Verifies that another participant's curve is drawn onto the kept layer as it grows: its
// add and each modify ask for the area they change only, and the paint puts the layer back
// and draws that area again, clipped, with the graphs that reach into it; a paint with
// nothing new draws nothing; any other update or a change made here draws the whole page.
TEST_F(BoardControllerTest, RemoteCurveDrawnOntoTheKeptLayer) {
  canvas.layers = true;
  board().SetEditId(3);
  board().SetNextSeqId(2);
  auto curve = [](uint32_t seq, int action, const std::string& points) {
    return "{\"id\":31002,\"seq_id\":" + std::to_string(seq) +
           ",\"cli_seq_id\":1,\"edit_id\":9,\"type\":\"curve\",\"curve\":{\"pid\":0,\"gid\":70,"
           "\"action\":" +
           std::to_string(action) + ",\"graph\":2,\"brush_size\":6,\"color\":1,\"points\":[" + points + "]}}";
  };
  Receive(Line(2, 9, 71));
  controller.Redraw();
  canvas.calls.clear();
  Receive(curve(3, 1, "[60,60],[70,70]"));
  EXPECT_EQ(canvas.invalidations, 1) << "only the line asked for the whole window";
  ASSERT_EQ(canvas.areas.size(), 1u);
  EXPECT_EQ(canvas.areas[0], "49 49 82 82") << "the curve's bounds, its margin and pen around them";
  controller.Redraw();
  EXPECT_EQ(canvas.Count("restore layer"), 1);
  EXPECT_EQ(canvas.Count("clip 49 49 82 82"), 1);
  EXPECT_EQ(canvas.Count("clear"), 1);
  EXPECT_EQ(canvas.Count("curve 60,60"), 1);
  EXPECT_EQ(canvas.Count("line"), 0) << "the line lies apart";
  EXPECT_EQ(canvas.Count("unclip"), 1);
  EXPECT_EQ(canvas.Count("save layer"), 1);

  canvas.calls.clear();
  Receive(curve(4, 2, "[90,60],[100,72]"));
  controller.Redraw();
  EXPECT_EQ(canvas.Count("clip"), 1);
  auto curveCall = [&] {
    for (const std::string& call : canvas.calls) {
      if (call.compare(0, 11, "curve 60,60") == 0) return call;
    }
    return std::string();
  };
  const std::string patched = curveCall();
  board().GetPainter().Invalidate();
  canvas.calls.clear();
  controller.Redraw();
  EXPECT_EQ(canvas.Count("clip"), 0);
  EXPECT_EQ(patched, curveCall()) << "the curve is drawn as the whole page draws it";
  canvas.calls.clear();
  Receive(curve(5, 2, "[12,4]"));
  controller.Redraw();
  EXPECT_EQ(canvas.Count("line 1 1 9 9"), 1) << "the line reaches into the area";
  canvas.calls.clear();
  controller.Redraw();
  EXPECT_EQ(canvas.Count("clip"), 0);
  EXPECT_EQ(canvas.Count("curve"), 0);
  EXPECT_EQ(canvas.Count("save layer"), 0);
  EXPECT_EQ(canvas.Count("restore layer"), 1);

  canvas.calls.clear();
  controller.Undo();
  EXPECT_EQ(canvas.Count("clip"), 0);
  EXPECT_EQ(canvas.Count("clear"), 1) << "a change made here draws the page";
}

// Verifies tools and pages: a non-draw operation resets the graph type; an edit-id request
// goes out while there is none; a page index outside the pages switches nothing; a switch
// with sync on is sent; clearing is sent and applied; 33 commands leave 32 undo entries.
TEST_F(BoardControllerTest, ToolsPagesAndUndoCap) {
  controller.SetOperation(kOpDraw);
  EXPECT_EQ(net.CountId(30001), 1);
  controller.SetGraphType(kGraphLine);
  controller.SetOperation(kOpSelect);
  EXPECT_EQ(controller.GetGraphType(), kGraphNone);
  controller.SetOperation(kOpDraw);
  const size_t sent = net.sent.size();
  controller.OnMouseDown(5, 5);
  EXPECT_EQ(net.sent.size(), sent);
  controller.SetGraphType(kGraphLine);
  for (int i = 0; i < 33; ++i) {
    controller.OnMouseDown(i, 0);
    controller.OnMouseUp(i, 50);
  }
  EXPECT_EQ(controller.GetUndoCount(), 32);
  canvas.calls.clear();
  controller.SetCurrentPage(3);
  EXPECT_EQ(canvas.Count("begin"), 0);
  PageUpdateCommand(0, 0, 1, 0).Apply(board());
  controller.SetCurrentPage(1);
  EXPECT_EQ(controller.GetCurrentPage(), 1);
  EXPECT_NE(net.sent.back().find("\"type\":\"page\",\"page\":{\"pid\":1,\"action\":0}"), std::string::npos);
  controller.SetCurrentPage(0);
  EXPECT_TRUE(controller.ClearCurrentPage());
  EXPECT_EQ(board().FindPage(0)->GetGraphCount(), 0u);
  EXPECT_EQ(controller.GetUndoCount(), 0);
  EXPECT_NE(net.sent.back().find("\"action\":3"), std::string::npos);
  controller.SetPageChangeSynMode(false);
  controller.SetCurrentPage(1);
  EXPECT_EQ(controller.GetCurrentPage(), 1);
  EXPECT_EQ(net.sent.back().find("\"pid\":1,\"action\":0"), std::string::npos);
}

// Verifies a remote page switch: followed with sync on and reported to the listener; with sync
// off kept until sync is switched on again.
TEST_F(BoardControllerTest, RemotePageSwitch) {
  struct Listener : ICoreBoardEventListener {
    void OnBoardSynUpdate(const std::string&, const BoardInfo&, int) override {}
    void OnRemoteChangePage(const std::string&, int page) override { pages.push_back(page); }
    std::vector<int> pages;
  } listener;
  controller.SetBoardId("b", &listener);
  PageUpdateCommand(0, 0, 1, 0).Apply(board());
  PageUpdateCommand(0, 0, 1, 0).Apply(board());
  board().SetNextSeqId(1);
  Receive(
      "{\"id\":30200,\"seq_id\":2,\"edit_id\":9,\"type\":\"page\",\"page\":{\"pid\":2,"
      "\"action\":0}}");
  EXPECT_EQ(controller.GetCurrentPage(), 2);
  EXPECT_EQ(listener.pages, std::vector<int>{2});
  controller.SetPageChangeSynMode(false);
  Receive(
      "{\"id\":30200,\"seq_id\":3,\"edit_id\":9,\"type\":\"page\",\"page\":{\"pid\":1,"
      "\"action\":0}}");
  EXPECT_EQ(controller.GetCurrentPage(), 2);
  controller.SetPageChangeSynMode(true);
  EXPECT_EQ(controller.GetCurrentPage(), 1);
}

// Runs `work` on a thread of its own, as the media framework delivers board data; false when
// it has not ended within 10 s (the blocked thread is then left behind).
bool EndsInTime(std::function<void()> work) {
  auto done = std::make_shared<std::promise<void>>();
  std::future<void> ended = done->get_future();
  std::thread([work = std::move(work), done] {
    work();
    done->set_value();
  }).detach();
  return ended.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
}

const char kFullState[] =
    "{\"id\":30004,\"seq_id\":4,\"data\":[{\"board\":{\"board_name\":\"b\",\"board_type\":0,"
    "\"width\":1280,\"height\":720,\"page\":2,\"current_pid\":0,\"file_path\":\"\","
    "\"convert_file_path\":\"\"}},{\"line\":{\"pid\":0,\"gid\":70,\"action\":1,\"graph\":1,"
    "\"brush_size\":6,\"color\":1,\"x1\":1,\"y1\":1,\"x2\":9,\"y2\":9}}]}";

// The application's handler, reached from a full state's board report.
struct CallingBackListener : ICoreBoardEventListener {
  std::function<void()> onInfo;
  std::vector<std::string> infos;
  void OnBoardSynUpdate(const std::string& id, const BoardInfo& info, int page) override {
    infos.push_back(id + " " + std::to_string(info.pageCount) + " " + std::to_string(page));
    if (onInfo) {
      onInfo();
    }
  }
  void OnRemoteChangePage(const std::string&, int) override {}
};

// Verifies that a handler answering a full state's report calls back into the same board on
// the delivering thread: clearing, switching the page with sync, undo and redo all return,
// and the report comes after the state was applied.
TEST_F(BoardControllerTest, FullStateHandlerCallsBackOnItsThread) {
  CallingBackListener listener;
  controller.SetBoardId("b", &listener);
  controller.SetOperation(kOpDraw);
  controller.SetGraphType(kGraphLine);
  controller.OnMouseDown(10, 10);
  controller.OnMouseUp(20, 20);
  size_t graphsSeen = 99;
  listener.onInfo = [&] {
    graphsSeen = board().FindPage(0)->GetGraphCount();
    EXPECT_TRUE(controller.Undo());
    EXPECT_TRUE(controller.Redo());
    controller.SetCurrentPage(1);
    EXPECT_TRUE(controller.ClearCurrentPage());
  };
  const size_t sentBefore = net.sent.size();
  ASSERT_TRUE(EndsInTime([&] { Receive(kFullState); })) << "the handler's calls never returned";
  EXPECT_EQ(listener.infos, std::vector<std::string>{"b 2 0"});
  EXPECT_EQ(graphsSeen, 2u) << "the state and the own line still on its way";
  EXPECT_EQ(controller.GetCurrentPage(), 1);
  EXPECT_EQ(board().GetNextSeqId(), 5u);
  ASSERT_GE(net.sent.size(), sentBefore + 2);
  EXPECT_NE(net.sent.back().find("\"pid\":1,\"action\":3"), std::string::npos);
}

// Verifies a handler that hands its call to the window's thread and waits for it there: the
// delivering thread holds none of the controller's locks while the handler runs.
TEST_F(BoardControllerTest, FullStateHandlerWaitsForTheWindowThread) {
  CallingBackListener listener;
  controller.SetBoardId("b", &listener);
  std::mutex mutex;
  std::condition_variable changed;
  bool asked = false, answered = false;
  std::thread window([&] {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [&] { return asked; });
    lock.unlock();
    controller.Undo();
    controller.ClearCurrentPage();
    lock.lock();
    answered = true;
    changed.notify_all();
  });
  listener.onInfo = [&] {
    std::unique_lock<std::mutex> lock(mutex);
    asked = true;
    changed.notify_all();
    changed.wait(lock, [&] { return answered; });
  };
  const bool ended = EndsInTime([&] { Receive(kFullState); });
  if (!ended) {
    window.detach();
    FAIL() << "the window thread never got the controller";
  }
  window.join();
  EXPECT_EQ(net.CountId(30200), 1);
}

}  // namespace
}  // namespace kiv_wb
