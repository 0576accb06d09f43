#include "wb/paint/board_painter.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "wb/model/board_limits.h"
#include "wb/paint/board_canvas.h"
#include "wb/paint/edit_view.h"

namespace kiv_wb {
namespace {

// v x (to / from), truncated toward zero; 0 when either dimension is not positive.
int Scale(int v, double to, double from) {
  if (to <= 0.0 || from <= 0.0) {
    return 0;
  }
  const double scaled = v * (to / from);
  // Keeps a hostile coordinate from overflowing the conversion.
  if (scaled >= static_cast<double>(std::numeric_limits<int>::max())) {
    return std::numeric_limits<int>::max();
  }
  if (scaled <= static_cast<double>(std::numeric_limits<int>::min())) {
    return std::numeric_limits<int>::min();
  }
  return static_cast<int>(scaled);
}

}  // namespace

void BoardPainter::SetCanvas(std::shared_ptr<IBoardCanvas> canvas) {
  std::shared_ptr<IBoardCanvas> old;
  {
    std::lock_guard<std::mutex> guard(m_canvasLock);
    old = std::move(m_canvas);
    m_canvas = std::move(canvas);
  }
  ++m_generation;
  // The old canvas goes here, or with the last call still using it, outside the lock.
}

void BoardPainter::SetCanvas(IBoardCanvas* canvas) {
  SetCanvas(canvas ? std::shared_ptr<IBoardCanvas>(canvas, [](IBoardCanvas*) {}) : nullptr);
}

std::shared_ptr<IBoardCanvas> BoardPainter::Canvas() const {
  std::lock_guard<std::mutex> guard(m_canvasLock);
  return m_canvas;
}

void BoardPainter::SetBoardSize(int width, int height) {
  const std::shared_ptr<IBoardCanvas> canvas = Canvas();
  m_boardWidth = width;
  m_boardHeight = height;
  ++m_generation;
  if (canvas) {
    canvas->SetSize(width, height);
  }
}

void BoardPainter::BeginDraw() {
  const std::shared_ptr<IBoardCanvas> canvas = Canvas();
  if (m_drawing) {
    return;
  }
  m_drawing = true;
  if (canvas) {
    canvas->BeginDraw();
  }
}

void BoardPainter::EndDraw() {
  const std::shared_ptr<IBoardCanvas> canvas = Canvas();
  if (m_editView && canvas) {
    m_editView->Draw(canvas.get());
  }
  if (canvas) {
    canvas->EndDraw();
  }
  m_drawing = false;
}

bool BoardPainter::BeginCommittedLayer(const void* owner, size_t graphs, int page, size_t added) {
  const std::shared_ptr<IBoardCanvas> canvas = Canvas();
  const unsigned generation = m_generation.load();
  m_drawingLayer = LayerKey{generation, owner, graphs, page};
  if (graphs < added) {
    return true;
  }
  const LayerKey kept{generation, owner, graphs - added, page};
  return !(canvas && m_layer == kept && canvas->RestoreLayer());
}

void BoardPainter::InvalidateArea(const Damage& damage) {
  {
    std::lock_guard<std::mutex> guard(m_damageLock);
    if (m_damage.size() < kMaxDamage) {
      m_damage.push_back(damage);
    } else {
      m_damage.clear();
      ++m_generation;
    }
  }
  const std::shared_ptr<IBoardCanvas> canvas = Canvas();
  if (canvas) {
    int l, t, r, b;
    CanvasRect(damage, &l, &t, &r, &b);
    canvas->InvalidateArea(l, t, r, b);
  }
}

BoardPainter::Damage BoardPainter::TakeDamage(int page) {
  std::vector<Damage> taken;
  {
    std::lock_guard<std::mutex> guard(m_damageLock);
    taken.swap(m_damage);
  }
  Damage all;
  all.page = page;
  for (const Damage& d : taken) {
    if (d.page == page && !d.area.IsEmpty()) {
      all.area.Unite(d.area);
      all.brushSize = std::max(all.brushSize, d.brushSize);
      all.added += d.added;
    }
  }
  return all;
}

void BoardPainter::CanvasRect(const Damage& damage, int* left, int* top, int* right, int* bottom) const {
  // The pen's width is in pixels whatever the scale; antialiasing reaches a pixel beyond it.
  const int reach = damage.brushSize / 2 + 2;
  *left = ToCanvasX(damage.area.left) - reach;
  *top = ToCanvasY(damage.area.top) - reach;
  *right = ToCanvasX(damage.area.right) + reach;
  *bottom = ToCanvasY(damage.area.bottom) + reach;
}

bool BoardPainter::ClipTo(const Damage& damage) {
  const std::shared_ptr<IBoardCanvas> canvas = Canvas();
  if (!canvas) {
    return false;
  }
  int l, t, r, b;
  CanvasRect(damage, &l, &t, &r, &b);
  return canvas->SetClip(l, t, r, b);
}

void BoardPainter::ResetClip() {
  const std::shared_ptr<IBoardCanvas> canvas = Canvas();
  if (canvas) {
    canvas->ResetClip();
  }
}

int BoardPainter::PenReach(int brushSize) const {
  return std::max(ToBoardX(brushSize / 2 + 3), ToBoardY(brushSize / 2 + 3)) + 1;
}

void BoardPainter::EndCommittedLayer() {
  const std::shared_ptr<IBoardCanvas> canvas = Canvas();
  if (!canvas) {
    return;
  }
  canvas->SaveLayer();
  // A change made while the layer was drawn leaves it out of date.
  m_layer = m_drawingLayer;
}

void BoardPainter::Invalidate() {
  ++m_generation;
  const std::shared_ptr<IBoardCanvas> canvas = Canvas();
  if (canvas) {
    canvas->Invalidate();
  }
}

void BoardPainter::Clear(uint8_t r, uint8_t g, uint8_t b) {
  const std::shared_ptr<IBoardCanvas> canvas = Canvas();
  if (canvas) {
    canvas->Clear(r, g, b);
  }
}

void BoardPainter::DrawBackground(const std::string& imagePathUtf8) {
  const std::shared_ptr<IBoardCanvas> canvas = Canvas();
  if (canvas) {
    canvas->DrawBackground(imagePathUtf8);
  }
}

void BoardPainter::SetPen(int width, uint32_t argb) {
  const std::shared_ptr<IBoardCanvas> canvas = Canvas();
  if (canvas) {
    canvas->SetPen(width, argb);
  }
}

void BoardPainter::SetDash(const int* pattern, int count) {
  const std::shared_ptr<IBoardCanvas> canvas = Canvas();
  if (canvas) {
    canvas->SetDash(pattern, count);
  }
}

void BoardPainter::SetFont(const std::string& faceUtf8, int size, uint32_t argb) {
  const std::shared_ptr<IBoardCanvas> canvas = Canvas();
  if (canvas) {
    canvas->SetFont(faceUtf8, size, argb);
  }
}

void BoardPainter::DrawLine(int x1, int y1, int x2, int y2) {
  const std::shared_ptr<IBoardCanvas> canvas = Canvas();
  if (canvas) {
    canvas->DrawLine(ToCanvasX(x1), ToCanvasY(y1), ToCanvasX(x2), ToCanvasY(y2));
  }
}

void BoardPainter::DrawRect(int x1, int y1, int x2, int y2) {
  const std::shared_ptr<IBoardCanvas> canvas = Canvas();
  if (canvas) {
    canvas->DrawRect(ToCanvasX(x1), ToCanvasY(y1), ToCanvasX(x2), ToCanvasY(y2));
  }
}

void BoardPainter::DrawText(const std::string& textUtf8, int left, int top, int right, int bottom) {
  const std::shared_ptr<IBoardCanvas> canvas = Canvas();
  if (canvas) {
    canvas->DrawText(textUtf8, ToCanvasX(left), ToCanvasY(top), ToCanvasX(right), ToCanvasY(bottom));
  }
}

void BoardPainter::DrawCurve(const std::vector<IntPoint>& anchors, const std::vector<IntPoint>& c1,
                             const std::vector<IntPoint>& c2) {
  const std::shared_ptr<IBoardCanvas> canvas = Canvas();
  if (!canvas || anchors.empty()) {
    return;
  }
  const size_t segments = anchors.size() - 1;
  if (c1.size() < segments || c2.size() < segments) {
    return;
  }
  // One window size for the whole curve.
  const double canvasW = canvas->GetWidth();
  const double canvasH = canvas->GetHeight();
  auto scaled = [&](const IntPoint& p) {
    return IntPoint{Scale(p.x, canvasW, m_boardWidth), Scale(p.y, canvasH, m_boardHeight)};
  };
  std::vector<IntPoint> a, s1, s2;
  a.reserve(anchors.size());
  s1.reserve(segments);
  s2.reserve(segments);
  a.push_back(scaled(anchors[0]));
  for (size_t i = 1; i < anchors.size(); ++i) {
    a.push_back(scaled(anchors[i]));
    s1.push_back(scaled(c1[i - 1]));
    s2.push_back(scaled(c2[i - 1]));
  }
  canvas->DrawCurve(a, s1, s2);
}

void BoardPainter::SetEditFont(const std::string& faceUtf8, int size, uint32_t argb) {
  const std::shared_ptr<IBoardCanvas> canvas = Canvas();
  if (!m_editView) {
    return;
  }
  float pixelSize = 0.0f;
  if (canvas && m_boardWidth != 0) {
    pixelSize = static_cast<float>(canvas->GetWidth() * size) / static_cast<float>(m_boardWidth);
  }
  m_editView->SetTextFont(faceUtf8, size, pixelSize, argb);
}

void BoardPainter::SetEditText(const std::string& textUtf8) {
  if (m_editView) {
    m_editView->SetText(textUtf8);
  }
}

void BoardPainter::MoveEdit(int x, int y, int width) {
  if (m_editView) {
    m_editView->MoveTo(ToCanvasX(x), ToCanvasY(y), ToCanvasX(width));
  }
}

void BoardPainter::ShowEdit(bool visible) {
  if (m_editView) {
    m_editView->SetVisible(visible);
  }
}

std::string BoardPainter::GetEditText() { return m_editView ? m_editView->GetText() : std::string(); }

void BoardPainter::GetEditRect(int* left, int* top, int* right, int* bottom) {
  int l = 0, t = 0, r = 0, b = 0;
  if (m_editView) {
    m_editView->GetRect(&l, &t, &r, &b);
  }
  *left = ToBoardX(l);
  *top = ToBoardY(t);
  *right = ToBoardX(r);
  *bottom = ToBoardY(b);
}

int BoardPainter::ToCanvasX(int v) const {
  const std::shared_ptr<IBoardCanvas> canvas = Canvas();
  return canvas ? Scale(v, canvas->GetWidth(), m_boardWidth) : 0;
}

int BoardPainter::ToCanvasY(int v) const {
  const std::shared_ptr<IBoardCanvas> canvas = Canvas();
  return canvas ? Scale(v, canvas->GetHeight(), m_boardHeight) : 0;
}

// Window positions become board coordinates within the bounds every board reads.
int BoardPainter::ToBoardX(int v) const {
  const std::shared_ptr<IBoardCanvas> canvas = Canvas();
  return canvas ? ClampBoardCoordinate(Scale(v, m_boardWidth, canvas->GetWidth())) : 0;
}

int BoardPainter::ToBoardY(int v) const {
  const std::shared_ptr<IBoardCanvas> canvas = Canvas();
  return canvas ? ClampBoardCoordinate(Scale(v, m_boardHeight, canvas->GetHeight())) : 0;
}

}  // namespace kiv_wb
