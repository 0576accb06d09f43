// Video between two processes under Wine through Tessarine32's objects and the native
// meeting server's relay: alice (a child process of this program) publishes a synthetic
// camera, bob receives it into a window.
#include <winsock2.h>

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "avcore/avcore.h"
#include "frame_stamp.h"
#include "framework_loader.h"
#include "meeting_member.h"
#include "meeting_server_control.h"
#include "relay_loss_control.h"

namespace {

using namespace connection_test;
using media_test::kAliceToken;
using media_test::kBobToken;
using media_test::Member;
using media_test::SendLossControl;
using Clock = std::chrono::steady_clock;

constexpr char kGroup[] = "video-room";

std::wstring Env(const wchar_t* name) {
  wchar_t value[1024];
  const DWORD n = GetEnvironmentVariableW(name, value, 1024);
  return n == 0 || n >= 1024 ? std::wstring() : std::wstring(value, n);
}

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The camera's 640x480 picture at 15 frames a second, sent at 359.7 kbit/s.
void SetVga(avcore::VideoCaptureParam* p) {
  p->mode = 0;
  p->camera_index = 0;
  p->width = 640;
  p->height = 480;
  p->frame_rate = 15;
  p->layers[0].bitrate = 359700;
}

void Touch(const std::wstring& path) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
}

std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

// The publisher, run as a child process: publishes camera 0 as video "1" at 640x480,
// 15 fps until <dir>\stop; <dir>\unpublish removes the source first.
TEST(VideoPlaneChild, DISABLED_Publish) {
  const std::wstring dir = Env(L"VIDEO_PLANE_DIR");
  ASSERT_FALSE(dir.empty());
  FrameworkLoader fw;
  ASSERT_TRUE(fw.ok());
  Member alice(fw);
  ASSERT_TRUE(alice.Join(Narrow(Env(L"VIDEO_PLANE_SERVER")), "alice", kAliceToken, kGroup));
  auto* camera = static_cast<avcore::IVideoDevice*>(fw.Create(avcore::CLSID_VideoDevice, avcore::IID_IVideoDevice));
  ASSERT_NE(camera, nullptr);
  avcore::VideoCaptureParam p{};
  ASSERT_EQ(camera->GetParam(&p), S_OK);
  SetVga(&p);
  ASSERT_EQ(camera->StartCapture(&p), S_OK);
  ASSERT_EQ(alice.net->AddSource(2, "1", camera), S_OK);
  ASSERT_EQ(alice.net->SetSourceParam(2, "1", 1), S_OK);
  Touch(dir + L"\\published");
  bool unpublished = false;
  for (int i = 0; i < 1200 && !FileExists(dir + L"\\stop"); ++i) {
    if (!unpublished && FileExists(dir + L"\\unpublish")) {
      EXPECT_EQ(alice.net->RemoveSource(2, "1"), S_OK);
      unpublished = true;
      Touch(dir + L"\\unpublished");
    }
    Sleep(50);
  }
  camera->StopCapture();
  camera->Release();
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_ERASEBKGND) return 1;
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

HWND MakeWindow() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"VideoPlaneTest";
  RegisterClassW(&wc);
  HWND w = CreateWindowExW(0, wc.lpszClassName, L"bob sees alice", WS_POPUP | WS_VISIBLE, 40, 40, 640, 480, nullptr,
                           nullptr, wc.hInstance, nullptr);
  ShowWindow(w, SW_SHOWNOACTIVATE);
  return w;
}

void PumpMessages(int ms) {
  const auto end = Clock::now() + std::chrono::milliseconds(ms);
  while (Clock::now() < end) {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
    Sleep(10);
  }
}

// The window's pixels as 32-bit BGRA rows, top first.
std::vector<uint32_t> Grab(HWND w, int* width, int* height) {
  RECT r;
  GetClientRect(w, &r);
  *width = r.right;
  *height = r.bottom;
  HDC screen = GetDC(w);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = *width;
  bi.bmiHeader.biHeight = -*height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, *width, *height, screen, 0, 0, SRCCOPY);
  std::vector<uint32_t> px(static_cast<const uint32_t*>(bits), static_cast<const uint32_t*>(bits) + *width * *height);
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(w, screen);
  return px;
}

void SaveBmp(const std::wstring& path, const std::vector<uint32_t>& px, int w, int h) {
  BITMAPFILEHEADER fh{};
  BITMAPINFOHEADER ih{};
  ih.biSize = sizeof(ih);
  ih.biWidth = w;
  ih.biHeight = -h;
  ih.biPlanes = 1;
  ih.biBitCount = 32;
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof(fh) + sizeof(ih);
  fh.bfSize = fh.bfOffBits + static_cast<DWORD>(px.size() * 4);
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return;
  DWORD n;
  WriteFile(f, &fh, sizeof(fh), &n, nullptr);
  WriteFile(f, &ih, sizeof(ih), &n, nullptr);
  WriteFile(f, px.data(), static_cast<DWORD>(px.size() * 4), &n, nullptr);
  CloseHandle(f);
}

// What bob's render hands to its raw-data callback.
struct Received {
  std::mutex mutex;
  std::vector<int64_t> numbers;  // stamp frame numbers, -1 when unreadable
  std::vector<Clock::time_point> times;
  std::vector<double> delays_ms;
  int first_frame_events = 0;
};

int32_t AVCORE_CALLBACK OnFrame(void* context, const avcore::VideoFrame* f) {
  auto* r = static_cast<Received*>(context);
  const auto stamp = tessarine::media::ReadStamp(f->data, f->width, f->width, f->height);
  std::lock_guard<std::mutex> lock(r->mutex);
  r->numbers.push_back(stamp ? static_cast<int64_t>(stamp->frame_number) : -1);
  r->times.push_back(Clock::now());
  if (stamp) {
    r->delays_ms.push_back(tessarine::media::StampAgeUs(tessarine::media::WallClockUs(), stamp->capture_us) / 1000.0);
  }
  return 0;
}

int AVCORE_CALLBACK OnRenderEvent(uintptr_t, uintptr_t code, uintptr_t, uintptr_t, void* context) {
  auto* r = static_cast<Received*>(context);
  std::lock_guard<std::mutex> lock(r->mutex);
  if (code == avcore::kRenderEventFirstFrame) ++r->first_frame_events;
  return 1;
}

// Frames received in [from, to) and the longest pause between two of them.
struct Window {
  size_t frames = 0;
  double longest_gap_ms = 0;
  int64_t longest_jump = 0;  // frame numbers skipped across one pause
  bool numbers_rise = true;
  int unreadable = 0;
};
Window Look(Received& r, Clock::time_point from, Clock::time_point to) {
  std::lock_guard<std::mutex> lock(r.mutex);
  Window w;
  Clock::time_point last = from;
  int64_t last_number = -1;
  for (size_t i = 0; i < r.times.size(); ++i) {
    if (r.times[i] < from || r.times[i] >= to) continue;
    ++w.frames;
    w.longest_gap_ms = std::max(w.longest_gap_ms, std::chrono::duration<double, std::milli>(r.times[i] - last).count());
    last = r.times[i];
    if (r.numbers[i] < 0) ++w.unreadable;
    if (r.numbers[i] >= 0 && r.numbers[i] <= last_number) w.numbers_rise = false;
    if (r.numbers[i] >= 0 && last_number >= 0)
      w.longest_jump = std::max(w.longest_jump, r.numbers[i] - last_number - 1);
    if (r.numbers[i] >= 0) last_number = r.numbers[i];
  }
  w.longest_gap_ms = std::max(w.longest_gap_ms, std::chrono::duration<double, std::milli>(to - last).count());
  return w;
}

class VideoPlaneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fw_.ok());
    std::string why;
    ASSERT_TRUE(server_.StartWith("--media-loss-control 1", &why)) << why;
    ASSERT_NE(server_.media_port(), 0);
    wchar_t cwd[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, cwd);
    dir_ = std::wstring(cwd) + L"\\video_plane_" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(dir_.c_str(), nullptr);
    DeleteFileW((dir_ + L"\\published").c_str());
    DeleteFileW((dir_ + L"\\stop").c_str());
    DeleteFileW((dir_ + L"\\unpublish").c_str());
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
    SetEnvironmentVariableW(L"VIDEO_PLANE_DIR", dir_.c_str());
    const std::string server = server_.address();
    SetEnvironmentVariableW(L"VIDEO_PLANE_SERVER", std::wstring(server.begin(), server.end()).c_str());
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring cmd = L"\"" + std::wstring(exe) +
                       L"\" --gtest_filter=VideoPlaneChild.DISABLED_Publish --gtest_also_run_disabled_tests";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &child_)) return false;
    for (int i = 0; i < 600 && !FileExists(dir_ + L"\\published"); ++i) Sleep(50);
    return FileExists(dir_ + L"\\published");
  }

  FrameworkLoader fw_;
  MeetingServerControl server_{::testing::UnitTest::GetInstance()->current_test_info()->name()};
  std::wstring dir_;
  PROCESS_INFORMATION child_{};
};

// A camera's preview shows the rate the camera is sent at: none before it is published and
// after it is withdrawn, the stream's (within the bitrate asked for) while it is published,
// never the raw frames' (640 x 480 I420 at 15 fps would be 55 Mbit/s).
TEST_F(VideoPlaneTest, PreviewReportsTheRateItsCameraIsSentAt) {
  Member alice(fw_);
  ASSERT_TRUE(alice.Join(server_.address(), "alice", kAliceToken, kGroup));
  auto* camera = static_cast<avcore::IVideoDevice*>(fw_.Create(avcore::CLSID_VideoDevice, avcore::IID_IVideoDevice));
  ASSERT_NE(camera, nullptr);
  avcore::IVideoRenderManager* preview = nullptr;
  ASSERT_EQ(camera->QueryInterface(avcore::IID_IVideoRenderManager, reinterpret_cast<void**>(&preview)), S_OK);
  const avcore::EventRecord events{avcore::kEventRecordVersion, nullptr, 0, nullptr};
  avcore::RenderId render = 0;
  ASSERT_EQ(preview->AddRender(nullptr, &events, &render), S_OK);
  avcore::VideoCaptureParam p{};
  ASSERT_EQ(camera->GetParam(&p), S_OK);
  SetVga(&p);
  ASSERT_EQ(camera->StartCapture(&p), S_OK);
  auto stats = [&] {
    avcore::RenderStats s{};
    EXPECT_EQ(preview->GetRenderStats(render, &s), S_OK);
    return s;
  };

  PumpMessages(1500);
  avcore::RenderStats s = stats();
  EXPECT_GE(s.frame_rate, 10);
  EXPECT_EQ(s.bitrate, 0) << "an unpublished camera is sent at no rate";

  ASSERT_EQ(alice.net->AddSource(2, "1", camera), S_OK);
  PumpMessages(2500);
  s = stats();
  EXPECT_GE(s.frame_rate, 10);
  EXPECT_GT(s.bitrate, 0);
  EXPECT_LT(s.bitrate, 2 * 359700);
  EXPECT_EQ(s.width, 640);
  EXPECT_EQ(s.height, 480);

  ASSERT_EQ(alice.net->RemoveSource(2, "1"), S_OK);
  PumpMessages(1500);
  s = stats();
  EXPECT_GE(s.frame_rate, 10) << "the preview goes on";
  EXPECT_EQ(s.bitrate, 0);
  camera->StopCapture();
  EXPECT_EQ(preview->RemoveRender(render), S_OK);
  preview->Release();
  camera->Release();
}

TEST_F(VideoPlaneTest, BobSeesAlicesCameraLiveUnderLossUntilSheUnpublishes) {
  ASSERT_TRUE(StartAlice()) << "the publishing process did not come up";
  Member bob(fw_);
  ASSERT_TRUE(bob.Join(server_.address(), "bob", kBobToken, kGroup));
  HWND window = MakeWindow();
  Received received;
  const avcore::EventRecord events{avcore::kEventRecordVersion, &OnRenderEvent, 0, &received};
  avcore::RenderId render = 0;
  ASSERT_EQ(bob.renders->AddRender(window, &events, &render), S_OK);
  ASSERT_EQ(bob.renders->SetRenderMode(render, 3), S_OK);
  ASSERT_EQ(bob.renders->SetRawDataCallback(render, &received, &OnFrame, nullptr), S_OK);
  ASSERT_EQ(bob.net->StartRecvMedia("alice", 2, "1", render), S_OK);

  // Live: frames are alice's (stamps read back, numbers rising), about 15 per second.
  PumpMessages(2000);
  const auto live_from = Clock::now();
  PumpMessages(3000);
  const Window live = Look(received, live_from, Clock::now());
  avcore::RenderStats stats{};
  ASSERT_EQ(bob.renders->GetRenderStats(render, &stats), S_OK);
  EXPECT_GE(live.frames, 36u) << "about 45 frames in three seconds";
  EXPECT_EQ(live.unreadable, 0);
  EXPECT_TRUE(live.numbers_rise);
  EXPECT_GE(stats.frame_rate, 12);
  EXPECT_LE(stats.frame_rate, 16);
  EXPECT_GT(stats.bitrate, 0);
  EXPECT_LT(stats.bitrate, 2 * 359700);
  EXPECT_EQ(stats.width, 640);
  EXPECT_EQ(stats.height, 480);
  EXPECT_EQ(received.first_frame_events, 1);

  // The window shows the moving picture: two screenshots apart differ, and are not blank.
  int w = 0, h = 0;
  const std::vector<uint32_t> shot1 = Grab(window, &w, &h);
  PumpMessages(500);
  const std::vector<uint32_t> shot2 = Grab(window, &w, &h);
  SaveBmp(dir_ + L"\\bob_sees_alice.bmp", shot2, w, h);
  size_t changed = 0, distinct_first = 0;
  for (size_t i = 0; i < shot1.size(); ++i) {
    changed += shot1[i] != shot2[i];
    distinct_first += shot2[i] != shot2[0];
  }
  EXPECT_GT(changed, shot1.size() / 200) << "the picture moves";
  EXPECT_GT(distinct_first, shot1.size() / 4) << "the picture is not blank";

  // 5 % loss: the picture keeps moving and no whole second passes without a frame.
  SendLossControl(server_.media_port(), 5, 0, 42);
  const auto lossy_from = Clock::now();
  PumpMessages(5000);
  const Window lossy = Look(received, lossy_from, Clock::now());
  EXPECT_GE(lossy.frames, 25u);
  EXPECT_LT(lossy.longest_gap_ms, 1000.0);
  EXPECT_EQ(lossy.unreadable, 0) << "never a broken picture";
  EXPECT_TRUE(lossy.numbers_rise);

  // A 30-packet burst: frames again within a second of it.
  SendLossControl(server_.media_port(), 0, 30, 1);
  const auto burst_from = Clock::now();
  PumpMessages(3000);
  const Window burst = Look(received, burst_from, Clock::now());
  EXPECT_LT(burst.longest_gap_ms, 1000.0 + 30 * 1000.0 / 15 / 2) << "burst (~2 frames of packets) plus recovery";
  EXPECT_GE(burst.frames, 20u);
  std::printf(
      "5 %% loss: longest pause %.0f ms; 30-packet burst: longest pause %.0f ms from its start (%lld frames skipped "
      "later)\n",
      lossy.longest_gap_ms, burst.longest_gap_ms, static_cast<long long>(burst.longest_jump));

  // Unpublished: the window stops updating.
  Touch(dir_ + L"\\unpublish");
  for (int i = 0; i < 200 && !FileExists(dir_ + L"\\unpublished"); ++i) PumpMessages(50);
  PumpMessages(500);
  const auto quiet_from = Clock::now();
  PumpMessages(1500);
  EXPECT_EQ(Look(received, quiet_from, Clock::now()).frames, 0u);

  {
    std::lock_guard<std::mutex> lock(received.mutex);
    std::vector<double> d = received.delays_ms;
    std::sort(d.begin(), d.end());
    if (!d.empty()) {
      std::printf("glass-to-glass over %zu frames: median %.1f ms, p95 %.1f ms\n", d.size(), d[d.size() / 2],
                  d[d.size() * 95 / 100]);
    }
  }
  EXPECT_EQ(bob.net->StopRecvMedia("alice", 2, "1"), S_OK);
  bob.renders->RemoveRender(render);
  DestroyWindow(window);
}

}  // namespace
