// The eraser: graphs hit within the eraser tolerance are deleted one by one, each one undo
// step that brings it back under its id. Stays current while the delete operation lasts.
#pragma once

#include "wb/model/local_command_base.h"

namespace kiv_wb {

class GraphDeleteLocalCommand : public LocalCommandBase {
 public:
  bool Execute(Board& board) override;

 private:
  int32_t m_pressX = 0, m_pressY = 0;
  bool m_pressed = false;
};

}  // namespace kiv_wb
