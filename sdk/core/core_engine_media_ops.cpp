// The core engine's media requests of the application: cameras, previews, recording,
// profiles, remote videos, observers and statistics, each reaching its stream.
#include "core/control/kiv_cp_client.h"
#include "core/core_engine.h"
#include "core/devices/device_manager.h"
#include "core/env/core_env.h"
#include "core/env/log_record.h"
#include "kiv_error.h"

namespace kiv_core {

namespace {
constexpr int kCameraTaken = 4;
}  // namespace

int CoreEngine::StartPublishDeviceVideo(const std::string& videoId, int cameraId) {
  if (!CoreEnv::IsBaseCoreInited()) return ERR_INVALID_STATE;
  KIV_LOG("StartPublishDeviceVideo, vid=%s, deviceid=%d", videoId.c_str(), cameraId);
  // An empty id names no publication: it would find the camera streams that only preview.
  if (videoId.empty() || !m_deviceManager || !m_deviceManager->IsCameraValid(cameraId)) return ERR_INVALID_PARAM;
  std::shared_ptr<LocalVideoDeviceStream> publishing = m_streamManager.FindLocalVideoDeviceStream(videoId);
  if (publishing && publishing->GetCameraIndex() == cameraId) return kCameraTaken;
  std::shared_ptr<LocalVideoDeviceStream> camera = m_streamManager.CreateLocalVideoDeviceStream(cameraId);
  if (!publishing) {
    // A camera already publishing another video id is taken.
    if (!camera->GetVideoId().empty()) return kCameraTaken;
    auto preset = m_presetProfiles.find(videoId);
    if (preset != m_presetProfiles.end()) {
      (void)camera->SetProfile(&preset->second);
      m_presetProfiles.erase(preset);
    }
    return camera->PublishVideo(videoId);
  }
  if (!camera->GetVideoId().empty() && camera->GetVideoId() != videoId) return kCameraTaken;
  m_streamManager.DestroyLocalVideoDeviceStream(camera);
  return publishing->SwitchCamera(cameraId);
}

int CoreEngine::StopPublishDeviceVideo(const std::string& videoId) {
  if (!CoreEnv::IsBaseCoreInited()) return ERR_INVALID_STATE;
  KIV_LOG("Stop publish device video, video id = %s", videoId.c_str());
  std::shared_ptr<LocalVideoDeviceStream> stream =
      videoId.empty() ? nullptr : m_streamManager.FindLocalVideoDeviceStream(videoId);
  if (!stream) return ERR_FAILED;
  return stream->UnpublishVideo();
}

int CoreEngine::AddLocalPreview(int cameraId, HWND window, int renderMode) {
  if (!CoreEnv::IsBaseCoreInited()) return ERR_INVALID_STATE;
  KIV_LOG("AddLocalPreview, camera id = %d", cameraId);
  std::shared_ptr<LocalVideoDeviceStream> stream = m_streamManager.CreateLocalVideoDeviceStream(cameraId);
  if (!stream) {
    KIV_LOG("Ensure local video stream failed!!!");
    return ERR_FAILED;
  }
  return stream->AddVideoPreview(window, renderMode);
}

int CoreEngine::RemoveLocalPreview(int cameraId, HWND window) {
  if (!CoreEnv::IsBaseCoreInited()) return ERR_INVALID_STATE;
  KIV_LOG("RemoveLocalPreview, camera id = %d", cameraId);
  std::shared_ptr<LocalVideoDeviceStream> stream = m_streamManager.FindLocalVideoDeviceStreamByCamera(cameraId);
  if (!stream) {
    KIV_LOG("Not found local video device stream!!!");
    return ERR_INVALID_PARAM;
  }
  const int result = stream->RemoveVideoPreview(window);
  if (result != ERR_OK) KIV_LOG("Remove video preview failed!!!");
  return result;
}

int CoreEngine::StartLocalRecord(const std::string& filePath, int cameraId, bool recordAudio) {
  if (!CoreEnv::IsBaseCoreInited()) return ERR_INVALID_STATE;
  KIV_LOG("StartLocalRecord, camera id = %d, file_path = %s, is_record_audio = %d", cameraId, filePath.c_str(),
          recordAudio ? 1 : 0);
  std::shared_ptr<LocalVideoDeviceStream> stream = m_streamManager.CreateLocalVideoDeviceStream(cameraId);
  if (!stream) {
    KIV_LOG("Ensure local video stream failed!!!");
    return ERR_FAILED;
  }
  return stream->StartLocalRecord(filePath.c_str());
}

int CoreEngine::StopLocalRecord(int cameraId) {
  if (!CoreEnv::IsBaseCoreInited()) return ERR_INVALID_STATE;
  KIV_LOG("StopLocalRecord, camera id = %d", cameraId);
  std::shared_ptr<LocalVideoDeviceStream> stream = m_streamManager.FindLocalVideoDeviceStreamByCamera(cameraId);
  if (!stream) {
    KIV_LOG("Not found local video device stream!!!");
    return ERR_INVALID_PARAM;
  }
  return stream->StopLocalRecord();
}

int CoreEngine::SetDeviceVideoProfile(const std::string& videoId, const CoreVideoProfile& profile) {
  KIV_LOG("SetDeviceVideoProfile, video_id: %s", videoId.c_str());
  if (videoId.empty()) {
    KIV_LOG("Empty video ID!");
    return ERR_INVALID_PARAM;
  }
  if (std::shared_ptr<LocalVideoDeviceStream> stream = m_streamManager.FindLocalVideoDeviceStream(videoId))
    return stream->SetProfile(&profile);
  KIV_LOG("Cannot find video device stream, preset profile!");
  m_presetProfiles[videoId] = profile;
  return ERR_OK;
}

int CoreEngine::SetRemoteVideoRender(const std::string& userId, const std::string& videoId, HWND window,
                                     int renderMode) {
  if (!CoreEnv::IsBaseCoreInited()) return ERR_INVALID_STATE;
  KIV_LOG("SetRemoteVideoRender, uid=%s, vid=%s, render %p, mode:%d", userId.c_str(), videoId.c_str(),
          static_cast<void*>(window), renderMode);
  if (!window) return UnSubscribeRemoteVideo(userId, videoId);
  // An empty id names no video: nothing is made for it.
  if (userId.empty() || videoId.empty()) return ERR_INVALID_PARAM;
  std::shared_ptr<RemoteVideoStreamBase> stream = m_streamManager.CreateRemoteVideoStream(userId, videoId);
  if (!stream) return ERR_FAILED;
  return stream->SetRender(window, renderMode);
}

int CoreEngine::RegisterRenderVideoFrameObserver(const std::string& userId, const std::string& videoId,
                                                 std::unique_ptr<ICoreVideoFrameObserver> observer) {
  if (!CoreEnv::IsBaseCoreInited()) return ERR_INVALID_STATE;
  KIV_LOG("RegisterRenderVideoFrameObserver , user id = %s, video id = %s, ObserverCallback %p", userId.c_str(),
          videoId.c_str(), static_cast<void*>(observer.get()));
  std::shared_ptr<RemoteVideoStreamBase> stream = m_streamManager.FindRemoteVideoStream(userId, videoId);
  const int result = stream ? stream->SetRemoteRawDataCallback(std::move(observer)) : ERR_FAILED;
  // A stream taken out of its table delivers until its renders are removed: the observer
  // it holds goes too, whichever stream the new one went to.
  for (const auto& leaving : m_streamManager.LeavingRemoteVideoStreams(userId, videoId)) {
    if (leaving != stream) leaving->DropRawObserver();
  }
  return result;
}

int CoreEngine::RegisterCaptureVideoFrameObserver(int cameraId, std::unique_ptr<ICoreVideoFrameObserver> observer) {
  if (!CoreEnv::IsBaseCoreInited()) return ERR_INVALID_STATE;
  KIV_LOG("RegisterCaptureVideoFrameObserver , camera id = %d, Observer %p", cameraId,
          static_cast<void*>(observer.get()));
  std::shared_ptr<LocalVideoDeviceStream> stream = m_streamManager.FindLocalVideoDeviceStreamByCamera(cameraId);
  const int result = stream ? stream->SetCaptureVideoFrameCallback(std::move(observer)) : ERR_FAILED;
  // A camera stream being released delivers until its release has run: the observer it
  // holds goes too, whichever stream the new one went to.
  for (const auto& leaving : m_streamManager.LeavingLocalVideoDeviceStreams(cameraId)) {
    if (leaving != stream) leaving->DropCaptureObserver();
  }
  return result;
}

void CoreEngine::RegisterRemoteRawAudioObserver(const std::string& userId, const std::string& audioId,
                                                std::shared_ptr<ICoreRemoteRawAudioObserver> observer) {
  KIV_LOG("RegisterRemoteRawAudioObserver, user id:%s, audio id:%s,", userId.c_str(), audioId.c_str());
  std::shared_ptr<RemoteAudioStream> stream;
  if (!observer) {
    // Taking an observer away starts nothing: it is cleared on the stream there is, whose
    // playback stays as it was.
    stream = m_streamManager.FindRemoteAudioStream(userId, audioId);
    if (stream) (void)stream->SetRawAudioObserver(nullptr);
  } else {
    // The stream's own requests are carried out one at a time (see RemoteAudioChanges): no
    // subscription starts receiving beside this one, and no lock is held while the observer
    // it replaces finishes a frame.
    stream = m_streamManager.CreateRemoteAudioStream(userId, audioId);
    if (stream) (void)stream->SetRawAudioObserver(std::move(observer));
  }
  // A stream taken out of its table (a mute, a leave) delivers until its close has run: the
  // observer it holds goes too, whichever stream the new one went to.
  for (const auto& leaving : m_streamManager.LeavingRemoteAudioStreams(userId, audioId)) {
    if (leaving != stream) leaving->DropRawAudioObserver();
  }
}

int CoreEngine::GetRemoteAudioInfo(const std::string& userId, const std::string& audioId) {
  std::shared_ptr<RemoteAudioStream> stream =
      m_streamManager.FindRemoteAudioStream(userId, audioId.empty() ? std::string("appdef_mic") : audioId);
  return stream ? stream->GetAudioInfo() : 0;
}

int CoreEngine::GetVideoStats(const std::string& userId, const std::string& videoId, int* width, int* height,
                              int* frameRate, int* bitrate) {
  *width = *height = *frameRate = *bitrate = 0;
  if (!CoreEnv::IsBaseCoreInited()) return ERR_INVALID_STATE;
  avcore::RenderStats stats{};
  int result = ERR_FAILED;
  if (m_cpClient && userId == m_cpClient->GetUserId()) {
    std::shared_ptr<LocalVideoDeviceStream> stream =
        videoId.empty() ? nullptr : m_streamManager.FindLocalVideoDeviceStream(videoId);
    if (stream) {
      stream->GetVideoStats(&stats);
      result = ERR_OK;
    }
  } else if (std::shared_ptr<RemoteVideoStreamBase> stream = m_streamManager.FindRemoteVideoStream(userId, videoId)) {
    stream->GetRenderStats(&stats);
    result = ERR_OK;
  }
  *width = stats.width;
  *height = stats.height;
  *frameRate = stats.frame_rate;
  *bitrate = stats.bitrate;
  return result;
}

void CoreEngine::OnCameraRemoved(int cameraId) {
  if (std::shared_ptr<LocalVideoDeviceStream> stream = m_streamManager.FindLocalVideoDeviceStreamByCamera(cameraId))
    stream->StopCapture();
}

void CoreEngine::OnCameraAdded(int cameraId) {
  if (std::shared_ptr<LocalVideoDeviceStream> stream = m_streamManager.FindLocalVideoDeviceStreamByCamera(cameraId))
    stream->RestartCapture();
}

}  // namespace kiv_core
