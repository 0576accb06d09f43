// The synthetic cameras: enumeration and its configuration, capture settings, frames
// through the raw-data callback, RTSP plug-ins as cameras, and the preview render.
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "dll_fixture.h"
#include "test_window.h"

namespace tessarine_test {
namespace {

using namespace std::chrono_literals;

// Frames of a raw-data callback, copied.
struct FrameLog {
  struct Frame {
    int32_t width, height;
    uint32_t fourcc;
    int32_t length;
    std::vector<uint8_t> data;
  };
  std::mutex mutex;
  std::condition_variable arrived;
  std::vector<Frame> frames;

  static int32_t AVCORE_CALLBACK OnFrame(void* context, const avcore::VideoFrame* frame) {
    auto* log = static_cast<FrameLog*>(context);
    std::lock_guard<std::mutex> lock(log->mutex);
    log->frames.push_back(Frame{frame->width, frame->height, frame->fourcc, frame->length,
                                std::vector<uint8_t>(frame->data, frame->data + frame->length)});
    log->arrived.notify_all();
    return 0;
  }
  // Waits until `n` frames arrived (at most 10 s).
  bool WaitFor(size_t n) {
    std::unique_lock<std::mutex> lock(mutex);
    return arrived.wait_for(lock, 10s, [&] { return frames.size() >= n; });
  }
  size_t count() {
    std::lock_guard<std::mutex> lock(mutex);
    return frames.size();
  }
};

avcore::VideoCaptureParam Settings(int32_t camera, int32_t width, int32_t height, int32_t rate) {
  avcore::VideoCaptureParam p = avcore::VideoCaptureParam::Defaults();
  p.mode = 0;
  p.camera_index = camera;
  p.width = width;
  p.height = height;
  p.frame_rate = rate;
  return p;
}

std::wstring EntryName(const avcore::VideoDeviceEntry& e) {
  // The name is read where the SDK reads it: UTF-16 at byte 520.
  const wchar_t* name = reinterpret_cast<const wchar_t*>(reinterpret_cast<const char*>(&e) + 520);
  return name;
}

class VideoDeviceTest : public FrameworkTest {
 protected:
  void SetUp() override {
    FrameworkTest::SetUp();
    ASSERT_NO_FATAL_FAILURE(StartWithRoot(L""));
  }
  void MakeDevice(Held<avcore::IVideoDevice>* device) {
    Create(avcore::CLSID_VideoDevice, avcore::IID_IVideoDevice, device);
  }
};

// Two cameras by default; TESSARINE_CAMERAS sets the number at creation and at every
// re-enumeration; a bad value gives the default; entries carry id and name.
TEST_F(VideoDeviceTest, CamerasFollowTheConfiguration) {
  Held<avcore::IVideoDevice> device;
  {
    ScopedEnv unset(L"TESSARINE_CAMERAS", nullptr);
    MakeDevice(&device);
  }
  avcore::VideoDeviceEntry entries[16];
  ASSERT_EQ(device->EnumDevices(entries, 16), 2);
  EXPECT_EQ(entries[0].id, 0);
  EXPECT_EQ(entries[1].id, 1);
  EXPECT_EQ(EntryName(entries[0]), L"Tessarine Camera 1");
  EXPECT_EQ(EntryName(entries[1]), L"Tessarine Camera 2");
  EXPECT_STREQ(entries[1].path, L"tessarine:camera:2");

  ScopedEnv three(L"TESSARINE_CAMERAS", L"3");
  EXPECT_EQ(device->EnumDevices(entries, 16), 2);  // until re-enumerated
  ASSERT_EQ(device->ReEnumerate(), S_OK);
  ASSERT_EQ(device->EnumDevices(entries, 16), 3);
  EXPECT_EQ(device->EnumDevices(entries, 1), 1);
  EXPECT_EQ(device->EnumDevices(nullptr, 0), 0);
  EXPECT_EQ(device->EnumDevices(nullptr, 4), E_POINTER);
  EXPECT_EQ(device->EnumDevices(entries, -1), E_INVALIDARG);
  wchar_t name[260];
  ASSERT_EQ(device->GetDeviceName(2, name, 260), S_OK);
  EXPECT_STREQ(name, L"Tessarine Camera 3");
  EXPECT_LT(device->GetDeviceName(3, name, 260), 0);
  EXPECT_LT(device->GetDeviceName(-1, name, 260), 0);
  EXPECT_EQ(device->GetDeviceName(0, name, 5), HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));

  {
    ScopedEnv zero(L"TESSARINE_CAMERAS", L"0");
    device->ReEnumerate();
    EXPECT_EQ(device->EnumDevices(entries, 16), 0);
    avcore::VideoCaptureParam p = Settings(0, 320, 240, 15);
    EXPECT_EQ(device->StartCapture(&p), E_INVALIDARG);
  }
  ScopedEnv bad(L"TESSARINE_CAMERAS", L"lots");
  device->ReEnumerate();
  EXPECT_EQ(device->EnumDevices(entries, 16), 2);
}

// Capture delivers I420 frames of the chosen size whose picture moves; a repeated start
// in mode 1 keeps the running settings, in mode 0 applies new ones; bad settings are
// refused and change nothing; after StopCapture and after the callback is cleared no
// frame arrives.
TEST_F(VideoDeviceTest, CaptureDeliversMovingFrames) {
  Held<avcore::IVideoDevice> device;
  MakeDevice(&device);
  avcore::VideoCaptureParam p{};
  ASSERT_EQ(device->GetParam(&p), S_OK);
  EXPECT_EQ(p.width, 640);
  EXPECT_EQ(p.height, 480);
  EXPECT_EQ(p.frame_rate, 15);
  EXPECT_EQ(p.layer_count, 1);

  for (auto bad : {Settings(2, 320, 240, 30), Settings(0, 321, 240, 30), Settings(0, 320, 8, 30),
                   Settings(0, 320, 240, 0), Settings(0, 320, 240, 61), Settings(-1, 320, 240, 30)}) {
    EXPECT_EQ(device->StartCapture(&bad), E_INVALIDARG);
    EXPECT_EQ(device->SetParam(&bad), E_INVALIDARG);
  }
  EXPECT_EQ(device->StartCapture(nullptr), E_POINTER);
  ASSERT_EQ(device->GetParam(&p), S_OK);
  EXPECT_EQ(p.width, 640);

  FrameLog log;
  ASSERT_EQ(device->SetRawDataCallback(&log, &FrameLog::OnFrame), S_OK);
  avcore::VideoCaptureParam small = Settings(1, 320, 240, 30);
  ASSERT_EQ(device->StartCapture(&small), S_OK);
  ASSERT_TRUE(log.WaitFor(3));
  {
    std::lock_guard<std::mutex> lock(log.mutex);
    for (const auto& f : log.frames) {
      EXPECT_EQ(f.width, 320);
      EXPECT_EQ(f.height, 240);
      EXPECT_EQ(f.fourcc, avcore::kFourccI420);
      EXPECT_EQ(f.length, 320 * 240 * 3 / 2);
    }
    EXPECT_NE(log.frames[0].data, log.frames[1].data);
    EXPECT_NE(log.frames[1].data, log.frames[2].data);
  }

  avcore::VideoCaptureParam keep = Settings(0, 160, 120, 30);
  keep.mode = 1;
  ASSERT_EQ(device->StartCapture(&keep), S_OK);
  ASSERT_EQ(device->GetParam(&p), S_OK);
  EXPECT_EQ(p.width, 320);
  EXPECT_EQ(p.camera_index, 1);

  avcore::VideoCaptureParam change = Settings(0, 160, 120, 30);
  ASSERT_EQ(device->SetParam(&change), S_OK);
  const size_t before = log.count();
  ASSERT_TRUE(log.WaitFor(before + 3));
  {
    std::lock_guard<std::mutex> lock(log.mutex);
    EXPECT_EQ(log.frames.back().width, 160);
    EXPECT_EQ(log.frames.back().length, 160 * 120 * 3 / 2);
  }

  ASSERT_EQ(device->StopCapture(), S_OK);
  const size_t stopped = log.count();
  std::this_thread::sleep_for(150ms);
  EXPECT_EQ(log.count(), stopped);

  ASSERT_EQ(device->StartCapture(&change), S_OK);
  ASSERT_TRUE(log.WaitFor(stopped + 1));
  ASSERT_EQ(device->SetRawDataCallback(nullptr, nullptr), S_OK);
  const size_t cleared = log.count();
  std::this_thread::sleep_for(150ms);
  EXPECT_EQ(log.count(), cleared);
}

// The two synthetic cameras draw different pictures.
TEST_F(VideoDeviceTest, CamerasDifferFromEachOther) {
  Held<avcore::IVideoDevice> first, second;
  MakeDevice(&first);
  MakeDevice(&second);
  FrameLog a, b;
  first->SetRawDataCallback(&a, &FrameLog::OnFrame);
  second->SetRawDataCallback(&b, &FrameLog::OnFrame);
  avcore::VideoCaptureParam p0 = Settings(0, 160, 120, 30), p1 = Settings(1, 160, 120, 30);
  ASSERT_EQ(first->StartCapture(&p0), S_OK);
  ASSERT_EQ(second->StartCapture(&p1), S_OK);
  ASSERT_TRUE(a.WaitFor(1));
  ASSERT_TRUE(b.WaitFor(1));
  first->StopCapture();
  second->StopCapture();
  // Luma of a row of bars below the text: the cameras' bar orders differ.
  const size_t row = 50 * 160;
  EXPECT_NE(std::vector<uint8_t>(a.frames[0].data.begin() + row, a.frames[0].data.begin() + row + 160),
            std::vector<uint8_t>(b.frames[0].data.begin() + row, b.frames[0].data.begin() + row + 160));
}

// RTSP plug-ins of the device manager are further cameras that capture like the others;
// removed, they leave the list; refused plug-ins get -1.
TEST_F(VideoDeviceTest, RtspPluginsAreCameras) {
  ScopedEnv two(L"TESSARINE_CAMERAS", L"2");
  Held<avcore::IAVEnv> env;
  Held<avcore::IAVDevManager> manager;
  Create(avcore::CLSID_AVEnv, avcore::IID_IAVEnv, &env);
  ASSERT_EQ(env->QueryInterface(avcore::IID_IAVDevManager, manager.out()), S_OK);
  Held<avcore::IVideoDevice> device;
  MakeDevice(&device);

  EXPECT_EQ(manager->AddVideoPlugin("rtsp-ex100", "rtsp://127.0.0.1/cam", 2), -1);  // no slots
  ASSERT_EQ(manager->SetupRtspVideoPlugins(64), S_OK);
  EXPECT_EQ(manager->AddVideoPlugin("rtsp-other", "rtsp://127.0.0.1/cam", 2), -1);
  EXPECT_EQ(manager->AddVideoPlugin("rtsp-ex100", "", 2), -1);
  EXPECT_EQ(manager->AddVideoPlugin("rtsp-ex100", std::string(512, 'a').c_str(), 2), -1);
  EXPECT_EQ(manager->AddVideoPlugin("rtsp-ex100", "rtsp://\xff\xfe", 2), -1);
  EXPECT_EQ(manager->AddVideoPlugin(nullptr, "rtsp://x", 2), -1);
  const int32_t id = manager->AddVideoPlugin("rtsp-ex100", "rtsp://127.0.0.1:554/stream1", 2);
  ASSERT_GE(id, 1);

  avcore::VideoDeviceEntry entries[16];
  ASSERT_EQ(device->EnumDevices(entries, 16), 3);
  EXPECT_EQ(EntryName(entries[2]), L"RTSP Camera " + std::to_wstring(id));
  EXPECT_EQ(entries[2].id, 2);

  FrameLog log;
  device->SetRawDataCallback(&log, &FrameLog::OnFrame);
  avcore::VideoCaptureParam p = Settings(2, 320, 240, 30);
  ASSERT_EQ(device->StartCapture(&p), S_OK);
  ASSERT_TRUE(log.WaitFor(1));
  device->StopCapture();

  EXPECT_EQ(manager->RemoveVideoPlugin(0), E_INVALIDARG);
  EXPECT_EQ(manager->RemoveVideoPlugin(id), S_OK);
  EXPECT_EQ(manager->RemoveVideoPlugin(id), E_INVALIDARG);
  EXPECT_EQ(device->EnumDevices(entries, 16), 2);
  EXPECT_EQ(device->StartCapture(&p), E_INVALIDARG);
}

// The preview render manager draws the camera into a window: the first frame raises
// event 4097 once, and the window shows the camera's bars.
TEST_F(VideoDeviceTest, PreviewShowsTheCameraInAWindow) {
  Held<avcore::IVideoDevice> device;
  MakeDevice(&device);
  Held<avcore::IVideoRenderManager> preview;
  ASSERT_EQ(device->QueryInterface(avcore::IID_IVideoRenderManager, preview.out()), S_OK);
  TestWindow window(20, 20, 320, 240);
  ASSERT_NE(window.hwnd(), nullptr);

  struct Events {
    std::mutex mutex;
    std::condition_variable got;
    std::vector<uintptr_t> codes;
    static int AVCORE_CALLBACK Proc(uintptr_t, uintptr_t code, uintptr_t, uintptr_t, void* ctx) {
      auto* e = static_cast<Events*>(ctx);
      std::lock_guard<std::mutex> lock(e->mutex);
      e->codes.push_back(code);
      e->got.notify_all();
      return 1;
    }
  } events;
  const avcore::EventRecord record{avcore::kEventRecordVersion, &Events::Proc, 0, &events};
  avcore::RenderId id = 0;
  ASSERT_EQ(preview->AddRender(window.hwnd(), &record, &id), S_OK);
  ASSERT_NE(id, 0u);
  ASSERT_EQ(preview->SetRenderMode(id, 1), S_OK);

  FrameLog log;
  device->SetRawDataCallback(&log, &FrameLog::OnFrame);
  avcore::VideoCaptureParam p = Settings(0, 320, 240, 30);
  ASSERT_EQ(device->StartCapture(&p), S_OK);
  {
    std::unique_lock<std::mutex> lock(events.mutex);
    ASSERT_TRUE(events.got.wait_for(lock, 10s, [&] { return !events.codes.empty(); }));
  }
  ASSERT_TRUE(log.WaitFor(log.count() + 3));
  window.Pump();
  const std::vector<uint32_t> pixels = window.ReadPixels();
  device->StopCapture();
  {
    std::lock_guard<std::mutex> lock(events.mutex);
    EXPECT_EQ(events.codes, std::vector<uintptr_t>{avcore::kRenderEventFirstFrame});
  }
  // Bar 0 of camera 1 is 75% white, bar 7 grey, above the moving box and below the text.
  const uint32_t white = pixels[110 * 320 + 20], grey = pixels[110 * 320 + 300];
  EXPECT_NEAR(Red(white), 191, 16);
  EXPECT_NEAR(Green(white), 191, 16);
  EXPECT_NEAR(Blue(white), 191, 16);
  EXPECT_NEAR(Red(grey), 96, 16);
  EXPECT_NEAR(Blue(grey), 96, 16);

  avcore::RenderStats stats{};
  ASSERT_EQ(preview->GetRenderStats(id, &stats), S_OK);
  EXPECT_EQ(stats.width, 320);
  EXPECT_EQ(stats.height, 240);
  EXPECT_GT(stats.frame_rate, 0);
  EXPECT_EQ(stats.bitrate, 0) << "a camera that is not published is sent at no rate";
  EXPECT_EQ(preview->RemoveRender(id), S_OK);
}

}  // namespace
}  // namespace tessarine_test
