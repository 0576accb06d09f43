// Screen share between two processes under Wine through Tessarine32's objects and the
// native meeting server: alice (a child process of this program) shares the rectangle of
// a window of hers; bob views it in a window of his, and once alice grants him control
// his clicks and keys in the viewer press her button and type into her edit box.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

#include "avcore/avcore.h"
#include "framework_loader.h"
#include "meeting_member.h"
#include "meeting_server_control.h"
#include "native_probe.h"

namespace {

using namespace connection_test;
using media_test::kAliceToken;
using media_test::kBobToken;
using media_test::Member;
using Clock = std::chrono::steady_clock;

constexpr char kGroup[] = "screen-room";
// Alice's window, in screen pixels; bob's viewer lies left of it, apart.
constexpr RECT kAliceRect{720, 80, 1120, 380};
constexpr RECT kViewerRect{20, 80, 660, 560};
constexpr RECT kButton{20, 210, 140, 250};  // in alice's client area
constexpr RECT kEdit{170, 215, 370, 245};
constexpr COLORREF kRed = RGB(200, 40, 40);
constexpr COLORREF kGreen = RGB(40, 190, 60);

std::wstring Env(const wchar_t* name) {
  wchar_t value[1024];
  const DWORD n = GetEnvironmentVariableW(name, value, 1024);
  return n == 0 || n >= 1024 ? std::wstring() : std::wstring(value, n);
}

void Touch(const std::wstring& path, const std::string& text = "") {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return;
  DWORD n;
  WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &n, nullptr);
  CloseHandle(f);
}

std::string ReadText(const std::wstring& path) {
  HANDLE f =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return "";
  char buf[4096];
  DWORD n = 0;
  ReadFile(f, buf, sizeof buf, &n, nullptr);
  CloseHandle(f);
  return std::string(buf, n);
}

// Takes a flag file: true once when it appeared.
bool TakeFlag(const std::wstring& path) {
  if (!media_test::Exists(path)) return false;
  DeleteFileW(path.c_str());
  return true;
}

std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

void PumpMessages(int ms) {
  const auto end = Clock::now() + std::chrono::milliseconds(ms);
  do {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&m);
      DispatchMessageW(&m);
    }
    Sleep(5);
  } while (Clock::now() < end);
}

// ---- alice's side (child process) ----

struct AliceWindow {
  std::wstring dir;
  COLORREF color = kRed;
  int clicks = 0;
  int activations = 0;
  HWND edit = nullptr;
};
AliceWindow g_alice;

LRESULT CALLBACK AliceProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      HBRUSH brush = CreateSolidBrush(g_alice.color);
      RECT top{0, 0, kAliceRect.right - kAliceRect.left, 190};
      FillRect(dc, &top, brush);
      DeleteObject(brush);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_COMMAND:
      if (HIWORD(wparam) == BN_CLICKED && LOWORD(wparam) == 1) {
        Touch(g_alice.dir + L"\\clicks", std::to_string(++g_alice.clicks));
      } else if (HIWORD(wparam) == EN_CHANGE && LOWORD(wparam) == 2) {
        char text[128] = {};
        GetWindowTextA(g_alice.edit, text, sizeof text);
        Touch(g_alice.dir + L"\\edit", text);
      }
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wparam) != WA_INACTIVE) Touch(g_alice.dir + L"\\activations", std::to_string(++g_alice.activations));
      break;
  }
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

HWND MakeAliceWindow() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = AliceProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = L"ScreenShareAlice";
  RegisterClassW(&wc);
  HWND w = CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"alice", WS_POPUP | WS_VISIBLE, kAliceRect.left,
                           kAliceRect.top, kAliceRect.right - kAliceRect.left, kAliceRect.bottom - kAliceRect.top,
                           nullptr, nullptr, wc.hInstance, nullptr);
  CreateWindowExW(0, L"BUTTON", L"Press", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, kButton.left, kButton.top,
                  kButton.right - kButton.left, kButton.bottom - kButton.top, w, reinterpret_cast<HMENU>(1),
                  wc.hInstance, nullptr);
  g_alice.edit = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, kEdit.left,
                                 kEdit.top, kEdit.right - kEdit.left, kEdit.bottom - kEdit.top, w,
                                 reinterpret_cast<HMENU>(2), wc.hInstance, nullptr);
  ShowWindow(w, SW_SHOW);
  UpdateWindow(w);
  return w;
}

avcore::VncHostConfig HostConfig(bool control) {
  avcore::VncHostConfig c{};
  c.capture_mode = 3;
  c.left = kAliceRect.left;
  c.top = kAliceRect.top;
  c.right = kAliceRect.right;
  c.bottom = kAliceRect.bottom;
  c.allow_mouse = c.allow_keyboard = c.allow_wheel = control ? 1 : 0;
  return c;
}

void SendControl(avcore::IKivConnection* conn, int operation) {
  rapidjson::Document d(rapidjson::kObjectType);
  auto& a = d.GetAllocator();
  d.AddMember("business", "GS", a);
  d.AddMember("id", 14108, a);
  d.AddMember("operation", operation, a);
  d.AddMember("dst_user_id", "bob", a);
  conn->SendBusinessCmd(d);
}

// Appends each change of the foreground window to <dir>\fglog, for a failing check to show.
void LogForegroundChange(HWND mine) {
  static HWND last = nullptr;
  HWND now = GetForegroundWindow();
  if (now == last) return;
  last = now;
  const std::string line = std::to_string(GetTickCount()) + " ms: " + (now == mine ? "alice's window" : "another") +
                           " (" + std::to_string(reinterpret_cast<uintptr_t>(now)) + ")\n";
  HANDLE f = CreateFileW((g_alice.dir + L"\\fglog").c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0,
                         nullptr);
  if (f == INVALID_HANDLE_VALUE) return;
  DWORD n;
  WriteFile(f, line.data(), static_cast<DWORD>(line.size()), &n, nullptr);
  CloseHandle(f);
}

// Flags in <dir>: recolor, grant, revoke, sync, stop. Reports: published, granted, revoked, synced,
// clicks (count), activations (count), edit (text), foreground (1 while her window is the
// foreground window), fglog.
TEST(ScreenShareChild, DISABLED_Share) {
  g_alice.dir = Env(L"SCREEN_SHARE_DIR");
  ASSERT_FALSE(g_alice.dir.empty());
  FrameworkLoader fw;
  ASSERT_TRUE(fw.ok());
  Member alice(fw);
  ASSERT_TRUE(alice.Join(Narrow(Env(L"SCREEN_SHARE_SERVER")), "alice", kAliceToken, kGroup));
  HWND window = MakeAliceWindow();
  auto* host = static_cast<avcore::IVncHost*>(fw.Create(avcore::CLSID_VncHost, avcore::IID_IVncHost));
  ASSERT_NE(host, nullptr);
  const avcore::EventRecord events{avcore::kEventRecordVersion, nullptr, 0, nullptr};
  ASSERT_EQ(host->Initialize(0, &events, alice.net, alice.audio), S_OK);
  const avcore::VncHostConfig off = HostConfig(false);
  ASSERT_EQ(host->StartHost(&off), S_OK);
  ASSERT_EQ(alice.net->AddScreenSource(0, "0", host, 0), S_OK);
  Touch(g_alice.dir + L"\\published");
  bool foreground = false;
  for (int i = 0; i < 6000 && !media_test::Exists(g_alice.dir + L"\\stop"); ++i) {
    PumpMessages(10);
    LogForegroundChange(window);
    if (foreground != (GetForegroundWindow() == window)) {
      foreground = !foreground;
      Touch(g_alice.dir + L"\\foreground", foreground ? "1" : "0");
    }
    if (TakeFlag(g_alice.dir + L"\\sync")) {
      PumpMessages(20);  // takes in the X events already sent to her windows
      Touch(g_alice.dir + L"\\synced");
    }
    if (TakeFlag(g_alice.dir + L"\\recolor")) {
      g_alice.color = kGreen;
      InvalidateRect(window, nullptr, TRUE);
      UpdateWindow(window);
    }
    if (TakeFlag(g_alice.dir + L"\\grant")) {
      const avcore::VncHostConfig on = HostConfig(true);
      EXPECT_EQ(host->SetConfig(&on), S_OK);
      SendControl(alice.conn, 2);
      Touch(g_alice.dir + L"\\granted");
    }
    if (TakeFlag(g_alice.dir + L"\\revoke")) {
      EXPECT_EQ(host->SetConfig(&off), S_OK);
      SendControl(alice.conn, 3);
      Touch(g_alice.dir + L"\\revoked");
    }
  }
  EXPECT_EQ(alice.net->RemoveSource(0, "0"), S_OK);
  EXPECT_EQ(host->Stop(), S_OK);
  host->Release();
  DestroyWindow(window);
}

// ---- bob's side ----

struct ViewerEvents {
  std::atomic<int> connected{0};
  std::atomic<int> bad_data{0};
};

int AVCORE_CALLBACK OnViewerEvent(uintptr_t, uintptr_t, uintptr_t, uintptr_t code, void* context) {
  auto* e = static_cast<ViewerEvents*>(context);
  if (code == avcore::kViewerEventConnected) ++e->connected;
  if (code == avcore::kViewerEventBadData) ++e->bad_data;
  return 1;
}

LRESULT CALLBACK ViewerProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_ERASEBKGND) return 1;
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

HWND MakeViewerWindow() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = ViewerProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"ScreenShareViewer";
  RegisterClassW(&wc);
  HWND w = CreateWindowExW(0, wc.lpszClassName, L"bob sees alice's screen", WS_POPUP | WS_VISIBLE, kViewerRect.left,
                           kViewerRect.top, kViewerRect.right - kViewerRect.left, kViewerRect.bottom - kViewerRect.top,
                           nullptr, nullptr, wc.hInstance, nullptr);
  ShowWindow(w, SW_SHOWNOACTIVATE);
  return w;
}

// A screen pixel as RGB.
COLORREF ScreenPixel(int x, int y) {
  HDC screen = GetDC(nullptr);
  const COLORREF c = GetPixel(screen, x, y);
  ReleaseDC(nullptr, screen);
  return c;
}

// The desktop (alice's window on the right, bob's viewer on the left) as a .bmp.
void SaveScreen(const std::wstring& path) {
  const int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
  HDC screen = GetDC(nullptr);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, w, h, screen, 0, 0, SRCCOPY);
  BITMAPFILEHEADER fh{};
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof(fh) + sizeof(bi.bmiHeader);
  fh.bfSize = fh.bfOffBits + static_cast<DWORD>(w * h * 4);
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f != INVALID_HANDLE_VALUE) {
    DWORD n;
    WriteFile(f, &fh, sizeof(fh), &n, nullptr);
    WriteFile(f, &bi.bmiHeader, sizeof(bi.bmiHeader), &n, nullptr);
    WriteFile(f, bits, static_cast<DWORD>(w * h * 4), &n, nullptr);
    CloseHandle(f);
  }
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(nullptr, screen);
}

bool Near(COLORREF a, COLORREF b, int tolerance = 40) {
  return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
         std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

// Where a point of alice's client area shows in bob's viewer (400x300 fits 640x480 exactly).
POINT InViewer(int x, int y) {
  const double sx = double(kViewerRect.right - kViewerRect.left) / (kAliceRect.right - kAliceRect.left);
  const double sy = double(kViewerRect.bottom - kViewerRect.top) / (kAliceRect.bottom - kAliceRect.top);
  return POINT{static_cast<LONG>(x * sx), static_cast<LONG>(y * sy)};
}

void ClickViewer(HWND viewer, POINT p) {
  const LPARAM at = MAKELPARAM(p.x, p.y);
  PostMessageW(viewer, WM_MOUSEMOVE, 0, at);
  PostMessageW(viewer, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PumpMessages(60);
  PostMessageW(viewer, WM_LBUTTONUP, 0, at);
  PumpMessages(60);
}

void TypeInViewer(HWND viewer, const char* keys) {
  for (const char* k = keys; *k; ++k) {
    PostMessageW(viewer, WM_KEYDOWN, static_cast<WPARAM>(*k), 1);
    PostMessageW(viewer, WM_KEYUP, static_cast<WPARAM>(*k), 0xC0000001);
    PumpMessages(40);
  }
}

template <typename Pred>
bool WaitFor(Pred pred, int ms) {
  const auto end = Clock::now() + std::chrono::milliseconds(ms);
  while (Clock::now() < end) {
    if (pred()) return true;
    PumpMessages(10);
  }
  return pred();
}

class ScreenShareTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fw_.ok());
    std::string why;
    ASSERT_TRUE(server_.Start(0, 0, &why)) << why;
    dir_ = media_test::WorkDir() + L"\\screen_share_" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(dir_.c_str(), nullptr);
    for (const wchar_t* f : {L"published", L"stop", L"clicks", L"activations", L"edit", L"granted", L"revoked",
                             L"foreground", L"fglog", L"sync", L"synced"}) {
      DeleteFileW((dir_ + L"\\" + f).c_str());
    }
  }
  void TearDown() override {
    Touch(dir_ + L"\\stop");
    if (child_.hProcess != nullptr) {
      WaitForSingleObject(child_.hProcess, 15000);
      CloseHandle(child_.hProcess);
      CloseHandle(child_.hThread);
    }
  }
  bool StartAlice() {
    SetEnvironmentVariableW(L"SCREEN_SHARE_DIR", dir_.c_str());
    const std::string server = server_.address();
    SetEnvironmentVariableW(L"SCREEN_SHARE_SERVER", std::wstring(server.begin(), server.end()).c_str());
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring cmd = L"\"" + std::wstring(exe) +
                       L"\" --gtest_filter=ScreenShareChild.DISABLED_Share --gtest_also_run_disabled_tests";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &child_)) return false;
    return WaitFor([&] { return media_test::Exists(dir_ + L"\\published"); }, 30000);
  }
  int Clicks() { return std::atoi(ReadText(dir_ + L"\\clicks").c_str()); }
  int Activations() { return std::atoi(ReadText(dir_ + L"\\activations").c_str()); }
  bool AliceInForeground() { return ReadText(dir_ + L"\\foreground") == "1"; }

  // Bob's viewer takes the focus when clicked. On one display it shares the X input focus
  // with alice's window; two desktops do not meet. When the viewer takes the X focus from her
  // window, her window thread reads the loss later; read after her next press has made her
  // window foreground again (from the injecting thread), it hands the foreground to the
  // desktop and the keys that follow are lost. So before the click that gives her window the
  // keys, the viewer takes the foreground (SetFocus on a window that has the focus already
  // changes nothing) and her window thread has read its X events since, until she has lost it.
  void SettleViewerFocus(HWND viewer) {
    const auto end = Clock::now() + std::chrono::seconds(10);
    do {
      SetForegroundWindow(viewer);
      SetFocus(viewer);
      ScreenPixel(0, 0);  // a round trip: the X server has taken the viewer's focus change
      ASSERT_TRUE(SyncWithAlice()) << "alice did not answer";
    } while (AliceInForeground() && Clock::now() < end);
    ASSERT_FALSE(AliceInForeground()) << "alice's window kept the foreground; at bob the foreground is "
                                      << reinterpret_cast<uintptr_t>(GetForegroundWindow()) << ", the viewer "
                                      << reinterpret_cast<uintptr_t>(viewer) << ", at " << GetTickCount() << " ms; "
                                      << AliceLog();
  }
  // Returns once alice's window thread has run since the call.
  bool SyncWithAlice() {
    DeleteFileW((dir_ + L"\\synced").c_str());
    Touch(dir_ + L"\\sync");
    return WaitFor([&] { return media_test::Exists(dir_ + L"\\synced"); }, 10000);
  }
  std::string AliceLog() { return "her foreground changes:\n" + ReadText(dir_ + L"\\fglog"); }

  FrameworkLoader fw_;
  MeetingServerControl server_{::testing::UnitTest::GetInstance()->current_test_info()->name()};
  std::wstring dir_;
  PROCESS_INFORMATION child_{};
};

TEST_F(ScreenShareTest, BobSeesAndControlsAlicesWindow) {
  ASSERT_TRUE(StartAlice()) << "the sharing process did not come up";
  Member bob(fw_);
  ASSERT_TRUE(bob.Join(server_.address(), "bob", kBobToken, kGroup));
  HWND viewer = MakeViewerWindow();
  ViewerEvents events;
  const avcore::EventRecord record{avcore::kEventRecordVersion, &OnViewerEvent, 0, &events};
  avcore::VncViewConfig view{};
  view.control_window = viewer;
  view.scale_to_window = 1;
  avcore::RenderId render = 0;
  ASSERT_EQ(bob.vnc->AddRender2(viewer, &record, &render, &view), S_OK);
  ASSERT_EQ(bob.net->StartRecvMedia2("alice", 0, "0", render, 0), S_OK);
  ASSERT_TRUE(WaitFor([&] { return events.connected.load() > 0; }, 10000)) << "no picture";
  PumpMessages(1000);

  // The viewer shows alice's window: her red top, scaled into bob's window.
  const POINT red = InViewer(200, 90);
  const COLORREF at_alice = ScreenPixel(kAliceRect.left + 200, kAliceRect.top + 90);
  EXPECT_TRUE(Near(at_alice, kRed, 8)) << std::hex << at_alice;
  const COLORREF seen = ScreenPixel(kViewerRect.left + red.x, kViewerRect.top + red.y);
  EXPECT_TRUE(Near(seen, at_alice)) << std::hex << seen << " at bob, " << at_alice << " at alice";
  // Her button's face (grey) shows where it is.
  const POINT button = InViewer((kButton.left + kButton.right) / 2, kButton.top + 4);
  const COLORREF button_at_alice =
      ScreenPixel(kAliceRect.left + (kButton.left + kButton.right) / 2, kAliceRect.top + kButton.top + 4);
  EXPECT_TRUE(Near(ScreenPixel(kViewerRect.left + button.x, kViewerRect.top + button.y), button_at_alice));
  avcore::RenderStats stats{};
  ASSERT_EQ(bob.vnc->GetRenderStats(render, &stats), S_OK);
  EXPECT_EQ(stats.width, 400);
  EXPECT_EQ(stats.height, 300);
  EXPECT_GE(stats.frame_rate, 8);

  // A change on alice's desktop shows at bob within half a second.
  const auto changed = Clock::now();
  Touch(dir_ + L"\\recolor");
  ASSERT_TRUE(
      WaitFor([&] { return Near(ScreenPixel(kViewerRect.left + red.x, kViewerRect.top + red.y), kGreen); }, 3000));
  const double change_ms = std::chrono::duration<double, std::milli>(Clock::now() - changed).count();
  EXPECT_LT(change_ms, 500.0);
  std::printf("change visible at the viewer after %.0f ms\n", change_ms);
  SaveScreen(dir_ + L"\\screen_share.bmp");

  // Without a grant bob's click does nothing.
  const POINT press = InViewer((kButton.left + kButton.right) / 2, (kButton.top + kButton.bottom) / 2);
  view.send_mouse = view.send_keyboard = view.send_wheel = 1;
  ASSERT_EQ(bob.vnc->SetViewConfig(render, &view), S_OK);
  ClickViewer(viewer, press);
  PumpMessages(800);
  EXPECT_EQ(Clicks(), 0) << "input before the grant reached alice";

  // Granted: bob's click presses her button, his typing reaches her edit box.
  Touch(dir_ + L"\\grant");
  ASSERT_TRUE(WaitFor([&] { return media_test::Exists(dir_ + L"\\granted"); }, 5000));
  PumpMessages(300);
  SettleViewerFocus(viewer);
  const int activations = Activations();
  ClickViewer(viewer, press);
  EXPECT_TRUE(WaitFor([&] { return Clicks() == 1; }, 3000)) << "the click did not press alice's button";
  EXPECT_TRUE(WaitFor([&] { return Activations() > activations; }, 3000))
      << "the press did not activate alice's window; " << AliceLog();
  SettleViewerFocus(viewer);
  ClickViewer(viewer, InViewer((kEdit.left + kEdit.right) / 2, (kEdit.top + kEdit.bottom) / 2));
  PumpMessages(200);
  std::printf("typing from %lu ms\n", GetTickCount());
  TypeInViewer(viewer, "HI");
  EXPECT_TRUE(WaitFor([&] { return ReadText(dir_ + L"\\edit") == "hi"; }, 3000))
      << "alice's edit box holds \"" << ReadText(dir_ + L"\\edit") << "\"; " << AliceLog();

  // Refused again: bob's input no longer reaches her.
  Touch(dir_ + L"\\revoke");
  ASSERT_TRUE(WaitFor([&] { return media_test::Exists(dir_ + L"\\revoked"); }, 5000));
  PumpMessages(300);
  ClickViewer(viewer, press);
  PumpMessages(1000);
  EXPECT_EQ(Clicks(), 1) << "input after the refusal reached alice";

  EXPECT_EQ(events.bad_data.load(), 0);
  EXPECT_EQ(bob.net->StopRecvMedia("alice", 0, "0"), S_OK);
  EXPECT_EQ(bob.vnc->RemoveRender(render), S_OK);
  DestroyWindow(viewer);
}

}  // namespace
