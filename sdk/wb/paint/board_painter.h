// The board model's one road to the drawing surface and to the text-entry view: converts
// board units to canvas pixels on every call, so drawing follows the window's size. The
// canvas may be replaced on the window's thread while other threads ask for a repaint: each
// call holds the canvas it found, so that a replaced canvas goes only when its calls are done.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "wb/model/board_rect.h"
#include "wb/paint/int_point.h"

namespace kiv_wb {

class IBoardCanvas;
class IEditView;

class BoardPainter {
 public:
  BoardPainter() = default;
  BoardPainter(const BoardPainter&) = delete;
  BoardPainter& operator=(const BoardPainter&) = delete;

  // A canvas shared with its window, or one the caller keeps alive while it is set (tests).
  void SetCanvas(std::shared_ptr<IBoardCanvas> canvas);
  void SetCanvas(IBoardCanvas* canvas);
  IBoardCanvas* GetCanvas() const { return Canvas().get(); }
  void SetEditView(IEditView* view) { m_editView = view; }
  // The back buffer takes the board's size in pixels.
  void SetBoardSize(int width, int height);

  void BeginDraw();
  // Lets the editor paint itself, then presents the frame.
  void EndDraw();
  // Asks the window to repaint; what the page shows has changed (any thread).
  void Invalidate();
  // Something of page `page` changed within `area` (board units; pens of up to `brushSize`
  // pixels around it), possibly a graph added (any thread): only that area of the kept layer
  // is drawn again, and only it asked to be repainted.
  struct Damage {
    int page = -1;
    BoardRect area;
    int brushSize = 0;
    size_t added = 0;
  };
  void InvalidateArea(const Damage& damage);
  // The damage of `page` since the last call, united (the window's thread, at the start of a
  // frame); an empty area when there is none. Damage of other pages is dropped.
  Damage TakeDamage(int page);
  // Limits the canvas's drawing to the damage's pixels; false when it cannot.
  bool ClipTo(const Damage& damage);
  void ResetClip();
  // The reach of a pen of `brushSize` pixels in board units, antialiasing included.
  int PenReach(int brushSize) const;

  // The committed graphs of a frame drawn for `owner` (the gesture in progress, or none):
  // true when they must be drawn (then EndCommittedLayer keeps them); false when the canvas
  // put back the layer kept for the same owner and `graphs` on the same page, nothing having
  // changed but the patches taken, of which `added` added a graph (the patched layer is kept
  // again with EndCommittedLayer).
  bool BeginCommittedLayer(const void* owner, size_t graphs, int page, size_t added = 0);
  void EndCommittedLayer();
  // What the page shows has changed without a repaint being asked.
  void InvalidateLayer() { ++m_generation; }

  void Clear(uint8_t r, uint8_t g, uint8_t b);
  void DrawBackground(const std::string& imagePathUtf8);
  void SetPen(int width, uint32_t argb);
  void SetDash(const int* pattern, int count);
  void SetFont(const std::string& faceUtf8, int size, uint32_t argb);
  void DrawLine(int x1, int y1, int x2, int y2);
  void DrawRect(int x1, int y1, int x2, int y2);
  void DrawText(const std::string& textUtf8, int left, int top, int right, int bottom);
  void DrawCurve(const std::vector<IntPoint>& anchors, const std::vector<IntPoint>& c1,
                 const std::vector<IntPoint>& c2);

  void SetEditFont(const std::string& faceUtf8, int size, uint32_t argb);
  void SetEditText(const std::string& textUtf8);
  void MoveEdit(int x, int y, int width);
  void ShowEdit(bool visible);
  std::string GetEditText();
  void GetEditRect(int* left, int* top, int* right, int* bottom);

  int ToCanvasX(int v) const;
  int ToCanvasY(int v) const;
  int ToBoardX(int v) const;
  int ToBoardY(int v) const;

 private:
  std::shared_ptr<IBoardCanvas> Canvas() const;

  mutable std::mutex m_canvasLock;  // guards m_canvas (never held across a canvas call)
  std::shared_ptr<IBoardCanvas> m_canvas;
  IEditView* m_editView = nullptr;
  int m_boardWidth = 1280;
  int m_boardHeight = 720;
  bool m_drawing = false;
  // Counts the changes of what the page shows; the layer kept is of m_layerGeneration.
  std::atomic<unsigned> m_generation{1};
  struct LayerKey {
    unsigned generation = 0;
    const void* owner = nullptr;
    size_t graphs = 0;
    int page = -1;
    bool operator==(const LayerKey& o) const {
      return generation == o.generation && owner == o.owner && graphs == o.graphs && page == o.page;
    }
  };
  LayerKey m_layer;         // of the layer kept (the window's thread only)
  LayerKey m_drawingLayer;  // of the layer being drawn
  // The damage's pixels (the window's size now).
  void CanvasRect(const Damage& damage, int* left, int* top, int* right, int* bottom) const;
  static constexpr size_t kMaxDamage = 256;  // beyond, the whole page is drawn again
  std::mutex m_damageLock;                   // guards m_damage (never held across a call)
  std::vector<Damage> m_damage;
};

}  // namespace kiv_wb
