// Glass-to-glass latency of live video under Wine, on loopback: alice publishes the
// synthetic camera (640x480, 15 fps) through the native meeting server's relay, bob
// receives it into a window in the same process; every picture's stamped capture time
// is read back at bob's decoder output (the render's raw-frame callback).
//   video_latency_bench.exe [seconds, default 20]
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "frame_stamp.h"
#include "meeting_member.h"
#include "meeting_server_control.h"

namespace {

struct Delays {
  std::mutex mutex;
  std::vector<double> ms;
  int unreadable = 0;
};

int32_t AVCORE_CALLBACK OnFrame(void* context, const avcore::VideoFrame* f) {
  auto* d = static_cast<Delays*>(context);
  const auto stamp = tessarine::media::ReadStamp(f->data, f->width, f->width, f->height);
  const uint64_t now = tessarine::media::WallClockUs();
  std::lock_guard<std::mutex> lock(d->mutex);
  if (!stamp) {
    ++d->unreadable;
    return 0;
  }
  d->ms.push_back(tessarine::media::StampAgeUs(now, stamp->capture_us) / 1000.0);
  return 0;
}

int AVCORE_CALLBACK OnEvent(uintptr_t, uintptr_t, uintptr_t, uintptr_t, void*) { return 1; }

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_ERASEBKGND) return 1;
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::max(2, std::atoi(argv[1])) : 20;
  connection_test::FrameworkLoader fw;
  connection_test::MeetingServerControl server("video_latency_bench");
  std::string why;
  if (!fw.ok() || !server.Start(0, 0, &why)) {
    std::fprintf(stderr, "video_latency_bench: no framework or server: %s\n", why.c_str());
    return 1;
  }
  media_test::Member alice(fw), bob(fw);
  if (!alice.Join(server.address(), "alice", media_test::kAliceToken, "bench") ||
      !bob.Join(server.address(), "bob", media_test::kBobToken, "bench")) {
    std::fprintf(stderr, "video_latency_bench: login or join failed\n");
    return 1;
  }
  auto* camera = static_cast<avcore::IVideoDevice*>(fw.Create(avcore::CLSID_VideoDevice, avcore::IID_IVideoDevice));
  avcore::VideoCaptureParam p{};
  camera->GetParam(&p);
  p.mode = 0;
  p.width = 640;
  p.height = 480;
  p.frame_rate = 15;
  p.layers[0].bitrate = 359700;
  if (camera->StartCapture(&p) != S_OK || alice.net->AddSource(2, "1", camera) != S_OK) {
    std::fprintf(stderr, "video_latency_bench: camera not published\n");
    return 1;
  }
  WNDCLASSW wc{};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"VideoLatencyBench";
  RegisterClassW(&wc);
  HWND window = CreateWindowExW(0, wc.lpszClassName, L"bob", WS_POPUP | WS_VISIBLE, 0, 0, 640, 480, nullptr, nullptr,
                                wc.hInstance, nullptr);
  Delays delays;
  const avcore::EventRecord events{avcore::kEventRecordVersion, &OnEvent, 0, nullptr};
  avcore::RenderId render = 0;
  bob.renders->AddRender(window, &events, &render);
  bob.renders->SetRawDataCallback(render, &delays, &OnFrame, nullptr);
  bob.net->StartRecvMedia("alice", 2, "1", render);

  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < end) {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
    Sleep(10);
  }
  avcore::RenderStats stats{};
  bob.renders->GetRenderStats(render, &stats);
  bob.net->StopRecvMedia("alice", 2, "1");
  bob.renders->RemoveRender(render);
  alice.net->RemoveSource(2, "1");
  camera->StopCapture();
  camera->Release();
  DestroyWindow(window);

  std::lock_guard<std::mutex> lock(delays.mutex);
  std::vector<double> d = delays.ms;
  std::sort(d.begin(), d.end());
  if (d.empty()) {
    std::printf("glass-to-glass: no picture received\n");
    return 1;
  }
  std::printf(
      "glass-to-glass (capture stamp to decoder output, loopback, wine64) over %zu pictures in %d s: "
      "median %.1f ms, p95 %.1f ms, max %.1f ms; %d unreadable; render %d fps, %d bit/s, %dx%d\n",
      d.size(), seconds, d[d.size() / 2], d[d.size() * 95 / 100], d.back(), delays.unreadable, stats.frame_rate,
      stats.bitrate, stats.width, stats.height);
  return 0;
}
