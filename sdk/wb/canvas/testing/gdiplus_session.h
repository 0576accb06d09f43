// GDI+ started for as long as the holder lives, for tests and benchmarks that draw through
// the GDI+ canvas.
#pragma once

#include "wb/canvas/gdip_canvas_impl.h"  // GDI+ with what its headers need

namespace kiv_wb {

class GdiplusSession {
 public:
  GdiplusSession() {
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&m_token, &input, nullptr);
  }
  ~GdiplusSession() { Gdiplus::GdiplusShutdown(m_token); }
  GdiplusSession(const GdiplusSession&) = delete;
  GdiplusSession& operator=(const GdiplusSession&) = delete;

 private:
  ULONG_PTR m_token = 0;
};

}  // namespace kiv_wb
