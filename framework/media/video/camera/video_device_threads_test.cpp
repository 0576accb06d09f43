// The camera device's capture thread against the calls that stop or replace it: a frame's
// raw-data callback that reads the settings while another thread stops the capture.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <thread>

#include "camera_capture.h"
#include "components.h"

namespace tessarine {
namespace {

using namespace std::chrono_literals;

avcore::VideoCaptureParam Settings(int32_t camera) {
  avcore::VideoCaptureParam p = avcore::VideoCaptureParam::Defaults();
  p.mode = 0;
  p.camera_index = camera;
  p.width = 64;
  p.height = 64;
  p.frame_rate = 30;
  return p;
}

// The first frame's callback waits until a capture thread was told to stop, then reads the
// settings (as a recording's first frame does); the read is given 10 s.
struct SettingsReader {
  avcore::IVideoDevice* device = nullptr;
  std::promise<void> entered;
  std::atomic<bool> first{true};
  bool readInTime = false;
  std::thread reader;

  static std::promise<void>* stopRequested;
  static void NoteStop() {
    if (stopRequested) stopRequested->set_value();
    stopRequested = nullptr;
  }

  static int32_t AVCORE_CALLBACK OnFrame(void* context, const avcore::VideoFrame*) {
    auto* self = static_cast<SettingsReader*>(context);
    if (!self->first.exchange(false)) return 0;
    std::promise<void> stop;
    std::future<void> stopped = stop.get_future();
    stopRequested = &stop;
    CameraCapture::SetStopObserver(&SettingsReader::NoteStop);
    self->entered.set_value();
    stopped.wait();
    CameraCapture::SetStopObserver(nullptr);
    auto read = std::make_shared<std::promise<void>>();
    std::future<void> done = read->get_future();
    self->reader = std::thread([device = self->device, read] {
      avcore::VideoCaptureParam p{};
      (void)device->GetParam(&p);
      read->set_value();
    });
    self->readInTime = done.wait_for(10s) == std::future_status::ready;
    return 0;
  }
};
std::promise<void>* SettingsReader::stopRequested = nullptr;

// Stopping the capture (StopCapture) or moving it to another camera (SetParam) waits for the
// capture thread without holding the settings: the frame's read of them finishes.
TEST(VideoDeviceThreadsTest, FrameReadsTheSettingsWhileTheCaptureStops) {
  const std::function<HRESULT(avcore::IVideoDevice*)> stops[] = {
      [](avcore::IVideoDevice* d) { return d->StopCapture(); },
      [](avcore::IVideoDevice* d) {
        const avcore::VideoCaptureParam other = Settings(1);
        return d->SetParam(&other);
      },
  };
  for (const auto& stop : stops) {
    avcore::IVideoDevice* device = CreateVideoDevice();
    ASSERT_NE(device, nullptr);
    SettingsReader frames;
    frames.device = device;
    ASSERT_EQ(device->SetRawDataCallback(&frames, &SettingsReader::OnFrame), S_OK);
    const avcore::VideoCaptureParam start = Settings(0);
    ASSERT_EQ(device->StartCapture(&start), S_OK);
    frames.entered.get_future().wait();
    std::thread stopper([&] { EXPECT_EQ(stop(device), S_OK); });
    stopper.join();
    if (frames.reader.joinable()) frames.reader.join();
    EXPECT_TRUE(frames.readInTime) << "the settings were held while the capture thread was waited for";
    ASSERT_EQ(device->StopCapture(), S_OK);
    ASSERT_EQ(device->SetRawDataCallback(nullptr, nullptr), S_OK);
    device->Release();
  }
}

}  // namespace
}  // namespace tessarine
