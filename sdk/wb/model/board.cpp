#include "wb/model/board.h"

#include "wb/model/board_event_listener.h"

namespace kiv_wb {

Board::Board(EditSettings* settings) : m_settings(settings) {
  m_pages.push_back(std::make_shared<Page>(0, this));
  m_painter.SetBoardSize(m_width, m_height);
}

void Board::SetSize(int width, int height) {
  m_width = width;
  m_height = height;
  m_painter.SetBoardSize(width, height);
}

int Board::GetPageCount() const {
  std::lock_guard<std::recursive_mutex> guard(m_pagesLock);
  return static_cast<int>(m_pages.size());
}

void Board::AddPage(std::shared_ptr<Page> page) {
  std::lock_guard<std::recursive_mutex> guard(m_pagesLock);
  m_pages.push_back(std::move(page));
}

std::shared_ptr<Page> Board::FindPage(int id) const {
  std::lock_guard<std::recursive_mutex> guard(m_pagesLock);
  for (const auto& page : m_pages) {
    if (page->GetId() == id) {
      return page;
    }
  }
  return nullptr;
}

std::shared_ptr<Page> Board::GetCurrentPage() const {
  std::lock_guard<std::recursive_mutex> guard(m_pagesLock);
  const int index = m_currentPage;
  if (index < 0 || index >= static_cast<int>(m_pages.size())) {
    return nullptr;
  }
  return m_pages[static_cast<size_t>(index)];
}

void Board::SetRemotePageIndex(int index) {
  m_remotePage = index;
  if (m_pageChangeSync) {
    m_currentPage = index;
  }
}

void Board::ReportSync(const BoardInfo& info) {
  BoardSyncReport report{m_boardId, info, m_currentPage.load()};
  {
    std::lock_guard<std::mutex> guard(m_reportsLock);
    if (m_holdReports) {
      m_heldReports.push_back(std::move(report));
      return;
    }
  }
  if (m_listener) {
    m_listener->OnBoardSynUpdate(report.boardId, report.info, report.currentPageId);
  }
}

void Board::HoldSyncReports() {
  std::lock_guard<std::mutex> guard(m_reportsLock);
  m_holdReports = true;
}

std::vector<BoardSyncReport> Board::TakeSyncReports() {
  std::lock_guard<std::mutex> guard(m_reportsLock);
  m_holdReports = false;
  return std::move(m_heldReports);
}

void Board::DrawCurrentPage() {
  if (auto page = GetCurrentPage()) {
    page->Draw(m_painter);
  }
}

}  // namespace kiv_wb
