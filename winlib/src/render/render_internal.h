// Image loading, nine-grid drawing on a GDI+ surface and drawing bitmaps, shared by the
// render engine, the paint manager and the window shadow.
#pragma once

#include <string>

#include "gdiplus_include.h"
#include "winlib/skin_values.h"

namespace DuiLib {

class CPaintManagerUI;

// The cached bitmap of an image file (relative to the manager's skin folder, or to the
// default skin folder without a manager); null when it cannot be loaded.
Gdiplus::Bitmap* LoadSkinImage(CPaintManagerUI* manager, const std::wstring& file);

// Draws `bitmap` (part `src`) into `dest`, keeping `corner` unscaled (nine-grid).
void DrawNineGrid(Gdiplus::Graphics& g, Gdiplus::Bitmap* bitmap, const RECT& dest, const RECT& src,
                  const SkinRect& corner, int fade);

// A 32-bit top-down DIB section of cx by cy pixels compatible with hdc; *bits gets its pixels.
HBITMAP CreateTopDownDib(HDC hdc, int cx, int cy, void** bits);

}  // namespace DuiLib
