#include "wb/board_engine.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "base/text/text_holders.h"
#include "core/env/log_record.h"
#include "kiv_error.h"
#include "wb/board_engine_log.h"
#include "wb/doc_transfer/upload_doc_thread.h"
#include "wb/model/board_limits.h"

namespace kiv_wb {

kiv_core::ModuleLogger& WbLogger() {
  static kiv_core::ModuleLogger logger;
  return logger;
}

namespace {

// Makes the folder when it is not there; false when it cannot be made.
bool EnsureFolder(const std::string& path) {
  Utf8ToWide wide(path);
  if (!wide.Get()) return false;
  const DWORD attributes = GetFileAttributesW(wide.Get());
  if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  return CreateDirectoryW(wide.Get(), nullptr) != FALSE;
}

// The part after the last '/' or '\'.
std::string FileNameOf(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool FileReadable(const std::string& path) {
  Utf8ToWide wide(path);
  FILE* file = wide.Get() ? _wfopen(wide.Get(), L"rb") : nullptr;
  if (!file) return false;
  std::fclose(file);
  return true;
}

// The non-empty parts of a server path between '/'.
std::vector<std::string> PathParts(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    const size_t slash = path.find('/', start);
    const size_t end = slash == std::string::npos ? path.size() : slash;
    if (end > start) parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

// A part that names a file or folder inside its parent, nothing else.
bool PlainName(const std::string& part) {
  return part != "." && part != ".." && part.find_first_of("\\:") == std::string::npos;
}

// The page index of "<decimal>.<extension>", or -1.
int PageIndexOf(const std::string& fileName) {
  const size_t dot = fileName.find_last_of('.');
  const std::string digits = fileName.substr(0, dot);
  if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos) return -1;
  return std::atoi(digits.c_str());
}

}  // namespace

BoardEngine::BoardEngine() = default;

BoardEngine::~BoardEngine() {
  // Every thread of the whiteboard ends here, before the logger they write to.
  m_uploads.StopAndJoin();
  m_downloads.StopReports();
  if (m_loggerCreated) {
    (void)kiv_core::ReleaseModuleLogger(WbLogger().handle);
    WbLogger() = kiv_core::ModuleLogger();
  }
}

void BoardEngine::Attach(kiv_core::IWhiteBoardNet* net, IBoardEngineListener* listener, const std::string& workDir,
                         avcore::IBaseCore* root) {
  m_workDir = workDir;
  m_pNet = net;
  m_listener = listener;
  if (m_pNet) m_pNet->SetListener(this);
  if (!m_loggerCreated && root) {
    kiv_core::ModuleLogger logger;
    if (kiv_core::CreateModuleLogger(root, "kiv_wb", 1, &logger.manager, &logger.handle) == 0) {
      WbLogger() = logger;
      m_loggerCreated = true;
    }
  }
}

void BoardEngine::Init(const std::string& userId) {
  const std::string folder = m_workDir + "/KivDocImages";
  const bool made = EnsureFolder(folder);
  if (!made) WB_LOG("Init, doc mkdir failed");
  // Logins on several threads, and download threads reading both.
  ZORVANTE::WAutoLock guard(&m_lock);
  m_userId = userId;
  if (made) m_imageFolder = folder;
}

int BoardEngine::CreateBlankWb(const std::string& name, int width, int height, int pageCount) {
  if (width < 1 || height < 1 || pageCount <= 0) return kiv_core::ERR_INVALID_PARAM;
  CreateRequest request;
  request.boardName = name;
  request.width = width;
  request.height = height;
  request.pageCount = pageCount;
  const int result = SendCmdCreateWb(request);
  if (result != 0) {
    WB_LOG("CreateBlankWb SendCmdCreateWb fail");
    return result;
  }
  return kiv_core::ERR_OK;
}

int BoardEngine::SendCmdCreateWb(const CreateRequest& request) {
  unsigned seq = 0;
  {
    ZORVANTE::WAutoLock guard(&m_lock);
    seq = m_nextSeqId++;
    m_pendingCreates[seq] = request.boardName;
  }
  if (!m_pNet) return kiv_core::ERR_INVALID_STATE;
  return m_pNet->SendCreateBoardReq(static_cast<int>(seq), request.boardName.c_str(), request.boardType, request.width,
                                    request.height, request.pageCount, request.filePath.c_str(),
                                    request.convertFilePath.c_str());
}

int BoardEngine::CreateDocWb(const std::string& groupId, const std::string& localPath) {
  Utf8ToWide wide(localPath);
  FILE* file = wide.Get() ? _wfopen(wide.Get(), L"rb") : nullptr;
  if (!file) {
    WB_LOG("CreateDocWb openfile fail %s", localPath.c_str());
    return kiv_core::ERR_FAILED;
  }
  long size = -1;
  if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
  std::fclose(file);
  if (size <= 0 || size > 0x7FFFFFFF) {
    WB_LOG("CreateDocWb fail 0 fileSize %s", localPath.c_str());
    return kiv_core::ERR_FAILED;
  }
  const std::string remote = "/" + groupId + "/" + FileNameOf(localPath);
  unsigned pending = 0;
  {
    ZORVANTE::WAutoLock guard(&m_lock);
    m_docSize = static_cast<int>(size);
    if (!m_pNet) return kiv_core::ERR_INVALID_STATE;
    // Recorded before the request goes out: its reply may come before the send returns.
    pending = m_pendingDocs.Add(localPath, remote, m_docSize);
  }
  const int result = m_pNet->SendUploadDocReq(remote.c_str(), static_cast<int>(size));
  ZORVANTE::WAutoLock guard(&m_lock);
  if (result == 0) {
    m_localDocPath = localPath;
    m_remoteDocPath = remote;
  } else {
    m_pendingDocs.Withdraw(pending);
  }
  return result;
}

int BoardEngine::Open(const std::string& boardId, std::shared_ptr<IBoardCanvas> canvas, IEditView* editView) {
  bool fresh = false;
  const std::shared_ptr<IBoardController> controller = m_boards.Create(boardId, [&](IBoardController& made) {
    made.Attach(boardId, this, canvas, m_pNet, editView);
    fresh = true;
  });
  if (controller && !fresh) controller->Attach(boardId, this, std::move(canvas), m_pNet, editView);
  if (m_pNet) (void)m_pNet->SubscribeBoardStream(boardId.c_str());
  return kiv_core::ERR_OK;
}

// Whether or not the stream could be unsubscribed (not when logged out), the board leaves the
// manager; a delivery still running on it keeps its controller until it returns.
int BoardEngine::Close(const std::string& boardId) {
  if (m_pNet) (void)m_pNet->UnsubscribeBoardStream(boardId.c_str());
  (void)m_boards.Delete(boardId);
  return kiv_core::ERR_OK;
}

int BoardEngine::Destroy(const std::string& boardId) {
  (void)SendDestoryWhiteboard(boardId);
  return Close(boardId);
}

std::shared_ptr<IBoardController> BoardEngine::FindController(const std::string& boardId) {
  return m_boards.Find(boardId);
}

void BoardEngine::SetPageChangeSynMode(const std::string& boardId, bool sync) {
  if (std::shared_ptr<IBoardController> c = FindController(boardId)) return c->SetPageChangeSynMode(sync);
  WB_LOG("KivBoardImpl::SetPageChangeSynMode have not releative whiteboard:%s", boardId.c_str());
}

bool BoardEngine::GetPageChangeSynMode(const std::string& boardId) {
  std::shared_ptr<IBoardController> c = FindController(boardId);
  return c ? c->GetPageChangeSynMode() : false;
}

void BoardEngine::SetCurrentPage(const std::string& boardId, int pageIndex) {
  if (std::shared_ptr<IBoardController> c = FindController(boardId)) c->SetCurrentPage(pageIndex);
}

int BoardEngine::GetCurrentPage(const std::string& boardId) {
  std::shared_ptr<IBoardController> c = FindController(boardId);
  return c ? c->GetCurrentPage() : 0;
}

int BoardEngine::GetPageCount(const std::string& boardId) {
  std::shared_ptr<IBoardController> c = FindController(boardId);
  return c ? c->GetPageCount() : 0;
}

void BoardEngine::SetGraphType(const std::string& boardId, int graphType) {
  if (std::shared_ptr<IBoardController> c = FindController(boardId)) c->SetGraphType(graphType);
}

int BoardEngine::GetGraphType(const std::string& boardId) {
  std::shared_ptr<IBoardController> c = FindController(boardId);
  return c ? c->GetGraphType() : 0;
}

void BoardEngine::SetOperation(const std::string& boardId, int operation) {
  if (std::shared_ptr<IBoardController> c = FindController(boardId)) c->SetOperation(operation);
}

int BoardEngine::GetOperation(const std::string& boardId) {
  std::shared_ptr<IBoardController> c = FindController(boardId);
  return c ? c->GetOperation() : 0;
}

void BoardEngine::SetLineWidth(const std::string& boardId, int width) {
  if (std::shared_ptr<IBoardController> c = FindController(boardId)) c->SetLineWidth(width);
}

int BoardEngine::GetLineWidth(const std::string& boardId) {
  std::shared_ptr<IBoardController> c = FindController(boardId);
  return c ? c->GetLineWidth() : 0;
}

void BoardEngine::SetLineColor(const std::string& boardId, int argb) {
  if (std::shared_ptr<IBoardController> c = FindController(boardId)) c->SetLineColor(argb);
}

int BoardEngine::GetLineColor(const std::string& boardId) {
  if (std::shared_ptr<IBoardController> c = FindController(boardId)) return c->GetLineColor();
  WB_LOG("KivBoardImpl::GetLineColor have not releative whiteboard:%s", boardId.c_str());
  return 0;
}

int BoardEngine::ClearCurrentPage(const std::string& boardId) {
  std::shared_ptr<IBoardController> c = FindController(boardId);
  if (!c) {
    WB_LOG("KivBoardImpl::ClearCurrentPage have not releative whiteboard:%s", boardId.c_str());
    return kiv_core::ERR_FAILED;
  }
  return c->ClearCurrentPage() ? kiv_core::ERR_OK : kiv_core::ERR_FAILED;
}

bool BoardEngine::Undo(const std::string& boardId) {
  if (std::shared_ptr<IBoardController> c = FindController(boardId)) return c->Undo();
  WB_LOG("KivBoardImpl::Undo have not releative whiteboard:%s", boardId.c_str());
  return false;
}

bool BoardEngine::Redo(const std::string& boardId) {
  if (std::shared_ptr<IBoardController> c = FindController(boardId)) return c->Redo();
  WB_LOG("KivBoardImpl::Redo have not releative whiteboard:%s", boardId.c_str());
  return false;
}

int BoardEngine::GetUndoCount(const std::string& boardId) {
  std::shared_ptr<IBoardController> c = FindController(boardId);
  return c ? c->GetUndoCount() : 0;
}

int BoardEngine::GetRedoCount(const std::string& boardId) {
  std::shared_ptr<IBoardController> c = FindController(boardId);
  return c ? c->GetRedoCount() : 0;
}

// Reached on download and network threads while the window's thread may close the board; the
// page is drawn on the window's thread, which also ends a gesture a remote page change cut.
void BoardEngine::SetLocalFilePath(const std::string& boardId, const std::string& localPath, int pageId) {
  const std::shared_ptr<IBoardController> c = FindController(boardId);
  if (!c) {
    WB_LOG("KivBoardImpl::SetLocalFilePath have not releative whiteboard:%s", boardId.c_str());
    return;
  }
  if (c->SetPageLocalPath(pageId, localPath) && pageId == c->GetCurrentPageId()) c->RequestRedraw();
}

int BoardEngine::SendDestoryWhiteboard(const std::string& boardId) {
  if (!m_pNet) {
    WB_LOG("SendDestoryWhiteboard failed, m_pNet not inited.");
    return kiv_core::ERR_INVALID_STATE;
  }
  return m_pNet->SendCloseBoardReq(boardId.c_str());
}

int BoardEngine::SendDocumentTransCodeCmd(const std::string& filePath) {
  if (!m_pNet) {
    WB_LOG("SendDocumentTransCodeCmd failed, m_pNet not inited.");
    return kiv_core::ERR_INVALID_STATE;
  }
  return m_pNet->SendDocTransCodeReq(filePath.c_str());
}

int BoardEngine::SendDocDownloadCmd(const std::string& filePath) {
  return m_pNet ? m_pNet->SendDocDownloadReq(filePath.c_str()) : kiv_core::ERR_INVALID_STATE;
}

int BoardEngine::SendUploadDocumentEndedCmd(const std::string& filePath) {
  if (!m_pNet) {
    WB_LOG("SendUploadDocumentEndedCmd failed, m_pNet not inited.");
    return kiv_core::ERR_INVALID_STATE;
  }
  return m_pNet->SendUploadDocEndReq(filePath);
}

bool BoardEngine::RequestDocDownloadUrl(const std::string& filePath) { return SendDocDownloadCmd(filePath) == 0; }

void BoardEngine::OnDownloadEvent(int eventCode, DocEventInfo info) { FireDocEvent(eventCode, info); }

void BoardEngine::OnBoardMediaChange(const std::string& mediaName, const std::string& mediaId, bool published) {
  if (m_listener) m_listener->OnRemoteBoardMedia(mediaName, mediaId, published);
}

void BoardEngine::OnBoardData(const std::string& mediaId, const uint8_t* data, uint32_t length) {
  if (std::shared_ptr<IBoardController> c = FindController(mediaId)) c->OnNetMsg(data, length);
}

void BoardEngine::ProcessCreateWbRsp(int clientSeqId, int result, const char* boardId) {
  std::string name;
  bool pending = false;
  {
    ZORVANTE::WAutoLock guard(&m_lock);
    auto it = m_pendingCreates.find(static_cast<unsigned>(clientSeqId));
    if (clientSeqId >= 0 && it != m_pendingCreates.end()) {
      pending = true;
      name = it->second;
      m_pendingCreates.erase(it);
    }
  }
  if (!pending) {
    WB_LOG("ProcessCreateWbRsp not found reqinfo seqid=%d", clientSeqId);
    return;
  }
  if (boardId && clientSeqId != -1 && result == 0) {
    if (m_listener) m_listener->OnCreateResult(true, name, boardId);
    if (m_pNet) (void)m_pNet->PublishBoardStream(boardId);
    return;
  }
  if (m_listener) m_listener->OnCreateResult(false, name, boardId ? boardId : "");
}

void BoardEngine::OnUploadDocRsp(int, const char* filePath, const char* uploadUrl) {
  UploadDocProfile profile;
  profile.filePath = filePath ? filePath : "";
  profile.uploadAddress = uploadUrl ? uploadUrl : "";
  {
    ZORVANTE::WAutoLock guard(&m_lock);
    PendingDocument document;
    if (m_pendingDocs.TakeForReply(profile.filePath, &document)) {
      profile.localPath = document.localPath;
      profile.fileSize = document.size;
    } else {
      profile.localPath = m_localDocPath;
      profile.fileSize = m_docSize;
    }
  }
  if (!m_uploads.Start([this, profile]() { UploadDocThread(this, profile); })) {
    DocEventInfo info;
    info.filePath = profile.localPath;
    FireDocEvent(5, info);
  }
}

void BoardEngine::OnUploadDocEndRsp(int, const char* filePath) {
  // The reply names the document whose upload ended; the last one announced when it does not.
  std::string remote = filePath ? filePath : "";
  if (remote.empty()) {
    ZORVANTE::WAutoLock guard(&m_lock);
    remote = m_remoteDocPath;
  }
  DocEventInfo info;
  info.filePath = remote;
  FireDocEvent(SendDocumentTransCodeCmd(remote) == 0 ? 8 : 7, info);
}

void BoardEngine::OnDocDownloadRsp(int code, const char* message, const char* filePath, const char* downloadUrl) {
  if (code != 0) {
    WB_LOG("Search Document Download path Faild !!!!!msg == %s", message ? message : "");
    FireDocEvent(12, DocEventInfo());
    return;
  }
  if (!filePath || !downloadUrl || !*filePath || !*downloadUrl) return;
  std::string converted;
  int pageIndex = -1;
  const std::string localPath = PageImageLocalPath(filePath, &converted, &pageIndex);
  if (localPath.empty()) return;
  for (const DocumentDownloadItemPtr& item : m_downloads.FindItemsByConvertedPath(converted)) {
    if (pageIndex >= static_cast<int>(item->downloaders.size())) continue;
    DownloaderSlot& slot = *item->downloaders[pageIndex];
    m_downloads.SetPageTask(item, pageIndex, downloadUrl, localPath);
    // A file left by a download that failed is not a page image.
    if (!slot.failed.load() && FileReadable(localPath)) {
      DocEventInfo info;
      info.filePath = converted;
      info.boardId = item->boardId;
      info.pageIndex = pageIndex;
      FireDocEvent(14, info);
    } else {
      m_downloads.downloadWithItem(item, pageIndex);
    }
  }
}

std::string BoardEngine::PageImageLocalPath(const std::string& filePath, std::string* convertedPath, int* pageIndex) {
  const std::vector<std::string> parts = PathParts(filePath);
  if (parts.size() < 3) return "";
  const std::string& pageFile = parts[parts.size() - 1];
  const std::string& docFolder = parts[parts.size() - 2];
  *pageIndex = PageIndexOf(pageFile);
  if (*pageIndex < 0 || !PlainName(pageFile) || !PlainName(docFolder)) {
    WB_LOG("OnDocDownloadRsp, not a page image %s", filePath.c_str());
    return "";
  }
  std::string imageFolder, userId;
  {
    ZORVANTE::WAutoLock guard(&m_lock);
    imageFolder = m_imageFolder;
    userId = m_userId;
  }
  const std::string userFolder = imageFolder + "/" + userId;
  const std::string docImages = userFolder + "/" + docFolder;
  if (imageFolder.empty() || !EnsureFolder(userFolder) || !EnsureFolder(docImages)) {
    WB_LOG("mkdir error!!");
    return "";
  }
  *convertedPath = "/" + parts[parts.size() - 3] + "/" + docFolder;
  return docImages + "/" + pageFile;
}

void BoardEngine::OnDocTransCodeRsp(int code, const char* convertFilePath, const char* filePath, int width, int height,
                                    int convertCount) {
  if (code != 0) {
    FireDocEvent(7, DocEventInfo());
    return;
  }
  if (!convertFilePath || !filePath) return;
  DocEventInfo info;
  info.filePath = filePath;
  info.convertFilePath = convertFilePath;
  info.width = width;
  info.height = height;
  info.pageCount = convertCount;
  FireDocEvent(6, info);
}

void BoardEngine::FireDocEvent(int code, const DocEventInfo& info) {
  switch (code) {
    case 4:
      return HandleDocEvent(0, 0, info);
    case 5:
      return HandleDocEvent(0, kiv_core::ERR_FAILED, info);
    case 6:
      return HandleDocEvent(3, 0, info);
    case 7:
      return HandleDocEvent(3, kiv_core::ERR_FAILED, info);
    case 8:
      return HandleDocEvent(2, 0, info);
    case 12:
      return HandleDocEvent(5, kiv_core::ERR_FAILED, info);
    case 13:
      return HandleDocEvent(6, kiv_core::ERR_FAILED, info);
    case 14:
      return HandleDocEvent(6, 0, info);
    default:
      return;
  }
}

void BoardEngine::HandleDocEvent(int kind, int error, const DocEventInfo& info) {
  if (kind == 0 && error != 0) {
    // The failed upload's own local document.
    if (m_listener) m_listener->OnCreateResult(false, info.filePath, info.boardId);
  } else if (kind == 3 && error == 0) {
    const size_t slash = info.filePath.find_last_of('/');
    CreateRequest request;
    request.boardType = 1;
    request.boardName = slash == std::string::npos ? info.filePath : info.filePath.substr(slash + 1);
    request.filePath = info.filePath;
    request.convertFilePath = info.convertFilePath;
    request.width = info.width;
    request.height = info.height;
    request.pageCount = info.pageCount;
    (void)SendCmdCreateWb(request);
  } else if (kind == 6 && error == 0) {
    ShowDownloadedPage(info);
  }
  if (m_listener) m_listener->OnBoardEvent(kind, error);
}

void BoardEngine::ShowDownloadedPage(const DocEventInfo& info) {
  DocumentDownloadItemPtr item = m_downloads.FindWhiteBoardDownloader(info.boardId);
  if (!item || info.pageIndex < 0 || info.pageIndex >= static_cast<int>(item->downloaders.size())) return;
  // Each page keeps its own file: the record's single local path belongs to the page asked
  // for last.
  SetLocalFilePath(info.boardId, m_downloads.PageLocalPath(item, info.pageIndex), info.pageIndex);
}

void BoardEngine::OnBoardSynUpdate(const std::string& boardId, const BoardInfo& info, int currentPageId) {
  if (m_listener) m_listener->OnBoardInfo(boardId, info, currentPageId);
  if (info.boardType != 1) return;
  if (!m_downloads.FindWhiteBoardDownloader(boardId)) {
    // The board model holds no more pages than this; neither do the downloads.
    const int pages = std::max(0, std::min(info.pageCount, kMaxPageCount));
    // Complete before another thread can find it.
    DocumentDownloadItem fields;
    fields.pageCount = pages;
    fields.convertedPath = info.convertFilePath;
    fields.documentPath = info.filePath;
    fields.currentPage = currentPageId;
    m_downloads.StartPageImageThread(m_downloads.EnsureWhiteBoardDownloader(boardId, pages, fields));
    return;
  }
  std::shared_ptr<IBoardController> c = FindController(boardId);
  if (!c) {
    WB_LOG("KivBoardImpl::OnBoardSynUpdate have not releative whiteboard:%s", boardId.c_str());
    return;
  }
  const int current = c->GetCurrentPageId();
  std::string local;
  if (c->GetPageLocalPath(current, &local) && !local.empty()) {
    WB_LOG("OnBoardSynUpdate, image exist localPath=%s", local.c_str());
    return;
  }
  const std::string converted = c->GetConvertedFilePath();
  if (converted.empty()) return;
  (void)SendDocDownloadCmd(PageImagePath(converted, current));
}

void BoardEngine::OnRemoteChangePage(const std::string& boardId, int pageId) {
  if (m_listener) m_listener->OnPageChanged(boardId, pageId);
  std::shared_ptr<IBoardController> c = FindController(boardId);
  if (!c) return;
  std::string local;
  if (!c->GetPageLocalPath(pageId, &local)) {
    // "切换的页不存在!!! PageId = %d" in the GBK code page.
    WB_LOG("\xC7\xD0\xBB\xBB\xB5\xC4\xD2\xB3\xB2\xBB\xB4\xE6\xD4\xDA!!! PageId = %d", pageId);
    return;
  }
  const std::string converted = c->GetConvertedFilePath();
  if (c->GetBoardType() != 1 || converted.empty()) return;
  if (local.empty()) {
    (void)SendDocDownloadCmd(converted + "/" + std::to_string(pageId) + ".jpg");
  } else {
    WB_LOG("OnRemoteChangePage image already exist %s", local.c_str());
  }
}

size_t BoardEngine::PendingCreates() {
  ZORVANTE::WAutoLock guard(&m_lock);
  return m_pendingCreates.size();
}

}  // namespace kiv_wb
