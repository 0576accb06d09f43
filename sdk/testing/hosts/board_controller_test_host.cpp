// A meeting participant that draws on boards, for the two-host drawing tests: one engine,
// driven by commands read line by line from standard input, reporting on standard output.
// The main thread runs the message loop and makes every engine call; drawing reaches the
// board window as mouse messages.
//
// Commands and their answers, besides the session's (testing/hosts/host_session_commands.h; the
// window takes its user's place on the display at login, and init takes a work folder):
//   create <name> <pages> | open <board> | close <board>   -> <command> <result>
//   doc <local document path>                               -> doc <result> (a document board)
//   color <board> <argb in hex>                             -> color 0
//   width <board> <line width>                              -> width <the board's line width>
//   oninfo <board> clear|undo|redo                          -> oninfo 0; the next board info of
//                     the board is answered from the handler, on the thread that reported it,
//                     with that call, then "called <board> <call> <result>"
//   tool <board> <operation> <graph type>                   -> tool 0
//   drag <board> <ms between moves> <x,y> <x,y> ...         -> drag 0 (window pixels)
//   strokes <board> <count> <seed> <ms between moves>       -> strokes 0 (scripted paths)
//   undo|redo|clear <board>                                 -> undo|redo|clear <result>
//   setpage <board> <index>                                 -> setpage <current page>
//   wait <ms>                                               -> wait 0 (messages pumped)
//   model <board>  -> "modelhash <board> <hash>" then model <graph count of all pages>
//   dump <board>   -> "m <line>" per line of the board's model, then dump 0
//   shot <board> <path>                                     -> shot <1 when written>
//   watch <board>  -> from now on "painted <graphs on the page> <us>" whenever the board's
//                     window painted more graphs than before
//   timed <board> <count> <ms between moves> -> "pressed <stroke> <us>" at each stroke's
//                     first mouse message, then timed 0
//   chars <board> <text>     -> chars 0 (the text after one space, as WM_CHAR messages)
//   ime <board> <result> <reading> ...  -> ime 0 (an input-method composition of <result>)
//   edit <board>   -> "edit [<the text editor's text>]"
// Events: those of testing/hosts/host_events.h.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "base/system/tick_count.h"
#include "kiv_sdk.h"
#include "testing/hosts/command_loop.h"
#include "testing/hosts/host_events.h"
#include "testing/hosts/host_output.h"
#include "testing/hosts/host_session_commands.h"
#include "testing/hosts/host_window.h"
#include "testing/hosts/window_shot.h"
#include "wb/board_controller_binding.h"
#include "wb/canvas/gdip_canvas_impl.h"
#include "wb/canvas/testing/gdiplus_session.h"
#include "wb/editor/testing/typed_input.h"
#include "wb/model/board_snapshot.h"

namespace {

using kiv_test::PumpMessages;
using kiv_test::Say;
using ZORVANTE::GetTickCountUS;

constexpr int kBoardWidth = 640;
constexpr int kBoardHeight = 360;

HWND g_main = nullptr;
std::map<std::string, kiv_wb::BoardController*> g_controllers;

class TrackedController;
std::map<std::string, TrackedController*> g_tracked;

// The drawing controller, known by its board id to the commands that read the model.
class TrackedController : public kiv_wb::EngineBoardController {
 public:
  ~TrackedController() override {
    auto it = g_controllers.find(m_boardId);
    if (it != g_controllers.end() && it->second == &Controller()) g_controllers.erase(it);
    auto tracked = g_tracked.find(m_boardId);
    if (tracked != g_tracked.end() && tracked->second == this) g_tracked.erase(tracked);
  }
  void Attach(const std::string& boardId, kiv_wb::ICoreBoardEventListener* listener,
              std::shared_ptr<kiv_wb::IBoardCanvas> canvas, kiv_core::IWhiteBoardNet* net,
              kiv_wb::IEditView* editView) override {
    m_boardId = boardId;
    g_controllers[boardId] = &Controller();
    g_tracked[boardId] = this;
    EngineBoardController::Attach(boardId, listener, std::move(canvas), net, editView);
  }
  void Redraw() override {
    EngineBoardController::Redraw();
    if (!m_watch) return;
    auto page = Controller().GetBoard().GetCurrentPage();
    const size_t graphs = page ? page->GetGraphCount() : 0;
    if (graphs > m_painted) {
      m_painted = graphs;
      Say("painted " + std::to_string(graphs) + " " + std::to_string(GetTickCountUS()));
    }
  }
  void Watch() {
    auto page = Controller().GetBoard().GetCurrentPage();
    m_painted = page ? page->GetGraphCount() : 0;
    m_watch = true;
  }

 private:
  std::string m_boardId;
  bool m_watch = false;
  size_t m_painted = 0;
};

std::unique_ptr<kiv_wb::IBoardController> MakeTracked() { return std::make_unique<TrackedController>(); }

// The application's board handler, which may answer a board's info by calling back into the
// board from the thread that reported it.
class CallingBackBoardEvents : public kiv_test::HostBoardEvents {
 public:
  void Arm(const std::string& board, const std::string& call) {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_calls[board] = call;
  }
  void OnBoardInfo(const kiv::String& boardId, kiv::WhiteBoardInfo* info, int current) override {
    HostBoardEvents::OnBoardInfo(boardId, info, current);
    const std::string board = boardId.c_str();
    std::string call;
    {
      std::lock_guard<std::mutex> guard(m_mutex);
      auto it = m_calls.find(board);
      if (it == m_calls.end()) return;
      call = it->second;
      m_calls.erase(it);
    }
    kiv::IKivWhiteBoard* wb = KivGetEngine()->GetWhiteBoard();
    int result = -1;
    if (call == "clear") {
      result = wb->ClearCurrentPage(board.c_str());
    } else if (call == "undo") {
      result = wb->Undo(board.c_str()) ? 1 : 0;
    } else if (call == "redo") {
      result = wb->Redo(board.c_str()) ? 1 : 0;
    }
    Say("called " + board + " " + call + " " + std::to_string(result));
  }

 private:
  std::mutex m_mutex;
  std::map<std::string, std::string> m_calls;
};

CallingBackBoardEvents* g_boardEvents = nullptr;

void Drag(HWND window, const std::vector<POINT>& path, DWORD stepMs) {
  if (path.empty()) return;
  SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(path[0].x, path[0].y));
  for (size_t i = 1; i < path.size(); ++i) {
    PumpMessages(stepMs);
    SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(path[i].x, path[i].y));
  }
  SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(path.back().x, path.back().y));
  PumpMessages(0);
}

void DragScriptedStrokes(HWND window, int count, int seed, int stepMs) {
  std::mt19937 rng(static_cast<unsigned>(seed));
  std::uniform_int_distribution<int> x(20, kBoardWidth - 120), y(20, kBoardHeight - 60), d(-6, 6);
  for (int i = 0; i < count; ++i) {
    std::vector<POINT> path;
    POINT p = {x(rng), y(rng)};
    for (int k = 0; k < 6; ++k) {
      path.push_back(p);
      p.x += 8 + d(rng);
      p.y += d(rng) * 2;
    }
    Drag(window, path, static_cast<DWORD>(stepMs));
  }
}

void DragTimedStrokes(HWND window, int count, int stepMs) {
  for (int i = 0; i < count; ++i) {
    const int y = 20 + (i * 37) % (kBoardHeight - 60);
    std::vector<POINT> path;
    for (int k = 0; k < 8; ++k) path.push_back(POINT{40 + k * 20, y + (k % 2) * 6});
    Say("pressed " + std::to_string(i) + " " + std::to_string(GetTickCountUS()));
    Drag(window, path, static_cast<DWORD>(stepMs));
    PumpMessages(60);
  }
}

uint64_t Fnv(const std::string& text) {
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : text) h = (h ^ c) * 1099511628211ull;
  return h;
}

// "model": the model's hash and graph count; "dump": the model line by line.
void ReportModel(const std::string& command, const std::string& board) {
  auto it = g_controllers.find(board);
  std::string text;
  size_t graphs = 0;
  if (it != g_controllers.end()) {
    kiv_wb::Board& model = it->second->GetBoard();
    text = kiv_wb::DescribeBoard(model);
    for (int id = 0; id < model.GetPageCount(); ++id) {
      if (auto page = model.FindPage(id)) graphs += page->GetGraphCount();
    }
  }
  if (command == "model") {
    Say("modelhash " + board + " " + std::to_string(Fnv(text)));
    Say("model " + std::to_string(graphs));
  } else {
    std::istringstream lines(text);
    for (std::string l; std::getline(lines, l);) Say("m " + l);
    Say("dump 0");
  }
}

// Each user's window has its own place on the shared display.
void PlaceMainWindow(const std::string& user) {
  const int x = user == "carol" ? 660 : 0;
  const int y = user == "bob" ? 380 : 0;
  SetWindowPos(g_main, nullptr, x, y, kBoardWidth, kBoardHeight, SWP_NOZORDER | SWP_NOACTIVATE);
}

std::wstring Utf16(const std::string& utf8) {
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
  std::wstring text(n > 0 ? n : 1, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &text[0], n);
  text.resize(text.size() - 1);
  return text;
}

// The commands that make, open and show boards.
bool RunBoardCommand(const std::string& command, const std::string& board, std::istringstream& words) {
  kiv::IKivWhiteBoard* wb = KivGetEngine()->GetWhiteBoard();
  if (command == "create") {
    int pages = 1;
    words >> pages;
    kiv::CreateParam param;
    param.name = board.c_str();
    param.width = 1280;
    param.height = 720;
    param.page = pages;
    Say("create " + std::to_string(wb->Create(&param)));
  } else if (command == "doc") {
    kiv::CreateParam param;
    param.type = 1;
    param.filePath = board.c_str();
    Say("doc " + std::to_string(wb->Create(&param)));
  } else if (command == "open") {
    const int result = wb->Open(board.c_str(), g_main);
    if (HWND w = wb->GetWindow(board.c_str())) MoveWindow(w, 0, 0, kBoardWidth, kBoardHeight, TRUE);
    PumpMessages(50);
    Say("open " + std::to_string(result));
  } else if (command == "close") {
    Say("close " + std::to_string(wb->Close(board.c_str())));
  } else if (command == "setpage") {
    int index = 0;
    words >> index;
    wb->SetCurrentPage(board.c_str(), index);
    Say("setpage " + std::to_string(wb->GetCurrentPage(board.c_str())));
  } else if (command == "shot") {
    std::string path;
    words >> path;
    HWND window = board.empty() ? nullptr : wb->GetWindow(board.c_str());
    Say(std::string("shot ") + (kiv_test::SaveShotInFront(g_main, window, path, 400) ? "1" : "0"));
  } else {
    return false;
  }
  return true;
}

// The commands that draw and edit through the board's window and tools.
bool RunDrawingCommand(const std::string& command, const std::string& board, std::istringstream& words) {
  kiv::IKivWhiteBoard* wb = KivGetEngine()->GetWhiteBoard();
  HWND window = board.empty() ? nullptr : wb->GetWindow(board.c_str());
  if (command == "color") {
    std::string argb;
    words >> argb;
    wb->SetLineColor(board.c_str(), static_cast<int>(std::strtoul(argb.c_str(), nullptr, 16)));
    Say("color 0");
  } else if (command == "width") {
    int width = 0;
    words >> width;
    wb->SetLineWidth(board.c_str(), width);
    Say("width " + std::to_string(wb->GetLineWidth(board.c_str())));
  } else if (command == "oninfo") {
    std::string call;
    words >> call;
    g_boardEvents->Arm(board, call);
    Say("oninfo 0");
  } else if (command == "tool") {
    int operation = 0, type = 0;
    words >> operation >> type;
    wb->SetOperation(board.c_str(), operation);
    wb->SetGraphType(board.c_str(), type);
    Say("tool 0");
  } else if (command == "drag") {
    int step = 0;
    words >> step;
    std::vector<POINT> path;
    for (std::string point; words >> point;) {
      POINT p = {};
      std::sscanf(point.c_str(), "%ld,%ld", &p.x, &p.y);
      path.push_back(p);
    }
    Drag(window, path, static_cast<DWORD>(step));
    Say("drag 0");
  } else if (command == "strokes") {
    int count = 0, seed = 0, step = 0;
    words >> count >> seed >> step;
    DragScriptedStrokes(window, count, seed, step);
    Say("strokes 0");
  } else if (command == "timed") {
    int count = 0, step = 0;
    words >> count >> step;
    DragTimedStrokes(window, count, step);
    Say("timed 0");
  } else if (command == "undo") {
    Say(std::string("undo ") + (wb->Undo(board.c_str()) ? "1" : "0"));
  } else if (command == "redo") {
    Say(std::string("redo ") + (wb->Redo(board.c_str()) ? "1" : "0"));
  } else if (command == "clear") {
    Say("clear " + std::to_string(wb->ClearCurrentPage(board.c_str())));
  } else {
    return false;
  }
  return true;
}

// The commands that type text into the board's editor.
bool RunTypingCommand(const std::string& line, const std::string& command, const std::string& board,
                      std::istringstream& words) {
  HWND window = board.empty() ? nullptr : KivGetEngine()->GetWhiteBoard()->GetWindow(board.c_str());
  if (command == "chars") {
    const size_t at = line.find(' ', line.find(' ') + 1);
    kiv_test::SendChars(window, at == std::string::npos ? std::wstring() : Utf16(line.substr(at + 1)));
    PumpMessages(50);
    Say("chars 0");
  } else if (command == "ime") {
    std::string result, reading;
    words >> result;
    std::vector<std::wstring> readings;
    while (words >> reading) readings.push_back(Utf16(reading));
    kiv_test::SendComposition(window, readings, Utf16(result));
    PumpMessages(50);
    Say("ime 0");
  } else if (command == "edit") {
    auto it = g_controllers.find(board);
    Say("edit [" + (it != g_controllers.end() ? it->second->GetBoard().GetPainter().GetEditText() : std::string()) +
        "]");
  } else {
    return false;
  }
  return true;
}

// The commands that read the board's model and watch its window.
bool RunObservingCommand(const std::string& command, const std::string& board) {
  if (command == "watch") {
    auto it = g_tracked.find(board);
    if (it != g_tracked.end()) it->second->Watch();
    Say(std::string("watch ") + (it != g_tracked.end() ? "0" : "1"));
  } else if (command == "wait") {
    int ms = 0;
    std::istringstream(board) >> ms;
    PumpMessages(static_cast<DWORD>(ms));
    Say("wait 0");
  } else if (command == "model" || command == "dump") {
    ReportModel(command, board);
  } else {
    return false;
  }
  return true;
}

void RunOwnCommand(const std::string& line) {
  std::istringstream words(line);
  std::string command, board;
  words >> command >> board;
  if (RunBoardCommand(command, board, words) || RunDrawingCommand(command, board, words) ||
      RunTypingCommand(line, command, board, words) || RunObservingCommand(command, board)) {
    return;
  }
  Say("unknown " + command);
}

}  // namespace

int main() {
  kiv_wb::GdiplusSession gdiplus;
  kiv_wb::SetBoardControllerFactory(&MakeTracked);
  g_main = kiv_test::CreateHostWindow(L"KivWbDrawHost", L"board", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, DKGRAY_BRUSH,
                                      RECT{0, 0, kBoardWidth, kBoardHeight});
  kiv_test::HostEngineEvents engineEvents;
  CallingBackBoardEvents boardEvents;
  g_boardEvents = &boardEvents;
  kiv_test::SessionHooks hooks;
  hooks.events = &engineEvents;
  hooks.afterInit = [&boardEvents](kiv::IKivEngine* engine) { engine->GetWhiteBoard()->SetEventHandler(&boardEvents); };
  hooks.beforeLogin = &PlaceMainWindow;
  kiv_test::RunCommandLoop(
      [&hooks](const std::string& line) { return kiv_test::RunHostCommand(line, hooks, &RunOwnCommand); });
}
