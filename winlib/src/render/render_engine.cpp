#include "winlib/render_engine.h"

#include <map>
#include <memory>
#include <string>
#include <tuple>

#include "gdiplus_include.h"
#include "render_internal.h"
#include "winlib/paint_manager.h"
#include "winlib/skin_values.h"

namespace DuiLib {
namespace {

Gdiplus::Color ToColor(DWORD argb) { return Gdiplus::Color(static_cast<Gdiplus::ARGB>(argb)); }

struct ImageEntry {
  std::unique_ptr<Gdiplus::Bitmap> bitmap;  // null when the file could not be loaded
};

std::map<std::wstring, ImageEntry>& ImageCache() {
  static auto* cache = new std::map<std::wstring, ImageEntry>();  // lives until the process ends
  return *cache;
}

std::wstring ResolvePath(CPaintManagerUI* manager, const std::wstring& file) {
  if (file.size() > 1 && (file[1] == L':' || (file[0] == L'\\' && file[1] == L'\\'))) return file;
  std::wstring base = manager ? manager->GetResourcePath().str() : CPaintManagerUI::GetDefaultResourcePath().str();
  return base + file;
}

}  // namespace

HBITMAP CreateTopDownDib(HDC hdc, int cx, int cy, void** bits) {
  BITMAPINFO bmi = {};
  bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bmi.bmiHeader.biWidth = cx;
  bmi.bmiHeader.biHeight = -cy;
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  bmi.bmiHeader.biCompression = BI_RGB;
  return ::CreateDIBSection(hdc, &bmi, DIB_RGB_COLORS, bits, nullptr, 0);
}

Gdiplus::Bitmap* LoadSkinImage(CPaintManagerUI* manager, const std::wstring& file) {
  if (file.empty()) return nullptr;
  EnsureGdiplus();
  std::wstring path = ResolvePath(manager, file);
  auto& cache = ImageCache();
  auto it = cache.find(path);
  if (it != cache.end()) return it->second.bitmap.get();
  ImageEntry entry;
  std::unique_ptr<Gdiplus::Bitmap> loaded(Gdiplus::Bitmap::FromFile(path.c_str()));
  if (loaded && loaded->GetLastStatus() == Gdiplus::Ok) {
    // Copy into a bitmap of our own so that the file is not held open.
    const UINT w = loaded->GetWidth(), h = loaded->GetHeight();
    auto copy = std::make_unique<Gdiplus::Bitmap>(static_cast<INT>(w), static_cast<INT>(h), PixelFormat32bppARGB);
    {
      Gdiplus::Graphics g(copy.get());
      g.DrawImage(loaded.get(), Gdiplus::Rect(0, 0, static_cast<INT>(w), static_cast<INT>(h)), 0, 0,
                  static_cast<INT>(w), static_cast<INT>(h), Gdiplus::UnitPixel);
    }
    entry.bitmap = std::move(copy);
  }
  Gdiplus::Bitmap* result = entry.bitmap.get();
  cache.emplace(path, std::move(entry));
  return result;
}

void DrawNineGrid(Gdiplus::Graphics& g, Gdiplus::Bitmap* bitmap, const RECT& dest, const RECT& src, const SkinRect& c,
                  int fade) {
  Gdiplus::ImageAttributes attributes;
  Gdiplus::ImageAttributes* attr = nullptr;
  if (fade < 255) {
    Gdiplus::ColorMatrix m = {{{1, 0, 0, 0, 0},
                               {0, 1, 0, 0, 0},
                               {0, 0, 1, 0, 0},
                               {0, 0, 0, static_cast<Gdiplus::REAL>(fade) / 255.0f, 0},
                               {0, 0, 0, 0, 1}}};
    attributes.SetColorMatrix(&m);
    attr = &attributes;
  }
  auto blit = [&](int dl, int dt, int dr, int db, int sl, int st, int sr, int sb) {
    if (dr <= dl || db <= dt || sr <= sl || sb <= st) return;
    g.DrawImage(bitmap, Gdiplus::Rect(dl, dt, dr - dl, db - dt), sl, st, sr - sl, sb - st, Gdiplus::UnitPixel, attr);
  };
  if (c.left == 0 && c.top == 0 && c.right == 0 && c.bottom == 0) {
    blit(dest.left, dest.top, dest.right, dest.bottom, src.left, src.top, src.right, src.bottom);
    return;
  }
  // Corners keep their size, edges stretch along one axis, the middle both.
  const int dx[4] = {dest.left, dest.left + c.left, dest.right - c.right, dest.right};
  const int dy[4] = {dest.top, dest.top + c.top, dest.bottom - c.bottom, dest.bottom};
  const int sx[4] = {src.left, src.left + c.left, src.right - c.right, src.right};
  const int sy[4] = {src.top, src.top + c.top, src.bottom - c.bottom, src.bottom};
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 3; ++col) {
      blit(dx[col], dy[row], dx[col + 1], dy[row + 1], sx[col], sy[row], sx[col + 1], sy[row + 1]);
    }
  }
}

namespace {

std::map<std::tuple<std::wstring, int, int>, std::unique_ptr<Gdiplus::Font>>& FontCache() {
  static auto* cache = new std::map<std::tuple<std::wstring, int, int>, std::unique_ptr<Gdiplus::Font>>();
  return *cache;
}

Gdiplus::Font* GetGdiplusFont(CPaintManagerUI* manager, int iFont) {
  EnsureGdiplus();
  const TFontInfo* info = manager ? manager->GetFontInfo(iFont) : nullptr;
  std::wstring family = info ? info->family : L"DejaVu Sans";
  int size = info ? info->size : 12;
  int style = Gdiplus::FontStyleRegular;
  if (info && info->bold) style |= Gdiplus::FontStyleBold;
  if (info && info->italic) style |= Gdiplus::FontStyleItalic;
  if (info && info->underline) style |= Gdiplus::FontStyleUnderline;
  auto key = std::make_tuple(family, size, style);
  auto& cache = FontCache();
  auto it = cache.find(key);
  if (it != cache.end()) return it->second.get();
  auto font =
      std::make_unique<Gdiplus::Font>(family.c_str(), static_cast<Gdiplus::REAL>(size), style, Gdiplus::UnitPixel);
  if (font->GetLastStatus() != Gdiplus::Ok) {
    const Gdiplus::FontFamily* generic = Gdiplus::FontFamily::GenericSansSerif();
    if (generic && generic->GetLastStatus() == Gdiplus::Ok) {
      font = std::make_unique<Gdiplus::Font>(generic, static_cast<Gdiplus::REAL>(size), style, Gdiplus::UnitPixel);
    }
  }
  Gdiplus::Font* result = font.get();
  cache.emplace(key, std::move(font));
  return result;
}

void MakeFormat(UINT uStyle, Gdiplus::StringFormat* format) {
  if (uStyle & DT_CENTER) {
    format->SetAlignment(Gdiplus::StringAlignmentCenter);
  } else if (uStyle & DT_RIGHT) {
    format->SetAlignment(Gdiplus::StringAlignmentFar);
  } else {
    format->SetAlignment(Gdiplus::StringAlignmentNear);
  }
  if (uStyle & DT_VCENTER) {
    format->SetLineAlignment(Gdiplus::StringAlignmentCenter);
  } else if (uStyle & DT_BOTTOM) {
    format->SetLineAlignment(Gdiplus::StringAlignmentFar);
  } else {
    format->SetLineAlignment(Gdiplus::StringAlignmentNear);
  }
  INT flags = 0;
  if ((uStyle & DT_SINGLELINE) || !(uStyle & DT_WORDBREAK)) flags |= Gdiplus::StringFormatFlagsNoWrap;
  format->SetFormatFlags(flags);
  format->SetTrimming((uStyle & DT_END_ELLIPSIS) ? Gdiplus::StringTrimmingEllipsisCharacter
                                                 : Gdiplus::StringTrimmingNone);
}

void RoundRectPath(const RECT& rc, int width, int height, Gdiplus::GraphicsPath* path) {
  const int w = rc.right - rc.left - 1, h = rc.bottom - rc.top - 1;
  int dx = std::min(width, w), dy = std::min(height, h);
  if (dx <= 0 || dy <= 0) {
    path->AddRectangle(Gdiplus::Rect(rc.left, rc.top, w, h));
    return;
  }
  path->AddArc(rc.left, rc.top, dx, dy, 180, 90);
  path->AddArc(rc.left + w - dx, rc.top, dx, dy, 270, 90);
  path->AddArc(rc.left + w - dx, rc.top + h - dy, dx, dy, 0, 90);
  path->AddArc(rc.left, rc.top + h - dy, dx, dy, 90, 90);
  path->CloseFigure();
}

}  // namespace

void EnsureGdiplus() {
  static ULONG_PTR token = [] {
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR t = 0;
    Gdiplus::GdiplusStartup(&t, &input, nullptr);
    return t;
  }();
  (void)token;
}

void CRenderEngine::DrawColor(HDC hDC, const RECT& rc, DWORD color) {
  if ((color >> 24) == 0 || ::IsRectEmpty(&rc)) return;
  EnsureGdiplus();
  Gdiplus::Graphics g(hDC);
  Gdiplus::SolidBrush brush(ToColor(color));
  g.FillRectangle(&brush, static_cast<INT>(rc.left), static_cast<INT>(rc.top), static_cast<INT>(rc.right - rc.left),
                  static_cast<INT>(rc.bottom - rc.top));
}

void CRenderEngine::DrawRoundColor(HDC hDC, const RECT& rc, int width, int height, DWORD color) {
  if ((color >> 24) == 0 || ::IsRectEmpty(&rc)) return;
  EnsureGdiplus();
  Gdiplus::Graphics g(hDC);
  g.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
  Gdiplus::SolidBrush brush(ToColor(color));
  Gdiplus::GraphicsPath path;
  RECT r = rc;
  r.right += 1;
  r.bottom += 1;
  RoundRectPath(r, width, height, &path);
  g.FillPath(&brush, &path);
}

void CRenderEngine::DrawRect(HDC hDC, const RECT& rc, int size, DWORD color) {
  if ((color >> 24) == 0 || size <= 0 || ::IsRectEmpty(&rc)) return;
  // Filled strips keep the border inside the rectangle, pixel-exact.
  RECT top{rc.left, rc.top, rc.right, rc.top + size};
  RECT bottom{rc.left, rc.bottom - size, rc.right, rc.bottom};
  RECT left{rc.left, rc.top + size, rc.left + size, rc.bottom - size};
  RECT right{rc.right - size, rc.top + size, rc.right, rc.bottom - size};
  DrawColor(hDC, top, color);
  DrawColor(hDC, bottom, color);
  DrawColor(hDC, left, color);
  DrawColor(hDC, right, color);
}

void CRenderEngine::DrawRoundRect(HDC hDC, const RECT& rc, int size, int width, int height, DWORD color) {
  if ((color >> 24) == 0 || size <= 0 || ::IsRectEmpty(&rc)) return;
  EnsureGdiplus();
  Gdiplus::Graphics g(hDC);
  g.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
  Gdiplus::Pen pen(ToColor(color), static_cast<Gdiplus::REAL>(size));
  Gdiplus::GraphicsPath path;
  RoundRectPath(rc, width, height, &path);
  g.DrawPath(&pen, &path);
}

void CRenderEngine::DrawLine(HDC hDC, int x1, int y1, int x2, int y2, int size, DWORD color) {
  if ((color >> 24) == 0 || size <= 0) return;
  EnsureGdiplus();
  Gdiplus::Graphics g(hDC);
  Gdiplus::Pen pen(ToColor(color), static_cast<Gdiplus::REAL>(size));
  g.DrawLine(&pen, x1, y1, x2, y2);
}

void CRenderEngine::DrawEllipse(HDC hDC, const RECT& rc, DWORD color) {
  if ((color >> 24) == 0 || ::IsRectEmpty(&rc)) return;
  EnsureGdiplus();
  Gdiplus::Graphics g(hDC);
  g.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
  Gdiplus::SolidBrush brush(ToColor(color));
  g.FillEllipse(&brush, static_cast<INT>(rc.left), static_cast<INT>(rc.top), static_cast<INT>(rc.right - rc.left),
                static_cast<INT>(rc.bottom - rc.top));
}

bool CRenderEngine::DrawImageString(HDC hDC, CPaintManagerUI* pManager, const RECT& rcItem, const RECT& rcPaint,
                                    LPCTSTR pStrImage) {
  if (!pStrImage || !*pStrImage) return true;
  ImageDescription desc = ParseImageDescription(pStrImage);
  Gdiplus::Bitmap* bitmap = LoadSkinImage(pManager, desc.file);
  if (!bitmap) return false;
  const int iw = static_cast<int>(bitmap->GetWidth()), ih = static_cast<int>(bitmap->GetHeight());
  RECT dest = rcItem;
  if (desc.has_dest) {
    dest = RECT{rcItem.left + desc.dest.left, rcItem.top + desc.dest.top, rcItem.left + desc.dest.right,
                rcItem.top + desc.dest.bottom};
    if (dest.right > rcItem.right) dest.right = rcItem.right;
    if (dest.bottom > rcItem.bottom) dest.bottom = rcItem.bottom;
  }
  RECT visible;
  if (!::IntersectRect(&visible, &dest, &rcPaint)) return true;
  RECT src{0, 0, iw, ih};
  if (desc.has_source) {
    src = RECT{desc.source.left, desc.source.top, desc.source.right, desc.source.bottom};
    if (src.right > iw) src.right = iw;
    if (src.bottom > ih) src.bottom = ih;
  }
  Gdiplus::Graphics g(hDC);
  g.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
  g.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
  g.SetClip(Gdiplus::Rect(rcPaint.left, rcPaint.top, rcPaint.right - rcPaint.left, rcPaint.bottom - rcPaint.top),
            Gdiplus::CombineModeIntersect);
  DrawNineGrid(g, bitmap, dest, src, desc.corner, desc.fade);
  return true;
}

bool CRenderEngine::GetImageSize(CPaintManagerUI* pManager, LPCTSTR pStrFile, SIZE* size) {
  Gdiplus::Bitmap* bitmap = LoadSkinImage(pManager, pStrFile ? pStrFile : L"");
  if (!bitmap) return false;
  size->cx = static_cast<LONG>(bitmap->GetWidth());
  size->cy = static_cast<LONG>(bitmap->GetHeight());
  return true;
}

void CRenderEngine::DrawText(HDC hDC, CPaintManagerUI* pManager, RECT& rc, LPCTSTR pstrText, DWORD dwTextColor,
                             int iFont, UINT uStyle) {
  if (!pstrText) return;
  if (uStyle & DT_CALCRECT) {
    SIZE sz = GetTextSize(pManager, pstrText, iFont, (uStyle & DT_WORDBREAK) ? rc.right - rc.left : 0, uStyle);
    rc.right = rc.left + sz.cx;
    rc.bottom = rc.top + sz.cy;
    return;
  }
  if (!*pstrText || (dwTextColor >> 24) == 0 || ::IsRectEmpty(&rc)) return;
  Gdiplus::Font* font = GetGdiplusFont(pManager, iFont);
  if (!font) return;
  Gdiplus::Graphics g(hDC);
  g.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAliasGridFit);
  Gdiplus::StringFormat format;
  MakeFormat(uStyle, &format);
  Gdiplus::SolidBrush brush(ToColor(dwTextColor));
  Gdiplus::RectF layout(static_cast<Gdiplus::REAL>(rc.left), static_cast<Gdiplus::REAL>(rc.top),
                        static_cast<Gdiplus::REAL>(rc.right - rc.left), static_cast<Gdiplus::REAL>(rc.bottom - rc.top));
  g.SetClip(Gdiplus::Rect(rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top), Gdiplus::CombineModeIntersect);
  g.DrawString(pstrText, -1, font, layout, &format, &brush);
}

SIZE CRenderEngine::GetTextSize(CPaintManagerUI* pManager, LPCTSTR pstrText, int iFont, int maxWidth, UINT uStyle) {
  SIZE result{0, 0};
  Gdiplus::Font* font = GetGdiplusFont(pManager, iFont);
  if (!font) return result;
  HDC screen = ::GetDC(nullptr);
  {
    Gdiplus::Graphics g(screen);
    g.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAliasGridFit);
    Gdiplus::StringFormat format;
    MakeFormat(uStyle & ~(DT_CENTER | DT_RIGHT | DT_VCENTER | DT_BOTTOM), &format);
    Gdiplus::RectF bounds;
    const wchar_t* text = (pstrText && *pstrText) ? pstrText : L" ";
    if (maxWidth > 0) {
      Gdiplus::RectF layout(0, 0, static_cast<Gdiplus::REAL>(maxWidth), 100000.0f);
      g.MeasureString(text, -1, font, layout, &format, &bounds);
    } else {
      g.MeasureString(text, -1, font, Gdiplus::PointF(0, 0), &format, &bounds);
    }
    result.cx = (pstrText && *pstrText) ? static_cast<LONG>(bounds.Width + 0.99f) : 0;
    result.cy = static_cast<LONG>(bounds.Height + 0.99f);
  }
  ::ReleaseDC(nullptr, screen);
  return result;
}

bool CRenderEngine::IsFontFamilyInstalled(LPCTSTR family) {
  if (!family || !*family) return false;
  EnsureGdiplus();
  Gdiplus::FontFamily f(family);
  return f.GetLastStatus() == Gdiplus::Ok && f.IsAvailable();
}

void CRenderEngine::FlushImageCache() { ImageCache().clear(); }

}  // namespace DuiLib
