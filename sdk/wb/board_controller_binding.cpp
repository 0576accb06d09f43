#include "wb/board_controller_binding.h"

#include <utility>

#include "wb/paint/board_canvas.h"

namespace kiv_wb {

void EngineBoardController::Attach(const std::string& boardId, ICoreBoardEventListener* listener,
                                   std::shared_ptr<IBoardCanvas> canvas, kiv_core::IWhiteBoardNet* net,
                                   IEditView* editView) {
  // Opened again: the board keeps its id, listener and adapter (network threads read them)
  // and takes the new window's views.
  if (!m_attached) {
    m_controller.SetBoardId(boardId, listener);
    m_controller.SetNet(net);
    m_attached = true;
  }
  m_controller.GetBoard().GetPainter().SetCanvas(std::move(canvas));
  m_controller.SetEditView(editView);
}

std::string EngineBoardController::GetConvertedFilePath() { return m_controller.GetBoard().GetConvertFilePath(); }

int EngineBoardController::GetCurrentPageId() {
  auto page = m_controller.GetBoard().GetCurrentPage();
  return page ? page->GetId() : m_controller.GetCurrentPage();
}

bool EngineBoardController::GetPageLocalPath(int pageId, std::string* path) {
  auto page = m_controller.GetBoard().FindPage(pageId);
  if (!page) {
    return false;
  }
  if (path) {
    *path = page->GetImagePath();
  }
  return true;
}

bool EngineBoardController::SetPageLocalPath(int pageId, const std::string& path) {
  auto page = m_controller.GetBoard().FindPage(pageId);
  if (!page) {
    return false;
  }
  page->SetImagePath(path);
  return true;
}

std::unique_ptr<IBoardController> MakeDrawingBoardController() { return std::make_unique<EngineBoardController>(); }

}  // namespace kiv_wb
