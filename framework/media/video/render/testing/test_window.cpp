#include "test_window.h"

namespace tessarine_test {
namespace {

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      ValidateRect(hwnd, nullptr);
      return 0;
    default:
      return DefWindowProcW(hwnd, message, wparam, lparam);
  }
}

const wchar_t* WindowClass() {
  static const wchar_t kName[] = L"TessarineTestWindow";
  static bool registered = false;
  if (!registered) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kName;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    RegisterClassW(&wc);
    registered = true;
  }
  return kName;
}

}  // namespace

TestWindow::TestWindow(int x, int y, int width, int height) : width_(width), height_(height) {
  // Shown without taking activation: the focus of other programs' windows (window tests
  // running at the same time) stays where it is.
  hwnd_ = CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE, WindowClass(), L"render test", WS_POPUP, x, y, width,
                          height, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (hwnd_) ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
  Pump();
}

TestWindow::~TestWindow() {
  if (hwnd_) DestroyWindow(hwnd_);
  Pump();
}

void TestWindow::Pump() {
  MSG msg;
  for (int round = 0; round < 5; ++round) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(10);
  }
}

std::vector<uint32_t> TestWindow::ReadPixels() const {
  std::vector<uint32_t> pixels(static_cast<size_t>(width_) * height_, 0);
  HDC window_dc = GetDC(hwnd_);
  HDC memory_dc = CreateCompatibleDC(window_dc);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width_;
  info.bmiHeader.biHeight = -height_;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(window_dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory_dc, bitmap);
  BitBlt(memory_dc, 0, 0, width_, height_, window_dc, 0, 0, SRCCOPY);
  GdiFlush();
  const uint32_t* src = static_cast<const uint32_t*>(bits);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = src[i] & 0xFFFFFF;
  SelectObject(memory_dc, old);
  DeleteObject(bitmap);
  DeleteDC(memory_dc);
  ReleaseDC(hwnd_, window_dc);
  return pixels;
}

}  // namespace tessarine_test
