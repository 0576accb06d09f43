// Base of the local editing commands: a gesture on the board window, stepped by the
// controller, that produces update commands; undo and redo revert and apply it again.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "wb/message/board_command_base.h"

namespace kiv_wb {

class EditSettings;
class GraphBase;

enum GesturePhase { kPhasePress = 0, kPhaseDrag = 1, kPhaseRelease = 2, kPhaseDoubleClick = 3 };

class LocalCommandBase : public BoardCommandBase {
 public:
  // Local commands are never sent themselves.
  std::string ToJson() override { return std::string(); }
  bool Apply(Board&) override { return true; }
  bool Revert(Board&) override { return false; }
  virtual std::shared_ptr<GraphBase> GetDrawingGraph() { return nullptr; }
  virtual void SetReverse(bool) {}
  virtual bool IsReverse() const { return false; }
  // One gesture step at the stored phase and position; true when the gesture is complete.
  virtual bool Execute(Board& board) = 0;

  void SetSettings(EditSettings* settings) { m_settings = settings; }
  EditSettings* GetSettings() const { return m_settings; }
  void SetStep(GesturePhase phase, int32_t x, int32_t y) {
    m_phase = phase;
    m_x = x;
    m_y = y;
  }
  // Ends a gesture cut short by a tool or page change as a release at its last position, so
  // that what it showed on this board so far is also sent.
  bool Release(Board& board) {
    m_phase = kPhaseRelease;
    return Execute(board);
  }

 protected:
  EditSettings* m_settings = nullptr;
  GesturePhase m_phase = kPhasePress;
  int32_t m_x = 0;
  int32_t m_y = 0;
};

}  // namespace kiv_wb
