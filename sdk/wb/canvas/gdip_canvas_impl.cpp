#include "wb/canvas/gdip_canvas_impl.h"

#include "base/text/text_holders.h"

namespace kiv {
namespace {

// The window DC, released when the holder goes.
class WindowDC {
 public:
  explicit WindowDC(HWND window) : m_window(window), m_dc(::GetDC(window)) {}
  ~WindowDC() {
    if (m_dc) {
      ::ReleaseDC(m_window, m_dc);
    }
  }
  WindowDC(const WindowDC&) = delete;
  WindowDC& operator=(const WindowDC&) = delete;
  HDC Get() const { return m_dc; }

 private:
  HWND m_window;
  HDC m_dc;
};

std::wstring Wide(const std::string& utf8) {
  Utf8ToWide wide(utf8);
  return wide.Get() ? std::wstring(wide.Get()) : std::wstring();
}

Gdiplus::Point ToPoint(const kiv_wb::IntPoint& p) { return Gdiplus::Point(p.x, p.y); }

}  // namespace

GDIPCanvasImpl::GDIPCanvasImpl() : m_textBrush(Gdiplus::Color(0xFF000000)), m_pen(Gdiplus::Color(0xFF000000), 1.0f) {}

GDIPCanvasImpl::~GDIPCanvasImpl() = default;

void GDIPCanvasImpl::CreateBackBuffer() {
  m_graphics.reset();
  m_backBuffer.reset();
  m_layerDC.Reset();
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = m_width;
  info.bmiHeader.biHeight = -m_height;  // top-down, as GDI+ lays out its rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP dib = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (dib && bits && m_frameDC.Reset(nullptr, dib)) {
    // Opaque: GDI's fills (which leave the alpha byte alone) and GDI+'s drawing agree.
    m_backBuffer = std::make_unique<Gdiplus::Bitmap>(m_width, m_height, m_width * 4, PixelFormat32bppRGB,
                                                     static_cast<BYTE*>(bits));
  } else {
    if (dib && !bits) ::DeleteObject(dib);
    m_frameDC.Reset();
    m_backBuffer = std::make_unique<Gdiplus::Bitmap>(m_width, m_height, PixelFormat32bppARGB);
  }
  m_clipped = false;
  m_graphics.reset(Gdiplus::Graphics::FromImage(m_backBuffer.get()));
  if (m_graphics) {
    m_graphics->SetSmoothingMode(Gdiplus::SmoothingModeHighQuality);
  }
}

bool GDIPCanvasImpl::Attach(HWND window) {
  m_window = window;
  CreateBackBuffer();
  m_pen.SetAlignment(Gdiplus::PenAlignmentCenter);
  m_pen.SetStartCap(Gdiplus::LineCapRound);
  m_pen.SetEndCap(Gdiplus::LineCapRound);
  m_pen.SetLineJoin(Gdiplus::LineJoinRound);
  return true;
}

void GDIPCanvasImpl::EndDraw() {
  if (!m_backBuffer) {
    return;
  }
  if (m_paintDC) {
    Present(m_paintDC);
    m_paintDC = nullptr;
    return;
  }
  if (!m_window) {
    return;
  }
  WindowDC dc(m_window);
  if (dc.Get()) {
    Present(dc.Get());
  }
}

void GDIPCanvasImpl::Present(HDC target) {
  if (m_graphics) {
    m_graphics->Flush(Gdiplus::FlushIntentionSync);
  }
  if (m_frameDC.dc()) {
    ::GdiFlush();
    ::BitBlt(target, 0, 0, m_width, m_height, m_frameDC.dc(), 0, 0, SRCCOPY);
    return;
  }
  Gdiplus::Graphics graphics(target);
  graphics.DrawImage(m_backBuffer.get(), 0, 0, m_width, m_height);
}

void GDIPCanvasImpl::Invalidate() {
  if (m_window) {
    ::InvalidateRect(m_window, nullptr, TRUE);
  }
}

void GDIPCanvasImpl::InvalidateArea(int left, int top, int right, int bottom) {
  if (m_window) {
    // Every pixel of the area is painted again: nothing to erase.
    const RECT area = {left, top, right + 1, bottom + 1};
    ::InvalidateRect(m_window, &area, FALSE);
  }
}

void GDIPCanvasImpl::SetSize(int width, int height) {
  if (width == m_width && height == m_height) {
    return;
  }
  m_width = width;
  m_height = height;
  if (width > 0 && height > 0) {
    CreateBackBuffer();
  } else {
    m_graphics.reset();
    m_backBuffer.reset();
    m_frameDC.Reset();
    m_layerDC.Reset();
  }
}

void GDIPCanvasImpl::SetPen(int width, uint32_t argb) {
  m_pen.SetWidth(static_cast<Gdiplus::REAL>(width));
  m_pen.SetColor(Gdiplus::Color(argb));
}

void GDIPCanvasImpl::SetDash(const int* pattern, int count) {
  if (count <= 0 || !pattern) {
    m_pen.SetDashStyle(Gdiplus::DashStyleSolid);
    return;
  }
  Gdiplus::REAL dashes[4] = {};
  const int n = std::min(count, 4);
  for (int i = 0; i < n; ++i) {
    dashes[i] = static_cast<Gdiplus::REAL>(pattern[i]);
  }
  m_pen.SetDashPattern(dashes, n);
}

void GDIPCanvasImpl::SetFont(const std::string& faceUtf8, int size, uint32_t argb) {
  SetFontW(Wide(faceUtf8), size, argb);
}

void GDIPCanvasImpl::SetFontW(const std::wstring& face, int size, uint32_t argb) {
  m_fontFace = face;
  m_fontSize = size;
  m_textBrush.SetColor(Gdiplus::Color(argb));
}

int GDIPCanvasImpl::GetWidth() {
  RECT rect = {};
  if (!m_window || !::GetWindowRect(m_window, &rect)) {
    return 0;
  }
  return rect.right - rect.left;
}

int GDIPCanvasImpl::GetHeight() {
  RECT rect = {};
  if (!m_window || !::GetWindowRect(m_window, &rect)) {
    return 0;
  }
  return rect.bottom - rect.top;
}

void GDIPCanvasImpl::Clear(uint8_t r, uint8_t g, uint8_t b) {
  if (m_graphics && m_frameDC.dc()) {
    // GDI fills the DIB section many times faster than GDI+ under Wine.
    m_graphics->Flush(Gdiplus::FlushIntentionSync);
    kiv_common::UniqueGdiObject<HBRUSH> brush(::CreateSolidBrush(RGB(r, g, b)));
    const RECT all = m_clipped ? m_clip : RECT{0, 0, m_width, m_height};
    if (brush && ::FillRect(m_frameDC.dc(), &all, brush.get())) {
      ::GdiFlush();
      return;
    }
  }
  if (m_graphics) {
    m_graphics->Clear(Gdiplus::Color(255, r, g, b));
  }
}

void GDIPCanvasImpl::DrawBackground(const std::string& imagePathUtf8) {
  if (imagePathUtf8.empty()) {
    m_backgroundPath.clear();
    Clear(255, 255, 255);
    return;
  }
  if (!m_graphics) {
    return;
  }
  if (imagePathUtf8 != m_backgroundPath) {
    m_backgroundPath = imagePathUtf8;
    const std::wstring path = Wide(imagePathUtf8);
    Gdiplus::Bitmap image(path.c_str(), FALSE);
    if (image.GetLastStatus() == Gdiplus::Ok) {
      m_cachedBackground = std::make_unique<Gdiplus::CachedBitmap>(&image, m_graphics.get());
    } else {
      m_cachedBackground.reset();
    }
  }
  if (m_cachedBackground && m_cachedBackground->GetLastStatus() == Gdiplus::Ok) {
    m_graphics->DrawCachedBitmap(m_cachedBackground.get(), 0, 0);
  }
}

void GDIPCanvasImpl::DrawLine(int x1, int y1, int x2, int y2) {
  if (m_graphics) {
    m_graphics->DrawLine(&m_pen, x1, y1, x2, y2);
  }
}

void GDIPCanvasImpl::DrawCurve(const std::vector<kiv_wb::IntPoint>& anchors, const std::vector<kiv_wb::IntPoint>& c1,
                               const std::vector<kiv_wb::IntPoint>& c2) {
  if (!m_graphics || anchors.size() < 2 || c1.size() + 1 < anchors.size() || c2.size() + 1 < anchors.size()) {
    return;
  }
  std::vector<Gdiplus::Point> points;
  points.reserve(anchors.size() * 3);
  points.push_back(ToPoint(anchors[0]));
  for (size_t i = 1; i < anchors.size(); ++i) {
    points.push_back(ToPoint(c1[i - 1]));
    points.push_back(ToPoint(c2[i - 1]));
    points.push_back(ToPoint(anchors[i]));
  }
  m_graphics->DrawBeziers(&m_pen, points.data(), static_cast<INT>(points.size()));
}

void GDIPCanvasImpl::DrawRect(int x1, int y1, int x2, int y2) {
  if (m_graphics) {
    m_graphics->DrawRectangle(&m_pen, std::min(x1, x2), std::min(y1, y2), std::abs(x2 - x1), std::abs(y2 - y1));
  }
}

std::unique_ptr<Gdiplus::Font> GDIPCanvasImpl::MakeFont() const {
  auto font = std::make_unique<Gdiplus::Font>(m_fontFace.c_str(), static_cast<Gdiplus::REAL>(m_fontSize),
                                              Gdiplus::FontStyleRegular, Gdiplus::UnitPoint);
  if (font->GetLastStatus() == Gdiplus::Ok) {
    return font;
  }
  const Gdiplus::FontFamily* generic = Gdiplus::FontFamily::GenericSansSerif();
  if (generic && generic->GetLastStatus() == Gdiplus::Ok) {
    font = std::make_unique<Gdiplus::Font>(generic, static_cast<Gdiplus::REAL>(m_fontSize), Gdiplus::FontStyleRegular,
                                           Gdiplus::UnitPoint);
    if (font->GetLastStatus() == Gdiplus::Ok) {
      return font;
    }
  }
  // Without a generic family (Wine has none), the first installed family.
  Gdiplus::InstalledFontCollection installed;
  Gdiplus::FontFamily family;
  INT found = 0;
  if (installed.GetFamilyCount() <= 0 || installed.GetFamilies(1, &family, &found) != Gdiplus::Ok || found != 1) {
    return nullptr;
  }
  font = std::make_unique<Gdiplus::Font>(&family, static_cast<Gdiplus::REAL>(m_fontSize), Gdiplus::FontStyleRegular,
                                         Gdiplus::UnitPoint);
  return font->GetLastStatus() == Gdiplus::Ok ? std::move(font) : nullptr;
}

void GDIPCanvasImpl::DrawText(const std::string& textUtf8, int left, int top, int right, int bottom) {
  DrawTextW(Wide(textUtf8), left, top, right, bottom);
}

void GDIPCanvasImpl::DrawTextW(const std::wstring& text, int left, int top, int, int) {
  if (!m_graphics || text.empty()) {
    return;
  }
  auto font = MakeFont();
  if (!font) {
    return;
  }
  const Gdiplus::RectF layout(static_cast<Gdiplus::REAL>(left), static_cast<Gdiplus::REAL>(top), 0.0f, 0.0f);
  m_graphics->DrawString(text.c_str(), static_cast<INT>(text.size()), font.get(), layout, nullptr, &m_textBrush);
}

void GDIPCanvasImpl::MeasureTextW(const std::wstring& text, int* width, int* height) {
  *width = 0;
  *height = 0;
  auto font = MakeFont();
  if (!m_graphics || !font) {
    return;
  }
  Gdiplus::RectF box;
  const Gdiplus::RectF layout(0.0f, 0.0f, 0.0f, 0.0f);
  m_graphics->MeasureString(text.c_str(), static_cast<INT>(text.size()), font.get(), layout, nullptr, &box);
  *width = static_cast<int>(box.Width);
  *height = static_cast<int>(box.Height);
}

void GDIPCanvasImpl::SaveLayer() {
  if (!m_frameDC.dc()) {
    return;
  }
  if (!m_layerDC.dc()) {
    HBITMAP layer = ::CreateCompatibleBitmap(m_frameDC.dc(), m_width, m_height);
    if (!m_layerDC.Reset(m_frameDC.dc(), layer)) {
      m_layerDC.Reset();
      return;
    }
  }
  if (m_graphics) {
    m_graphics->Flush(Gdiplus::FlushIntentionSync);
  }
  ::GdiFlush();
  ::BitBlt(m_layerDC.dc(), 0, 0, m_width, m_height, m_frameDC.dc(), 0, 0, SRCCOPY);
  m_layerWindow = {GetWidth(), GetHeight()};
}

bool GDIPCanvasImpl::SetClip(int left, int top, int right, int bottom) {
  if (!m_graphics) {
    return false;
  }
  m_clip = {std::max(left, 0), std::max(top, 0), std::min(right + 1, m_width), std::min(bottom + 1, m_height)};
  if (m_clip.right < m_clip.left) m_clip.right = m_clip.left;
  if (m_clip.bottom < m_clip.top) m_clip.bottom = m_clip.top;
  m_clipped = true;
  m_graphics->SetClip(Gdiplus::Rect(m_clip.left, m_clip.top, m_clip.right - m_clip.left, m_clip.bottom - m_clip.top));
  return true;
}

void GDIPCanvasImpl::ResetClip() {
  m_clipped = false;
  if (m_graphics) {
    m_graphics->ResetClip();
  }
}

bool GDIPCanvasImpl::RestoreLayer() {
  if (!m_layerDC.dc() || !m_frameDC.dc() || m_layerWindow.cx != GetWidth() || m_layerWindow.cy != GetHeight()) {
    return false;
  }
  ::BitBlt(m_frameDC.dc(), 0, 0, m_width, m_height, m_layerDC.dc(), 0, 0, SRCCOPY);
  ::GdiFlush();
  return true;
}

}  // namespace kiv
