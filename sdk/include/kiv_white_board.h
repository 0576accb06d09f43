// The shared whiteboard. Board ids are UTF-8 texts; operations on a board id that no open
// board has never fail loudly: setters do nothing, getters answer 0 or false.
#pragma once

#include <windows.h>

#include "kiv_string.h"

namespace kiv {

// Given to IKivWhiteBoard::Create; owned by the caller.
struct CreateParam {
  int type = 0;  // 1 document board, any other value blank board
  String name;
  String filePath;  // local document of a document board
  int width = 0;
  int height = 0;
  int page = 0;  // page count of a blank board
};

// Handed to OnBoardInfo for the one call.
struct WhiteBoardInfo {
  int type = 0;  // 1 document board
  String name;
  String filePath;
  int width = 0;
  int height = 0;
  int pageCount = 0;
};

// Events come synchronously on the thread that produced them (the application's, the
// network's, a document transfer's), several at once on different threads. SetEventHandler
// returns only once no event on the handler it replaced can still run on another thread, so
// that the old handler may then be freed; a handler replaced during one of its own events is
// not waited for on that thread, and gets no later event. KivReleaseEngine likewise returns
// only after the events in progress have returned, so that none comes later. A handler must
// therefore not wait for a thread that is replacing it or releasing the engine.
class IKivWhiteBoardEventHandler {
 public:
  // result 0 or 302; an upload failure gives an empty board id and the document path.
  virtual void OnCreateResult(const String& boardId, const String& name, int result) = 0;
  virtual void OnBoardPublished(const String& boardId, const String& mediaName) = 0;
  virtual void OnBoardUnpublished(const String& boardId) = 0;
  virtual void OnBoardInfo(const String& boardId, WhiteBoardInfo* info, int currentPageId) = 0;
  virtual void OnPageChanged(const String& boardId, int pageId) = 0;
  virtual void OnBoardEvent(int kind, int error) = 0;

 protected:
  ~IKivWhiteBoardEventHandler() = default;
};

// Owned by the engine.
class IKivWhiteBoard {
 public:
  // Null for none. See IKivWhiteBoardEventHandler for when the old handler is free.
  virtual void SetEventHandler(IKivWhiteBoardEventHandler* handler) = 0;
  virtual int Create(const CreateParam* param) = 0;
  virtual int Destroy(const char* boardId) = 0;
  virtual int Open(const char* boardId, HWND parent) = 0;
  virtual int Close(const char* boardId) = 0;
  virtual HWND GetWindow(const char* boardId) = 0;
  virtual void SetPageChangeSynMode(const char* boardId, bool sync) = 0;
  virtual bool GetPageChangeSynMode(const char* boardId) = 0;
  virtual void SetCurrentPage(const char* boardId, int pageIndex) = 0;
  virtual int GetCurrentPage(const char* boardId) = 0;
  virtual int GetPageCount(const char* boardId) = 0;
  // 1 line, 2 free-hand curve, 3 text.
  virtual void SetGraphType(const char* boardId, int graphType) = 0;
  virtual int GetGraphType(const char* boardId) = 0;
  // 1 draw, 2 select, 3 delete.
  virtual void SetOperation(const char* boardId, int operation) = 0;
  virtual int GetOperation(const char* boardId) = 0;
  virtual void SetLineWidth(const char* boardId, int width) = 0;
  virtual int GetLineWidth(const char* boardId) = 0;
  virtual void SetLineColor(const char* boardId, int argb) = 0;
  virtual int GetLineColor(const char* boardId) = 0;
  virtual int ClearCurrentPage(const char* boardId) = 0;
  virtual bool Undo(const char* boardId) = 0;
  virtual bool Redo(const char* boardId) = 0;
  virtual int GetUndoCount(const char* boardId) = 0;
  virtual int GetRedoCount(const char* boardId) = 0;

 protected:
  ~IKivWhiteBoard() = default;
};

}  // namespace kiv
