// A canvas that records every call as a line of text, with a window size the test sets.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "wb/paint/board_canvas.h"

namespace kiv_wb {

class RecordingCanvas : public IBoardCanvas {
 public:
  int windowWidth = 1280;
  int windowHeight = 720;
  std::vector<std::string> calls;
  int invalidations = 0;
  std::vector<std::string> areas;  // areas asked to be repainted, "l t r b"
  bool layers = false;             // keeps a layer (recorded as "save layer" and "restore layer")
  bool layerKept = false;

  void BeginDraw() override { calls.push_back("begin"); }
  void EndDraw() override { calls.push_back("end"); }
  void Invalidate() override { ++invalidations; }
  void InvalidateArea(int l, int t, int r, int b) override {
    areas.push_back(std::to_string(l) + " " + std::to_string(t) + " " + std::to_string(r) + " " + std::to_string(b));
  }
  void SetSize(int w, int h) override { Record("size", w, h); }
  void SetPen(int w, uint32_t argb) override { Record("pen", w, argb); }
  void SetDash(const int*, int count) override { Record("dash", count); }
  void SetFont(const std::string& face, int size, uint32_t argb) override { Record("font " + face, size, argb); }
  void SetFontW(const std::wstring&, int size, uint32_t argb) override { Record("fontw", size, argb); }
  int GetWidth() override { return windowWidth; }
  int GetHeight() override { return windowHeight; }
  void Clear(uint8_t r, uint8_t g, uint8_t b) override { Record("clear", r, g, b); }
  void DrawBackground(const std::string& path) override { calls.push_back("background " + path); }
  void DrawLine(int x1, int y1, int x2, int y2) override { Record("line", x1, y1, x2, y2); }
  void DrawCurve(const std::vector<IntPoint>& a, const std::vector<IntPoint>& c1,
                 const std::vector<IntPoint>& c2) override {
    std::ostringstream s;
    s << "curve";
    for (size_t i = 0; i < a.size(); ++i) {
      if (i >= 1 && i - 1 < c1.size() && i - 1 < c2.size()) {
        s << " (" << c1[i - 1].x << "," << c1[i - 1].y << " " << c2[i - 1].x << "," << c2[i - 1].y << ")";
      }
      s << " " << a[i].x << "," << a[i].y;
    }
    calls.push_back(s.str());
  }
  void DrawRect(int x1, int y1, int x2, int y2) override { Record("rect", x1, y1, x2, y2); }
  void DrawText(const std::string& text, int l, int t, int r, int b) override { Record("text " + text, l, t, r, b); }
  void DrawTextW(const std::wstring&, int l, int t, int r, int b) override { Record("textw", l, t, r, b); }
  void SaveLayer() override {
    if (!layers) return;
    layerKept = true;
    calls.push_back("save layer");
  }
  bool RestoreLayer() override {
    if (!layerKept) return false;
    calls.push_back("restore layer");
    return true;
  }
  // Clips when it keeps layers.
  bool SetClip(int l, int t, int r, int b) override {
    if (!layers) return false;
    Record("clip", l, t, r, b);
    return true;
  }
  void ResetClip() override { calls.push_back("unclip"); }

  // Calls whose text starts with prefix.
  int Count(const std::string& prefix) const {
    int n = 0;
    for (const auto& c : calls) {
      n += c.compare(0, prefix.size(), prefix) == 0 ? 1 : 0;
    }
    return n;
  }

 private:
  template <typename... Args>
  void Record(const std::string& name, Args... args) {
    std::ostringstream s;
    s << name;
    ((s << " " << static_cast<long long>(args)), ...);
    calls.push_back(s.str());
  }
};

}  // namespace kiv_wb
