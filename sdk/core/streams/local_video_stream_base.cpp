#include "core/streams/local_video_stream_base.h"

#include <libyuv/scale.h>

#include <cstring>

#include "avcore/av_net.h"
#include "avcore/ids.h"
#include "base/system/tick_count.h"
#include "base/text/code_page.h"
#include "core/control/kiv_cp_client.h"
#include "core/engine_event_handler.h"
#include "core/env/core_env.h"
#include "core/env/log_record.h"
#include "core/frames/video_codes.h"
#include "kiv_error.h"

namespace kiv_core {

namespace {

constexpr int kDeviceMissing = 3;
constexpr int kDeviceFailed = 4;
constexpr uint64_t kMinRecordGapMs = 15;

template <class Itf>
Itf* Create(REFCLSID cls, REFIID iid) {
  CoreEnv* env = CoreEnv::Instance();
  if (!env || !env->m_basecore) return nullptr;
  void* object = nullptr;
  if (env->m_basecore->CreateComponent(cls, iid, nullptr, &object) < 0) return nullptr;
  return static_cast<Itf*>(object);
}

EngineEventHandler* EventHandler() {
  CoreEnv* env = CoreEnv::Instance();
  return env ? env->m_config.eventHandler : nullptr;
}

avcore::IAvNet* Net() {
  CoreEnv* env = CoreEnv::Instance();
  return env ? env->m_avnet.get() : nullptr;
}

KivCpClient* CpClient() {
  CoreEnv* env = CoreEnv::Instance();
  return env ? env->m_cpclient : nullptr;
}

uint64_t NowMs() { return static_cast<uint64_t>(ZORVANTE::GetTickCountUS() / 1000); }

}  // namespace

LocalVideoStreamBase::LocalVideoStreamBase()
    : m_renderEvents{avcore::kEventRecordVersion, &LocalVideoStreamBase::OnPreviewEvent, 0, this} {
  m_profile.width = 960;
  m_profile.height = 540;
  m_profile.frameRate = 15;
  m_videoDevice.Attach(Create<avcore::IVideoDevice>(avcore::CLSID_VideoDevice, avcore::IID_IVideoDevice));
  if (m_videoDevice) {
    void* manager = nullptr;
    if (m_videoDevice->QueryInterface(avcore::IID_IVideoRenderManager, &manager) >= 0)
      m_renderManager.Attach(static_cast<avcore::IVideoRenderManager*>(manager));
  }
  m_recordSink.Attach(Create<avcore::IVideoRecordSink>(avcore::CLSID_VideoRecordSink, avcore::IID_IVideoRecordSink));
  m_scaleBuffer.resize(static_cast<size_t>(kRecordWidth) * kRecordHeight * 3 / 2);
}

LocalVideoStreamBase::~LocalVideoStreamBase() { LocalVideoStreamBase::Release(); }

bool LocalVideoStreamBase::CheckDevice() {
  if (!m_videoDevice) return false;
  avcore::VideoCaptureParam param = avcore::VideoCaptureParam::Defaults();
  (void)m_videoDevice->GetParam(&param);
  param.camera_index = m_cameraIndex;
  param.mode = 0;
  if (m_videoDevice->StartCapture(&param) < 0) {
    KIV_LOG("Check device %d failed!!!", m_cameraIndex);
    return false;
  }
  return true;
}

size_t LocalVideoStreamBase::PreviewCount() {
  ZORVANTE::WAutoLock guard(&m_lock);
  return m_previews.size();
}

int LocalVideoStreamBase::AddVideoPreview(HWND window, int renderMode) {
  if (!m_videoDevice || !m_renderManager) {
    KIV_LOG("Invalid video device or render manager!!!");
    return kDeviceMissing;
  }
  if (Released()) return ERR_FAILED;
  if (!CheckDevice()) return kDeviceFailed;
  avcore::RenderId renderId = 0;
  bool found = false;
  {
    ZORVANTE::WAutoLock guard(&m_lock);
    for (const auto& preview : m_previews) {
      if (preview.second == window) {
        renderId = preview.first;
        found = true;
        break;
      }
    }
  }
  if (found) {
    KIV_LOG("AddVideoPreview update rendermode");
    (void)m_renderManager->SetRenderMode(renderId, ConvertRenderMode(renderMode));
    return ERR_OK;
  }
  EngineEventHandler* handler = EventHandler();
  HWND target = handler ? handler->GetPreviewRenderWindow(window) : window;
  KIV_LOG("AddVideoPreview new render renderwind:%p, newRefWnd:%p", static_cast<void*>(window),
          static_cast<void*>(target));
  const HRESULT added = m_renderManager->AddRender(target, &m_renderEvents, &renderId);
  if (added < 0 || !renderId) {
    KIV_LOG("AddVideoPreview AddRender failed %x, wnd:%p", static_cast<unsigned>(added), static_cast<void*>(window));
    if (handler) handler->ReleasePreviewRenderWindow(target);
    return ERR_FAILED;
  }
  bool released;
  {
    ZORVANTE::WAutoLock guard(&m_lock);
    released = m_released;
    if (!released) {
      m_previews[renderId] = window;
      m_renderWindows[window] = target;
    }
  }
  if (released) {
    // The stream was released meanwhile: its previews are gone, and so goes this one.
    (void)m_renderManager->RemoveRender(renderId);
    if (handler) handler->ReleasePreviewRenderWindow(target);
    return ERR_FAILED;
  }
  (void)m_renderManager->SetRenderMode(renderId, ConvertRenderMode(renderMode));
  return ERR_OK;
}

int LocalVideoStreamBase::RemoveVideoPreview(HWND window) {
  if (!m_videoDevice || !m_renderManager) {
    KIV_LOG("Invalid video device or render manager!!!");
    return kDeviceMissing;
  }
  avcore::RenderId renderId = 0;
  bool found = false;
  HWND released = nullptr;
  {
    ZORVANTE::WAutoLock guard(&m_lock);
    for (auto it = m_previews.begin(); it != m_previews.end(); ++it) {
      if (it->second == window) {
        renderId = it->first;
        found = true;
        m_previews.erase(it);
        break;
      }
    }
    auto target = m_renderWindows.find(window);
    if (target != m_renderWindows.end()) {
      released = target->second;
      m_renderWindows.erase(target);
    }
  }
  if (released) {
    EngineEventHandler* handler = EventHandler();
    if (handler) handler->ReleasePreviewRenderWindow(released);
  }
  if (!found) {
    KIV_LOG("RemoveVideoPreview Not found render to remove wnd:%p", static_cast<void*>(window));
    return ERR_OK;
  }
  (void)m_renderManager->RemoveRender(renderId);
  return ERR_OK;
}

int LocalVideoStreamBase::DoPublishVideo(const std::string& videoId) {
  KIV_LOG("DoPublishVideo, video id = %s", videoId.c_str());
  if (!CoreEnv::IsBaseCoreInited()) {
    KIV_LOG("Basecore not inited!!!");
    return ERR_INVALID_STATE;
  }
  if (!CoreEnv::IsLogined()) {
    KIV_LOG("Not login!!!");
    return ERR_NOT_LOGINED;
  }
  if (Released()) return ERR_FAILED;
  avcore::IAvNet* net = Net();
  if (!m_videoDevice || !net) {
    KIV_LOG("Invalid video device!!!");
    return ERR_FAILED;
  }
  if (net->AddSource(avcore::kMediaVideo, videoId.c_str(), m_videoDevice.get()) < 0) {
    KIV_LOG("Add source failed.");
    return ERR_FAILED;
  }
  SetVideoId(videoId);
  if (KivCpClient* cp = CpClient()) (void)cp->PublishVideoNotify(videoId);
  (void)net->SetSourceParam(avcore::kMediaVideo, videoId.c_str(), m_profile.net_bd_adapt ? 1 : 0);
  return ERR_OK;
}

int LocalVideoStreamBase::UnpublishVideo() {
  avcore::IAvNet* net = Net();
  const std::string videoId = GetVideoId();
  if (net && !videoId.empty()) {
    if (KivCpClient* cp = CpClient()) (void)cp->UnpublishVideoNotify(videoId);
    (void)net->RemoveSource(avcore::kMediaVideo, videoId.c_str());
  }
  return ERR_OK;
}

std::string LocalVideoStreamBase::GetVideoId() const {
  ZORVANTE::WAutoLock guard(&m_lock);
  return m_videoId;
}

void LocalVideoStreamBase::SetVideoId(const std::string& videoId) {
  ZORVANTE::WAutoLock guard(&m_lock);
  m_videoId = videoId;
}

int LocalVideoStreamBase::SetProfile(const CoreVideoProfile* profile) {
  KIV_LOG("Set profile, width: %d, heigh: %d, frame_rate: %d, net_bd_adapt: %d, recv_wnd_adapt: %d", profile->width,
          profile->height, profile->frameRate, profile->net_bd_adapt ? 1 : 0, profile->recv_wnd_adapt ? 1 : 0);
  if (!m_videoDevice) {
    KIV_LOG("Invalid video device!");
    m_profile = *profile;
    return ERR_OK;
  }
  avcore::VideoCaptureParam param = avcore::VideoCaptureParam::Defaults();
  (void)m_videoDevice->GetParam(&param);
  if (profile->width != 0 && profile->height != 0) {
    param.width = profile->width;
    param.height = profile->height;
  }
  if (profile->frameRate >= 1 && profile->frameRate <= 30) param.frame_rate = profile->frameRate;
  param.mode = 0;
  param.temporal_svc = 0;
  param.rate_control = 1;
  param.layer_frame_rate[0] = param.frame_rate;
  param.layers[0].bitrate = VideoBitrate(param.width, param.height, param.frame_rate);
  const HRESULT hr = m_videoDevice->SetParam(&param);
  avcore::IAvNet* net = Net();
  const std::string videoId = GetVideoId();
  if (!videoId.empty() && net)
    (void)net->SetSourceParam(avcore::kMediaVideo, videoId.c_str(), profile->net_bd_adapt ? 1 : 0);
  m_profile = *profile;
  return hr < 0 ? ERR_FAILED : ERR_OK;
}

void LocalVideoStreamBase::Release() {
  {
    ZORVANTE::WAutoLock guard(&m_lock);
    m_released = true;
  }
  UnpublishVideo();
  if (m_videoDevice) (void)m_videoDevice->StopCapture();
  if (m_recordSink) (void)m_recordSink->Stop();
}

bool LocalVideoStreamBase::Released() {
  ZORVANTE::WAutoLock guard(&m_lock);
  return m_released;
}

int LocalVideoStreamBase::StartLocalRecord(const char* path) {
  if (!m_videoDevice || !m_recordSink) {
    KIV_LOG("Invalid video device or recorder!!!");
    return kDeviceMissing;
  }
  // The old recording goes first: a frame still on its way must not see the cleared start
  // time and start the old sink again.
  (void)StopLocalRecord();
  if (!CheckDevice()) return kDeviceFailed;
  {
    std::lock_guard<std::mutex> guard(m_recordMutex);
    m_recordStartMs = 0;
    m_lastRecordOffsetMs = 0;
    SetRecordPath(path);
    m_recording = true;
  }
  if (!UpdateFrameCallback()) {
    KIV_LOG("device set raw data callback fail!!!");
    std::lock_guard<std::mutex> guard(m_recordMutex);
    m_recording = false;
    return kDeviceFailed;
  }
  return ERR_OK;
}

int LocalVideoStreamBase::StopLocalRecord() {
  if (!m_videoDevice || !m_recordSink) {
    KIV_LOG("Invalid video device or recorder!!!");
    return kDeviceMissing;
  }
  {
    // Once set, no frame writes to the sink any more.
    std::lock_guard<std::mutex> guard(m_recordMutex);
    m_recording = false;
  }
  (void)UpdateFrameCallback();
  (void)m_recordSink->Stop();
  return ERR_OK;
}

bool LocalVideoStreamBase::UpdateFrameCallback() {
  if (!m_videoDevice) return false;
  if (m_recording || HasCaptureObserver())
    return m_videoDevice->SetRawDataCallback(this, &LocalVideoStreamBase::CameraFrameCallback) == 0;
  return m_videoDevice->SetRawDataCallback(this, nullptr) == 0;
}

void LocalVideoStreamBase::SetRecordPath(const char* path) {
  const char* text = path ? path : "";
  const int count = static_cast<int>(std::strlen(text)) + 4;
  m_recordPath.reset(new wchar_t[static_cast<size_t>(count)]());
  (void)ZORVANTE::AnsiToUnicode(text, m_recordPath.get(), count);
}

int32_t AVCORE_CALLBACK LocalVideoStreamBase::CameraFrameCallback(void* context, const avcore::VideoFrame* frame) {
  if (!context || !frame) return 0;
  auto* stream = static_cast<LocalVideoStreamBase*>(context);
  if (stream->m_recording) stream->OnRecordFrame(frame);
  stream->DeliverCaptureFrame(frame);
  return frame->length;
}

int AVCORE_CALLBACK LocalVideoStreamBase::OnPreviewEvent(uintptr_t, uintptr_t, uintptr_t, uintptr_t, void*) {
  return 1;
}

void LocalVideoStreamBase::OnRecordFrame(const avcore::VideoFrame* frame) {
  if (!m_recordSink || !m_videoDevice || !frame->data) return;
  bool refused = false;
  {
    std::lock_guard<std::mutex> guard(m_recordMutex);
    if (!m_recording) return;
    refused = !WriteRecordFrame(frame);
    if (refused) m_recording = false;
  }
  // Nothing else wants frames: the callback goes (outside the lock).
  if (refused && !HasCaptureObserver()) (void)m_videoDevice->SetRawDataCallback(nullptr, nullptr);
}

bool LocalVideoStreamBase::WriteRecordFrame(const avcore::VideoFrame* frame) {
  uint64_t offset = 0;
  if (m_recordStartMs == 0) {
    m_recordStartMs = NowMs();
    m_lastRecordOffsetMs = 0;
    avcore::VideoCaptureParam param = avcore::VideoCaptureParam::Defaults();
    (void)m_videoDevice->GetParam(&param);
    avcore::VideoRecordParam record{};
    record.path = m_recordPath.get();
    record.container = 1;
    record.flags = 0;
    record.width = kRecordWidth;
    record.height = kRecordHeight;
    record.frame_rate = static_cast<uint16_t>(param.frame_rate);
    record.profile = 8;
    record.fourcc = avcore::kFourccI420;
    record.gop = static_cast<uint16_t>(param.frame_rate * 2);
    record.quality = 80;
    record.min_quality = 75;
    record.bitrate = static_cast<uint32_t>(VideoBitrate(kRecordWidth, kRecordHeight, param.frame_rate));
    if (m_recordSink->Start(record) != 0) {
      KIV_LOG("Recorder start fail!!!");
      return false;
    }
  } else {
    offset = NowMs() - m_recordStartMs;
    if (offset <= m_lastRecordOffsetMs || offset - m_lastRecordOffsetMs < kMinRecordGapMs) return true;
    m_lastRecordOffsetMs = offset;
  }
  const uint8_t* data = frame->data;
  int32_t length = frame->length;
  if (frame->width != kRecordWidth || frame->height != kRecordHeight) {
    const int w = frame->width, h = frame->height;
    // A frame too small for its stated size would be read past its end.
    if (w <= 0 || h <= 0 || static_cast<int64_t>(w) * h * 3 / 2 > frame->length) return true;
    uint8_t* y = m_scaleBuffer.data();
    uint8_t* u = y + kRecordWidth * kRecordHeight;
    uint8_t* v = u + kRecordWidth * kRecordHeight / 4;
    const uint8_t* sy = frame->data;
    const uint8_t* su = sy + w * h;
    const uint8_t* sv = su + w * h / 4;
    if (libyuv::I420Scale(sy, w, su, w / 2, sv, w / 2, w, h, y, kRecordWidth, u, kRecordWidth / 2, v, kRecordWidth / 2,
                          kRecordWidth, kRecordHeight, libyuv::kFilterBox) != 0)
      return true;
    data = m_scaleBuffer.data();
    length = static_cast<int32_t>(m_scaleBuffer.size());
  }
  (void)m_recordSink->WriteFrame(offset, data, length);
  return true;
}

}  // namespace kiv_core
