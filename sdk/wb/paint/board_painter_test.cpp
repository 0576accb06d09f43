#include "wb/paint/board_painter.h"

#include <gtest/gtest.h>

#include "wb/paint/edit_view.h"
#include "wb/paint/testing/recording_canvas.h"

namespace kiv_wb {
namespace {

class FakeEditView : public IEditView {
 public:
  int draws = 0;
  float pixelSize = 0;
  int moved[3] = {};
  void SetTextFont(const std::string&, int, float px, uint32_t) override { pixelSize = px; }
  void SetText(const std::string&) override {}
  void MoveTo(int x, int y, int w) override { moved[0] = x, moved[1] = y, moved[2] = w; }
  std::string GetText() override { return "abc"; }
  void SetVisible(bool) override {}
  void GetRect(int* l, int* t, int* r, int* b) override { *l = 100, *t = 50, *r = 300, *b = 90; }
  void Draw(IBoardCanvas*) override { ++draws; }
};

// Verifies the scaling between board units and window pixels, with truncation and the
// zero-size guards.
TEST(BoardPainterTest, ConvertsBetweenBoardAndWindow) {
  RecordingCanvas canvas;
  BoardPainter painter;
  painter.SetCanvas(&canvas);
  painter.SetBoardSize(1280, 720);
  canvas.windowWidth = 640;
  EXPECT_EQ(painter.ToCanvasX(1000), 500);
  EXPECT_EQ(painter.ToBoardX(500), 1000);
  canvas.windowWidth = 1000;
  EXPECT_EQ(painter.ToCanvasX(3), 2);
  canvas.windowWidth = 0;
  EXPECT_EQ(painter.ToCanvasX(100), 0);
  EXPECT_EQ(painter.ToBoardX(100), 0);
  canvas.windowWidth = 640;
  painter.SetBoardSize(0, 720);
  EXPECT_EQ(painter.ToCanvasX(100), 0);
  EXPECT_EQ(painter.ToBoardX(100), 0);
  EXPECT_EQ(canvas.calls.back(), "size 0 720");
}

// Verifies that a frame reaches the canvas once, that the editor paints before the frame is
// presented, and that drawing calls are scaled.
TEST(BoardPainterTest, FramesAndScaledDrawing) {
  RecordingCanvas canvas;
  canvas.windowWidth = 640;
  canvas.windowHeight = 360;
  FakeEditView view;
  BoardPainter painter;
  painter.SetCanvas(&canvas);
  painter.BeginDraw();
  painter.BeginDraw();
  painter.DrawLine(100, 200, 300, 400);
  painter.DrawRect(10, 20, 4, 2);
  painter.SetPen(6, 0xFFFF0000);
  painter.EndDraw();
  EXPECT_EQ(canvas.Count("begin"), 1);
  EXPECT_EQ(canvas.calls[1], "line 50 100 150 200");
  EXPECT_EQ(canvas.calls[2], "rect 5 10 2 1");
  EXPECT_EQ(canvas.calls[3], "pen 6 4294901760");
  EXPECT_EQ(view.draws, 0);
  painter.SetEditView(&view);
  painter.BeginDraw();
  painter.EndDraw();
  EXPECT_EQ(view.draws, 1);
  EXPECT_EQ(canvas.Count("begin"), 2);
  EXPECT_EQ(canvas.Count("end"), 2);
}

// Verifies the curve hand-over: one anchor gives empty control vectors; controls follow their
// anchors and are scaled.
TEST(BoardPainterTest, CurveVectors) {
  RecordingCanvas canvas;
  canvas.windowWidth = 640;
  canvas.windowHeight = 360;
  BoardPainter painter;
  painter.SetCanvas(&canvas);
  painter.DrawCurve({{10, 10}}, {}, {});
  EXPECT_EQ(canvas.calls.back(), "curve 5,5");
  painter.DrawCurve({{0, 0}, {100, 100}}, {{20, 20}}, {{80, 80}});
  EXPECT_EQ(canvas.calls.back(), "curve 0,0 (10,10 40,40) 50,50");
}

// Verifies the text editor's positions: board units out to pixels and back, and the pixel
// font size from the window width.
TEST(BoardPainterTest, EditViewConversions) {
  RecordingCanvas canvas;
  canvas.windowWidth = 640;
  canvas.windowHeight = 360;
  FakeEditView view;
  BoardPainter painter;
  painter.SetCanvas(&canvas);
  painter.SetEditView(&view);
  painter.MoveEdit(200, 100, 800);
  EXPECT_EQ(view.moved[0], 100);
  EXPECT_EQ(view.moved[1], 50);
  EXPECT_EQ(view.moved[2], 400);
  int l, t, r, b;
  painter.GetEditRect(&l, &t, &r, &b);
  EXPECT_EQ(l, 200);
  EXPECT_EQ(t, 100);
  EXPECT_EQ(r, 600);
  EXPECT_EQ(b, 180);
  painter.SetEditFont("DejaVu Sans", 20, 0xFF000000);
  EXPECT_FLOAT_EQ(view.pixelSize, 10.0f);
  EXPECT_EQ(painter.GetEditText(), "abc");
}

}  // namespace
}  // namespace kiv_wb
