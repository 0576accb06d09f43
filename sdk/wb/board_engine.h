// The whiteboard's centre: asks the server to create boards and matches the answers to the
// requests by a client sequence id, opens and closes boards (one controller each, kept by
// the board manager), forwards the facade's per-board operations to the board's controller,
// takes the network adapter's replies and board data, runs the document road as far as it
// is built, and reports everything to its listener (the facade).
#pragma once

#include <map>
#include <memory>
#include <string>

#include "avcore/base_core.h"
#include "base/system/w_lock.h"
#include "core/white_board_net.h"
#include "wb/board_engine_controller.h"
#include "wb/board_manager.h"
#include "wb/doc_transfer/doc_download_mgr_cb.h"
#include "wb/doc_transfer/doc_event_info.h"
#include "wb/doc_transfer/kiv_download_doc_manager.h"
#include "wb/doc_transfer/pending_documents.h"
#include "wb/doc_transfer/upload_doc_profile.h"
#include "wb/doc_transfer/worker_threads.h"

namespace kiv_wb {

// Raised by the board engine; the facade turns each into the application's event.
class IBoardEngineListener {
 public:
  virtual void OnCreateResult(bool ok, const std::string& name, const std::string& boardId) = 0;
  virtual void OnRemoteBoardMedia(const std::string& mediaName, const std::string& boardId, bool published) = 0;
  virtual void OnPageChanged(const std::string& boardId, int pageId) = 0;
  virtual void OnBoardEvent(int kind, int error) = 0;
  virtual void OnBoardInfo(const std::string& boardId, const BoardInfo& info, int currentPageId) = 0;

 protected:
  ~IBoardEngineListener() = default;
};

class BoardEngine : public kiv_core::IWhiteBoardNetListener, public ICoreBoardEventListener, public IDocDownloadMgrCb {
 public:
  BoardEngine();
  virtual ~BoardEngine();
  BoardEngine(const BoardEngine&) = delete;
  BoardEngine& operator=(const BoardEngine&) = delete;

  // The network adapter, the listener, the work directory and the framework's root (for
  // the "kiv_wb" logger, made once).
  void Attach(kiv_core::IWhiteBoardNet* net, IBoardEngineListener* listener, const std::string& workDir,
              avcore::IBaseCore* root);
  // Each login: the user id and the page-image folder.
  void Init(const std::string& userId);

  // 1 for bad sizes; else the send result.
  int CreateBlankWb(const std::string& name, int width, int height, int pageCount);
  // 302 for a document that cannot be read or is empty; else the upload request's result.
  int CreateDocWb(const std::string& groupId, const std::string& localPath);
  // Opening an open board again gives its controller the new window's canvas and editor.
  int Open(const std::string& boardId, std::shared_ptr<IBoardCanvas> canvas, IEditView* editView);
  int Close(const std::string& boardId);
  int Destroy(const std::string& boardId);

  void SetPageChangeSynMode(const std::string& boardId, bool sync);
  bool GetPageChangeSynMode(const std::string& boardId);
  void SetCurrentPage(const std::string& boardId, int pageIndex);
  int GetCurrentPage(const std::string& boardId);
  int GetPageCount(const std::string& boardId);
  void SetGraphType(const std::string& boardId, int graphType);
  int GetGraphType(const std::string& boardId);
  void SetOperation(const std::string& boardId, int operation);
  int GetOperation(const std::string& boardId);
  void SetLineWidth(const std::string& boardId, int width);
  int GetLineWidth(const std::string& boardId);
  void SetLineColor(const std::string& boardId, int argb);
  int GetLineColor(const std::string& boardId);
  int ClearCurrentPage(const std::string& boardId);
  bool Undo(const std::string& boardId);
  bool Redo(const std::string& boardId);
  int GetUndoCount(const std::string& boardId);
  int GetRedoCount(const std::string& boardId);
  std::shared_ptr<IBoardController> FindController(const std::string& boardId);
  void SetLocalFilePath(const std::string& boardId, const std::string& localPath, int pageId);

  // kiv_core::IWhiteBoardNetListener
  void OnBoardMediaChange(const std::string& mediaName, const std::string& mediaId, bool published) override;
  void OnBoardData(const std::string& mediaId, const uint8_t* data, uint32_t length) override;
  void ProcessCreateWbRsp(int clientSeqId, int result, const char* boardId) override;
  void OnUploadDocRsp(int code, const char* filePath, const char* uploadUrl) override;
  void OnUploadDocEndRsp(int code, const char* filePath) override;
  void OnDocDownloadRsp(int code, const char* message, const char* filePath, const char* downloadUrl) override;
  void OnDocTransCodeRsp(int code, const char* convertFilePath, const char* filePath, int width, int height,
                         int convertCount) override;

  // ICoreBoardEventListener
  void OnBoardSynUpdate(const std::string& boardId, const BoardInfo& info, int currentPageId) override;
  void OnRemoteChangePage(const std::string& boardId, int pageId) override;

  // IDocDownloadMgrCb
  bool RequestDocDownloadUrl(const std::string& filePath) override;
  void OnDownloadEvent(int eventCode, DocEventInfo info) override;

  size_t PendingCreates();

 private:
  struct CreateRequest {
    int boardType = 0;
    std::string boardName;
    std::string filePath;
    std::string convertFilePath;
    int width = 0;
    int height = 0;
    int pageCount = 0;
  };

  int SendCmdCreateWb(const CreateRequest& request);
  int SendDestoryWhiteboard(const std::string& boardId);
  int SendDocumentTransCodeCmd(const std::string& filePath);
  int SendDocDownloadCmd(const std::string& filePath);
  int SendUploadDocumentEndedCmd(const std::string& filePath);
  // Page-image reply: the page's local path under the image folder, or empty (logged) when
  // the folders cannot be made or the server path is not a page image of a document.
  std::string PageImageLocalPath(const std::string& filePath, std::string* convertedPath, int* pageIndex);
  void FireDocEvent(int code, const DocEventInfo& info);
  void HandleDocEvent(int kind, int error, const DocEventInfo& info);
  void ShowDownloadedPage(const DocEventInfo& info);
  friend void UploadDocThread(BoardEngine* engine, UploadDocProfile profile);

  unsigned m_nextSeqId = 1;  // under m_lock
  IBoardEngineListener* m_listener = nullptr;
  kiv_core::IWhiteBoardNet* m_pNet = nullptr;
  std::map<unsigned, std::string> m_pendingCreates;  // under m_lock
  BoardManager m_boards;
  ZORVANTE::WLock m_lock;
  // The document announced last (under m_lock): for replies that find no document of their
  // own among the pending ones.
  std::string m_localDocPath;
  std::string m_remoteDocPath;
  int m_docSize = 0;
  PendingDocuments m_pendingDocs;  // under m_lock; each upload opens its own file
  KivDownloadDocManager m_downloads{this};
  std::string m_imageFolder;  // under m_lock
  std::string m_userId;       // under m_lock
  std::string m_workDir;
  bool m_loggerCreated = false;
  WorkerThreads m_uploads;  // upload threads, joined before the engine goes
};

}  // namespace kiv_wb
