#include "wb/canvas/gdip_canvas_impl.h"

#include <gtest/gtest.h>

#include "wb/canvas/testing/gdiplus_session.h"
#include "wb/model/board.h"
#include "wb/model/edit_settings.h"
#include "wb/model/graph_line.h"
#include "wb/model/graph_path.h"

namespace kiv {
namespace {

// A plain top-level window of the given size, destroyed with the holder.
class TestWindow {
 public:
  TestWindow(int width, int height) {
    m_window = ::CreateWindowExW(0, L"STATIC", L"board", WS_POPUP, 0, 0, width, height, nullptr, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
  }
  ~TestWindow() { ::DestroyWindow(m_window); }
  HWND Get() const { return m_window; }

 private:
  HWND m_window = nullptr;
};

uint32_t Pixel(GDIPCanvasImpl& canvas, int x, int y) {
  Gdiplus::Color c;
  canvas.GetBackBuffer()->GetPixel(x, y, &c);
  return c.GetValue();
}

class GdipCanvasTest : public ::testing::Test {
 protected:
  kiv_wb::GdiplusSession gdiplus;
};

// Verifies the back buffer: cleared colours, rectangles from any two corners, a size change
// that discards the content and the same size that keeps it.
TEST_F(GdipCanvasTest, BackBufferAndRect) {
  TestWindow window(640, 360);
  GDIPCanvasImpl canvas;
  ASSERT_TRUE(canvas.Attach(window.Get()));
  EXPECT_EQ(canvas.GetWidth(), 640);
  EXPECT_EQ(canvas.GetHeight(), 360);
  canvas.Clear(255, 255, 255);
  canvas.SetPen(1, 0xFF0000FF);
  canvas.DrawRect(10, 20, 4, 2);
  EXPECT_EQ(Pixel(canvas, 4, 10), 0xFF0000FFu);
  EXPECT_EQ(Pixel(canvas, 10, 10), 0xFF0000FFu);
  EXPECT_EQ(Pixel(canvas, 7, 10), 0xFFFFFFFFu);
  canvas.SetSize(1280, 720);
  EXPECT_EQ(Pixel(canvas, 4, 10), 0xFF0000FFu);
  canvas.SetSize(800, 600);
  EXPECT_EQ(canvas.GetBackBuffer()->GetWidth(), 800u);
  EXPECT_NE(Pixel(canvas, 4, 10), 0xFF0000FFu);
}

// Verifies dashes on and back to solid, and that an empty background paints white while a
// missing image draws nothing.
TEST_F(GdipCanvasTest, DashAndBackground) {
  TestWindow window(1280, 720);
  GDIPCanvasImpl canvas;
  canvas.Attach(window.Get());
  canvas.Clear(0, 0, 0);
  canvas.DrawBackground("");
  EXPECT_EQ(Pixel(canvas, 100, 100), 0xFFFFFFFFu);
  canvas.DrawBackground("no-such-image.png");
  canvas.DrawBackground("no-such-image.png");
  EXPECT_EQ(Pixel(canvas, 100, 100), 0xFFFFFFFFu);
  const int dash[2] = {2, 1};
  canvas.SetPen(2, 0xFF000000);
  canvas.SetDash(dash, 2);
  canvas.DrawLine(0, 50, 600, 50);
  int dark = 0;
  for (int x = 10; x < 590; ++x) {
    dark += Pixel(canvas, x, 50) == 0xFF000000u ? 1 : 0;
  }
  EXPECT_GT(dark, 250);
  EXPECT_LT(dark, 500);
  canvas.SetDash(nullptr, 0);
  canvas.DrawLine(0, 60, 600, 60);
  dark = 0;
  for (int x = 10; x < 590; ++x) {
    dark += Pixel(canvas, x, 60) == 0xFF000000u ? 1 : 0;
  }
  EXPECT_EQ(dark, 580);
}

// Verifies a board page drawn through the painter into a window of half the board's size:
// the line and the curve land where the board coordinates scale to.
TEST_F(GdipCanvasTest, BoardPageScaledToWindow) {
  TestWindow window(640, 360);
  GDIPCanvasImpl canvas;
  canvas.Attach(window.Get());
  kiv_wb::EditSettings settings(1, nullptr);
  kiv_wb::Board board(&settings);
  board.GetPainter().SetCanvas(&canvas);
  auto line = std::make_shared<kiv_wb::GraphLine>(1, &board, 0);
  line->SetPen(6, 0xFFFF0000);
  line->SetPoints(100, 100, 1100, 100);
  auto path = std::make_shared<kiv_wb::GraphPath>(2, &board, 0);
  path->SetPen(6, 0xFF0000FF);
  for (int i = 0; i <= 20; ++i) {
    path->AddPoint(100 + i * 50, 400 + (i % 2) * 40);
  }
  board.FindPage(0)->AddGraph(line);
  board.FindPage(0)->AddGraph(path);
  board.GetPainter().BeginDraw();
  board.DrawCurrentPage();
  board.GetPainter().EndDraw();
  EXPECT_EQ(Pixel(canvas, 300, 50), 0xFFFF0000u);
  EXPECT_EQ(Pixel(canvas, 300, 60), 0xFFFFFFFFu);
  EXPECT_EQ(Pixel(canvas, 700, 50), 0xFFFFFFFFu);
  int blue = 0;
  for (int y = 190; y < 230; ++y) {
    blue += Pixel(canvas, 300, y) == 0xFF0000FFu ? 1 : 0;
  }
  EXPECT_GT(blue, 0);
}

// Verifies text drawing from the top left corner whatever right and bottom say, and that
// measuring gives a size.
TEST_F(GdipCanvasTest, Text) {
  TestWindow window(1280, 720);
  GDIPCanvasImpl canvas;
  canvas.Attach(window.Get());
  canvas.Clear(255, 255, 255);
  canvas.SetFont("DejaVu Sans", 20, 0xFF000000);
  canvas.DrawText("Hello", 100, 100, 0, 0);
  int dark = 0;
  for (int y = 100; y < 140; ++y) {
    for (int x = 100; x < 180; ++x) {
      dark += Pixel(canvas, x, y) != 0xFFFFFFFFu ? 1 : 0;
    }
  }
  EXPECT_GT(dark, 20);
  // The board's default face is not installed here: another family stands in.
  canvas.Clear(255, 255, 255);
  canvas.SetFont("\xE6\x96\xB0\xE5\xAE\x8B\xE4\xBD\x93", 20, 0xFF000000);
  canvas.DrawText("Hello", 100, 100, 0, 0);
  dark = 0;
  for (int y = 100; y < 140; ++y) {
    for (int x = 100; x < 180; ++x) {
      dark += Pixel(canvas, x, y) != 0xFFFFFFFFu ? 1 : 0;
    }
  }
  EXPECT_GT(dark, 20);
  int w = 0, h = 0;
  canvas.MeasureTextW(L"Hello", &w, &h);
  EXPECT_GT(w, 20);
  EXPECT_GT(h, 10);
}

}  // namespace
}  // namespace kiv
