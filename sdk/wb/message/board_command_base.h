// Base of the update commands and of the local editing commands: one change of a board that
// can be written as a message, applied and (for local commands) reverted.
#pragma once

#include <string>

namespace kiv_wb {

class Board;

class BoardCommandBase {
 public:
  virtual ~BoardCommandBase() = default;
  // The message text; empty for commands that are never sent.
  virtual std::string ToJson() = 0;
  virtual bool Apply(Board& board) = 0;
  virtual bool Revert(Board&) { return false; }
};

}  // namespace kiv_wb
