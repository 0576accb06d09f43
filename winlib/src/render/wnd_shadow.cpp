#include "winlib/wnd_shadow.h"

#include <algorithm>
#include <map>
#include <string>

#include "gdiplus_include.h"
#include "render_internal.h"
#include "winlib/gdi_object.h"
#include "winlib/paint_manager.h"

namespace DuiLib {
namespace {

constexpr wchar_t kShadowClass[] = L"WinlibWndShadow";

struct Hook {
  CWndShadow* shadow;
  WNDPROC old_proc;
};

// Parents whose window procedure runs through the shadow; the entry outlives the shadow
// object until the parent window is gone, so that the chain stays intact.
std::map<HWND, Hook>& Hooks() {
  static auto* hooks = new std::map<HWND, Hook>();
  return *hooks;
}

bool g_initialized = false;

}  // namespace

bool CWndShadow::Initialize(HINSTANCE hInstance) {
  if (g_initialized) return true;
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = ::DefWindowProcW;
  wc.hInstance = hInstance ? hInstance : ::GetModuleHandleW(nullptr);
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = kShadowClass;
  if (!::RegisterClassExW(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  g_initialized = true;
  return true;
}

CWndShadow::~CWndShadow() {
  auto it = Hooks().find(m_hParent);
  if (it != Hooks().end() && it->second.shadow == this) it->second.shadow = nullptr;
  if (m_hWnd && ::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
}

void CWndShadow::Create(HWND hParentWnd) {
  if (!g_initialized || m_hWnd || !::IsWindow(hParentWnd)) return;
  m_hParent = hParentWnd;
  m_hWnd = ::CreateWindowExW(WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kShadowClass, L"",
                             WS_POPUP, 0, 0, 0, 0, ::GetWindow(hParentWnd, GW_OWNER), nullptr,
                             CPaintManagerUI::GetInstance(), nullptr);
  auto& hooks = Hooks();
  auto it = hooks.find(hParentWnd);
  if (it != hooks.end()) {
    it->second.shadow = this;
  } else {
    auto old = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(hParentWnd, GWLP_WNDPROC));
    hooks[hParentWnd] = Hook{this, old};
    ::SetWindowLongPtrW(hParentWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ParentProc));
  }
  Follow();
}

bool CWndShadow::SetImage(LPCTSTR szImage) {
  m_sImage = szImage;
  m_szLast = SIZE{0, 0};
  Follow();
  return true;
}

bool CWndShadow::SetShadowCorner(RECT rcCorner) {
  m_rcCorner = rcCorner;
  m_szLast = SIZE{0, 0};
  Follow();
  return true;
}

bool CWndShadow::SetHoleOffset(RECT rcHoleOffset) {
  m_rcHoleOffset = rcHoleOffset;
  m_szLast = SIZE{0, 0};
  Follow();
  return true;
}

void CWndShadow::Follow() {
  if (!m_hWnd || !::IsWindow(m_hParent)) return;
  bool show = ::IsWindowVisible(m_hParent) && !::IsIconic(m_hParent) && !::IsZoomed(m_hParent) && !m_sImage.IsEmpty();
  if (!show) {
    ::ShowWindow(m_hWnd, SW_HIDE);
    return;
  }
  Update();
}

void CWndShadow::Update() {
  RECT rc;
  ::GetWindowRect(m_hParent, &rc);
  const int x = rc.left - m_rcHoleOffset.left, y = rc.top - m_rcHoleOffset.top;
  const int cx = (rc.right - rc.left) + m_rcHoleOffset.left + m_rcHoleOffset.right;
  const int cy = (rc.bottom - rc.top) + m_rcHoleOffset.top + m_rcHoleOffset.bottom;
  if (cx <= 0 || cy <= 0) return;
  if (cx != m_szLast.cx || cy != m_szLast.cy) {
    void* bits = nullptr;
    HDC screen = ::GetDC(nullptr);
    {
      MemoryDcWithBitmap mem;
      if (mem.Reset(screen, CreateTopDownDib(screen, cx, cy, &bits)) && bits) {
        ZeroMemory(bits, static_cast<size_t>(cx) * static_cast<size_t>(cy) * 4);
        Gdiplus::Bitmap* image = LoadSkinImage(nullptr, m_sImage.str());
        if (image) {
          // Draw with alpha straight into the premultiplied pixels of the layered window.
          Gdiplus::Bitmap target(cx, cy, cx * 4, PixelFormat32bppPARGB, static_cast<BYTE*>(bits));
          Gdiplus::Graphics g(&target);
          g.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
          g.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
          RECT whole{0, 0, cx, cy};
          RECT src{0, 0, static_cast<LONG>(image->GetWidth()), static_cast<LONG>(image->GetHeight())};
          DrawNineGrid(g, image, whole, src,
                       SkinRect{m_rcCorner.left, m_rcCorner.top, m_rcCorner.right, m_rcCorner.bottom}, 255);
        }
        // The hole under the parent stays fully transparent: where per-pixel alpha is not
        // composited (Wine without a compositing manager) only alpha 0 lets the parent through.
        const int hole_left = std::min<int>(m_rcHoleOffset.left, cx),
                  hole_right = std::max<int>(cx - m_rcHoleOffset.right, hole_left);
        const int hole_top = std::min<int>(m_rcHoleOffset.top, cy),
                  hole_bottom = std::max<int>(cy - m_rcHoleOffset.bottom, hole_top);
        for (int y = hole_top; y < hole_bottom; ++y) {
          BYTE* row = static_cast<BYTE*>(bits) + (static_cast<size_t>(y) * cx + hole_left) * 4;
          ZeroMemory(row, static_cast<size_t>(hole_right - hole_left) * 4);
        }
        POINT dst{x, y};
        SIZE size{cx, cy};
        POINT src{0, 0};
        BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        ::UpdateLayeredWindow(m_hWnd, screen, &dst, &size, mem.dc(), &src, 0, &blend, ULW_ALPHA);
        m_szLast = SIZE{cx, cy};
      }
    }  // the DIB and its DC go before the screen DC is given back
    ::ReleaseDC(nullptr, screen);
  }
  ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOACTIVATE | SWP_NOSIZE | SWP_NOZORDER);
  if (!::IsWindowVisible(m_hWnd)) ::ShowWindow(m_hWnd, SW_SHOWNOACTIVATE);
  // Just behind the parent (a top-most parent makes the shadow top-most too).
  ::SetWindowPos(m_hWnd, m_hParent, 0, 0, 0, 0, SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);
}

LRESULT CALLBACK CWndShadow::ParentProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  auto& hooks = Hooks();
  auto it = hooks.find(hwnd);
  if (it == hooks.end()) return ::DefWindowProcW(hwnd, uMsg, wParam, lParam);
  WNDPROC old = it->second.old_proc;
  CWndShadow* shadow = it->second.shadow;
  if (uMsg == WM_NCDESTROY) {
    ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
    hooks.erase(it);
    if (shadow && shadow->m_hWnd) {
      ::DestroyWindow(shadow->m_hWnd);
      shadow->m_hWnd = nullptr;
    }
    return ::CallWindowProcW(old, hwnd, uMsg, wParam, lParam);
  }
  LRESULT r = ::CallWindowProcW(old, hwnd, uMsg, wParam, lParam);
  // The parent may be gone now; look the shadow up again.
  it = hooks.find(hwnd);
  shadow = it == hooks.end() ? nullptr : it->second.shadow;
  if (!shadow || !shadow->m_hWnd) return r;
  switch (uMsg) {
    case WM_WINDOWPOSCHANGED:
    case WM_SHOWWINDOW:
    case WM_SIZE:
    case WM_MOVE:
    case WM_ACTIVATE:
      shadow->Follow();
      break;
    default:
      break;
  }
  return r;
}

}  // namespace DuiLib
