// The local video stream of one camera index.
#pragma once

#include <atomic>

#include "base/system/owned_callback_slot.h"
#include "core/core_observers.h"
#include "core/streams/local_video_stream_base.h"

namespace kiv_core {

class LocalVideoDeviceStream : public LocalVideoStreamBase {
 public:
  explicit LocalVideoDeviceStream(int cameraIndex);
  ~LocalVideoDeviceStream() override;

  void GetVideoStats(avcore::RenderStats* stats) override;
  // 4 when the camera cannot start.
  int PublishVideo(const std::string& videoId) override;
  int UnpublishVideo() override;
  void Release() override;

  // Moves capture (and whatever is published or previewed) to another camera.
  // 302 when the device is missing or refuses the new camera.
  int SwitchCamera(int cameraIndex);
  // The camera disappeared / came back.
  void StopCapture();
  void RestartCapture();
  // Takes the observer (null clears); a recording keeps running beside it. Returns once a
  // frame in the replaced observer is done with it.
  // 302 once the stream is released.
  int SetCaptureVideoFrameCallback(std::unique_ptr<ICoreVideoFrameObserver> observer);
  // Clears the observer and changes nothing at the device (for a stream taken out of its
  // table, whose release does); returns once no frame is in it.
  void DropCaptureObserver() { m_captureObserver.Replace(nullptr); }

 private:
  bool HasCaptureObserver() override { return m_captureObserver.Peek() != nullptr; }
  void DeliverCaptureFrame(const avcore::VideoFrame* frame) override;

  ZORVANTE::OwnedCallbackSlot<ICoreVideoFrameObserver> m_captureObserver;
  // Set at the start of the release: no observer or camera callback is installed after it.
  std::atomic<bool> m_gone{false};
};

}  // namespace kiv_core
