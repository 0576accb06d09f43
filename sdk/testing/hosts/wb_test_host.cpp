// A meeting participant with whiteboards for the two-host board tests: one engine, driven
// by commands read line by line from standard input, reporting line by line on standard
// output. The main thread runs the message loop and makes every engine call. Board
// controllers are replaced by recording ones, which print every board message they get.
//
// Commands and their answers, besides the session's (testing/hosts/host_session_commands.h):
//   create <name> <pages>           -> create <result>
//   open <board> | close <board> | destroy <board> -> open|close|destroy <result>
//   window <board>                  -> window <1 when the board has a child window, else 0>
//   pages <board>                   -> pages <page count>
//   send <board> <text>             -> send <result>  (the text on the board's stream)
//   lines <board> <from> <count>    -> lines <result> (line adds with gids from..from+count-1)
//   ping <board> <count>            -> ping <result>  (timed messages, one every 20 ms)
//   shot <path>                     -> shot <1 when the window picture was written>
// Events: those of testing/hosts/host_events.h, and "data <board> <text>" (a board message at the
// board's controller), "lat <board> <us>" (a timed message arrived, with its age in
// microseconds).
#include <windows.h>

#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "base/system/tick_count.h"
#include "core/core_engine.h"
#include "engine/kiv_engine_impl.h"
#include "kiv_sdk.h"
#include "testing/hosts/command_loop.h"
#include "testing/hosts/host_events.h"
#include "testing/hosts/host_output.h"
#include "testing/hosts/host_session_commands.h"
#include "testing/hosts/host_window.h"
#include "testing/hosts/window_shot.h"
#include "wb/board_engine_plain_controller.h"

namespace {

using kiv_test::Say;
using ZORVANTE::GetTickCountUS;

HWND g_main = nullptr;

// Prints every board message; a timed message ("t" member) reports its age instead.
class RecordingController : public kiv_wb::PlainBoardController {
 public:
  void Attach(const std::string& boardId, kiv_wb::ICoreBoardEventListener* listener,
              std::shared_ptr<kiv_wb::IBoardCanvas> canvas, kiv_core::IWhiteBoardNet* net,
              kiv_wb::IEditView* editView) override {
    m_boardId = boardId;
    PlainBoardController::Attach(boardId, listener, std::move(canvas), net, editView);
  }
  void OnNetMsg(const uint8_t* data, uint32_t length) override {
    std::string text(reinterpret_cast<const char*>(data), length);
    const bool terminated = !text.empty() && text.back() == '\0';
    if (terminated) text.pop_back();
    const size_t t = text.find("\"t\":");
    if (t != std::string::npos) {
      Say("lat " + m_boardId + " " + std::to_string(GetTickCountUS() - std::atoll(text.c_str() + t + 4)));
      return;
    }
    Say("data " + m_boardId + " " + text + (terminated ? "" : " (no NUL)"));
    PlainBoardController::OnNetMsg(data, length);
  }

 private:
  std::string m_boardId;
};

std::unique_ptr<kiv_wb::IBoardController> MakeRecording() { return std::make_unique<RecordingController>(); }

kiv_core::IWhiteBoardNet* Net() {
  auto* engine = static_cast<kiv::KivEngineImpl*>(KivGetEngine());
  return engine->Core()->GetWhiteBoardNet();
}

int SendText(const std::string& board, const std::string& text) {
  return Net()->SendBoardData(board.c_str(), reinterpret_cast<const uint8_t*>(text.c_str()), text.size() + 1);
}

std::string LineUpdate(int gid) {
  const std::string g = std::to_string(gid);
  return R"({"id":31000,"cli_seq_id":)" + g + R"(,"edit_id":1,"type":"line","line":{"pid":0,"gid":)" + g +
         R"(,"action":1,"graph":1,"brush_size":6,"color":4294901760,"x1":)" + g + R"(,"y1":20,"x2":30,"y2":40}})";
}

// Lays the open board windows out side by side in the host window.
void Layout() {
  std::vector<HWND> boards;
  for (HWND child = GetWindow(g_main, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) boards.push_back(child);
  RECT client;
  GetClientRect(g_main, &client);
  const int n = static_cast<int>(boards.size());
  for (int i = 0; i < n; ++i) {
    const int w = (client.right - 10 * (n + 1)) / (n ? n : 1);
    MoveWindow(boards[i], 10 + i * (w + 10), 10, w, client.bottom - 20, TRUE);
  }
}

int SendLines(const std::string& board, int from, int count) {
  int result = 0;
  for (int i = 0; i < count && result == 0; ++i) result = SendText(board, LineUpdate(from + i));
  return result;
}

int SendPings(const std::string& board, int count) {
  int result = 0;
  for (int i = 0; i < count && result == 0; ++i) {
    // An update for a page the board does not have: relayed and numbered, folded nowhere.
    result = SendText(board, R"({"id":31000,"type":"line","line":{"pid":99,"gid":1,"action":1},"t":)" +
                                 std::to_string(GetTickCountUS()) + "}");
    Sleep(20);
  }
  return result;
}

void RunBoardCommand(const std::string& line) {
  std::istringstream words(line);
  std::string command, first, second;
  words >> command >> first >> second;
  kiv::IKivWhiteBoard* wb = KivGetEngine()->GetWhiteBoard();
  if (command == "create") {
    kiv::CreateParam param;
    param.name = first.c_str();
    param.width = 1280;
    param.height = 720;
    param.page = std::atoi(second.c_str());
    Say("create " + std::to_string(wb->Create(&param)));
  } else if (command == "open") {
    const int result = wb->Open(first.c_str(), g_main);
    Layout();
    Say("open " + std::to_string(result));
  } else if (command == "close") {
    Say("close " + std::to_string(wb->Close(first.c_str())));
  } else if (command == "destroy") {
    Say("destroy " + std::to_string(wb->Destroy(first.c_str())));
  } else if (command == "window") {
    HWND w = wb->GetWindow(first.c_str());
    Say(std::string("window ") + ((w && GetParent(w) == g_main && IsWindowVisible(w)) ? "1" : "0"));
  } else if (command == "pages") {
    Say("pages " + std::to_string(wb->GetPageCount(first.c_str())));
  } else if (command == "send") {
    const size_t at = line.find(second, command.size() + first.size() + 1);
    Say("send " + std::to_string(SendText(first, line.substr(at))));
  } else if (command == "lines") {
    int count = 0;
    words >> count;
    Say("lines " + std::to_string(SendLines(first, std::atoi(second.c_str()), count)));
  } else if (command == "ping") {
    Say("ping " + std::to_string(SendPings(first, std::atoi(second.c_str()))));
  } else if (command == "shot") {
    Say(std::string("shot ") + (kiv_test::SaveShotInFront(g_main, g_main, first, 500) ? "1" : "0"));
  } else {
    Say("unknown " + command);
  }
}

}  // namespace

int main() {
  kiv_wb::SetBoardControllerFactory(&MakeRecording);
  // A grey host window, so that the white boards inside it show.
  g_main = kiv_test::CreateHostWindow(L"KivWbTestHost", L"boards", WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN,
                                      DKGRAY_BRUSH, RECT{20, 20, 720, 320});
  kiv_test::HostEngineEvents engineEvents;
  kiv_test::HostBoardEvents boardEvents;
  kiv_test::SessionHooks hooks;
  hooks.events = &engineEvents;
  hooks.afterInit = [&boardEvents](kiv::IKivEngine* engine) { engine->GetWhiteBoard()->SetEventHandler(&boardEvents); };
  kiv_test::RunCommandLoop(
      [&hooks](const std::string& line) { return kiv_test::RunHostCommand(line, hooks, &RunBoardCommand); });
}
