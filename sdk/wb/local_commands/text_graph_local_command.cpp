#include "wb/local_commands/text_graph_local_command.h"

#include <algorithm>
#include <cstdint>

#include "protocol/messages/board_limits.h"

#include "wb/local_commands/update_sender.h"
#include "wb/message/board_net_cmd_id.h"
#include "wb/message/update_commands.h"
#include "wb/model/board.h"
#include "wb/model/graph_text.h"

namespace kiv_wb {
namespace {

// Shortens the graph's text, at a character's start, until its update (with the widest
// header) stays within the update limit.
void FitText(const std::shared_ptr<GraphText>& graph) {
  for (;;) {
    TextGraphUpdateCommand update(UINT32_MAX, UINT32_MAX, graph->GetPageId(), static_cast<int>(graph->GetId()),
                                  kGraphModify, graph);
    const size_t length = update.ToJson().size();
    if (length <= kiv_proto::kMaxBoardUpdateBytes) {
      return;
    }
    // An escaped byte takes at most six in the text.
    const std::string& text = graph->GetText();
    size_t keep = text.size() - std::min(text.size(), (length - kiv_proto::kMaxBoardUpdateBytes + 5) / 6);
    while (keep > 0 && (static_cast<unsigned char>(text[keep]) & 0xC0) == 0x80) {
      --keep;
    }
    graph->SetText(text.substr(0, keep));
  }
}

}  // namespace

TextGraphLocalCommand::TextGraphLocalCommand(std::shared_ptr<GraphText> graph) : m_graph(std::move(graph)) {}

void TextGraphLocalCommand::SendText(Board& board, int action) {
  SendUpdate(m_settings, std::make_shared<TextGraphUpdateCommand>(
                             board.NextCliSeqId(), static_cast<uint32_t>(board.GetEditId()), m_graph->GetPageId(),
                             static_cast<int>(m_graph->GetId()), action, m_graph));
}

bool TextGraphLocalCommand::EndEditing() {
  m_editing = false;
  if (!m_editView) {
    return false;
  }
  m_editView->ShowEdit(false);
  const std::string text = m_editView->GetEditText();
  if (text.empty() || !m_graph) {
    return false;
  }
  int left = 0, top = 0, right = 0, bottom = 0;
  m_editView->GetEditRect(&left, &top, &right, &bottom);
  m_graph->SetText(text);
  m_graph->SetRect(left, top, right, bottom);
  FitText(m_graph);
  return true;
}

bool TextGraphLocalCommand::Execute(Board& board) {
  switch (m_phase) {
    case kPhasePress: {
      if (m_editing) {
        return EndEditing() && Apply(board);
      }
      auto page = board.GetCurrentPage();
      if (!page || !m_settings) {
        return false;
      }
      m_editing = true;
      m_editView = &board.GetPainter();
      const std::string font = EditSettings::GetFontName();
      const int size = EditSettings::GetFontSize();
      m_editView->SetEditFont(font, size, m_settings->GetColor());
      m_editView->MoveEdit(m_x, m_y, kEditWidth);
      m_editView->SetEditText(std::string());
      m_editView->ShowEdit(true);
      int left = 0, top = 0, right = 0, bottom = 0;
      m_editView->GetEditRect(&left, &top, &right, &bottom);
      m_graph = std::make_shared<GraphText>(m_settings->NextGraphId(), &board, page->GetId());
      m_graph->SetRect(left, top, right, bottom);
      m_graph->SetFont(font, size, m_settings->GetColor());
      return false;
    }
    case kPhaseRelease:
      return !m_editing;
    case kPhaseDoubleClick: {
      if (!m_graph) {
        return false;
      }
      m_editing = true;
      m_editView = &board.GetPainter();
      const BoardRect rect = m_graph->GetRect();
      m_editView->MoveEdit(rect.left, rect.top, kEditWidth);
      m_editView->SetEditFont(m_graph->GetFontName(), m_graph->GetFontSize(), m_graph->GetTextColor());
      m_editView->SetEditText(m_graph->GetText());
      m_editView->ShowEdit(true);
      m_action = kGraphModify;
      return false;
    }
    default:
      return false;
  }
}

bool TextGraphLocalCommand::Apply(Board& board) {
  if (m_editing && !EndEditing()) {
    return false;
  }
  if (m_graph) {
    SendText(board, m_action);
  }
  return true;
}

bool TextGraphLocalCommand::Revert(Board& board) {
  if (!m_graph || !board.FindPage(m_graph->GetPageId())) {
    return false;
  }
  SendText(board, kGraphDelete);
  return true;
}

}  // namespace kiv_wb
