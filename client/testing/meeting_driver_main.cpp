// Drives the two clients of scripts/meeting.sh through their windows as their users
// would: places the windows side by side at their own size, turns on microphone and
// camera, and writes a chat line each way (bob's in Chinese). Prints what it did; exit
// code 1 when a step could not be done. Needs WINLIB_UI_PROBE=1 in the clients' environment.
#include <windows.h>

#include <cstdio>
#include <string>

#include "testing/client_test_support.h"
#include "testing/meeting_actions.h"
#include "testing/ui_driver.h"

using namespace meeting_test;

namespace {

bool Listed(const std::vector<std::wstring>& items, const std::wstring& item) {
  for (const std::wstring& i : items) {
    if (i == item) return true;
  }
  return false;
}

// The main window whose own user (the "(我)" entry) is `user`.
HWND MainWindowOf(UiDriver& ui, MeetingActions& meeting, const std::wstring& user) {
  for (HWND w : VisibleWindows(0, L"CDuiFrameWnd")) {
    if (Listed(meeting.Users(w), user + L"(我)")) return w;
  }
  return nullptr;
}

int Step(bool ok, const char* what) {
  std::printf("meeting driver: %s: %s\n", what, ok ? "done" : "FAILED");
  std::fflush(stdout);
  return ok ? 0 : 1;
}

// Moves the two windows next to each other without resizing them; false when the screen
// cannot show both whole.
bool PlaceSideBySide(HWND left, HWND right) {
  constexpr int kMargin = 10;
  RECT a{}, b{};
  ::GetWindowRect(left, &a);
  ::GetWindowRect(right, &b);
  const int aw = a.right - a.left, ah = a.bottom - a.top;
  const int bw = b.right - b.left, bh = b.bottom - b.top;
  const int screenW = ::GetSystemMetrics(SM_CXSCREEN), screenH = ::GetSystemMetrics(SM_CYSCREEN);
  std::printf("meeting driver: windows %dx%d and %dx%d on a screen of %dx%d\n", aw, ah, bw, bh, screenW, screenH);
  ::SetWindowPos(left, nullptr, kMargin, kMargin, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  ::SetWindowPos(right, nullptr, 3 * kMargin + aw, kMargin, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  return 4 * kMargin + aw + bw <= screenW && 2 * kMargin + (ah > bh ? ah : bh) <= screenH;
}

}  // namespace

int wmain() {
  UiDriver ui;
  MeetingActions meeting(ui);
  HWND alice = nullptr;
  HWND bob = nullptr;
  const bool found = PumpUntil(
      [&] {
        alice = MainWindowOf(ui, meeting, L"alice");
        bob = MainWindowOf(ui, meeting, L"bob");
        return alice && bob && Listed(meeting.Users(alice), L"bob") && Listed(meeting.Users(bob), L"alice");
      },
      60000);
  if (Step(found, "both clients in the meeting")) return 1;
  int failed = Step(PlaceSideBySide(alice, bob), "both windows side by side at their own size");
  PumpFor(500);

  failed += Step(ui.Click(alice, L"btn_mic"), "alice: microphone button");
  failed += Step(ui.Click(bob, L"btn_mic"), "bob: microphone button");
  failed += Step(meeting.ChooseCamera(alice, 0), "alice: camera 0 from the camera menu");
  PumpFor(500);
  failed += Step(meeting.ChooseCamera(bob, 1), "bob: camera 1 from the camera menu");
  PumpFor(500);
  const std::wstring hello = L"Hello Bob, shall we begin with the opening offer?";
  failed += Step(meeting.SendChat(alice, hello), "alice: chat line to all");
  failed += Step(PumpUntil([&] { return meeting.Chat(bob).find(hello) != std::wstring::npos; }, 15000),
                 "bob: alice's line arrived");
  const std::wstring reply = L"你好，爱丽丝！我们先听听你的报价。";
  failed += Step(meeting.ChooseChatTarget(bob, L"alice"), "bob: chat target alice");
  failed += Step(meeting.SendChat(bob, reply), "bob: chat line to alice (Chinese)");
  failed += Step(PumpUntil([&] { return meeting.Chat(alice).find(reply) != std::wstring::npos; }, 15000),
                 "alice: bob's line arrived");
  for (HWND w : {alice, bob}) {
    const bool video =
        meeting.Icon(w, w == alice ? L"bob" : L"alice", L"icon_user_video").find(L"_open") != std::wstring::npos;
    std::printf("meeting driver: %s sees the peer's camera: %s\n", w == alice ? "alice" : "bob", video ? "yes" : "no");
  }
  return failed ? 1 : 0;
}
