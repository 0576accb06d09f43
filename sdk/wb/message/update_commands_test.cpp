#include "wb/message/update_commands.h"

#include <gtest/gtest.h>

#include "wb/message/board_message.h"
#include "wb/model/board.h"
#include "wb/model/board_event_listener.h"
#include "wb/model/board_snapshot.h"
#include "wb/model/edit_settings.h"
#include "wb/model/graph_line.h"
#include "wb/model/graph_path.h"

namespace kiv_wb {
namespace {

class RecordingListener : public ICoreBoardEventListener {
 public:
  void OnBoardSynUpdate(const std::string& id, const BoardInfo& info, int page) override {
    boardId = id;
    last = info;
    currentPage = page;
    ++updates;
  }
  void OnRemoteChangePage(const std::string&, int) override {}
  std::string boardId;
  BoardInfo last;
  int currentPage = -1;
  int updates = 0;
};

class UpdateCommandsTest : public ::testing::Test {
 protected:
  EditSettings settings{1, nullptr};
  Board board{&settings};

  bool Receive(const std::string& text) {
    auto command = ParseBoardCommand(text.c_str(), text.size() + 1, &board);
    return command && command->Apply(board);
  }
  Page& Page0() { return *board.FindPage(0); }
};

// Verifies line add, replacement by id, modify keeping the pen, and delete.
TEST_F(UpdateCommandsTest, LineLifecycle) {
  FourPointGraphUpdateCommand(0, 0, 0, 5, 1, 1, 6, 0xFFFF0000, 0, 0, 10, 10).Apply(board);
  FourPointGraphUpdateCommand(0, 0, 0, 5, 1, 1, 8, 0xFF00FF00, 1, 1, 10, 10).Apply(board);
  ASSERT_EQ(Page0().GetGraphCount(), 1u);
  FourPointGraphUpdateCommand(0, 0, 0, 5, 2, 1, 20, 0, 3, 3, 30, 30).Apply(board);
  auto line = std::static_pointer_cast<GraphLine>(Page0().FindGraph(5));
  EXPECT_EQ(line->GetBrushSize(), 8);
  int x1, y1, x2, y2;
  line->GetPoints(&x1, &y1, &x2, &y2);
  EXPECT_EQ(x2, 30);
  // An add of another kind has no points to set and is ignored.
  EXPECT_TRUE(FourPointGraphUpdateCommand(0, 0, 0, 6, 1, 2, 6, 0, 0, 0, 1, 1).Apply(board));
  EXPECT_EQ(Page0().GetGraphCount(), 1u);
  FourPointGraphUpdateCommand(0, 0, 0, 5, 3, 1, 0, 0, 0, 0, 0, 0).Apply(board);
  EXPECT_EQ(Page0().GetGraphCount(), 0u);
}

// Verifies curve add and modify appending only the new points.
TEST_F(UpdateCommandsTest, CurveAppends) {
  PathGraphUpdateCommand(0, 0, 0, 9, 1, 6, 0, {{0, 0}, {0, 10}}).Apply(board);
  PathGraphUpdateCommand(0, 0, 0, 9, 2, 6, 0, {{5, 5}, {6, 6}}).Apply(board);
  auto path = std::static_pointer_cast<GraphPath>(Page0().FindGraph(9));
  EXPECT_EQ(path->GetPoints().size(), 4u);
  PathGraphUpdateCommand(0, 0, 0, 9, 3, 6, 0, {}).Apply(board);
  EXPECT_EQ(Page0().FindGraph(9), nullptr);
}

// Verifies page add whatever the pid, clear of one page with its histories, and the
// no-op cases.
TEST_F(UpdateCommandsTest, PageActions) {
  EXPECT_TRUE(PageUpdateCommand(0, 0, 1, 0).Apply(board));
  EXPECT_TRUE(PageUpdateCommand(0, 0, 1, 1).Apply(board));
  EXPECT_TRUE(PageUpdateCommand(0, 0, 1, 1).Apply(board));
  EXPECT_EQ(board.GetPageCount(), 4);
  EXPECT_EQ(board.FindPage(3)->GetId(), 3);
  FourPointGraphUpdateCommand(0, 0, 0, 1, 1, 1, 6, 0, 0, 0, 1, 1).Apply(board);
  FourPointGraphUpdateCommand(0, 0, 1, 2, 1, 1, 6, 0, 0, 0, 1, 1).Apply(board);
  EXPECT_TRUE(PageUpdateCommand(0, 0, 3, 0).Apply(board));
  EXPECT_EQ(Page0().GetGraphCount(), 0u);
  EXPECT_EQ(board.FindPage(1)->GetGraphCount(), 1u);
  const std::string before = DescribeBoard(board);
  EXPECT_TRUE(PageUpdateCommand(0, 0, 2, 1).Apply(board));
  EXPECT_FALSE(PageUpdateCommand(0, 0, 3, 9).Apply(board));
  EXPECT_FALSE(PageUpdateCommand(0, 0, 4, 0).Apply(board));
  EXPECT_EQ(DescribeBoard(board), before);
  EXPECT_TRUE(PageUpdateCommand(0, 0, 0, 2).Apply(board));
  EXPECT_EQ(board.GetCurrentPageIndex(), 2);
}

// Verifies moves: missing ids passed over, a missing page refused.
TEST_F(UpdateCommandsTest, GraphsMove) {
  FourPointGraphUpdateCommand(0, 0, 0, 1, 1, 1, 6, 0, 0, 0, 1, 1).Apply(board);
  EXPECT_TRUE(GraphsMoveCommand(0, 0, 0, {7, 1}, 10, 20).Apply(board));
  int x1, y1, x2, y2;
  std::static_pointer_cast<GraphLine>(Page0().FindGraph(1))->GetPoints(&x1, &y1, &x2, &y2);
  EXPECT_EQ(x1, 10);
  EXPECT_EQ(y2, 21);
  EXPECT_FALSE(GraphsMoveCommand(0, 0, 4, {1}, 10, 20).Apply(board));
}

// Verifies the full-board update: document fields, size, pages added or kept and cleared,
// and the report to the listener.
TEST_F(UpdateCommandsTest, FullBoardUpdate) {
  RecordingListener listener;
  board.SetEventListener(&listener);
  board.SetBoardId("b1");
  PageUpdateCommand(0, 0, 1, 0).Apply(board);
  FourPointGraphUpdateCommand(0, 0, 1, 1, 1, 1, 6, 0, 0, 0, 1, 1).Apply(board);
  BoardFullUpdateCommand(std::string("doc"), 1, 1920, 1080, 5, 1, "f", "c").Apply(board);
  EXPECT_EQ(board.GetPageCount(), 5);
  EXPECT_EQ(board.FindPage(4)->GetId(), 4);
  EXPECT_EQ(board.FindPage(1)->GetGraphCount(), 0u);
  EXPECT_EQ(board.GetWidth(), 1920);
  EXPECT_EQ(board.GetCurrentPageIndex(), 1);
  EXPECT_EQ(listener.boardId, "b1");
  EXPECT_EQ(listener.last.pageCount, 5);
  EXPECT_EQ(listener.last.convertFilePath, "c");
  EXPECT_EQ(listener.currentPage, 1);
  BoardFullUpdateCommand(std::string("doc"), 1, -1, -1, 1, -1, "", "").Apply(board);
  EXPECT_EQ(board.GetPageCount(), 5);
  EXPECT_EQ(board.GetWidth(), 1920);
  EXPECT_EQ(board.GetCurrentPageIndex(), 1);
}

// Verifies that malformed or hostile updates leave the board as it was: unknown graph,
// unknown page, a million points, endless pages.
TEST_F(UpdateCommandsTest, HostileUpdatesLeaveBoardUnchanged) {
  PathGraphUpdateCommand(0, 0, 0, 9, 1, 6, 0, {{0, 0}, {5, 9}}).Apply(board);
  FourPointGraphUpdateCommand(0, 0, 0, 1, 1, 1, 6, 0, 0, 0, 1, 1).Apply(board);
  const std::string before = DescribeBoard(board);
  const std::vector<std::string> hostile = {
      "{\"type\":\"line\",\"line\":{\"pid\":0,\"gid\":77,\"action\":2,\"x1\":1,\"y1\":1,"
      "\"x2\":2,\"y2\":2}}",
      "{\"type\":\"curve\",\"curve\":{\"pid\":0,\"gid\":77,\"action\":2,\"points\":[[1,1]]}}",
      "{\"type\":\"line\",\"line\":{\"pid\":99,\"gid\":2,\"action\":1,\"graph\":1}}",
      "{\"type\":\"line\",\"line\":{\"pid\":-7,\"gid\":2,\"action\":1,\"graph\":1}}",
      "{\"type\":\"line\",\"line\":{\"pid\":0,\"gid\":2,\"action\":1,\"graph\":7}}",
      "{\"type\":\"gmov\",\"gmov\":{\"pid\":5,\"ox\":1,\"oy\":0,\"graphs\":[1]}}",
      "{\"type\":\"page\",\"page\":{\"pid\":3,\"action\":3}}",
  };
  for (const std::string& text : hostile) {
    Receive(text);
    Receive(text);
    ASSERT_EQ(DescribeBoard(board), before) << text;
  }
  std::string many = "{\"type\":\"curve\",\"curve\":{\"pid\":0,\"gid\":9,\"action\":2,\"points\":[";
  for (int i = 0; i < 1000000; ++i) {
    many += i ? ",[" + std::to_string(i % 1000) + ",3]" : "[1,2]";
  }
  many += "]}}";
  EXPECT_FALSE(Receive(many));
  EXPECT_EQ(DescribeBoard(board), before);
  // A path only grows to the bound, message by message.
  std::vector<IntPoint> chunk;
  for (int i = 0; i < 60000; ++i) {
    chunk.push_back(IntPoint{i % 2, i});
  }
  EXPECT_TRUE(PathGraphUpdateCommand(0, 0, 0, 9, 2, 6, 0, chunk).Apply(board));
  EXPECT_FALSE(PathGraphUpdateCommand(0, 0, 0, 9, 2, 6, 0, chunk).Apply(board));
  const std::string endless = "{\"id\":30004,\"data\":[{\"board\":{\"page\":2147483647,\"width\":1,\"height\":1}}]}";
  EXPECT_EQ(ParseBoardFullSync(endless.c_str(), endless.size(), &board)[0], nullptr);
  for (int i = 0; i < 1100; ++i) {
    PageUpdateCommand(0, 0, 1, 0).Apply(board);
  }
  EXPECT_EQ(board.GetPageCount(), 1000);
}

}  // namespace
}  // namespace kiv_wb
