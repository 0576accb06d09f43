// A local camera capture: previews in application windows, publishing under a video id,
// recording to a file and frame observation. The device stream picks the camera.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "avcore/recording.h"
#include "avcore/render.h"
#include "avcore/video_device.h"
#include "base/system/w_lock.h"
#include "common/win/com_ref.h"
#include "core/frames/core_video_profile.h"

namespace kiv_core {

// The size every recorded frame is scaled to.
constexpr int kRecordWidth = 640;
constexpr int kRecordHeight = 480;

class LocalVideoStreamBase {
 public:
  LocalVideoStreamBase();
  virtual ~LocalVideoStreamBase();
  LocalVideoStreamBase(const LocalVideoStreamBase&) = delete;
  LocalVideoStreamBase& operator=(const LocalVideoStreamBase&) = delete;

  // 0, or 302 when the device rejects the parameters (the profile is kept either way).
  virtual int SetProfile(const CoreVideoProfile* profile);
  virtual void GetVideoStats(avcore::RenderStats* stats) = 0;
  virtual int PublishVideo(const std::string& videoId) = 0;
  virtual int UnpublishVideo();
  // Gives every framework object back; the stream is inert afterwards.
  virtual void Release();
  bool Released();

  // 3 without device or render manager, 4 when the camera cannot start, 302 when the
  // render manager refuses the window.
  int AddVideoPreview(HWND window, int renderMode);
  int RemoveVideoPreview(HWND window);
  // 3 without device or record sink, 4 when the camera or its callback fails. The camera's
  // one raw-data callback feeds the recording and the capture observer alike.
  int StartLocalRecord(const char* path);
  int StopLocalRecord();

  int GetCameraIndex() const { return m_cameraIndex; }
  // Publishing and unpublishing set it on the application's threads; read under the lock.
  std::string GetVideoId() const;
  const CoreVideoProfile& GetProfile() const { return m_profile; }
  size_t PreviewCount();

 protected:
  bool CheckDevice();
  int DoPublishVideo(const std::string& videoId);
  void SetVideoId(const std::string& videoId);
  void SetRecordPath(const char* path);
  // Sets the camera's callback while the recording or the capture observer needs frames,
  // clears it otherwise; false when the device refuses.
  bool UpdateFrameCallback();
  virtual bool HasCaptureObserver() { return false; }
  virtual void DeliverCaptureFrame(const avcore::VideoFrame*) {}
  void OnRecordFrame(const avcore::VideoFrame* frame);
  // Under the recording's lock; false when the sink refused to start.
  bool WriteRecordFrame(const avcore::VideoFrame* frame);
  static int32_t AVCORE_CALLBACK CameraFrameCallback(void* context, const avcore::VideoFrame* frame);
  static int AVCORE_CALLBACK OnPreviewEvent(uintptr_t, uintptr_t, uintptr_t, uintptr_t, void*);

  int m_cameraIndex = 0;
  std::string m_videoId;
  kiv_common::ComRef<avcore::IVideoDevice> m_videoDevice;
  kiv_common::ComRef<avcore::IVideoRenderManager> m_renderManager;
  kiv_common::ComRef<avcore::IVideoRecordSink> m_recordSink;
  // The recording's state, between its start and stop and the capture thread's frames.
  std::mutex m_recordMutex;
  std::atomic<bool> m_recording{false};
  uint64_t m_recordStartMs = 0;
  uint64_t m_lastRecordOffsetMs = 0;
  std::unique_ptr<wchar_t[]> m_recordPath;
  avcore::EventRecord m_renderEvents;
  std::map<avcore::RenderId, HWND> m_previews;
  std::map<HWND, HWND> m_renderWindows;
  CoreVideoProfile m_profile;
  std::vector<uint8_t> m_scaleBuffer;
  mutable ZORVANTE::WLock m_lock;  // the two preview maps, m_released and m_videoId; held across no call
  // Set by Release: the stream left its table, and takes no new preview or publication. The
  // device and render manager stay referenced until the stream goes, since a thread that still
  // holds the stream may be inside a call on them.
  bool m_released = false;
};

}  // namespace kiv_core
