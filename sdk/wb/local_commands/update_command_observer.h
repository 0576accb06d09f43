// Where local editing commands report: updates to write, apply and send; a pending text
// command; entries for the current page's undo history.
#pragma once

#include <memory>

namespace kiv_wb {

class BoardCommandBase;
class LocalCommandBase;

class IUpdateCommandObserver {
 public:
  virtual ~IUpdateCommandObserver() = default;
  virtual void OnUpdateCommand(const std::shared_ptr<BoardCommandBase>& command) = 0;
  virtual void OnLocalCommand(const std::shared_ptr<LocalCommandBase>& command) = 0;
  virtual void PushUndoCommand(const std::shared_ptr<LocalCommandBase>& command) = 0;
};

}  // namespace kiv_wb
