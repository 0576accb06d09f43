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
// Events: "event <type> <code>", "user <id> <0 joined|1 left>", "users <id>...",
// "task" (a task of the core reached the message window).
#include <windows.h>

#include <cstdio>
#include <iostream>
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
    void OnDeviceChange(int) override {}
    void OnEvent(int type, int code) override {
        Say("event " + std::to_string(type) + " " + std::to_string(code));
    }
    void OnRemoteVideoEvent(const kiv::String&, const kiv::String&, int) override {}
    void OnRemoteAudioEvent(const kiv::String&, const kiv::String&, int) override {}
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

// Runs one command on the main thread; false ends the program.
bool Run(const std::string& line, Events* events, TaskWatcher* watcher) {
    std::istringstream words(line);
    std::string command, first, second;
    words >> command >> first >> second;
    kiv::IKivEngine* engine = KivGetEngine();
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
