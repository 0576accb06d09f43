// Drawing as the page fills: two drawers, each a board controller with a GDI+ canvas in a
// window of its own (run under wine64), joined by the loopback board service (the server's
// numbering and relay, no network). With 0, 50, 100 and 200 strokes of 100 points on the
// page, each drawer draws strokes of 80 mouse moves 15 ms apart through its window's
// messages; the bench prints what a mouse move costs in the drawer's window and how long a
// remote update takes from its arrival to its paint in the peer's window.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "percentile.h"
#include "wb/board_controller.h"
#include "wb/canvas/gdip_canvas_impl.h"
#include "wb/canvas/testing/gdiplus_session.h"
#include "wb/testing/board_controller_testing.h"

namespace {

using Clock = std::chrono::steady_clock;
using kiv_bench::Percentile;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// A board window as the whiteboard's: paint and mouse messages go to the controller.
struct Drawer {
  kiv_wb::BoardController controller;
  kiv::GDIPCanvasImpl canvas;
  HWND window = nullptr;
};

LRESULT CALLBACK BoardWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* drawer = reinterpret_cast<Drawer*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!drawer) return DefWindowProcW(window, message, wParam, lParam);
  const int x = static_cast<short>(LOWORD(lParam));
  const int y = static_cast<short>(HIWORD(lParam));
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      drawer->canvas.SetPaintDC(dc);
      drawer->controller.Redraw();
      EndPaint(window, &ps);
      return 0;
    }
    case WM_MOUSEMOVE:
      drawer->controller.OnMouseMove(x, y);
      return 0;
    case WM_LBUTTONDOWN:
      drawer->controller.OnMouseDown(x, y);
      return 0;
    case WM_LBUTTONUP:
      drawer->controller.OnMouseUp(x, y);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

void OpenWindow(Drawer& drawer, int left) {
  static bool registered = false;
  if (!registered) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = BoardWndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"BoardDrawingBench";
    RegisterClassExW(&wc);
    registered = true;
  }
  drawer.window = CreateWindowExW(0, L"BoardDrawingBench", L"board", WS_POPUP | WS_VISIBLE, left, 0, 640, 360, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
  SetWindowLongPtrW(drawer.window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&drawer));
  drawer.canvas.Attach(drawer.window);
  drawer.controller.SetCanvas(&drawer.canvas);
}

// Runs the window messages waiting (paints included).
void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

// A stroke of `points` points across the page in board units, starting at row `row`.
std::vector<POINT> StrokePoints(int row, int points) {
  std::vector<POINT> p;
  const int y = 20 + (row * 7) % 320;
  for (int k = 0; k < points; ++k) p.push_back({10 + (k * 600) / points, y + (k % 5) * 3});
  return p;
}

// Draws nothing, with the windows' size: filling the page paints nothing.
class NullCanvas : public kiv_wb::IBoardCanvas {
 public:
  void BeginDraw() override {}
  void EndDraw() override {}
  void Invalidate() override {}
  void SetSize(int, int) override {}
  void SetPen(int, uint32_t) override {}
  void SetDash(const int*, int) override {}
  void SetFont(const std::string&, int, uint32_t) override {}
  void SetFontW(const std::wstring&, int, uint32_t) override {}
  int GetWidth() override { return 640; }
  int GetHeight() override { return 360; }
  void Clear(uint8_t, uint8_t, uint8_t) override {}
  void DrawBackground(const std::string&) override {}
  void DrawLine(int, int, int, int) override {}
  void DrawCurve(const std::vector<kiv_wb::IntPoint>&, const std::vector<kiv_wb::IntPoint>&,
                 const std::vector<kiv_wb::IntPoint>&) override {}
  void DrawRect(int, int, int, int) override {}
  void DrawText(const std::string&, int, int, int, int) override {}
  void DrawTextW(const std::wstring&, int, int, int, int) override {}
};

// Strokes drawn straight through the controller (filling the page, not measured).
void Fill(kiv_wb::LoopbackBoardService& service, Drawer& drawer, int strokes, int first) {
  NullCanvas none;
  drawer.controller.SetCanvas(&none);
  for (int s = 0; s < strokes; ++s) {
    const std::vector<POINT> p = StrokePoints(first + s, 100);
    drawer.controller.OnMouseDown(p[0].x, p[0].y);
    for (size_t k = 1; k < p.size(); ++k) drawer.controller.OnMouseMove(p[k].x, p[k].y);
    drawer.controller.OnMouseUp(p.back().x, p.back().y);
    service.DeliverAll();
  }
  drawer.controller.SetCanvas(&drawer.canvas);
  InvalidateRect(drawer.window, nullptr, FALSE);
}

struct Samples {
  std::vector<double> move;    // a mouse move's cost in the drawer's window
  std::vector<double> remote;  // arrival of the peer's updates until painted
};

// Delivers what the service holds and paints the peer's window: arrival to paint.
void DeliverAndPaint(kiv_wb::LoopbackBoardService& service, Drawer& peer, Samples* samples) {
  const auto start = Clock::now();
  service.DeliverAll();
  UpdateWindow(peer.window);
  Pump();
  samples->remote.push_back(Ms(Clock::now() - start));
}

// One stroke of 80 mouse moves 15 ms apart through the drawer's window; the peer gets the
// updates every 3 moves (as a pen's updates arrive) and at the end.
void DrawStroke(kiv_wb::LoopbackBoardService& service, Drawer& drawer, Drawer& peer, int row, Samples* samples) {
  const std::vector<POINT> p = StrokePoints(row, 81);
  SendMessageW(drawer.window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p[0].x, p[0].y));
  for (size_t k = 1; k < p.size(); ++k) {
    const auto next = Clock::now() + std::chrono::milliseconds(15);
    const auto start = Clock::now();
    SendMessageW(drawer.window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(p[k].x, p[k].y));
    Pump();
    samples->move.push_back(Ms(Clock::now() - start));
    if (k % 3 == 0) DeliverAndPaint(service, peer, samples);
    std::this_thread::sleep_until(next);
  }
  SendMessageW(drawer.window, WM_LBUTTONUP, 0, MAKELPARAM(p.back().x, p.back().y));
  DeliverAndPaint(service, peer, samples);
}

}  // namespace

int main() {
  kiv_wb::GdiplusSession gdiplus;
  kiv_wb::LoopbackBoardService service;
  Drawer a, b;
  a.controller.GetEditSettings().SetGraphIdPrefix(0x1111);
  b.controller.GetEditSettings().SetGraphIdPrefix(0x2222);
  service.Join(a.controller);
  service.Join(b.controller);
  OpenWindow(a, 0);
  OpenWindow(b, 640);
  service.DeliverAll();
  for (Drawer* d : {&a, &b}) {
    d->controller.SetOperation(kiv_wb::kOpDraw);
    d->controller.SetGraphType(kiv_wb::kGraphPath);
  }
  service.DeliverAll();
  Pump();
  std::printf(
      "two drawers under wine64, 640x360 windows, strokes of 80 mouse moves 15 ms apart "
      "(targets with 200 strokes of 100 points: move <= 25 ms, remote <= 40 ms)\n");
  int filled = 0;
  for (int strokes : {0, 50, 100, 200}) {
    Fill(service, filled % 2 ? b : a, strokes - filled, filled);
    filled = strokes;
    Pump();
    Samples samples;
    for (int s = 0; s < 4; ++s) {
      DrawStroke(service, s % 2 ? b : a, s % 2 ? a : b, 1000 + s, &samples);
    }
    std::printf(
        "%3d strokes on the page: mouse move in the drawer's window median %.1f ms, p95 %.1f ms; "
        "remote update arrival to paint median %.1f ms, p95 %.1f ms\n",
        strokes, Percentile(samples.move, 0.5), Percentile(samples.move, 0.95), Percentile(samples.remote, 0.5),
        Percentile(samples.remote, 0.95));
    std::fflush(stdout);
  }
  a.controller.SetCanvas(nullptr);
  b.controller.SetCanvas(nullptr);
  DestroyWindow(a.window);
  DestroyWindow(b.window);
  return 0;
}
