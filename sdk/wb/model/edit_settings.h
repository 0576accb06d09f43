// The drawing tool of one open board: graph ids, kind, operation, pen and the selection style.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace kiv_wb {

class IUpdateCommandObserver;

enum GraphType { kGraphNone = 0, kGraphLine = 1, kGraphPath = 2, kGraphText = 3 };
enum EditOperation { kOpNone = 0, kOpDraw = 1, kOpSelect = 2, kOpDelete = 3 };

class EditSettings {
 public:
  // prefix: the high part of this board's graph ids.
  EditSettings(uint32_t graphIdPrefix, IUpdateCommandObserver* observer);

  // (prefix << 16) | counter; the counter then advances.
  uint32_t NextGraphId();

  int GetGraphType() const { return m_graphType; }
  void SetGraphType(int type) { m_graphType = type; }
  int GetOperation() const { return m_operation; }
  void SetOperation(int operation) { m_operation = operation; }
  int GetBrushSize() const { return m_brushSize; }
  void SetBrushSize(int size) { m_brushSize = size; }
  uint32_t GetColor() const { return m_color; }
  void SetColor(uint32_t argb) { m_color = argb; }
  int GetEraserTolerance() const { return m_eraserTolerance; }
  uint32_t GetGraphIdPrefix() const { return m_graphIdPrefix; }
  void SetGraphIdPrefix(uint32_t prefix) { m_graphIdPrefix = prefix; }
  uint32_t GetGraphCounter() const { return m_graphCounter; }
  IUpdateCommandObserver* GetObserver() const { return m_observer; }
  // The microsecond clock that throttles sends while dragging; replaceable for tests.
  uint64_t Now() const { return m_clock(); }
  void SetClock(std::function<uint64_t()> clock) { m_clock = std::move(clock); }
  static uint64_t SteadyMicroseconds();

  static std::string GetFontName();
  static int GetFontSize() { return 20; }
  static uint32_t GetSelectionColor() { return 0xFF7FBBEB; }
  static int GetSelectionPenWidth() { return 1; }
  // The dash of selection frames and the rubber band: {2, 1}.
  static const int* GetSelectionDash(int* count);

 private:
  uint32_t m_graphCounter = 0;
  int m_graphType = kGraphNone;
  int m_operation = kOpNone;
  int m_brushSize = 6;
  uint32_t m_color = 0xFFFF0000;
  int m_eraserTolerance = 15;
  uint32_t m_graphIdPrefix;
  IUpdateCommandObserver* m_observer;
  std::function<uint64_t()> m_clock = &EditSettings::SteadyMicroseconds;
};

}  // namespace kiv_wb
