#include <gtest/gtest.h>

#include <random>

#include "wb/model/graph_factory.h"
#include "wb/model/graph_line.h"
#include "wb/model/graph_path.h"
#include "wb/model/graph_text.h"
#include "wb/paint/board_painter.h"
#include "wb/paint/testing/recording_canvas.h"

namespace kiv_wb {
namespace {

// Verifies the line's hit tolerance of max(brush, 4) / 2 and that every test writes the flag.
TEST(GraphLineTest, HitToleranceFollowsBrush) {
  GraphLine wide(1, nullptr, 0);
  wide.SetPen(10, 0);
  wide.SetPoints(0, 100, 200, 100);
  EXPECT_TRUE(wide.HitTest(50, 105));
  EXPECT_TRUE(wide.IsSelected());
  EXPECT_FALSE(wide.HitTest(50, 106));
  EXPECT_FALSE(wide.IsSelected());
  GraphLine thin(2, nullptr, 0);
  thin.SetPen(1, 0);
  thin.SetPoints(0, 100, 200, 100);
  EXPECT_TRUE(thin.HitTest(50, 102));
  EXPECT_FALSE(thin.HitTest(50, 103));
  EXPECT_TRUE(thin.HitTestTolerance(50, 110, 10));
  EXPECT_FALSE(thin.HitTestTolerance(50, 103, -1));
  // Beyond the end of the segment the box test fails although the line continues.
  EXPECT_FALSE(thin.HitTest(210, 100));
  EXPECT_EQ(wide.GetRect(), (BoardRect{-10, 90, 210, 110}));
}

// Verifies a zero-length line: drawn one unit downwards, hit within the box.
TEST(GraphLineTest, PointLine) {
  RecordingCanvas canvas;
  BoardPainter painter;
  painter.SetCanvas(&canvas);
  GraphLine dot(1, nullptr, 0);
  dot.SetPen(6, 0xFF00FF00);
  dot.SetPoints(40, 40, 40, 40);
  dot.Draw(painter);
  EXPECT_EQ(canvas.calls.back(), "line 40 40 40 41");
  EXPECT_TRUE(dot.HitTest(43, 37));
  EXPECT_FALSE(dot.HitTest(44, 40));
  // Selected: the frame follows in the selection style.
  EXPECT_TRUE(dot.HitTest(40, 40));
  dot.Draw(painter);
  EXPECT_EQ(canvas.Count("rect"), 1);
  EXPECT_EQ(canvas.calls.back(), "dash 0");
}

// Verifies selection by rectangle (edges included) and moving.
TEST(GraphLineTest, SelectByRectAndMove) {
  GraphLine line(1, nullptr, 0);
  line.SetPen(6, 0xFF000000);
  line.SetPoints(10, 10, 20, 20);
  EXPECT_TRUE(line.SelectByRect(10, 10, 20, 20));
  EXPECT_FALSE(line.SelectByRect(11, 10, 20, 20));
  EXPECT_TRUE(line.Move(5, -5));
  int x1, y1, x2, y2;
  line.GetPoints(&x1, &y1, &x2, &y2);
  EXPECT_EQ(x1, 15);
  EXPECT_EQ(y2, 15);
  EXPECT_EQ(line.GetRect(), (BoardRect{9, -1, 31, 21}));
}

// Verifies that a point on the line of the last segment extends it, the first three points
// always stay, and the bounds include the margin.
TEST(GraphPathTest, CollinearPointsExtendTheLastSegment) {
  GraphPath path(1, nullptr, 0);
  path.SetPen(6, 0);
  path.AddPoint(0, 0);
  path.AddPoint(10, 0);
  path.AddPoint(20, 0);
  EXPECT_EQ(path.GetPoints().size(), 3u);
  path.AddPoint(30, 0);
  ASSERT_EQ(path.GetPoints().size(), 3u);
  EXPECT_EQ(path.GetPoints()[2], (IntPoint{30, 0}));
  EXPECT_EQ(path.GetRect(), (BoardRect{-6, -6, 36, 7}));
  path.AddPoint(30, 10);
  EXPECT_EQ(path.GetPoints().size(), 4u);
  EXPECT_FALSE(path.SelectByRect(0, 0, 30, 10));
  EXPECT_TRUE(path.SelectByRect(-6, -6, 36, 16));
}

// Verifies that bounds kept while points are added equal bounds computed from the whole list.
TEST(GraphPathTest, IncrementalBoundsMatchRebuild) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> coord(0, 60);
  for (int round = 0; round < 200; ++round) {
    GraphPath grown(1, nullptr, 0);
    grown.SetPen(round % 9, 0);
    for (int i = 0; i < 1 + round % 12; ++i) {
      grown.AddPoint(coord(rng), coord(rng) % 3 == 0 ? 5 : coord(rng));
    }
    GraphPath rebuilt(2, nullptr, 0);
    rebuilt.SetPen(round % 9, 0);
    rebuilt.SetPointList(grown.GetPoints());
    ASSERT_EQ(grown.GetRect(), rebuilt.GetRect()) << "round " << round;
  }
}

// Verifies path hit tests per segment and for a single point, and its curve controls.
TEST(GraphPathTest, HitTestAndDraw) {
  GraphPath path(1, nullptr, 0);
  path.SetPen(6, 0xFF0000FF);
  path.AddPoint(0, 0);
  EXPECT_TRUE(path.HitTest(3, 3));
  EXPECT_FALSE(path.HitTest(5, 0));
  path.AddPoint(100, 0);
  path.AddPoint(100, 100);
  EXPECT_TRUE(path.HitTest(100, 50));
  EXPECT_TRUE(path.HitTest(50, 3));
  EXPECT_FALSE(path.HitTest(50, 4));
  EXPECT_TRUE(path.HitTestTolerance(50, 14, 11));
  RecordingCanvas canvas;
  BoardPainter painter;
  painter.SetCanvas(&canvas);
  path.Unselect();
  path.Draw(painter);
  EXPECT_EQ(canvas.calls.back(), "curve 0,0 (10,0 90,-10) 100,0 (110,10 100,90) 100,100");
  EXPECT_TRUE(path.Move(1, 2));
  EXPECT_EQ(path.GetPoints()[2], (IntPoint{101, 102}));
}

// Verifies text hit tests, the unset rectangle and drawing without text.
TEST(GraphTextTest, RectAndHits) {
  GraphText text(3, nullptr, 0);
  EXPECT_EQ(text.GetRect(), BoardRect{});
  text.SetRect(10, 10, 50, 30);
  EXPECT_TRUE(text.HitTest(50, 30));
  EXPECT_FALSE(text.HitTest(51, 30));
  EXPECT_TRUE(text.HitTestTolerance(53, 30, 1));
  RecordingCanvas canvas;
  BoardPainter painter;
  painter.SetCanvas(&canvas);
  text.Unselect();
  text.Draw(painter);
  EXPECT_TRUE(canvas.calls.empty());
  text.SetText("hi");
  text.SetFont("DejaVu Sans", 20, 0xFF112233);
  text.Draw(painter);
  EXPECT_EQ(canvas.calls.back(), "text hi 10 10 50 30");
}

// Verifies the factory's kinds.
TEST(GraphFactoryTest, Kinds) {
  EXPECT_EQ(CreateGraph(1, 5, nullptr, 0)->GetKind(), 1);
  EXPECT_EQ(CreateGraph(2, 5, nullptr, 0)->GetKind(), 2);
  EXPECT_EQ(CreateGraph(3, 5, nullptr, 0)->GetKind(), 3);
  EXPECT_EQ(CreateGraph(4, 5, nullptr, 0), nullptr);
}

// Verifies that distances stay sound at coordinates where 32-bit products would overflow.
TEST(GraphBaseTest, DistanceAtLargeCoordinates) {
  EXPECT_EQ(GraphBase::DistanceToLine(0, 5, -2000000000, 0, 2000000000, 0), 5);
  EXPECT_EQ(GraphBase::DistanceToLine(3, 3, 7, 7, 7, 7), INT32_MIN);
}

}  // namespace
}  // namespace kiv_wb
