#include "wb/board_controller_binding.h"

namespace kiv_wb {

void EngineBoardController::Attach(const std::string& boardId, ICoreBoardEventListener* listener, IBoardCanvas* canvas,
                                   kiv_core::IWhiteBoardNet* net, IEditView* editView) {
  m_controller.SetBoardId(boardId, listener);
  m_controller.SetCanvas(canvas);
  m_controller.SetNet(net);
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
