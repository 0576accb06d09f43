#include "testing/client_test_support.h"

#include <objidl.h>

#include <algorithm>
#include <string>

namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>

bool CloseNextMessageBox(DWORD timeout_ms) {
  const DWORD start = ::GetTickCount();
  while (::GetTickCount() - start < timeout_ms) {
    HWND box = ::FindWindowW(L"CMessageBox", nullptr);
    if (box && ::IsWindowVisible(box)) {
      ::PostMessageW(box, WM_CLOSE, 0, 0);
      return true;
    }
    ::Sleep(20);
  }
  return false;
}

std::wstring SaveScreenshot(const wchar_t* name) {
  static ULONG_PTR token = [] {
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR t = 0;
    Gdiplus::GdiplusStartup(&t, &input, nullptr);
    return t;
  }();
  (void)token;
  wchar_t module[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, module, MAX_PATH);
  std::wstring dir(module);
  dir = dir.substr(0, dir.find_last_of(L"\\/") + 1) + L"screenshots\\";
  ::CreateDirectoryW(dir.c_str(), nullptr);
  const std::wstring path = dir + name;

  const int w = ::GetSystemMetrics(SM_CXSCREEN), h = ::GetSystemMetrics(SM_CYSCREEN);
  HDC screen = ::GetDC(nullptr);
  HDC mem = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, w, h);
  HGDIOBJ old = ::SelectObject(mem, bitmap);
  ::BitBlt(mem, 0, 0, w, h, screen, 0, 0, SRCCOPY);
  ::SelectObject(mem, old);
  bool saved = false;
  {
    Gdiplus::Bitmap image(bitmap, nullptr);
    // The PNG encoder of GDI+.
    const CLSID png = {0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
    saved = image.Save(path.c_str(), &png, nullptr) == Gdiplus::Ok;
  }
  ::DeleteObject(bitmap);
  ::DeleteDC(mem);
  ::ReleaseDC(nullptr, screen);
  return saved ? path : std::wstring();
}
