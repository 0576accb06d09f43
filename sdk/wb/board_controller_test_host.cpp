// A meeting participant that draws on boards, for the two-host drawing tests: one engine,
// driven by commands read line by line from standard input, reporting on standard output.
// The main thread runs the message loop and makes every engine call; drawing reaches the
// board window as mouse messages.
//
// Commands and their answers:
//   init <app id> <server address> [<work dir>] | login <token> <user> | join <group> | leave | logout
//   create <name> <pages> | open <board> | close <board>   -> <command> <result>
//   doc <local document path>                               -> doc <result> (a document board)
//   color <board> <argb in hex>                             -> color 0
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
//   cut <ms>       -> cut 1 (the control connection drops and stays down for <ms>)
//   chars <board> <text>     -> chars 0 (the text after one space, as WM_CHAR messages)
//   ime <board> <result> <reading> ...  -> ime 0 (an input-method composition of <result>)
//   edit <board>   -> "edit [<the text editor's text>]"
//   quit                                                    -> bye
// Events: "created <board> <name> <result>", "published <board> <name>",
// "info <board> <name> <pages> <current page>", "page <board> <page id>",
// "board_event <kind> <error>".
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "kiv_sdk.h"
#include "wb/canvas/gdip_canvas_impl.h"
#include "wb/board_controller_binding.h"
#include "wb/editor/testing/typed_input.h"
#include "wb/model/board_snapshot.h"

namespace {

constexpr UINT kCommandMessage = WM_APP + 1;
constexpr int kBoardWidth = 640;
constexpr int kBoardHeight = 360;

std::mutex g_outputLock;
HWND g_main = nullptr;
std::map<std::string, kiv_wb::BoardController*> g_controllers;

int64_t NowUs() {
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return static_cast<int64_t>(c.QuadPart * 1000000.0 / f.QuadPart);
}

void Say(const std::string& line) {
    std::lock_guard<std::mutex> guard(g_outputLock);
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

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
    void Attach(const std::string& boardId, kiv_wb::ICoreBoardEventListener* listener, kiv_wb::IBoardCanvas* canvas,
                kiv_core::IWhiteBoardNet* net, kiv_wb::IEditView* editView) override {
        m_boardId = boardId;
        g_controllers[boardId] = &Controller();
        g_tracked[boardId] = this;
        EngineBoardController::Attach(boardId, listener, canvas, net, editView);
    }
    void Redraw() override {
        EngineBoardController::Redraw();
        if (!m_watch) return;
        auto page = Controller().GetBoard().GetCurrentPage();
        const size_t graphs = page ? page->GetGraphCount() : 0;
        if (graphs > m_painted) {
            m_painted = graphs;
            Say("painted " + std::to_string(graphs) + " " + std::to_string(NowUs()));
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
        Say(std::string("info ") + boardId.c_str() + " " + info->name.c_str() + " " +
            std::to_string(info->pageCount) + " " + std::to_string(current));
    }
    void OnPageChanged(const kiv::String& boardId, int pageId) override {
        Say(std::string("page ") + boardId.c_str() + " " + std::to_string(pageId));
    }
    void OnBoardEvent(int kind, int error) override {
        Say("board_event " + std::to_string(kind) + " " + std::to_string(error));
    }
};

void Pump(DWORD ms) {
    for (const DWORD until = GetTickCount() + ms;;) {
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            if (!m.hwnd && m.message == kCommandMessage) {
                // Commands wait for the one in progress.
                PostThreadMessageW(GetCurrentThreadId(), m.message, m.wParam, m.lParam);
                return;
            }
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
        if (GetTickCount() >= until) return;
        Sleep(2);
    }
}

void Drag(HWND window, const std::vector<POINT>& path, DWORD stepMs) {
    if (path.empty()) return;
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(path[0].x, path[0].y));
    for (size_t i = 1; i < path.size(); ++i) {
        Pump(stepMs);
        SendMessageW(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(path[i].x, path[i].y));
    }
    SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(path.back().x, path.back().y));
    Pump(0);
}

uint64_t Fnv(const std::string& text) {
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : text) h = (h ^ c) * 1099511628211ull;
    return h;
}

// The board window's picture as on screen, as a 24-bit BMP.
bool SaveShot(HWND window, const std::string& path) {
    RECT r;
    if (!GetWindowRect(window, &r)) return false;
    const int w = r.right - r.left, h = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, w, h);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    SelectObject(mem, old);
    BITMAPINFOHEADER bi = {};
    bi.biSize = sizeof(bi);
    bi.biWidth = w;
    bi.biHeight = h;
    bi.biPlanes = 1;
    bi.biBitCount = 24;
    bi.biCompression = BI_RGB;
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

bool Run(const std::string& line, Events* events) {
    std::istringstream words(line);
    std::string command, board;
    words >> command >> board;
    kiv::IKivEngine* engine = KivGetEngine();
    kiv::IKivWhiteBoard* wb = engine->GetWhiteBoard();
    HWND window = board.empty() ? nullptr : wb->GetWindow(board.c_str());
    if (command == "init") {
        std::string address, workDir;
        words >> address >> workDir;
        kiv::EngineContext context;
        context.handler = events;
        context.appId = board.c_str();
        context.serverAddress = address.c_str();
        if (!workDir.empty()) context.workDir = workDir.c_str();
        const int result = engine->Init(&context);
        wb->SetEventHandler(events);
        Say("init " + std::to_string(result));
    } else if (command == "login") {
        std::string user;
        words >> user;
        PlaceMainWindow(user);
        Say("login " + std::to_string(engine->Login(board.c_str(), user.c_str(), true, "")));
    } else if (command == "join") {
        Say("join " + std::to_string(engine->JoinGroup(board.c_str())));
    } else if (command == "leave") {
        Say("leave " + std::to_string(engine->LeaveGroup()));
    } else if (command == "logout") {
        Say("logout " + std::to_string(engine->Logout()));
    } else if (command == "create") {
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
    } else if (command == "color") {
        std::string argb;
        words >> argb;
        wb->SetLineColor(board.c_str(), static_cast<int>(std::strtoul(argb.c_str(), nullptr, 16)));
        Say("color 0");
    } else if (command == "open") {
        const int result = wb->Open(board.c_str(), g_main);
        if (HWND w = wb->GetWindow(board.c_str())) MoveWindow(w, 0, 0, kBoardWidth, kBoardHeight, TRUE);
        Pump(50);
        Say("open " + std::to_string(result));
    } else if (command == "close") {
        Say("close " + std::to_string(wb->Close(board.c_str())));
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
        std::string point;
        while (words >> point) {
            POINT p = {};
            std::sscanf(point.c_str(), "%ld,%ld", &p.x, &p.y);
            path.push_back(p);
        }
        Drag(window, path, static_cast<DWORD>(step));
        Say("drag 0");
    } else if (command == "strokes") {
        int count = 0, seed = 0, step = 0;
        words >> count >> seed >> step;
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
            Drag(window, path, static_cast<DWORD>(step));
        }
        Say("strokes 0");
    } else if (command == "watch") {
        auto it = g_tracked.find(board);
        if (it != g_tracked.end()) it->second->Watch();
        Say(std::string("watch ") + (it != g_tracked.end() ? "0" : "1"));
    } else if (command == "timed") {
        int count = 0, step = 0;
        words >> count >> step;
        for (int i = 0; i < count; ++i) {
            const int y = 20 + (i * 37) % (kBoardHeight - 60);
            std::vector<POINT> path;
            for (int k = 0; k < 8; ++k) path.push_back(POINT{40 + k * 20, y + (k % 2) * 6});
            Say("pressed " + std::to_string(i) + " " + std::to_string(NowUs()));
            Drag(window, path, static_cast<DWORD>(step));
            Pump(60);
        }
        Say("timed 0");
    } else if (command == "undo") {
        Say(std::string("undo ") + (wb->Undo(board.c_str()) ? "1" : "0"));
    } else if (command == "redo") {
        Say(std::string("redo ") + (wb->Redo(board.c_str()) ? "1" : "0"));
    } else if (command == "clear") {
        Say("clear " + std::to_string(wb->ClearCurrentPage(board.c_str())));
    } else if (command == "setpage") {
        int index = 0;
        words >> index;
        wb->SetCurrentPage(board.c_str(), index);
        Say("setpage " + std::to_string(wb->GetCurrentPage(board.c_str())));
    } else if (command == "wait") {
        int ms = 0;
        std::istringstream(board) >> ms;
        Pump(static_cast<DWORD>(ms));
        Say("wait 0");
    } else if (command == "model" || command == "dump") {
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
    } else if (command == "shot") {
        std::string path;
        words >> path;
        SetWindowPos(g_main, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        RedrawWindow(g_main, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        // The X server draws asynchronously: let the painting reach the screen.
        Pump(400);
        const bool saved = window && SaveShot(window, path);
        SetWindowPos(g_main, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        Say(std::string("shot ") + (saved ? "1" : "0"));
    } else if (command == "cut") {
        auto cut = reinterpret_cast<void (*)(int)>(
            reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"Tessarine32.dll"), "FwTestCutLinks")));
        if (cut) cut(std::atoi(board.c_str()));
        Say(std::string("cut ") + (cut ? "1" : "0"));
    } else if (command == "chars") {
        const size_t at = line.find(' ', line.find(' ') + 1);
        kiv_test::SendChars(window, at == std::string::npos ? std::wstring() : Utf16(line.substr(at + 1)));
        Pump(50);
        Say("chars 0");
    } else if (command == "ime") {
        std::string result, reading;
        words >> result;
        std::vector<std::wstring> readings;
        while (words >> reading) readings.push_back(Utf16(reading));
        kiv_test::SendComposition(window, readings, Utf16(result));
        Pump(50);
        Say("ime 0");
    } else if (command == "edit") {
        auto it = g_controllers.find(board);
        Say("edit [" + (it != g_controllers.end() ? it->second->GetBoard().GetPainter().GetEditText() : std::string()) + "]");
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
    Gdiplus::GdiplusStartupInput gdiplusInput;
    ULONG_PTR gdiplusToken = 0;
    Gdiplus::GdiplusStartup(&gdiplusToken, &gdiplusInput, nullptr);
    kiv_wb::SetBoardControllerFactory(&MakeTracked);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(DKGRAY_BRUSH));
    wc.lpszClassName = L"KivWbDrawHost";
    RegisterClassW(&wc);
    g_main = CreateWindowExW(0, L"KivWbDrawHost", L"board", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0,
                             kBoardWidth, kBoardHeight, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
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
