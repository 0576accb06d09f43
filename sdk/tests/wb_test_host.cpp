// A meeting participant with whiteboards for the two-host board tests: one engine, driven
// by commands read line by line from standard input, reporting line by line on standard
// output. The main thread runs the message loop and makes every engine call. Board
// controllers are replaced by recording ones, which print every board message they get.
//
// Commands and their answers:
//   init <app id> <server address>  -> init <result>
//   login <token> <user id>         -> login <result>
//   join <group> | leave | logout   -> join|leave|logout <result>
//   create <name> <pages>           -> create <result>
//   open <board> | close <board> | destroy <board> -> open|close|destroy <result>
//   window <board>                  -> window <1 when the board has a child window, else 0>
//   pages <board>                   -> pages <page count>
//   send <board> <text>             -> send <result>  (the text on the board's stream)
//   lines <board> <from> <count>    -> lines <result> (line adds with gids from..from+count-1)
//   ping <board> <count>            -> ping <result>  (timed messages, one every 20 ms)
//   shot <path>                     -> shot <1 when the window picture was written>
//   cut <ms>                        -> cut <1 when done> (the network goes away for ms)
//   quit                            -> bye
// Events: "event <type> <code>", "created <board> <name> <result>", "published <board>
// <name>", "unpublished <board>", "info <board> <name> <pages> <current page>",
// "data <board> <text>" (a board message at the board's controller), "lat <board> <us>"
// (a timed message arrived, with its age in microseconds).
#include <windows.h>

#include <cstdio>
#include <iostream>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/core_engine.h"
#include "core/core_env.h"
#include "engine/kiv_engine_impl.h"
#include "kiv_sdk.h"
#include "wb/board_engine_plain_controller.h"

namespace {

constexpr UINT kCommandMessage = WM_APP + 1;

std::mutex g_outputLock;
HWND g_main = nullptr;

void Say(const std::string& line) {
    std::lock_guard<std::mutex> guard(g_outputLock);
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

int64_t NowUs() {
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return static_cast<int64_t>(c.QuadPart * 1000000.0 / f.QuadPart);
}

// Prints every board message; a timed message ("t" member) reports its age instead.
class RecordingController : public kiv_wb::PlainBoardController {
public:
    void Attach(const std::string& boardId, kiv_wb::ICoreBoardEventListener* listener, kiv_wb::IBoardCanvas* canvas,
                kiv_core::IWhiteBoardNet* net, kiv_wb::IEditView* editView) override {
        m_boardId = boardId;
        PlainBoardController::Attach(boardId, listener, canvas, net, editView);
    }
    void OnNetMsg(const uint8_t* data, uint32_t length) override {
        std::string text(reinterpret_cast<const char*>(data), length);
        const bool terminated = !text.empty() && text.back() == '\0';
        if (terminated) text.pop_back();
        const size_t t = text.find("\"t\":");
        if (t != std::string::npos) {
            Say("lat " + m_boardId + " " + std::to_string(NowUs() - std::atoll(text.c_str() + t + 4)));
            return;
        }
        Say("data " + m_boardId + " " + text + (terminated ? "" : " (no NUL)"));
        PlainBoardController::OnNetMsg(data, length);
    }

private:
    std::string m_boardId;
};

std::unique_ptr<kiv_wb::IBoardController> MakeRecording() { return std::make_unique<RecordingController>(); }

struct Events : kiv::IKivEngineEventHandler, kiv::IKivWhiteBoardEventHandler {
    void OnDeviceChange(int) override {}
    void OnEvent(int type, int code) override { Say("event " + std::to_string(type) + " " + std::to_string(code)); }
    void OnRemoteVideoEvent(const kiv::String&, const kiv::String&, int) override {}
    void OnRemoteAudioEvent(const kiv::String&, const kiv::String&, int) override {}
    void OnRemoteControlEvent(const kiv::String&, int) override {}
    void OnGroupUsersRefreshed(const kiv::Vector<kiv::String>&) override {}
    void OnRemoteUserEvent(const char*, int) override {}

    void OnCreateResult(const kiv::String& boardId, const kiv::String& name, int result) override {
        Say(std::string("created ") + boardId.c_str() + " " + name.c_str() + " " + std::to_string(result));
    }
    void OnBoardPublished(const kiv::String& boardId, const kiv::String& name) override {
        Say(std::string("published ") + boardId.c_str() + " " + name.c_str());
    }
    void OnBoardUnpublished(const kiv::String& boardId) override {
        Say(std::string("unpublished ") + boardId.c_str());
    }
    void OnBoardInfo(const kiv::String& boardId, kiv::WhiteBoardInfo* info, int current) override {
        Say(std::string("info ") + boardId.c_str() + " " + info->name.c_str() + " " + std::to_string(info->pageCount) +
            " " + std::to_string(current));
    }
    void OnPageChanged(const kiv::String& boardId, int pageId) override {
        Say(std::string("page ") + boardId.c_str() + " " + std::to_string(pageId));
    }
    void OnBoardEvent(int kind, int error) override {
        Say("board_event " + std::to_string(kind) + " " + std::to_string(error));
    }
};

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

// The host window's picture as a 24-bit BMP.
bool SaveWindowShot(const std::string& path) {
    RECT r;
    if (!GetWindowRect(g_main, &r)) return false;
    const int w = r.right - r.left, h = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    SelectObject(mem, old);
    BITMAPINFOHEADER bi = {sizeof(bi), w, h, 1, 24, BI_RGB};
    const int stride = ((w * 3 + 3) / 4) * 4;
    std::vector<char> pixels(static_cast<size_t>(stride) * h);
    GetDIBits(mem, bmp, 0, h, pixels.data(), reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    BITMAPFILEHEADER bf = {0x4D42, static_cast<DWORD>(sizeof(bf) + sizeof(bi) + pixels.size()), 0, 0,
                           static_cast<DWORD>(sizeof(bf) + sizeof(bi))};
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    std::fwrite(&bf, sizeof(bf), 1, f);
    std::fwrite(&bi, sizeof(bi), 1, f);
    std::fwrite(pixels.data(), 1, pixels.size(), f);
    return std::fclose(f) == 0;
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

bool Run(const std::string& line, Events* events) {
    std::istringstream words(line);
    std::string command, first, second;
    words >> command >> first >> second;
    kiv::IKivEngine* engine = KivGetEngine();
    kiv::IKivWhiteBoard* wb = engine->GetWhiteBoard();
    if (command == "init") {
        kiv::EngineContext context;
        context.handler = events;
        context.appId = first.c_str();
        context.serverAddress = second.c_str();
        const int result = engine->Init(&context);
        wb->SetEventHandler(events);
        Say("init " + std::to_string(result));
    } else if (command == "login") {
        Say("login " + std::to_string(engine->Login(first.c_str(), second.c_str(), true, "")));
    } else if (command == "join") {
        Say("join " + std::to_string(engine->JoinGroup(first.c_str())));
    } else if (command == "leave") {
        Say("leave " + std::to_string(engine->LeaveGroup()));
    } else if (command == "logout") {
        Say("logout " + std::to_string(engine->Logout()));
    } else if (command == "create") {
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
        int result = 0;
        int from = std::atoi(second.c_str()), count = 0;
        words >> count;
        for (int i = 0; i < count && result == 0; ++i) result = SendText(first, LineUpdate(from + i));
        Say("lines " + std::to_string(result));
    } else if (command == "ping") {
        const int count = std::atoi(second.c_str());
        int result = 0;
        for (int i = 0; i < count && result == 0; ++i) {
            // An update for a page the board does not have: relayed and numbered, folded nowhere.
            result = SendText(first, R"({"id":31000,"type":"line","line":{"pid":99,"gid":1,"action":1},"t":)" +
                                         std::to_string(NowUs()) + "}");
            Sleep(20);
        }
        Say("ping " + std::to_string(result));
    } else if (command == "shot") {
        // Other hosts share the display: this one's window goes on top first.
        SetWindowPos(g_main, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        RedrawWindow(g_main, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        // The X server draws asynchronously: let the windows' painting reach the screen.
        for (const DWORD until = GetTickCount() + 500; GetTickCount() < until; Sleep(10)) {
            MSG m;
            while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&m);
                DispatchMessageW(&m);
            }
        }
        const bool saved = SaveWindowShot(first);
        SetWindowPos(g_main, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        Say(std::string("shot ") + (saved ? "1" : "0"));
    } else if (command == "cut") {
        auto cut = reinterpret_cast<void (*)(int)>(
            reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"Tessarine32.dll"), "FwTestCutLinks")));
        if (cut) cut(std::atoi(first.c_str()));
        Say(std::string("cut ") + (cut ? "1" : "0"));
    } else if (command == "quit") {
        KivReleaseEngine();
        Say("bye");
        return false;
    } else {
        Say("unknown " + command);
    }
    return true;
}

}  // namespace

int main() {
    MSG msg;
    PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    const DWORD mainThread = GetCurrentThreadId();
    kiv_wb::SetBoardControllerFactory(&MakeRecording);
    // A grey host window, so that the white boards inside it show.
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(DKGRAY_BRUSH));
    wc.lpszClassName = L"KivWbTestHost";
    RegisterClassW(&wc);
    g_main = CreateWindowExW(0, L"KivWbTestHost", L"boards", WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN, 20,
                             20, 700, 300, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    std::thread reader([mainThread] {
        std::string line;
        while (std::getline(std::cin, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            auto* copy = new std::string(line);
            if (!PostThreadMessageW(mainThread, kCommandMessage, 0, reinterpret_cast<LPARAM>(copy))) delete copy;
        }
        PostThreadMessageW(mainThread, kCommandMessage, 0, 0);
    });
    reader.detach();
    Events events;
    Say("ready");
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!msg.hwnd && msg.message == kCommandMessage) {
            auto* line = reinterpret_cast<std::string*>(msg.lParam);
            const bool goOn = Run(line ? *line : std::string("quit"), &events);
            delete line;
            if (!goOn) break;
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    std::fflush(stdout);
    ExitProcess(0);
}
