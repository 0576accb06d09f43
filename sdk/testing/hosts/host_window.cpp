#include "testing/hosts/host_window.h"

namespace kiv_test {

HWND CreateHostWindow(const wchar_t* className, const wchar_t* title, DWORD style, int stockBrush, const RECT& outer) {
  WNDCLASSW wc = {};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(stockBrush));
  wc.lpszClassName = className;
  RegisterClassW(&wc);
  return CreateWindowExW(0, className, title, style, outer.left, outer.top, outer.right - outer.left,
                         outer.bottom - outer.top, nullptr, nullptr, wc.hInstance, nullptr);
}

}  // namespace kiv_test
