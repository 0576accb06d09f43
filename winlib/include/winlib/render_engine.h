// Drawing helpers on a device context, done with GDI+: colour fills, borders, images
// from the skin folder (with destination, source part, nine-grid corners and fade) and text.
#pragma once

#include <windows.h>

namespace DuiLib {

class CPaintManagerUI;

// Colours are 0xAARRGGBB.
class CRenderEngine {
 public:
  static void DrawColor(HDC hDC, const RECT& rc, DWORD color);
  static void DrawRoundColor(HDC hDC, const RECT& rc, int width, int height, DWORD color);
  static void DrawRect(HDC hDC, const RECT& rc, int size, DWORD color);
  static void DrawRoundRect(HDC hDC, const RECT& rc, int size, int width, int height, DWORD color);
  static void DrawLine(HDC hDC, int x1, int y1, int x2, int y2, int size, DWORD color);
  static void DrawEllipse(HDC hDC, const RECT& rc, DWORD color);

  // Draws an image description relative to rcItem, clipped to rcPaint. False when the
  // image file cannot be loaded.
  static bool DrawImageString(HDC hDC, CPaintManagerUI* pManager, const RECT& rcItem, const RECT& rcPaint,
                              LPCTSTR pStrImage);
  static bool GetImageSize(CPaintManagerUI* pManager, LPCTSTR pStrFile, SIZE* size);

  // Text in font `iFont` of the manager; uStyle takes DT_LEFT/CENTER/RIGHT, DT_TOP/VCENTER/
  // BOTTOM, DT_SINGLELINE, DT_WORDBREAK, DT_END_ELLIPSIS and DT_CALCRECT (measures into rc).
  static void DrawText(HDC hDC, CPaintManagerUI* pManager, RECT& rc, LPCTSTR pstrText, DWORD dwTextColor, int iFont,
                       UINT uStyle);
  static SIZE GetTextSize(CPaintManagerUI* pManager, LPCTSTR pstrText, int iFont, int maxWidth, UINT uStyle);

  // True when GDI+ knows the family (fonts installed for fontconfig under Wine).
  static bool IsFontFamilyInstalled(LPCTSTR family);
  // Drops every cached image (e.g. after the skin files changed).
  static void FlushImageCache();
};

}  // namespace DuiLib
