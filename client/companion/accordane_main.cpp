// Accordane: a stand-in for the negotiation companion program that the meeting client
// starts from its companion button. It shows one window that says what it is.
#include <windows.h>

namespace {

constexpr wchar_t kClassName[] = L"AccordaneStandIn";
constexpr wchar_t kTitle[] = L"Accordane";
constexpr wchar_t kText[] =
    L"Accordane (stand-in)\r\n\r\n"
    L"This window stands in for the negotiation companion program that Parleywright starts "
    L"from its companion button. The real program is not part of this system.";

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = ::BeginPaint(hwnd, &ps);
      RECT rc;
      ::GetClientRect(hwnd, &rc);
      ::InflateRect(&rc, -24, -24);
      HGDIOBJ old = ::SelectObject(dc, ::GetStockObject(DEFAULT_GUI_FONT));
      ::SetBkMode(dc, TRANSPARENT);
      ::DrawTextW(dc, kText, -1, &rc, DT_LEFT | DT_TOP | DT_WORDBREAK);
      ::SelectObject(dc, old);
      ::EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_SIZE:
      ::InvalidateRect(hwnd, nullptr, TRUE);
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int show) {
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = instance;
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = kClassName;
  if (!::RegisterClassExW(&wc)) return 1;
  HWND hwnd = ::CreateWindowExW(0, kClassName, kTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 520, 240,
                                nullptr, nullptr, instance, nullptr);
  if (!hwnd) return 1;
  ::ShowWindow(hwnd, show);
  ::UpdateWindow(hwnd);
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return 0;
}
