// The drawing surface of a board window. Coordinates are canvas pixels, colours 0xAARRGGBB.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "wb/paint/int_point.h"

// windows.h maps DrawText to DrawTextA or DrawTextW; the canvas's operations keep their names.
#ifdef DrawText
#undef DrawText
#endif

namespace kiv_wb {

class IBoardCanvas {
 public:
  virtual ~IBoardCanvas() = default;
  virtual void BeginDraw() = 0;
  // Presents the finished frame on the window.
  virtual void EndDraw() = 0;
  // Asks the window to repaint.
  virtual void Invalidate() = 0;
  // Asks the window to repaint an area (edges included); by default the whole window.
  virtual void InvalidateArea(int /*left*/, int /*top*/, int /*right*/, int /*bottom*/) { Invalidate(); }
  // Size of the back buffer; a new size discards its content.
  virtual void SetSize(int width, int height) = 0;
  virtual void SetPen(int width, uint32_t argb) = 0;
  // count 0 returns to solid lines.
  virtual void SetDash(const int* pattern, int count) = 0;
  virtual void SetFont(const std::string& faceUtf8, int size, uint32_t argb) = 0;
  virtual void SetFontW(const std::wstring& face, int size, uint32_t argb) = 0;
  // Size of the window, not of the back buffer.
  virtual int GetWidth() = 0;
  virtual int GetHeight() = 0;
  virtual void Clear(uint8_t r, uint8_t g, uint8_t b) = 0;
  virtual void DrawBackground(const std::string& imagePathUtf8) = 0;
  virtual void DrawLine(int x1, int y1, int x2, int y2) = 0;
  // anchors[0], then per segment i: c1[i-1], c2[i-1], anchors[i] as cubic Bezier segments.
  virtual void DrawCurve(const std::vector<IntPoint>& anchors, const std::vector<IntPoint>& c1,
                         const std::vector<IntPoint>& c2) = 0;
  // Any two opposite corners.
  virtual void DrawRect(int x1, int y1, int x2, int y2) = 0;
  // Drawn from (left, top), neither wrapped nor clipped.
  virtual void DrawText(const std::string& textUtf8, int left, int top, int right, int bottom) = 0;
  virtual void DrawTextW(const std::wstring& text, int left, int top, int right, int bottom) = 0;

  // A canvas that can keep a copy of the frame drawn so far (the committed graphs) says so
  // here: SaveLayer keeps it, RestoreLayer puts it back as the frame and answers whether there
  // was one. By default there is none and every frame is drawn whole.
  virtual void SaveLayer() {}
  virtual bool RestoreLayer() { return false; }
  // Limits drawing (Clear included) to a rectangle, edges included, until ResetClip; false,
  // nothing limited, when the canvas cannot.
  virtual bool SetClip(int /*left*/, int /*top*/, int /*right*/, int /*bottom*/) { return false; }
  virtual void ResetClip() {}
};

}  // namespace kiv_wb
