// A drop shadow for a top-level window: a layered, click-through window kept just
// behind its parent, larger by the hole offsets, painted from a nine-grid image with
// per-pixel alpha. It follows the parent's position, size and visibility.
#pragma once

#include <windows.h>

#include "winlib/dui_string.h"

namespace DuiLib {

class CWndShadow {
 public:
  CWndShadow() = default;
  CWndShadow(const CWndShadow&) = delete;
  CWndShadow& operator=(const CWndShadow&) = delete;
  ~CWndShadow();

  // Registers the shadow window class; once per process, before any Create.
  static bool Initialize(HINSTANCE hInstance);

  void Create(HWND hParentWnd);
  // Image path relative to the skin folder of the program.
  bool SetImage(LPCTSTR szImage);
  // Nine-grid corner sizes of the image (pixels of the image).
  bool SetShadowCorner(RECT rcCorner);
  // How far the shadow reaches out of the parent on each side.
  bool SetHoleOffset(RECT rcHoleOffset);
  HWND GetHWND() const { return m_hWnd; }

 private:
  static LRESULT CALLBACK ParentProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
  void Update();
  void Follow();

  HWND m_hWnd = nullptr;
  HWND m_hParent = nullptr;
  CDuiString m_sImage;
  RECT m_rcCorner{6, 6, 6, 6};
  RECT m_rcHoleOffset{7, 7, 7, 7};
  SIZE m_szLast{0, 0};
};

}  // namespace DuiLib
