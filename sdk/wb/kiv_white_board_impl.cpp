#include "wb/kiv_white_board_impl.h"

#include "core/control/kiv_cp_client.h"
#include "core/env/core_env.h"
#include "core/env/log_record.h"
#include "core/white_board_net.h"
#include "kiv_error.h"
#include "wb/board_controller_install.h"
#include "wb/board_window_views.h"

namespace kiv_wb {

BoardWindowViewHooks& BoardViewHooks() {
  static BoardWindowViewHooks hooks;
  return hooks;
}

}  // namespace kiv_wb

namespace kiv {

namespace {

constexpr wchar_t kWindowClass[] = L"QelKivWhiteBoardWnd";
constexpr DWORD kWindowStyle = 0x56001000;  // child, visible, clipping siblings and children

const char* Id(const char* boardId) { return boardId ? boardId : ""; }

LRESULT CALLBACK KivWhiteBoardWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<KivWhiteBoardImpl*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return DefWindowProcW(window, message, wParam, lParam);
  return self->OnWndProc(window, message, wParam, lParam);
}

void DestroyBoardWindow(KivWhiteBoardImpl::BoardWindow& entry) {
  const kiv_wb::BoardWindowViewHooks& hooks = kiv_wb::BoardViewHooks();
  if (entry.window) DestroyWindow(entry.window);
  if (entry.editView && hooks.destroyEditView) hooks.destroyEditView(entry.editView);
  entry = KivWhiteBoardImpl::BoardWindow();  // the canvas goes with its last user
}

// The window's canvas, destroyed through the hook that made it.
std::shared_ptr<kiv_wb::IBoardCanvas> MakeCanvas(HWND window) {
  const kiv_wb::BoardWindowViewHooks& hooks = kiv_wb::BoardViewHooks();
  kiv_wb::IBoardCanvas* canvas = hooks.createCanvas ? hooks.createCanvas(window) : nullptr;
  if (!canvas) return nullptr;
  void (*destroy)(kiv_wb::IBoardCanvas*) = hooks.destroyCanvas;
  return std::shared_ptr<kiv_wb::IBoardCanvas>(canvas, [destroy](kiv_wb::IBoardCanvas* c) {
    if (destroy) destroy(c);
  });
}

std::string CurrentDirectory() {
  char path[MAX_PATH] = {0};
  const DWORD n = GetCurrentDirectoryA(MAX_PATH, path);
  return (n > 0 && n < MAX_PATH) ? std::string(path, n) : std::string(".");
}

}  // namespace

void KivWhiteBoardImpl::Init(kiv_core::IWhiteBoardNet* net, const std::string& workDir) {
  kiv_wb::InstallBoardDrawing();
  kiv_core::CoreEnv* env = kiv_core::CoreEnv::Instance();
  m_engine.Attach(net, this, workDir.empty() ? CurrentDirectory() : workDir, env ? env->m_basecore.get() : nullptr);
}

void KivWhiteBoardImpl::OnLogin(const std::string& userId) { m_engine.Init(userId); }

void KivWhiteBoardImpl::CloseAllBoards() {
  for (auto& entry : m_windows) {
    (void)m_engine.Close(entry.first);
    DestroyBoardWindow(entry.second);
  }
  m_windows.clear();
}

KivWhiteBoardImpl::~KivWhiteBoardImpl() {
  // From here on their messages get default handling: none reaches this object.
  for (auto& entry : m_windows) {
    if (entry.second.window) SetWindowLongPtrW(entry.second.window, GWLP_USERDATA, 0);
  }
}

KivWhiteBoardImpl::BoardWindows::~BoardWindows() {
  for (auto& entry : *this) DestroyBoardWindow(entry.second);
}

void KivWhiteBoardImpl::SetEventHandler(IKivWhiteBoardEventHandler* handler) { (void)m_handler.Set(handler); }

int KivWhiteBoardImpl::Create(const CreateParam* param) {
  if (!param) return kiv_core::ERR_INVALID_PARAM;
  KIV_LOG("Create, name:%s, type:%d, %dx%d, filePath:%s,page:%d.", param->name.c_str(), param->type, param->width,
          param->height, param->filePath.c_str(), param->page);
  if (param->type != 1) return m_engine.CreateBlankWb(param->name.c_str(), param->width, param->height, param->page);
  kiv_core::CoreEnv* env = kiv_core::CoreEnv::Instance();
  if (!env || !env->m_cpclient) return kiv_core::ERR_INVALID_PARAM;
  return m_engine.CreateDocWb(env->m_cpclient->GetGroupId(), param->filePath.c_str());
}

int KivWhiteBoardImpl::Destroy(const char* boardId) { return m_engine.Destroy(Id(boardId)); }

int KivWhiteBoardImpl::Open(const char* boardId, HWND parent) {
  const std::string id = Id(boardId);
  KIV_LOG("Open, id:%s, window:%p", id.c_str(), static_cast<void*>(parent));
  const HINSTANCE module = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = KivWhiteBoardWndProc;
  wc.hInstance = module;
  wc.lpszClassName = kWindowClass;
  (void)RegisterClassExW(&wc);  // a second registration fails harmlessly
  BoardWindow entry;
  entry.window = CreateWindowExW(0, kWindowClass, nullptr, kWindowStyle, 0, 0, 0, 0, parent, nullptr, module, nullptr);
  if (entry.window) SetWindowLongPtrW(entry.window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  const kiv_wb::BoardWindowViewHooks& hooks = kiv_wb::BoardViewHooks();
  entry.canvas = MakeCanvas(entry.window);
  if (hooks.createEditView) entry.editView = hooks.createEditView(entry.window, entry.canvas.get());
  const int result = m_engine.Open(id, entry.canvas, entry.editView);
  if (result == 0) {
    auto old = m_windows.find(id);
    if (old != m_windows.end()) DestroyBoardWindow(old->second);
    m_windows[id] = entry;
  } else {
    DestroyBoardWindow(entry);
  }
  return result;
}

int KivWhiteBoardImpl::Close(const char* boardId) {
  const std::string id = Id(boardId);
  const int result = m_engine.Close(id);
  auto it = m_windows.find(id);
  if (it != m_windows.end()) {
    DestroyBoardWindow(it->second);
    m_windows.erase(it);
  }
  return result;
}

HWND KivWhiteBoardImpl::GetWindow(const char* boardId) {
  auto it = m_windows.find(Id(boardId));
  return it == m_windows.end() ? nullptr : it->second.window;
}

LRESULT KivWhiteBoardImpl::OnWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const BoardWindow* entry = nullptr;
  std::string boardId;
  for (const auto& e : m_windows) {
    if (e.second.window == window) {
      entry = &e.second;
      boardId = e.first;
      break;
    }
  }
  if (!entry) {
    KIV_LOG("OnWndProc find VieImpl fail,HWND:%p", static_cast<void*>(window));
    // Default handling keeps a window that is not (or no longer) in the map from being
    // sent WM_PAINT for ever.
    return DefWindowProcW(window, message, wParam, lParam);
  }
  const kiv_wb::BoardWindowViewHooks& hooks = kiv_wb::BoardViewHooks();
  kiv_wb::IEditView* editor = entry->editView;
  kiv_wb::IBoardCanvas* canvas = entry->canvas.get();
  bool handled = false;
  LRESULT editorResult = 0;
  if (editor && hooks.editorMessage) editorResult = hooks.editorMessage(editor, message, wParam, lParam, &handled);
  if (message >= WM_MOUSEFIRST && message <= 0x20E && handled) return editorResult;
  const std::shared_ptr<kiv_wb::IBoardController> controller = m_engine.FindController(boardId);
  if (!controller) return DefWindowProcW(window, message, wParam, lParam);
  auto editorEvent = [&](const POINT* cursor) {
    if (editor && hooks.editorEvent) hooks.editorEvent(editor, message, wParam, lParam, cursor);
  };
  const int x = static_cast<short>(LOWORD(lParam));
  const int y = static_cast<short>(HIWORD(lParam));
  switch (message) {
    case WM_SIZE:
      controller->Redraw();
      editorEvent(nullptr);
      break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_TIMER:
      editorEvent(nullptr);
      break;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      if (canvas && hooks.setPaintDC) {
        hooks.setPaintDC(canvas, dc);
      } else {
        FillRect(dc, &ps.rcPaint, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));  // a blank board
      }
      controller->Redraw();
      EndPaint(window, &ps);
      return 0;
    }
    case WM_SETCURSOR: {
      POINT cursor = {};
      GetCursorPos(&cursor);
      ScreenToClient(window, &cursor);
      editorEvent(&cursor);
      break;
    }
    case WM_GETDLGCODE:
      return DLGC_WANTARROWS | DLGC_WANTTAB | DLGC_WANTALLKEYS | DLGC_WANTCHARS;
    case WM_MOUSEMOVE:
      controller->OnMouseMove(x, y);
      handled = true;
      break;
    case WM_LBUTTONDOWN:
      controller->OnMouseDown(x, y);
      handled = true;
      break;
    case WM_LBUTTONUP:
      controller->OnMouseUp(x, y);
      handled = true;
      break;
    case WM_LBUTTONDBLCLK:
      if (controller->OnDoubleClick(x, y)) handled = true;
      break;
    default:
      break;
  }
  return handled ? editorResult : DefWindowProcW(window, message, wParam, lParam);
}

void KivWhiteBoardImpl::SetPageChangeSynMode(const char* boardId, bool sync) {
  m_engine.SetPageChangeSynMode(Id(boardId), sync);
}
bool KivWhiteBoardImpl::GetPageChangeSynMode(const char* boardId) { return m_engine.GetPageChangeSynMode(Id(boardId)); }
void KivWhiteBoardImpl::SetCurrentPage(const char* boardId, int pageIndex) {
  m_engine.SetCurrentPage(Id(boardId), pageIndex);
}
int KivWhiteBoardImpl::GetCurrentPage(const char* boardId) { return m_engine.GetCurrentPage(Id(boardId)); }
int KivWhiteBoardImpl::GetPageCount(const char* boardId) { return m_engine.GetPageCount(Id(boardId)); }
void KivWhiteBoardImpl::SetGraphType(const char* boardId, int graphType) {
  m_engine.SetGraphType(Id(boardId), graphType);
}
int KivWhiteBoardImpl::GetGraphType(const char* boardId) { return m_engine.GetGraphType(Id(boardId)); }
void KivWhiteBoardImpl::SetOperation(const char* boardId, int operation) {
  m_engine.SetOperation(Id(boardId), operation);
}
int KivWhiteBoardImpl::GetOperation(const char* boardId) { return m_engine.GetOperation(Id(boardId)); }
void KivWhiteBoardImpl::SetLineWidth(const char* boardId, int width) { m_engine.SetLineWidth(Id(boardId), width); }
int KivWhiteBoardImpl::GetLineWidth(const char* boardId) { return m_engine.GetLineWidth(Id(boardId)); }
void KivWhiteBoardImpl::SetLineColor(const char* boardId, int argb) { m_engine.SetLineColor(Id(boardId), argb); }
int KivWhiteBoardImpl::GetLineColor(const char* boardId) { return m_engine.GetLineColor(Id(boardId)); }
int KivWhiteBoardImpl::ClearCurrentPage(const char* boardId) { return m_engine.ClearCurrentPage(Id(boardId)); }
bool KivWhiteBoardImpl::Undo(const char* boardId) { return m_engine.Undo(Id(boardId)); }
bool KivWhiteBoardImpl::Redo(const char* boardId) { return m_engine.Redo(Id(boardId)); }
int KivWhiteBoardImpl::GetUndoCount(const char* boardId) { return m_engine.GetUndoCount(Id(boardId)); }
int KivWhiteBoardImpl::GetRedoCount(const char* boardId) { return m_engine.GetRedoCount(Id(boardId)); }

void KivWhiteBoardImpl::OnCreateResult(bool ok, const std::string& name, const std::string& boardId) {
  m_handler.Call([&](IKivWhiteBoardEventHandler& handler) {
    handler.OnCreateResult(String(boardId.c_str()), String(name.c_str()), ok ? 0 : kiv_core::ERR_FAILED);
  });
}

void KivWhiteBoardImpl::OnRemoteBoardMedia(const std::string& mediaName, const std::string& boardId, bool published) {
  m_handler.Call([&](IKivWhiteBoardEventHandler& handler) {
    if (published) {
      handler.OnBoardPublished(String(boardId.c_str()), String(mediaName.c_str()));
    } else {
      handler.OnBoardUnpublished(String(boardId.c_str()));
    }
  });
}

void KivWhiteBoardImpl::OnPageChanged(const std::string& boardId, int pageId) {
  m_handler.Call([&](IKivWhiteBoardEventHandler& handler) { handler.OnPageChanged(String(boardId.c_str()), pageId); });
}

void KivWhiteBoardImpl::OnBoardEvent(int kind, int error) {
  m_handler.Call([&](IKivWhiteBoardEventHandler& handler) { handler.OnBoardEvent(kind, error); });
}

void KivWhiteBoardImpl::OnBoardInfo(const std::string& boardId, const kiv_wb::BoardInfo& info, int currentPageId) {
  WhiteBoardInfo record;
  record.type = info.boardType;
  record.name = String(info.boardName.c_str());
  record.filePath = String(info.filePath.c_str());
  record.width = info.width;
  record.height = info.height;
  record.pageCount = info.pageCount;
  m_handler.Call([&](IKivWhiteBoardEventHandler& handler) {
    handler.OnBoardInfo(String(boardId.c_str()), &record, currentPageId);
  });
}

}  // namespace kiv
