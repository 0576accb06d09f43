// The local video stream of one camera index.
#pragma once

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
  // Takes the observer (null clears); it replaces a running recording's frame callback.
  int SetCaptureVideoFrameCallback(std::unique_ptr<ICoreVideoFrameObserver> observer);

 private:
  static int32_t AVCORE_CALLBACK CaptureVideoFrameCallback(void* context, const avcore::VideoFrame* frame);

  std::unique_ptr<ICoreVideoFrameObserver> m_captureObserver;
};

}  // namespace kiv_core
