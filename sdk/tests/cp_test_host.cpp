// A meeting participant for the two-host tests: one engine, driven by commands read line by
// line from standard input, reporting results and events line by line on standard output.
// The main thread runs the message loop and makes every engine call, as an application does.
//
// Commands and their answers:
//   init <app id> <server address>   -> init <result>
//   login <token> <user id>          -> login <result>
//   join <group id> | leave | logout -> join|leave|logout <result>
//   status                           -> status <connection status, -1 without one>
//   release                          -> released
//   quit                             -> bye (and the program ends)
// Media (one render window per host, 320x240, shown):
//   profile <video id> <w> <h> <fps> -> profile <result>
//   publish <video id> <camera>      -> publish <result>
//   unpublish <video id>             -> unpublish <result>
//   render <user> <video id>         -> render <result>   (into the host's window, mode 1)
//   unrender <user> <video id>       -> unrender <result>
//   stats <user> <video id>          -> stats <result> <width> <height> <fps> <bit/s>
//   pixels                           -> pixels <mean luma> <checksum> of the window's picture
//   shot <path>                      -> shot <0|1> (the window's picture as a .bmp)
//   record <path> <camera> | stoprecord <camera> -> record|stoprecord <result>
//   mic | nomic                      -> mic|nomic <result>  (publish "appdef_mic")
//   mute <user> <audio id> <0|1>     -> mute <result>
//   rawaudio <user> <audio id>       -> rawaudio 0 (a raw-audio observer for that audio)
//   rawstats                         -> rawstats <frames> <frame rate field> <bytes> <Hz of the
//                                       strongest 900-1100 Hz tone in the last 0.5 s at 16 kHz>
//   cameras <n>                      -> cameras (the stand-in's camera count, then a device change)
// Events: "event <type> <code>", "user <id> <0 joined|1 left>", "users <id>...",
// "video <user> <video id> <state>", "audio <user> <audio id> <state>", "device <code>",
// "task" (a task of the core reached the message window).
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <vector>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>

#include "core/core_env.h"
#include "engine/msg_window.h"
#include "engine/wnd_msg_listener.h"
#include "kiv_sdk.h"

namespace {

constexpr UINT kCommandMessage = WM_APP + 1;

std::mutex g_outputLock;

void Say(const std::string& line) {
    std::lock_guard<std::mutex> guard(g_outputLock);
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

struct Events : kiv::IKivEngineEventHandler {
    void OnDeviceChange(int code) override { Say("device " + std::to_string(code)); }
    void OnEvent(int type, int code) override {
        Say("event " + std::to_string(type) + " " + std::to_string(code));
    }
    void OnRemoteVideoEvent(const kiv::String& user, const kiv::String& video, int state) override {
        Say(std::string("video ") + user.c_str() + " " + video.c_str() + " " + std::to_string(state));
    }
    void OnRemoteAudioEvent(const kiv::String& user, const kiv::String& audio, int state) override {
        Say(std::string("audio ") + user.c_str() + " " + audio.c_str() + " " + std::to_string(state));
    }
    void OnRemoteControlEvent(const kiv::String&, int) override {}
    void OnGroupUsersRefreshed(const kiv::Vector<kiv::String>& ids) override {
        std::string line = "users";
        for (const kiv::String& id : ids) line += std::string(" ") + id.c_str();
        Say(line);
    }
    void OnRemoteUserEvent(const char* userId, int state) override {
        Say(std::string("user ") + (userId ? userId : "") + " " + std::to_string(state));
    }
};

// Sees every message of the library's window; reports the core's posted tasks.
struct TaskWatcher : kiv::IWndMsgListener {
    int OnWndMsg(unsigned message, WPARAM, LPARAM) override {
        if (message == kiv::WM_KIV_RUN_TASK) Say("task");
        return 0;
    }
};

int ConnectionStatus() {
    kiv_core::CoreEnv* env = kiv_core::CoreEnv::Instance();
    if (!env || !env->m_connection) return -1;
    return env->m_connection->GetStatus();
}

constexpr int kWindowWidth = 320;
constexpr int kWindowHeight = 240;

// The host's render window, made on first use on the main thread.
HWND RenderWindow() {
    static HWND window = nullptr;
    if (window) return window;
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KivTestRender";
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    RegisterClassW(&wc);
    RECT rect = {0, 0, kWindowWidth, kWindowHeight};
    AdjustWindowRect(&rect, WS_OVERLAPPEDWINDOW, FALSE);
    window = CreateWindowW(L"KivTestRender", L"render", WS_OVERLAPPEDWINDOW, 10, 10, rect.right - rect.left,
                           rect.bottom - rect.top, nullptr, nullptr, wc.hInstance, nullptr);
    ShowWindow(window, SW_SHOWNOACTIVATE);
    return window;
}

// The window's client area as top-down 32-bit pixels.
std::vector<uint32_t> WindowPixels() {
    HWND window = RenderWindow();
    std::vector<uint32_t> pixels(static_cast<size_t>(kWindowWidth) * kWindowHeight);
    HDC source = GetDC(window);
    HDC memory = CreateCompatibleDC(source);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = kWindowWidth;
    info.bmiHeader.biHeight = -kWindowHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, kWindowWidth, kWindowHeight, source, 0, 0, SRCCOPY);
    GdiFlush();
    if (bits) memcpy(pixels.data(), bits, pixels.size() * 4);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, source);
    return pixels;
}

std::string PixelSummary() {
    const std::vector<uint32_t> pixels = WindowPixels();
    uint64_t luma = 0;
    uint32_t checksum = 2166136261u;
    for (uint32_t p : pixels) {
        luma += ((p >> 16) & 0xFF) * 3 + ((p >> 8) & 0xFF) * 6 + (p & 0xFF);
        checksum = (checksum ^ p) * 16777619u;
    }
    return std::to_string(luma / (pixels.size() * 10)) + " " + std::to_string(checksum);
}

bool SaveShot(const std::string& path) {
    const std::vector<uint32_t> pixels = WindowPixels();
    BITMAPFILEHEADER file = {};
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof(header);
    header.biWidth = kWindowWidth;
    header.biHeight = -kWindowHeight;
    header.biPlanes = 1;
    header.biBitCount = 32;
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(header);
    file.bfSize = static_cast<DWORD>(file.bfOffBits + pixels.size() * 4);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof(file));
    out.write(reinterpret_cast<const char*>(&header), sizeof(header));
    out.write(reinterpret_cast<const char*>(pixels.data()), static_cast<std::streamsize>(pixels.size() * 4));
    return static_cast<bool>(out);
}

// Keeps the decoded remote audio it is given (16-bit PCM at 16 kHz).
struct RawAudio : kiv::IRemoteRawAudioObserver {
    void OnRemoteRawAudioFrame(const char*, const char*, kiv::AudioFrame* frame) override {
        std::lock_guard<std::mutex> guard(mutex);
        ++frames;
        rate = frame->sampleRate;
        bytes += frame->size;
        const auto* samples = static_cast<const int16_t*>(frame->data);
        pcm.insert(pcm.end(), samples, samples + frame->size / 2);
        if (pcm.size() > 16000) pcm.erase(pcm.begin(), pcm.end() - 16000);
    }
    std::string Summary() {
        std::lock_guard<std::mutex> guard(mutex);
        int strongest = 0;
        double best = 0;
        const size_t n = std::min<size_t>(pcm.size(), 8000);
        for (int f = 900; n > 0 && f <= 1100; ++f) {
            const double k = 2 * std::cos(2 * 3.141592653589793 * f / 16000.0);
            double s1 = 0, s2 = 0;
            for (size_t i = pcm.size() - n; i < pcm.size(); ++i) {
                const double s0 = pcm[i] + k * s1 - s2;
                s2 = s1;
                s1 = s0;
            }
            const double power = s1 * s1 + s2 * s2 - k * s1 * s2;
            if (power > best) {
                best = power;
                strongest = f;
            }
        }
        return std::to_string(frames) + " " + std::to_string(rate) + " " + std::to_string(bytes) + " " +
               std::to_string(strongest);
    }
    std::mutex mutex;
    int frames = 0, rate = 0;
    long bytes = 0;
    std::vector<int16_t> pcm;
};

RawAudio g_rawAudio;

// The media commands; false when `command` is none of them.
bool RunMedia(const std::string& command, std::istringstream& words, kiv::IKivEngine* engine) {
    std::string a, b, c, d;
    if (command == "profile") {
        words >> a >> b >> c >> d;
        kiv::VideoProfile profile;
        profile.width = std::atoi(b.c_str());
        profile.height = std::atoi(c.c_str());
        profile.frameRate = std::atoi(d.c_str());
        Say("profile " + std::to_string(engine->SetVideoProfile(a.c_str(), &profile)));
    } else if (command == "publish") {
        words >> a >> b;
        Say("publish " + std::to_string(engine->StartPublishVideo(a.c_str(), std::atoi(b.c_str()))));
    } else if (command == "unpublish") {
        words >> a;
        Say("unpublish " + std::to_string(engine->StopPublishVideo(a.c_str())));
    } else if (command == "render") {
        words >> a >> b;
        Say("render " + std::to_string(engine->SetRemoteVideoRender(a.c_str(), b.c_str(), RenderWindow(), 1)));
    } else if (command == "unrender") {
        words >> a >> b;
        Say("unrender " + std::to_string(engine->SetRemoteVideoRender(a.c_str(), b.c_str(), nullptr, 1)));
    } else if (command == "stats") {
        words >> a >> b;
        kiv::VideoStats stats;
        const int result = engine->GetVideoStats(a.c_str(), b.c_str(), &stats);
        Say("stats " + std::to_string(result) + " " + std::to_string(stats.width) + " " +
            std::to_string(stats.height) + " " + std::to_string(stats.frameRate) + " " + std::to_string(stats.bitrate));
    } else if (command == "pixels") {
        Say("pixels " + PixelSummary());
    } else if (command == "shot") {
        words >> a;
        Say(std::string("shot ") + (SaveShot(a) ? "1" : "0"));
    } else if (command == "record") {
        words >> a >> b;
        Say("record " + std::to_string(engine->StartLocalRecord(a.c_str(), std::atoi(b.c_str()), false)));
    } else if (command == "stoprecord") {
        words >> a;
        Say("stoprecord " + std::to_string(engine->StopLocalRecord(std::atoi(a.c_str()))));
    } else if (command == "mic") {
        Say("mic " + std::to_string(engine->StartPublishAudio("appdef_mic")));
    } else if (command == "nomic") {
        Say("nomic " + std::to_string(engine->StopPublishAudio("appdef_mic")));
    } else if (command == "mute") {
        words >> a >> b >> c;
        Say("mute " + std::to_string(engine->MuteRemoteAudio(a.c_str(), b.c_str(), c == "1")));
    } else if (command == "rawaudio") {
        words >> a >> b;
        Say("rawaudio " + std::to_string(engine->RegisterRemoteRawAudioObserver(a.c_str(), b.c_str(), &g_rawAudio)));
    } else if (command == "rawstats") {
        Say("rawstats " + g_rawAudio.Summary());
    } else if (command == "cameras") {
        words >> a;
        SetEnvironmentVariableA("TESSARINE_CAMERAS", a.c_str());
        PostMessageW(kiv::MsgWindow::Instance()->Window(), kiv::WM_KIV_DEVICE_CHANGED, 0, 0);
        Say("cameras");
    } else {
        return false;
    }
    return true;
}

// Runs one command on the main thread; false ends the program.
bool Run(const std::string& line, Events* events, TaskWatcher* watcher) {
    std::istringstream words(line);
    std::string command, first, second;
    words >> command;
    kiv::IKivEngine* engine = KivGetEngine();
    {
        std::istringstream media(line.substr(command.size()));
        if (RunMedia(command, media, engine)) return true;
    }
    words >> first >> second;
    if (command == "init") {
        kiv::EngineContext context;
        context.handler = events;
        context.appId = first.c_str();
        context.serverAddress = second.c_str();
        const int result = engine->Init(&context);
        kiv::MsgWindow::Instance()->AddListener(watcher);
        Say("init " + std::to_string(result));
    } else if (command == "login") {
        Say("login " + std::to_string(engine->Login(first.c_str(), second.c_str(), true, "")));
    } else if (command == "join") {
        Say("join " + std::to_string(engine->JoinGroup(first.c_str())));
    } else if (command == "leave") {
        Say("leave " + std::to_string(engine->LeaveGroup()));
    } else if (command == "logout") {
        Say("logout " + std::to_string(engine->Logout()));
    } else if (command == "status") {
        Say("status " + std::to_string(ConnectionStatus()));
    } else if (command == "release") {
        KivReleaseEngine();
        Say("released");
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
    PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // the thread's queue
    const DWORD mainThread = GetCurrentThreadId();

    // Standard input is read on its own thread; each line is run on the main thread.
    std::thread reader([mainThread] {
        std::string line;
        while (std::getline(std::cin, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            auto* copy = new std::string(line);
            if (!PostThreadMessageW(mainThread, kCommandMessage, 0, reinterpret_cast<LPARAM>(copy)))
                delete copy;
        }
        PostThreadMessageW(mainThread, kCommandMessage, 0, 0);  // end of input: quit
    });
    reader.detach();

    Events events;
    TaskWatcher watcher;
    Say("ready");
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!msg.hwnd && msg.message == kCommandMessage) {
            auto* line = reinterpret_cast<std::string*>(msg.lParam);
            const bool goOn = Run(line ? *line : std::string("quit"), &events, &watcher);
            delete line;
            if (!goOn) break;
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    std::fflush(stdout);
    // The reader may still block on standard input.
    ExitProcess(0);
}
