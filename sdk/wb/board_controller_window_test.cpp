// Two boards in windows of their own, kept in step through the loopback board service:
// mouse messages drawn on A's window show on B's, as the screen shows them.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "wb/board_controller.h"
#include "wb/canvas/gdip_canvas_impl.h"
#include "wb/canvas/testing/gdiplus_session.h"
#include "wb/model/board_snapshot.h"
#include "wb/testing/board_controller_testing.h"

namespace kiv_wb {
namespace {

// A board in a top-level window: left-button messages go to the controller, paint messages
// redraw through the canvas.
class BoardWindow {
 public:
  BoardWindow(BoardController& controller, int x, int y, int width, int height) : m_controller(controller) {
    static const wchar_t* kClass = L"WbTestBoardWindow";
    static bool registered = [] {
      WNDCLASSW wc = {};
      wc.style = CS_DBLCLKS;
      wc.lpfnWndProc = &BoardWindow::Proc;
      wc.hInstance = ::GetModuleHandleW(nullptr);
      wc.lpszClassName = kClass;
      wc.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
      return ::RegisterClassW(&wc) != 0;
    }();
    (void)registered;
    // Topmost: the screenshots must not show other programs' windows.
    m_window = ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE, kClass, L"board", WS_POPUP | WS_VISIBLE, x, y, width,
                                 height, nullptr, nullptr, ::GetModuleHandleW(nullptr), this);
    m_canvas.Attach(m_window);
    m_controller.SetCanvas(&m_canvas);
  }
  ~BoardWindow() {
    m_controller.SetCanvas(nullptr);
    ::DestroyWindow(m_window);
  }
  HWND Get() const { return m_window; }

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wp, LPARAM lp) {
    if (message == WM_NCCREATE) {
      auto* create = reinterpret_cast<CREATESTRUCTW*>(lp);
      ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<BoardWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) {
      return ::DefWindowProcW(window, message, wp, lp);
    }
    const int x = static_cast<short>(LOWORD(lp)), y = static_cast<short>(HIWORD(lp));
    switch (message) {
      case WM_LBUTTONDOWN:
        ::SetCapture(window);
        self->m_controller.OnMouseDown(x, y);
        return 0;
      case WM_MOUSEMOVE:
        if (wp & MK_LBUTTON) {
          self->m_controller.OnMouseMove(x, y);
        }
        return 0;
      case WM_LBUTTONUP:
        ::ReleaseCapture();
        self->m_controller.OnMouseUp(x, y);
        return 0;
      case WM_LBUTTONDBLCLK:
        self->m_controller.OnDoubleClick(x, y);
        return 0;
      case WM_ERASEBKGND:
        return 1;
      case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(window, &ps);
        self->m_canvas.SetPaintDC(dc);
        self->m_controller.Redraw();
        ::EndPaint(window, &ps);
        return 0;
      }
      default:
        return ::DefWindowProcW(window, message, wp, lp);
    }
  }

  BoardController& m_controller;
  kiv::GDIPCanvasImpl m_canvas;
  HWND m_window = nullptr;
};

void PumpMessages() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

LPARAM Point(int x, int y) { return MAKELPARAM(x, y); }

// The window's pixels as the screen shows them (0x00RRGGBB), saved as a PNG beside the test.
std::vector<uint32_t> CaptureWindow(HWND window, const wchar_t* name) {
  RECT r;
  ::GetWindowRect(window, &r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  HDC screen = ::GetDC(nullptr);
  HDC mem = ::CreateCompatibleDC(screen);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = w;
  info.bmiHeader.biHeight = -h;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP dib = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = ::SelectObject(mem, dib);
  ::BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  ::SelectObject(mem, old);
  std::vector<uint32_t> pixels(static_cast<const uint32_t*>(bits), static_cast<const uint32_t*>(bits) + w * h);
  for (uint32_t& p : pixels) {
    p &= 0x00FFFFFF;
  }
  {
    wchar_t module[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::wstring dir(module);
    dir = dir.substr(0, dir.find_last_of(L"\\/") + 1) + L"screenshots\\";
    ::CreateDirectoryW(dir.c_str(), nullptr);
    Gdiplus::Bitmap image(dib, nullptr);
    const CLSID png = {0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
    image.Save((dir + name).c_str(), &png, nullptr);
  }
  ::DeleteObject(dib);
  ::DeleteDC(mem);
  ::ReleaseDC(nullptr, screen);
  return pixels;
}

int CountColour(const std::vector<uint32_t>& pixels, uint32_t rgb) {
  int n = 0;
  for (uint32_t p : pixels) {
    n += p == rgb ? 1 : 0;
  }
  return n;
}

int CountDifferent(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
  int n = 0;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
    n += a[i] != b[i] ? 1 : 0;
  }
  return n;
}

class BoardWindowsTest : public ::testing::Test {
 protected:
  BoardWindowsTest() {
    ca.GetEditSettings().SetGraphIdPrefix(0x1111);
    cb.GetEditSettings().SetGraphIdPrefix(0x2222);
    service.Join(ca);
    service.Join(cb);
    windowA = std::make_unique<BoardWindow>(ca, 0, 0, 640, 360);
    windowB = std::make_unique<BoardWindow>(cb, 0, 400, 640, 360);
    Settle();
  }
  // Delivers everything relayed and lets both windows repaint.
  void Settle() {
    for (int i = 0; i < 3; ++i) {
      service.DeliverAll();
      PumpMessages();
      ::UpdateWindow(windowA->Get());
      ::UpdateWindow(windowB->Get());
    }
  }
  void Drag(HWND window, const std::vector<std::pair<int, int>>& path) {
    ::SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, Point(path[0].first, path[0].second));
    for (size_t i = 1; i < path.size(); ++i) {
      ::Sleep(12);
      ::SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, Point(path[i].first, path[i].second));
      service.DeliverAll();
      PumpMessages();
    }
    ::SendMessageW(window, WM_LBUTTONUP, 0, Point(path.back().first, path.back().second));
    Settle();
  }

  GdiplusSession gdiplus;
  LoopbackBoardService service;
  BoardController ca, cb;
  std::unique_ptr<BoardWindow> windowA, windowB;
};

// Verifies that a free-hand curve and a line drawn with mouse messages on A's window appear
// on B's window pixel for pixel, and that B moving A's line shows at A.
TEST_F(BoardWindowsTest, StrokesShowOnTheOtherWindow) {
  ca.SetOperation(kOpDraw);
  ca.SetGraphType(kGraphPath);
  Settle();
  std::vector<std::pair<int, int>> curve;
  for (int i = 0; i <= 40; ++i) {
    curve.emplace_back(40 + i * 12, 200 + static_cast<int>(60 * std::sin(i * 0.3)));
  }
  Drag(windowA->Get(), curve);
  ca.SetGraphType(kGraphLine);
  Drag(windowA->Get(), {{60, 60}, {200, 70}, {400, 90}});
  ASSERT_EQ(DescribeBoard(cb.GetBoard()), DescribeBoard(ca.GetBoard()));
  const auto a = CaptureWindow(windowA->Get(), L"board_a_strokes.png");
  const auto b = CaptureWindow(windowB->Get(), L"board_b_strokes.png");
  EXPECT_GT(CountColour(b, 0xFF0000), 500);
  EXPECT_EQ(CountDifferent(a, b), 0);

  // B selects A's line and drags it down by 100 pixels (200 board units).
  cb.SetOperation(kOpSelect);
  Settle();
  ::SendMessageW(windowB->Get(), WM_LBUTTONDOWN, MK_LBUTTON, Point(200, 72));
  ::SendMessageW(windowB->Get(), WM_LBUTTONUP, 0, Point(200, 72));
  Settle();
  ASSERT_EQ(cb.GetBoard().FindPage(0)->GetSelectedIds().size(), 1u);
  Drag(windowB->Get(), {{200, 72}, {200, 122}, {200, 172}});
  const std::string moved = DescribeBoard(ca.GetBoard());
  EXPECT_NE(moved.find("120,320 800,380"), std::string::npos) << moved;
  cb.SetOperation(kOpDraw);
  Settle();
  const auto a2 = CaptureWindow(windowA->Get(), L"board_a_moved.png");
  const auto b2 = CaptureWindow(windowB->Get(), L"board_b_moved.png");
  EXPECT_EQ(CountDifferent(a2, b2), 0);
  EXPECT_GT(CountDifferent(a, a2), 100);
}

// Verifies that a curve another participant draws, painted onto B's kept layer part by part
// as its updates arrive, shows as B's whole page drawn again shows it, and as A shows it.
TEST_F(BoardWindowsTest, RemoteCurvePaintedAsItGrows) {
  ca.SetOperation(kOpDraw);
  ca.SetGraphType(kGraphPath);
  cb.SetOperation(kOpDraw);
  Settle();
  // Under it, graphs it crosses: a line and another curve (drawn part by part at B too).
  ca.SetGraphType(kGraphLine);
  Drag(windowA->Get(), {{20, 100}, {300, 180}, {610, 270}});
  ca.SetGraphType(kGraphPath);
  std::vector<std::pair<int, int>> under;
  for (int i = 0; i <= 30; ++i) {
    under.emplace_back(320 + static_cast<int>(120 * std::cos(i * 0.21)),
                       180 + static_cast<int>(120 * std::sin(i * 0.21)));
  }
  Drag(windowA->Get(), under);
  std::vector<std::pair<int, int>> curve;
  for (int i = 0; i <= 50; ++i) {
    curve.emplace_back(30 + i * 11, 180 + static_cast<int>(90 * std::sin(i * 0.25)));
  }
  Drag(windowA->Get(), curve);
  ASSERT_EQ(DescribeBoard(cb.GetBoard()), DescribeBoard(ca.GetBoard()));
  const auto a = CaptureWindow(windowA->Get(), L"board_a_curve.png");
  const auto patched = CaptureWindow(windowB->Get(), L"board_b_curve_patched.png");
  cb.GetBoard().GetPainter().Invalidate();
  Settle();
  const auto whole = CaptureWindow(windowB->Get(), L"board_b_curve_whole.png");
  const int red = CountColour(whole, 0xFF0000);
  EXPECT_GT(red, 500);
  EXPECT_EQ(CountDifferent(a, whole), 0);
  EXPECT_EQ(CountDifferent(patched, whole), 0) << "the curve drawn part by part differs from the whole page drawn";
}

}  // namespace
}  // namespace kiv_wb
