// The board window's drawing surface: GDI+ draws into an off-screen 32-bit ARGB bitmap (a DIB
// section) that is copied onto the window with one BitBlt when a frame ends. The host process
// must have started GDI+.
#pragma once

#include <windows.h>

#include <objidl.h>

#include <algorithm>

namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus

#include <gdiplus.h>

#include <memory>
#include <string>
#include <vector>

#include "common/win/gdi_object.h"
#include "wb/paint/board_canvas.h"

#ifdef DrawText
#undef DrawText
#endif

namespace kiv {

class GDIPCanvasImpl : public kiv_wb::IBoardCanvas {
 public:
  GDIPCanvasImpl();
  ~GDIPCanvasImpl() override;
  GDIPCanvasImpl(const GDIPCanvasImpl&) = delete;
  GDIPCanvasImpl& operator=(const GDIPCanvasImpl&) = delete;

  // Creates the back buffer for the window.
  bool Attach(HWND window);
  // The DC of the paint message in progress, used once by the next EndDraw.
  void SetPaintDC(HDC dc) { m_paintDC = dc; }
  void MeasureTextW(const std::wstring& text, int* width, int* height);
  // The back buffer, for tests and screenshots.
  Gdiplus::Bitmap* GetBackBuffer() const { return m_backBuffer.get(); }

  void BeginDraw() override {}
  void EndDraw() override;
  void Invalidate() override;
  void InvalidateArea(int left, int top, int right, int bottom) override;
  void SetSize(int width, int height) override;
  void SetPen(int width, uint32_t argb) override;
  void SetDash(const int* pattern, int count) override;
  void SetFont(const std::string& faceUtf8, int size, uint32_t argb) override;
  void SetFontW(const std::wstring& face, int size, uint32_t argb) override;
  int GetWidth() override;
  int GetHeight() override;
  void Clear(uint8_t r, uint8_t g, uint8_t b) override;
  void DrawBackground(const std::string& imagePathUtf8) override;
  void DrawLine(int x1, int y1, int x2, int y2) override;
  void DrawCurve(const std::vector<kiv_wb::IntPoint>& anchors, const std::vector<kiv_wb::IntPoint>& c1,
                 const std::vector<kiv_wb::IntPoint>& c2) override;
  void DrawRect(int x1, int y1, int x2, int y2) override;
  void DrawText(const std::string& textUtf8, int left, int top, int right, int bottom) override;
  void DrawTextW(const std::wstring& text, int left, int top, int right, int bottom) override;
  // The layer is a second DIB section of the back buffer's size, valid for the window size
  // it was kept at.
  void SaveLayer() override;
  bool RestoreLayer() override;
  bool SetClip(int left, int top, int right, int bottom) override;
  void ResetClip() override;

 private:
  void CreateBackBuffer();
  // Copies the frame onto a window DC.
  void Present(HDC target);
  // The font of the face and size; GDI+'s generic sans-serif when the face is unknown, or
  // the first installed family where there is no generic one; null when none can be made.
  std::unique_ptr<Gdiplus::Font> MakeFont() const;

  int m_width = 1280;
  int m_height = 720;
  std::string m_backgroundPath;
  HDC m_paintDC = nullptr;
  HWND m_window = nullptr;
  kiv_common::MemoryDcWithBitmap m_frameDC;  // the DIB section the back buffer draws into
  kiv_common::MemoryDcWithBitmap m_layerDC;  // the layer kept, when there is one
  SIZE m_layerWindow = {-1, -1};
  RECT m_clip = {0, 0, 0, 0};  // Clear's area while a clip is set
  bool m_clipped = false;
  std::unique_ptr<Gdiplus::Bitmap> m_backBuffer;
  std::unique_ptr<Gdiplus::Graphics> m_graphics;
  std::wstring m_fontFace;
  int m_fontSize = 12;
  Gdiplus::SolidBrush m_textBrush;
  Gdiplus::Pen m_pen;
  std::unique_ptr<Gdiplus::CachedBitmap> m_cachedBackground;
};

}  // namespace kiv
