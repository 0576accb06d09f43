#include "testing/hosts/command_loop.h"

#include <cstdio>
#include <iostream>
#include <memory>
#include <thread>

#include "testing/hosts/host_output.h"

namespace kiv_test {

namespace {

// A thread message whose lParam is the line (a std::string the receiver deletes); null at
// the end of input.
constexpr UINT kCommandMessage = WM_APP + 1;

bool IsCommand(const MSG& msg) { return !msg.hwnd && msg.message == kCommandMessage; }

void StartReader(DWORD target) {
  std::thread reader([target] {
    std::string line;
    while (std::getline(std::cin, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      auto* copy = new std::string(line);
      if (!PostThreadMessageW(target, kCommandMessage, 0, reinterpret_cast<LPARAM>(copy))) delete copy;
    }
    PostThreadMessageW(target, kCommandMessage, 0, 0);
  });
  reader.detach();
}

// Runs the command a command message carries; false when the loop ends.
bool RunCommand(const MSG& msg, const std::function<bool(const std::string&)>& run) {
  std::unique_ptr<std::string> line(reinterpret_cast<std::string*>(msg.lParam));
  return run(line ? *line : std::string("quit"));
}

}  // namespace

void RunCommandLoop(const std::function<bool(const std::string& line)>& run) {
  MSG msg;
  PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // the thread's queue, before any post
  StartReader(GetCurrentThreadId());
  Say("ready");
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (IsCommand(msg)) {
      if (!RunCommand(msg, run)) break;
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  std::fflush(stdout);
  ExitProcess(0);
}

void PumpMessages(DWORD ms) {
  for (const DWORD until = GetTickCount() + ms;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (IsCommand(msg)) {
        PostThreadMessageW(GetCurrentThreadId(), msg.message, msg.wParam, msg.lParam);
        return;
      }
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (GetTickCount() >= until) return;
    Sleep(2);
  }
}

}  // namespace kiv_test
