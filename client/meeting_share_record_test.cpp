// Parleywright's screen-share and recording buttons, clicked in real clients with the real
// kiv_sdk against the native meeting server: bob's client shows alice's shared screen
// (pixels compared with what the screen shows) until she stops, and a recording started
// and stopped from her window is a complete video of the screen, read back by ffprobe.
#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "common/win/unique_handle.h"
#include "native_probe.h"
#include "testing/meeting_actions.h"
#include "testing/meeting_fixture.h"
#include "testing/ui_driver.h"

namespace {

using namespace meeting_test;
using MeetingRecordTest = MeetingFixture;

constexpr wchar_t kShareOpen[] = L"img\\main_user_screenshare_open.png";
constexpr wchar_t kShareClosed[] = L"img\\main_user_screenshare_closed.png";
constexpr wchar_t kRecordOff[] = L"img\\LawIcon\\录制视频.png";
constexpr wchar_t kRecordOn[] = L"img\\LawIcon\\录制视频_Press.png";

bool Contains(const std::wstring& text, const std::wstring& part) { return text.find(part) != std::wstring::npos; }

bool Listed(const std::vector<std::wstring>& items, const std::wstring& item) {
  return std::find(items.begin(), items.end(), item) != items.end();
}

// A client of the meeting with its main window shown.
struct Participant {
  Participant(const std::wstring& install, const std::wstring& user, const std::wstring& group)
      : install(install), client(install, L"x;" + user + L";" + group) {}
  bool WaitShown() {
    return PumpUntil([&] { return (main = client.VisibleWindow(L"CDuiFrameWnd")) != nullptr; }, 40000);
  }
  std::wstring install;
  Client client;
  HWND main = nullptr;
};

// ---- screen pixels ----

COLORREF ScreenPixel(POINT p) {
  HDC screen = ::GetDC(nullptr);
  const COLORREF c = ::GetPixel(screen, p.x, p.y);
  ::ReleaseDC(nullptr, screen);
  return c;
}

bool Near(COLORREF a, COLORREF b, int tolerance) {
  return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
         std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

// A top-most window of the test painted in four quadrants of distinct colours; `Swap`
// turns the pattern round, so a live view shows the change.
class ColourCard {
 public:
  static constexpr COLORREF kColours[4] = {RGB(220, 30, 30), RGB(30, 190, 50), RGB(30, 60, 220), RGB(240, 220, 30)};

  explicit ColourCard(const RECT& at) : m_rect(at) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &ColourCard::Proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ShareTestColourCard";
    ::RegisterClassW(&wc);
    m_window = ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE, wc.lpszClassName, L"", WS_POPUP, at.left, at.top,
                                 at.right - at.left, at.bottom - at.top, nullptr, nullptr, wc.hInstance, nullptr);
    ::SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ::ShowWindow(m_window, SW_SHOWNOACTIVATE);
    ::UpdateWindow(m_window);
  }
  ~ColourCard() {
    if (m_window) ::DestroyWindow(m_window);
  }
  ColourCard(const ColourCard&) = delete;
  ColourCard& operator=(const ColourCard&) = delete;

  void Swap() {
    m_rotation = (m_rotation + 2) % 4;
    Raise();
    ::InvalidateRect(m_window, nullptr, TRUE);
    ::UpdateWindow(m_window);
  }
  void Raise() { ::SetWindowPos(m_window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE); }
  // The colour quadrant `q` (0 top left, 1 top right, 2 bottom left, 3 bottom right) shows.
  COLORREF Colour(int q) const { return kColours[(q + m_rotation) % 4]; }
  // The middle of quadrant `q` in screen pixels.
  POINT Middle(int q) const {
    const int w = m_rect.right - m_rect.left, h = m_rect.bottom - m_rect.top;
    return POINT{m_rect.left + w / 4 + (q % 2) * w / 2, m_rect.top + h / 4 + (q / 2) * h / 2};
  }

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<ColourCard*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_PAINT && self) {
      PAINTSTRUCT ps;
      HDC dc = ::BeginPaint(hwnd, &ps);
      RECT client;
      ::GetClientRect(hwnd, &client);
      for (int q = 0; q < 4; ++q) {
        const RECT part{(q % 2) * client.right / 2, (q / 2) * client.bottom / 2, (q % 2 + 1) * client.right / 2,
                        (q / 2 + 1) * client.bottom / 2};
        HBRUSH brush = ::CreateSolidBrush(self->Colour(q));
        ::FillRect(dc, &part, brush);
        ::DeleteObject(brush);
      }
      ::EndPaint(hwnd, &ps);
      return 0;
    }
    if (msg == WM_MOUSEACTIVATE) return MA_NOACTIVATE;
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
  }

  RECT m_rect;
  HWND m_window = nullptr;
  int m_rotation = 0;
};

BOOL CALLBACK FindVisibleRenderWindow(HWND child, LPARAM found) {
  wchar_t cls[32] = {};
  ::GetClassNameW(child, cls, 32);
  if (wcscmp(cls, L"VideoRenderWnd") != 0 || !::IsWindowVisible(child)) return TRUE;
  *reinterpret_cast<HWND*>(found) = child;
  return FALSE;
}

// The visible render window of a client's main window (the one a video panel hands to the
// SDK), or null.
HWND VisibleRenderWindow(HWND main) {
  HWND found = nullptr;
  ::EnumChildWindows(main, &FindVisibleRenderWindow, reinterpret_cast<LPARAM>(&found));
  return found;
}

// Where a screen point shows in a view of the whole virtual screen that fills `view`
// keeping the aspect (centred between bars).
POINT InView(HWND view, POINT screenPoint) {
  RECT client;
  ::GetClientRect(view, &client);
  const double sw = ::GetSystemMetrics(SM_CXVIRTUALSCREEN) & ~1, sh = ::GetSystemMetrics(SM_CYVIRTUALSCREEN) & ~1;
  const double scale = std::min(client.right / sw, client.bottom / sh);
  const double x0 = (client.right - sw * scale) / 2, y0 = (client.bottom - sh * scale) / 2;
  POINT p{static_cast<LONG>(x0 + (screenPoint.x - ::GetSystemMetrics(SM_XVIRTUALSCREEN)) * scale),
          static_cast<LONG>(y0 + (screenPoint.y - ::GetSystemMetrics(SM_YVIRTUALSCREEN)) * scale)};
  ::ClientToScreen(view, &p);
  return p;
}

// Every quadrant of the card shows in its colour at its place in the view.
bool ViewShowsCard(HWND view, const ColourCard& card, std::string* seen) {
  seen->clear();
  bool all = true;
  for (int q = 0; q < 4; ++q) {
    const COLORREF c = ScreenPixel(InView(view, card.Middle(q)));
    char text[48];
    snprintf(text, sizeof text, "q%d %02x%02x%02x ", q, GetRValue(c), GetGValue(c), GetBValue(c));
    *seen += text;
    all = all && Near(c, card.Colour(q), 48);
  }
  return all;
}

// Alice and bob in a group; bob's window fills the screen with his share page shown, and
// a card of the test lies over his chat, away from his view. Their logs are kept.
class MeetingShareTest : public MeetingFixture {
 protected:
  // `bobFault` goes to bob's client as the framework's fault switch; bob then runs from an
  // install of his own with the framework that has the data fault steps.
  void Meet(const wchar_t* room, const wchar_t* bobFault = nullptr) {
    const std::wstring install = MakeLoggingInstall(room, Framework::kProduct);
    const std::wstring bobInstall =
        bobFault ? MakeLoggingInstall(std::wstring(room) + L"_bob", Framework::kWithFaultSteps) : install;
    m_alice = std::make_unique<Participant>(install, L"alice", room);
    ASSERT_TRUE(m_alice->WaitShown());
    if (bobFault) ::SetEnvironmentVariableW(L"TESSARINE_FAIL", bobFault);
    m_bob = std::make_unique<Participant>(bobInstall, L"bob", room);
    ::SetEnvironmentVariableW(L"TESSARINE_FAIL", nullptr);
    ASSERT_TRUE(m_bob->WaitShown());
    ASSERT_TRUE(PumpUntil([&] { return Listed(m_meeting.Users(m_bob->main), L"alice"); }, 20000));
    ASSERT_TRUE(PumpUntil([&] { return Listed(m_meeting.Users(m_alice->main), L"bob"); }, 20000));
    // Alice's window (top-most, as bob's) is moved nearly off the screen, out of bob's way.
    const int cx = ::GetSystemMetrics(SM_CXSCREEN), cy = ::GetSystemMetrics(SM_CYSCREEN);
    ::MoveWindow(m_bob->main, 0, 0, cx, cy, TRUE);
    ::MoveWindow(m_alice->main, cx - 40, cy - 40, 1000, 660, TRUE);
    ASSERT_TRUE(m_ui.Click(m_bob->main, L"tabopt_screenshare"));
    PumpFor(500);
    m_card = std::make_unique<ColourCard>(RECT{1024, 110, 1264, 290});
    PumpFor(300);
    for (int q = 0; q < 4; ++q) ASSERT_TRUE(Near(ScreenPixel(m_card->Middle(q)), m_card->Colour(q), 8)) << q;
  }
  // The share icon of alice's item in `p`'s list.
  std::wstring ShareIcon(Participant& p) { return m_meeting.Icon(p.main, L"alice", L"icon_user_screenshare"); }
  // Waits until bob's view shows the card; the view, or null.
  HWND WaitViewShowsCard(DWORD ms, std::string* seen) {
    HWND view = nullptr;
    m_card->Raise();
    PumpUntil(
        [&] { return (view = VisibleRenderWindow(m_bob->main)) != nullptr && ViewShowsCard(view, *m_card, seen); }, ms);
    return view && ViewShowsCard(view, *m_card, seen) ? view : nullptr;
  }
  // An install whose clients keep their logs (in its "log" folder).
  std::wstring MakeLoggingInstall(const std::wstring& name, Framework framework) {
    const std::wstring install = MakeInstall(name, m_server.address(), kSecret, framework);
    ::CreateDirectoryW((install + L"log").c_str(), nullptr);
    return install;
  }
  // The framework's log of a participant's client (its SDK writes there too).
  std::string LogOf(const Participant& p) {
    const std::wstring path = p.install + L"log\\Tessarine32_" + std::to_wstring(p.client.pid()) + L".log";
    const kiv_common::UniqueHandle f(::CreateFileW(path.c_str(), GENERIC_READ,
                                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                   OPEN_EXISTING, 0, nullptr));
    if (!f) return "";
    std::string text(::GetFileSize(f.get(), nullptr), '\0');
    DWORD n = 0;
    ::ReadFile(f.get(), &text[0], static_cast<DWORD>(text.size()), &n, nullptr);
    text.resize(n);
    return text;
  }

  UiDriver m_ui;
  MeetingActions m_meeting{m_ui};
  std::unique_ptr<Participant> m_alice;
  std::unique_ptr<Participant> m_bob;
  std::unique_ptr<ColourCard> m_card;
};

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// Verifies the share button: alice's click shares her screen and bob's client shows it
// (the quadrants of the card at their places and in their colours, following a change of
// the card), her own item and bob's item of her show the share icon; her second click
// stops the share, bob's view goes and both icons close; a third click shares again.
// No view reports bad data on the way.
TEST_F(MeetingShareTest, BobSeesAlicesSharedScreenUntilSheStops) {
  ASSERT_NO_FATAL_FAILURE(Meet(L"room6"));
  EXPECT_EQ(VisibleRenderWindow(m_bob->main), nullptr) << "a view before any share";

  ASSERT_TRUE(m_ui.Click(m_alice->main, L"btn_screenshare"));
  EXPECT_TRUE(PumpUntil([&] { return ShareIcon(*m_alice) == kShareOpen; }, 5000));
  ASSERT_TRUE(PumpUntil([&] { return ShareIcon(*m_bob) == kShareOpen; }, 20000))
      << "bob's client never showed alice's share";
  std::string seen;
  HWND view = WaitViewShowsCard(15000, &seen);
  EXPECT_NE(view, nullptr) << "bob's view shows " << seen;
  PumpFor(800);  // the list's icons repaint
  EXPECT_FALSE(SaveScreenshot(L"meeting_screen_share.png").empty());
  // Bob moves his window about while the view draws; it keeps drawing where it is.
  for (int i = 0; i < 20; ++i) {
    ::MoveWindow(m_bob->main, i % 2 ? 0 : -8, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN),
                 TRUE);
    PumpFor(50);
  }
  ::MoveWindow(m_bob->main, 0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN), TRUE);
  m_card->Swap();
  EXPECT_NE(WaitViewShowsCard(5000, &seen), nullptr) << "bob's view did not follow alice's screen: " << seen;
  EXPECT_FALSE(Contains(m_meeting.Chat(m_bob->main), L"查看屏幕共享失败"));

  ASSERT_TRUE(m_ui.Click(m_alice->main, L"btn_screenshare"));
  EXPECT_TRUE(PumpUntil([&] { return ShareIcon(*m_alice) == kShareClosed; }, 5000));
  EXPECT_TRUE(PumpUntil([&] { return ShareIcon(*m_bob) == kShareClosed; }, 20000));
  EXPECT_TRUE(PumpUntil([&] { return VisibleRenderWindow(m_bob->main) == nullptr; }, 5000)) << "bob's view stayed";
  PumpFor(500);
  EXPECT_FALSE(SaveScreenshot(L"meeting_screen_share_stopped.png").empty());

  ASSERT_TRUE(m_ui.Click(m_alice->main, L"btn_screenshare"));
  EXPECT_NE(WaitViewShowsCard(20000, &seen), nullptr) << "no view after sharing again: " << seen;
  // Each view joined a running stream: it waited for a whole picture without reporting
  // bad data, so the SDK never restarted it.
  const std::string bobLog = LogOf(*m_bob);
  EXPECT_EQ(Count(bobLog, ": bad data"), 0u);
  EXPECT_EQ(Count(bobLog, "receive VNC_EVENT_VIEWER_BADDATA"), 0u);
  EXPECT_TRUE(m_alice->client.running());
  EXPECT_TRUE(m_bob->client.running());
}

// Verifies the viewer's recovery: bob's framework garbles one packet of alice's screen
// once his view shows it; the viewer reports bad data, the SDK restarts it (a new
// reception) and bob's view shows her screen again, live, with no failure line.
TEST_F(MeetingShareTest, BobsViewRestartsAfterCorruptedScreenData) {
  ASSERT_NO_FATAL_FAILURE(Meet(L"room8", L"IVncRenderManager.BadData"));
  ASSERT_TRUE(m_ui.Click(m_alice->main, L"btn_screenshare"));
  // What follows the garbled packet in bob's log.
  std::string after;
  ASSERT_TRUE(PumpUntil(
      [&] {
        const std::string log = LogOf(*m_bob);
        const size_t garbled = log.find("one packet garbled on purpose");
        after = garbled == std::string::npos ? "" : log.substr(garbled);
        return after.find("receiving the screen of alice") != std::string::npos;
      },
      30000))
      << "no restart after the garbled packet; bob's log from it:\n"
      << after;
  const size_t bad = after.find(": bad data");
  const size_t reported = after.find("receive VNC_EVENT_VIEWER_BADDATA");
  const size_t restarted = after.find("receiving the screen of alice");
  EXPECT_LT(bad, reported) << after;
  EXPECT_LT(reported, restarted) << after;
  std::string seen;
  EXPECT_NE(WaitViewShowsCard(15000, &seen), nullptr) << "bob's view after the restart shows " << seen;
  m_card->Swap();
  EXPECT_NE(WaitViewShowsCard(5000, &seen), nullptr) << "bob's restarted view is not live: " << seen;
  PumpFor(500);
  EXPECT_FALSE(SaveScreenshot(L"meeting_screen_share_restarted.png").empty());
  EXPECT_EQ(ShareIcon(*m_bob), kShareOpen);
  EXPECT_FALSE(Contains(m_meeting.Chat(m_bob->main), L"查看屏幕共享失败"));
  EXPECT_EQ(Count(LogOf(*m_bob), "one packet garbled on purpose"), 1u);
  EXPECT_TRUE(m_bob->client.running());
}

// ---- recordings ----

std::wstring DesktopFolder() {
  PWSTR path = nullptr;
  std::wstring folder;
  if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_Desktop, 0, nullptr, &path)) && path) folder = path;
  ::CoTaskMemFree(path);
  return folder;
}

std::set<std::wstring> Recordings(const std::wstring& folder) {
  std::set<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE h = ::FindFirstFileW((folder + L"\\Record*.mp4").c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    names.insert(found.cFileName);
  } while (::FindNextFileW(h, &found));
  ::FindClose(h);
  return names;
}

// Verifies the record button: alice's click starts a recording into the desktop folder
// (RecordYYYYMMDDhhmmss.mp4) and shows the button pressed; her second click ends it, the
// button is back, and the file is an H.264 video of the whole screen with AAC sound, as
// long as the time between the clicks, the sound as long as the video.
TEST_F(MeetingRecordTest, RecordButtonWritesAVideoOfTheScreen) {
  const std::wstring desktop = DesktopFolder();
  ASSERT_FALSE(desktop.empty());
  const std::set<std::wstring> before = Recordings(desktop);
  const std::wstring install = MakeInstall(L"room7", m_server.address(), kSecret);
  UiDriver ui;
  MeetingActions meeting(ui);
  Participant alice(install, L"alice", L"room7");
  ASSERT_TRUE(alice.WaitShown());
  ASSERT_TRUE(PumpUntil([&] { return Listed(meeting.Users(alice.main), L"alice(我)"); }, 20000));
  ASSERT_EQ(ui.Ask(alice.main, {L"normalimage", L"btn_record"}), kRecordOff);
  // Her microphone on, so that the recording has sound to take.
  ASSERT_TRUE(ui.Click(alice.main, L"btn_mic"));
  PumpFor(1000);

  ASSERT_TRUE(ui.Click(alice.main, L"btn_record"));
  ASSERT_TRUE(PumpUntil([&] { return ui.Ask(alice.main, {L"normalimage", L"btn_record"}) == kRecordOn; }, 5000));
  const DWORD started = ::GetTickCount();
  std::wstring name;
  ASSERT_TRUE(PumpUntil(
      [&] {
        for (const std::wstring& n : Recordings(desktop)) {
          if (!before.count(n)) name = n;
        }
        return !name.empty();
      },
      5000))
      << "no recording appeared in " << testing::PrintToString(desktop);
  EXPECT_EQ(name.size(), std::wstring(L"Record20240131235959.mp4").size());
  PumpFor(4000);
  ASSERT_TRUE(ui.Click(alice.main, L"btn_record"));
  ASSERT_TRUE(PumpUntil([&] { return ui.Ask(alice.main, {L"normalimage", L"btn_record"}) == kRecordOff; }, 5000));
  const double seconds = (::GetTickCount() - started) / 1000.0;

  // The native ffprobe reads a copy beside the program (the desktop lies on drive C:).
  const std::wstring recorded = desktop + L"\\" + name;
  const std::wstring path = install + name;
  ASSERT_TRUE(::CopyFileW(recorded.c_str(), path.c_str(), FALSE));
  ::DeleteFileW(recorded.c_str());
  const std::string probe = media_test::RunNative(
      "ffprobe -v error -show_entries stream=codec_type,codec_name,width,height,sample_rate,duration:"
      "format=duration -of default=nw=1 '" +
          media_test::UnixPath(path) + "'",
      path + L".probe.txt");
  const int cx = ::GetSystemMetrics(SM_CXVIRTUALSCREEN) & ~1, cy = ::GetSystemMetrics(SM_CYVIRTUALSCREEN) & ~1;
  EXPECT_NE(probe.find("codec_name=h264"), std::string::npos) << probe;
  EXPECT_NE(probe.find("width=" + std::to_string(cx)), std::string::npos) << probe;
  EXPECT_NE(probe.find("height=" + std::to_string(cy)), std::string::npos) << probe;
  EXPECT_NE(probe.find("codec_name=aac"), std::string::npos) << probe;
  const double video = media_test::ProbedDuration(probe.substr(probe.find("codec_type=video") + 1));
  EXPECT_NEAR(video, seconds, 0.6) << probe;
  const size_t audio = probe.find("codec_type=audio");
  ASSERT_NE(audio, std::string::npos) << probe;
  // The sound ends with the video, within two of its frames (15 per second).
  EXPECT_NEAR(media_test::ProbedDuration(probe.substr(audio)), video, 2.0 / 15) << "the sound does not cover the video";
}

// Verifies a recording the SDK refuses (no screen recorder in alice's framework): the chat
// says so with the SDK's code, the button keeps its idle look and no file is written.
TEST_F(MeetingRecordTest, RefusedRecordingIsReportedAndTheButtonStaysIdle) {
  const std::wstring desktop = DesktopFolder();
  ASSERT_FALSE(desktop.empty());
  const std::set<std::wstring> before = Recordings(desktop);
  const std::wstring install = MakeInstall(L"room9", m_server.address(), kSecret);
  UiDriver ui;
  MeetingActions meeting(ui);
  ::SetEnvironmentVariableW(L"TESSARINE_FAIL", L"IScreenRecorder");
  Participant alice(install, L"alice", L"room9");
  ::SetEnvironmentVariableW(L"TESSARINE_FAIL", nullptr);
  ASSERT_TRUE(alice.WaitShown());
  ASSERT_TRUE(PumpUntil([&] { return Listed(meeting.Users(alice.main), L"alice(我)"); }, 20000));

  ASSERT_TRUE(ui.Click(alice.main, L"btn_record"));
  EXPECT_TRUE(PumpUntil([&] { return Contains(meeting.Chat(alice.main), L"录制失败 错误码302"); }, 5000))
      << testing::PrintToString(meeting.Chat(alice.main));
  EXPECT_EQ(ui.Ask(alice.main, {L"normalimage", L"btn_record"}), kRecordOff);
  PumpFor(1000);
  EXPECT_EQ(Recordings(desktop), before);
  EXPECT_TRUE(alice.client.running());
}

}  // namespace
