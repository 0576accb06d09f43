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

  // A capture told to stop and taken out of its owner, so that the owner can stop it under
  // its lock and wait for it without: Join() returns (on another thread than the capture
  // thread) once no frame is handed on; on the capture thread it lets the thread end by itself.
  class Stopping {
   public:
    Stopping() = default;
    Stopping(Stopping&&) = default;
    Stopping& operator=(Stopping&& other) {
      Join();
      thread_ = std::move(other.thread_);
      return *this;
    }
    ~Stopping() { Join(); }
    void Join();

   private:
    friend class CameraCapture;
    std::thread thread_;
  };

  // Called on a thread that has just told a capture thread to stop (before it waits for it):
  // lets tests act at that point. Null (the default) for none.
  using StopObserver = void (*)();
  static void SetStopObserver(StopObserver observer);

  // (Re)starts with frame 0. A running capture is stopped first: call Release() before when
  // it is not to be waited for here.
  void Start(const CameraInfo& camera, const CaptureFormat& format);
  // After it returns (on another thread than the capture thread) no frame is handed on.
  void Stop() { Release().Join(); }
  // Tells the capture thread to stop and hands it over; not running afterwards.
  [[nodiscard]] Stopping Release();
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
