#include "video/video_render_window_class.h"

bool RegisterVideoRenderClass(HINSTANCE instance) {
  WNDCLASSEXW existing = {};
  existing.cbSize = sizeof(existing);
  if (::GetClassInfoExW(instance, kVideoRenderWindowClass, &existing)) return true;
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = ::DefWindowProcW;
  wc.hInstance = instance;
  wc.hIcon = ::LoadIconW(nullptr, IDI_APPLICATION);
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
  wc.lpszClassName = kVideoRenderWindowClass;
  return ::RegisterClassExW(&wc) != 0;
}
