#include "core/streams/local_video_device_stream.h"

#include "core/env/log_record.h"
#include "core/frames/core_frames.h"
#include "core/frames/core_video_frame.h"
#include "core/frames/video_codes.h"
#include "kiv_error.h"

namespace kiv_core {

namespace {
constexpr int kDeviceFailed = 4;
}  // namespace

LocalVideoDeviceStream::LocalVideoDeviceStream(int cameraIndex) {
  m_cameraIndex = cameraIndex;
  if (m_videoDevice) {
    avcore::VideoCaptureParam param = avcore::VideoCaptureParam::Defaults();
    (void)m_videoDevice->GetParam(&param);
    param.camera_index = cameraIndex;
    if (m_videoDevice->SetParam(&param) < 0) KIV_LOG("LocalVideoDeviceStream SetParam fail cameraid: %d", cameraIndex);
  }
}

LocalVideoDeviceStream::~LocalVideoDeviceStream() {
  LocalVideoDeviceStream::Release();
  m_captureObserver.Replace(nullptr);
}

int LocalVideoDeviceStream::PublishVideo(const std::string& videoId) {
  if (!CheckDevice()) return kDeviceFailed;
  return DoPublishVideo(videoId);
}

int LocalVideoDeviceStream::UnpublishVideo() {
  const int result = LocalVideoStreamBase::UnpublishVideo();
  SetVideoId(std::string());
  return result;
}

void LocalVideoDeviceStream::Release() {
  m_gone = true;
  if (m_renderManager) {
    KIV_LOG("destroy local video device stream: %s, %d", GetVideoId().c_str(), m_cameraIndex);
    std::map<avcore::RenderId, HWND> previews;
    {
      ZORVANTE::WAutoLock guard(&m_lock);
      m_released = true;
      previews.swap(m_previews);
      m_renderWindows.clear();
    }
    // Outside the lock: a removal waits for a frame in the render.
    for (const auto& preview : previews) (void)m_renderManager->RemoveRender(preview.first);
  }
  // The capture thread must not reach the observer or the sink once they go.
  if (m_videoDevice) (void)m_videoDevice->SetRawDataCallback(nullptr, nullptr);
  LocalVideoStreamBase::Release();
}

void LocalVideoDeviceStream::GetVideoStats(avcore::RenderStats* stats) {
  avcore::RenderId renderId = 0;
  bool any = false;
  {
    ZORVANTE::WAutoLock guard(&m_lock);
    if (!m_previews.empty()) {
      renderId = m_previews.begin()->first;
      any = true;
    }
  }
  if (m_renderManager && any) {
    (void)m_renderManager->GetRenderStats(renderId, stats);
    return;
  }
  *stats = avcore::RenderStats{};
}

int LocalVideoDeviceStream::SwitchCamera(int cameraIndex) {
  if (cameraIndex == m_cameraIndex) {
    KIV_LOG("Invalid camera id = %d", cameraIndex);
    return ERR_OK;
  }
  if (!m_videoDevice) return ERR_FAILED;
  (void)m_videoDevice->StopCapture();
  avcore::VideoCaptureParam param = avcore::VideoCaptureParam::Defaults();
  (void)m_videoDevice->GetParam(&param);
  param.camera_index = cameraIndex;
  m_cameraIndex = cameraIndex;
  if (m_videoDevice->StartCapture(&param) < 0) {
    KIV_LOG("change to capture cameraid: %d failed!!!", cameraIndex);
    return ERR_FAILED;
  }
  return ERR_OK;
}

void LocalVideoDeviceStream::StopCapture() {
  if (m_videoDevice) (void)m_videoDevice->StopCapture();
}

void LocalVideoDeviceStream::RestartCapture() {
  if (!m_videoDevice) return;
  if (GetVideoId().empty() && PreviewCount() == 0) return;
  avcore::VideoCaptureParam param = avcore::VideoCaptureParam::Defaults();
  (void)m_videoDevice->GetParam(&param);
  param.camera_index = m_cameraIndex;
  (void)m_videoDevice->StartCapture(&param);
}

int LocalVideoDeviceStream::SetCaptureVideoFrameCallback(std::unique_ptr<ICoreVideoFrameObserver> observer) {
  KIV_LOG("SetCaptureVideoFrameCallback, Observer = %p, CaptureVideoFrameCallback = %p",
          static_cast<void*>(observer.get()), reinterpret_cast<void*>(&LocalVideoStreamBase::CameraFrameCallback));
  if (observer && observer.get() == m_captureObserver.Peek()) return ERR_OK;
  if (observer && m_gone) return ERR_FAILED;
  m_captureObserver.Replace(std::move(observer));
  (void)UpdateFrameCallback();
  if (m_gone) {
    // A release that ran meanwhile may have cleared the camera's callback before it was set
    // again above: clear both once more.
    m_captureObserver.Replace(nullptr);
    if (m_videoDevice) (void)m_videoDevice->SetRawDataCallback(nullptr, nullptr);
    return ERR_FAILED;
  }
  return ERR_OK;
}

void LocalVideoDeviceStream::DeliverCaptureFrame(const avcore::VideoFrame* frame) {
  (void)m_captureObserver.Call([&](ICoreVideoFrameObserver& observer) {
    CoreVideoFrame record = ToCoreVideoFrame(*frame);
    observer.OnCaptureFrame(m_cameraIndex, &record);
  });
}

}  // namespace kiv_core
