#include "camera_capture.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "frame_stamp.h"
#include "i420_image.h"
#include "test_pattern.h"

namespace tessarine {
namespace {

std::string ClockText(uint32_t frame_number) {
  SYSTEMTIME t;
  GetLocalTime(&t);
  char text[64];
  snprintf(text, sizeof(text), "%02u:%02u:%02u.%03u  #%u", t.wHour, t.wMinute, t.wSecond, t.wMilliseconds,
           frame_number);
  return text;
}

std::atomic<CameraCapture::StopObserver>& StopObserverSlot() {
  static std::atomic<CameraCapture::StopObserver> observer{nullptr};
  return observer;
}

}  // namespace

void CameraCapture::Start(const CameraInfo& camera, const CaptureFormat& format) {
  Stop();
  state_ = std::make_shared<State>();
  thread_ = std::thread(&CameraCapture::Run, state_, handler_, camera, format);
}

void CameraCapture::SetStopObserver(StopObserver observer) { StopObserverSlot().store(observer); }

CameraCapture::Stopping CameraCapture::Release() {
  Stopping stopping;
  if (!thread_.joinable()) return stopping;
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->stop = true;
  }
  state_->wake.notify_all();
  stopping.thread_ = std::move(thread_);
  state_.reset();  // the thread keeps its own reference
  if (StopObserver observer = StopObserverSlot().load()) observer();
  return stopping;
}

void CameraCapture::Stopping::Join() {
  if (!thread_.joinable()) return;
  if (thread_.get_id() == std::this_thread::get_id()) {
    thread_.detach();  // stopped from its own handler: it ends when the handler returns
  } else {
    thread_.join();
  }
}

void CameraCapture::Run(std::shared_ptr<State> state, FrameHandler handler, CameraInfo camera, CaptureFormat format) {
  using Clock = std::chrono::steady_clock;
  const auto period = std::chrono::microseconds(1000000 / format.frame_rate);
  const auto start = Clock::now();
  I420Image image;
  image.Resize(format.width, format.height);
  std::vector<std::string> lines{camera.name, camera.source, std::string()};
  for (uint32_t n = 0;; ++n) {
    auto due = start + period * n;
    if (Clock::now() > due + 2 * period) {  // fell behind: drop the frames missed
      n = static_cast<uint32_t>((Clock::now() - start) / period);
      due = start + period * n;
    }
    {
      std::unique_lock<std::mutex> lock(state->mutex);
      if (state->wake.wait_until(lock, due, [&] { return state->stop; })) return;
    }
    lines[2] = ClockText(n);
    DrawTestPattern(camera.number, n, lines, &image);
    media::WriteStamp(image.y(), format.width, format.width, format.height, media::FrameStamp{n, media::WallClockUs()});
    avcore::VideoFrame frame{};
    frame.width = format.width;
    frame.height = format.height;
    frame.fourcc = avcore::kFourccI420;
    frame.stride = format.width;
    frame.rotation = 0;
    frame.timestamp =
        static_cast<int32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
    frame.data = image.data.data();
    frame.length = static_cast<int32_t>(image.data.size());
    handler(frame);
  }
}

}  // namespace tessarine
