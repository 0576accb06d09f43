#include "wb/canvas/gdip_canvas_hooks.h"

#include "wb/board_window_views.h"
#include "wb/canvas/gdip_canvas_impl.h"

namespace kiv_wb {
namespace {

IBoardCanvas* CreateCanvas(HWND window) {
  auto* canvas = new kiv::GDIPCanvasImpl();
  canvas->Attach(window);
  return canvas;
}

void DestroyCanvas(IBoardCanvas* canvas) { delete static_cast<kiv::GDIPCanvasImpl*>(canvas); }

void SetPaintDC(IBoardCanvas* canvas, HDC dc) { static_cast<kiv::GDIPCanvasImpl*>(canvas)->SetPaintDC(dc); }

}  // namespace

void InstallGdipCanvasHooks() {
  BoardWindowViewHooks& hooks = BoardViewHooks();
  hooks.createCanvas = &CreateCanvas;
  hooks.destroyCanvas = &DestroyCanvas;
  hooks.setPaintDC = &SetPaintDC;
}

}  // namespace kiv_wb
