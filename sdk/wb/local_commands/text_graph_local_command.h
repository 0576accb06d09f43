// Typing a text: a press opens the board's edit box, the next press ends editing and sends
// the text (an empty text sends nothing). A double-click of the select command edits an
// existing text.
#pragma once

#include "wb/model/local_command_base.h"

namespace kiv_wb {

class BoardPainter;
class GraphText;

class TextGraphLocalCommand : public LocalCommandBase {
 public:
  static constexpr int kEditWidth = 800;

  TextGraphLocalCommand() = default;
  explicit TextGraphLocalCommand(std::shared_ptr<GraphText> graph);

  bool Execute(Board& board) override;
  // Ends editing when it is in progress (false for an empty text), then sends the text.
  bool Apply(Board& board) override;
  // Sends the text's delete.
  bool Revert(Board& board) override;
  void SetReverse(bool reverse) override { m_reverse = reverse; }
  bool IsReverse() const override { return m_reverse; }
  bool IsEditing() const { return m_editing; }

 private:
  // Hides the edit box and takes its text; false when the text is empty.
  bool EndEditing();
  void SendText(Board& board, int action);

  int m_action = 1;
  bool m_editing = false;
  std::shared_ptr<GraphText> m_graph;
  bool m_reverse = false;
  BoardPainter* m_editView = nullptr;
};

}  // namespace kiv_wb
