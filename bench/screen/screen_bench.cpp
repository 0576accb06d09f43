// Screen share figures under Wine (Xvfb desktop), on loopback:
//  1. capture (GDI BitBlt + colour conversion) and H.264 screen-content encode cost per
//     frame of a 1280x720 rectangle;
//  2. frames per second that reach a viewer, and share-to-viewer latency: a window over
//     the shared rectangle flips between black and white, and the viewer's decoded
//     pictures are watched for the flip (alice shares, bob views, in one process).
//   screen_bench.exe [flips, default 20]
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "h264_encoder.h"
#include "meeting_member.h"
#include "meeting_server_control.h"
#include "screen_grabber.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kWidth = 1280;
constexpr int kHeight = 720;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<size_t>(p * (v.size() - 1) + 0.5))];
}

std::atomic<bool> g_white{false};

LRESULT CALLBACK FlipProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    FillRect(dc, &ps.rcPaint, static_cast<HBRUSH>(GetStockObject(g_white ? WHITE_BRUSH : BLACK_BRUSH)));
    // Some text so that the encoder has edges to code, as on a real desktop.
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(128, 128, 128));
    for (int y = 100; y < kHeight; y += 40)
      TextOutW(dc, 40, y, L"The quick brown fox jumps over the lazy dog 0123456789", 54);
    EndPaint(hwnd, &ps);
    return 0;
  }
  if (message == WM_ERASEBKGND) return 1;
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

HWND MakeWindow(const wchar_t* name, int x, int y, int w, int h) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = FlipProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = name;
  RegisterClassW(&wc);
  HWND window = CreateWindowExW(WS_EX_TOPMOST, name, name, WS_POPUP | WS_VISIBLE, x, y, w, h, nullptr, nullptr,
                                wc.hInstance, nullptr);
  ShowWindow(window, SW_SHOWNOACTIVATE);
  UpdateWindow(window);
  return window;
}

void Pump(int ms) {
  const auto end = Clock::now() + std::chrono::milliseconds(ms);
  do {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
    Sleep(2);
  } while (Clock::now() < end);
}

struct Seen {
  std::mutex mutex;
  std::vector<Clock::time_point> frames;
  std::vector<Clock::time_point> white_at, black_at;  // first picture of each colour after a flip
  int last = -1;
};

int32_t AVCORE_CALLBACK OnFrame(void* context, const avcore::VideoFrame* f) {
  auto* s = static_cast<Seen*>(context);
  const auto* y = static_cast<const uint8_t*>(f->data);
  const int luma = y[(f->height / 2) * f->width + 8];  // left edge, clear of the text
  const int colour = luma > 200 ? 1 : luma < 50 ? 0 : -1;
  std::lock_guard<std::mutex> lock(s->mutex);
  const auto now = Clock::now();
  s->frames.push_back(now);
  if (colour >= 0 && colour != s->last) {
    (colour ? s->white_at : s->black_at).push_back(now);
    s->last = colour;
  }
  return 0;
}

int AVCORE_CALLBACK OnEvent(uintptr_t, uintptr_t, uintptr_t, uintptr_t, void*) { return 1; }

void CaptureAndEncodeCost() {
  HWND cover = MakeWindow(L"screen_bench_cost", 0, 0, kWidth, kHeight);
  Pump(300);
  tessarine::media::ScreenGrabber grabber(0, 0, kWidth, kHeight);
  tessarine::media::EncoderSettings settings;
  settings.width = kWidth;
  settings.height = kHeight;
  settings.frame_rate = 15;
  settings.bitrate = 1500000;
  settings.screen_content = true;
  auto encoder = tessarine::media::H264Encoder::Create(settings);
  if (!grabber.ok() || !encoder) {
    std::printf("capture/encode: cannot set up\n");
    return;
  }
  std::vector<uint8_t> picture, annexb;
  std::vector<double> grab_ms, encode_ms;
  for (int n = 0; n < 60; ++n) {
    if (n % 10 == 0) {  // a change now and then, as on a working desktop
      g_white = !g_white;
      InvalidateRect(cover, nullptr, FALSE);
      Pump(5);
    }
    const auto t0 = Clock::now();
    grabber.Grab(&picture);
    const auto t1 = Clock::now();
    bool key = false;
    (void)encoder->Encode(picture.data(), static_cast<uint64_t>(n) * 66, n == 0, &annexb, &key);
    const auto t2 = Clock::now();
    grab_ms.push_back(Ms(t1 - t0));
    encode_ms.push_back(Ms(t2 - t1));
  }
  std::vector<double> total(grab_ms.size());
  for (size_t i = 0; i < total.size(); ++i) total[i] = grab_ms[i] + encode_ms[i];
  std::printf("capture 1280x720: median %.1f ms, p95 %.1f ms\n", Percentile(grab_ms, 0.5), Percentile(grab_ms, 0.95));
  std::printf("encode  1280x720: median %.1f ms, p95 %.1f ms\n", Percentile(encode_ms, 0.5),
              Percentile(encode_ms, 0.95));
  std::printf("capture+encode per frame: median %.1f ms, p95 %.1f ms (target <= 50 ms)\n", Percentile(total, 0.5),
              Percentile(total, 0.95));
  DestroyWindow(cover);
}

}  // namespace

int main(int argc, char** argv) {
  const int flips = argc > 1 ? std::max(4, std::atoi(argv[1])) : 20;
  CaptureAndEncodeCost();

  connection_test::FrameworkLoader fw;
  connection_test::MeetingServerControl server("screen_bench");
  std::string why;
  if (!fw.ok() || !server.Start(0, 0, &why)) {
    std::fprintf(stderr, "screen_bench: no framework or server: %s\n", why.c_str());
    return 1;
  }
  media_test::Member alice(fw), bob(fw);
  if (!alice.Join(server.address(), "alice", media_test::kAliceToken, "bench") ||
      !bob.Join(server.address(), "bob", media_test::kBobToken, "bench")) {
    std::fprintf(stderr, "screen_bench: join failed\n");
    return 1;
  }
  g_white = false;
  HWND shared = MakeWindow(L"screen_bench_shared", 0, 0, kWidth, kHeight);
  HWND viewer = MakeWindow(L"screen_bench_viewer", 0, kHeight, 128, 72);
  auto* host = static_cast<avcore::IVncHost*>(fw.Create(avcore::CLSID_VncHost, avcore::IID_IVncHost));
  avcore::VncHostConfig config{};
  config.capture_mode = 3;
  config.right = kWidth;
  config.bottom = kHeight;
  const avcore::EventRecord events{avcore::kEventRecordVersion, &OnEvent, 0, nullptr};
  if (host == nullptr || host->Initialize(0, &events, alice.net, alice.audio) != S_OK ||
      host->StartHost(&config) != S_OK || alice.net->AddScreenSource(0, "0", host, 0) != S_OK) {
    std::fprintf(stderr, "screen_bench: sharing failed\n");
    return 1;
  }
  Seen seen;
  avcore::VncViewConfig view{};
  view.view_window = viewer;
  view.scale_to_window = 1;
  avcore::RenderId render = 0;
  if (bob.vnc->AddRender2(viewer, &events, &render, &view) != S_OK ||
      bob.vnc->SetRawDataCallback(render, &seen, &OnFrame, nullptr) != S_OK ||
      bob.net->StartRecvMedia2("alice", 0, "0", render, 0) != S_OK) {
    std::fprintf(stderr, "screen_bench: viewing failed\n");
    return 1;
  }
  Pump(3000);

  std::vector<double> latency;
  const auto from = Clock::now();
  for (int i = 0; i < flips; ++i) {
    size_t before;
    {
      std::lock_guard<std::mutex> lock(seen.mutex);
      before = (g_white ? seen.black_at : seen.white_at).size();
    }
    g_white = !g_white;
    InvalidateRect(shared, nullptr, FALSE);
    UpdateWindow(shared);
    const auto flipped = Clock::now();
    const auto deadline = flipped + std::chrono::seconds(2);
    while (Clock::now() < deadline) {
      Pump(2);
      std::lock_guard<std::mutex> lock(seen.mutex);
      const auto& list = g_white ? seen.white_at : seen.black_at;
      if (list.size() > before) {
        latency.push_back(Ms(list.back() - flipped));
        break;
      }
    }
    Pump(400);
  }
  const double seconds = Ms(Clock::now() - from) / 1000.0;
  size_t frames = 0;
  {
    std::lock_guard<std::mutex> lock(seen.mutex);
    for (const auto& t : seen.frames) frames += t >= from;
  }
  std::printf("viewer: %.1f frames per second held over %.0f s (target >= 10)\n", frames / seconds, seconds);
  std::printf("share-to-viewer latency over %zu of %d changes: median %.0f ms, p95 %.0f ms (target median <= 200 ms)\n",
              latency.size(), flips, Percentile(latency, 0.5), Percentile(latency, 0.95));
  bob.net->StopRecvMedia("alice", 0, "0");
  bob.vnc->RemoveRender(render);
  alice.net->RemoveSource(0, "0");
  host->Stop();
  host->Release();
  DestroyWindow(shared);
  DestroyWindow(viewer);
  return 0;
}
