// The capture thread of a synthetic camera: draws the camera's test pattern (with its
// name, its source and the local time) at the configured size and frame rate and hands
// each I420 frame to the owner's handler, on the capture thread. Stop() may be called
// from the handler itself.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "avcore/video_device.h"
#include "camera_list.h"

namespace tessarine {

struct CaptureFormat {
  int32_t width = 0;
  int32_t height = 0;
  int32_t frame_rate = 0;
  bool operator==(const CaptureFormat& o) const {
    return width == o.width && height == o.height && frame_rate == o.frame_rate;
  }
};

class CameraCapture {
 public:
  using FrameHandler = std::function<void(const avcore::VideoFrame&)>;

  explicit CameraCapture(FrameHandler handler) : handler_(std::move(handler)) {}
  ~CameraCapture() { Stop(); }
  CameraCapture(const CameraCapture&) = delete;
  CameraCapture& operator=(const CameraCapture&) = delete;

  // (Re)starts with frame 0.
  void Start(const CameraInfo& camera, const CaptureFormat& format);
  // After it returns (on another thread than the capture thread) no frame is handed on.
  void Stop();
  [[nodiscard]] bool running() const { return thread_.joinable(); }

 private:
  struct State {
    std::mutex mutex;
    std::condition_variable wake;
    bool stop = false;
  };
  static void Run(std::shared_ptr<State> state, FrameHandler handler, CameraInfo camera, CaptureFormat format);

  const FrameHandler handler_;
  std::shared_ptr<State> state_;
  std::thread thread_;
};

}  // namespace tessarine
