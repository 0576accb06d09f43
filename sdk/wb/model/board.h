// The document of one open board: identity and document fields, size in board units, pages
// (ids equal indexes), the shown page, the sequence state of its stream and its painter.
// The fields have no lock of their own: the controller's lock covers the user-interface side,
// each page guards its own content.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "wb/model/board_info.h"
#include "wb/model/page.h"
#include "wb/paint/board_painter.h"

namespace kiv_wb {

class EditSettings;
class ICoreBoardEventListener;

// What a full-state update reports to the board's listener.
struct BoardSyncReport {
  std::string boardId;
  BoardInfo info;
  int currentPageId = 0;
};

class Board {
 public:
  explicit Board(EditSettings* settings);
  Board(const Board&) = delete;
  Board& operator=(const Board&) = delete;

  uint32_t GetNextSeqId() const { return m_nextSeqId; }
  void SetNextSeqId(uint32_t seqId) { m_nextSeqId = seqId; }
  int32_t GetEditId() const { return m_editId; }
  void SetEditId(int32_t editId) { m_editId = editId; }
  // The first is 1.
  uint32_t NextCliSeqId() { return ++m_cliSeqCounter; }

  void SetBoardId(const std::string& id) { m_boardId = id; }
  std::string GetBoardId() const { return m_boardId; }
  void SetEventListener(ICoreBoardEventListener* listener) { m_listener = listener; }
  ICoreBoardEventListener* GetEventListener() const { return m_listener; }
  // A full-state report: to the listener at once, or kept while reports are held.
  void ReportSync(const BoardInfo& info);
  // Whoever applies a full state under locks holds the reports and hands the ones taken
  // to the listener once it holds no lock. Taking ends the holding.
  void HoldSyncReports();
  std::vector<BoardSyncReport> TakeSyncReports();

  void SetBoardType(int type) { m_boardType = type; }
  int GetBoardType() const { return m_boardType; }
  void SetBoardName(const std::string& name) { m_boardName = name; }
  const std::string& GetBoardName() const { return m_boardName; }
  void SetFilePath(const std::string& path) { m_filePath = path; }
  const std::string& GetFilePath() const { return m_filePath; }
  void SetConvertFilePath(const std::string& path) { m_convertFilePath = path; }
  const std::string& GetConvertFilePath() const { return m_convertFilePath; }
  void SetSize(int width, int height);
  int GetWidth() const { return m_width; }
  int GetHeight() const { return m_height; }

  int GetPageCount() const;
  void AddPage(std::shared_ptr<Page> page);
  // Null when no page has that id.
  std::shared_ptr<Page> FindPage(int id) const;
  // Null when the current index is outside the pages.
  std::shared_ptr<Page> GetCurrentPage() const;
  int GetCurrentPageIndex() const { return m_currentPage; }
  void SetCurrentPageIndex(int index) { m_currentPage = index; }
  // With page-change sync on, the shown page follows.
  void SetRemotePageIndex(int index);
  int GetRemotePageIndex() const { return m_remotePage; }
  void ApplyRemotePageIndex() { m_currentPage = m_remotePage.load(); }
  bool GetPageChangeSynMode() const { return m_pageChangeSync; }
  void SetPageChangeSynMode(bool sync) { m_pageChangeSync = sync; }

  void DrawCurrentPage();
  BoardPainter& GetPainter() { return m_painter; }
  EditSettings* GetEditSettings() const { return m_settings; }

 private:
  std::atomic<uint32_t> m_nextSeqId{1};
  std::atomic<int32_t> m_editId{0};
  std::atomic<uint32_t> m_cliSeqCounter{0};
  int m_boardType = 0;
  std::string m_boardId;
  std::string m_boardName;
  std::string m_filePath;
  std::string m_convertFilePath;
  int m_width = 1280;
  int m_height = 720;
  std::atomic<int> m_currentPage{0};
  std::atomic<int> m_remotePage{0};
  std::atomic<bool> m_pageChangeSync{true};
  // Pages are only added, never removed; the list is guarded for the two threads.
  mutable std::recursive_mutex m_pagesLock;
  std::vector<std::shared_ptr<Page>> m_pages;
  EditSettings* m_settings;
  ICoreBoardEventListener* m_listener = nullptr;
  std::mutex m_reportsLock;
  bool m_holdReports = false;
  std::vector<BoardSyncReport> m_heldReports;
  BoardPainter m_painter;
};

}  // namespace kiv_wb
