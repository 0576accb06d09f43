#include "core/streams/remote_video_stream.h"

#include "core/engine_event_handler.h"
#include "core/env/core_env.h"
#include "core/env/log_record.h"
#include "core/frames/core_video_frame.h"
#include "core/frames/video_codes.h"

namespace kiv_core {

namespace {

constexpr uintptr_t kFirstFrameEvent = 0x1001;

avcore::IVideoRenderManager* RenderManager() {
  CoreEnv* env = CoreEnv::Instance();
  return env ? env->m_video_rendermanager.get() : nullptr;
}

avcore::IAvNet* Net() {
  CoreEnv* env = CoreEnv::Instance();
  return env ? env->m_avnet.get() : nullptr;
}

}  // namespace

RemoteVideoStream::RemoteVideoStream(const std::string& userId, const std::string& videoId)
    : RemoteVideoStreamBase(userId, videoId),
      m_renderEvents{avcore::kEventRecordVersion, &RemoteVideoStream::OnRenderEvent, 0, this},
      m_extendRenderEvents{avcore::kEventRecordVersion, &RemoteVideoStream::OnExtendRenderEvent, 0, this} {}

RemoteVideoStream::~RemoteVideoStream() {
  // The renders go first: once removed, the framework delivers no further frame. A frame
  // already in the callback holds the lock, so the observer is taken away under it.
  (void)UnSubscribe();
  std::unique_ptr<ICoreVideoFrameObserver> observer;
  {
    ZORVANTE::WAutoLock guard(&m_lock);
    observer = std::move(m_rawObserver);
  }
}

bool RemoteVideoStream::CanUnSubscribe() { return !m_hrender && m_extendRenders.empty(); }

int RemoteVideoStream::SetRender(HWND window, int mode) {
  if (!CoreEnv::IsLogined()) {
    KIV_LOG("SetRender fail notJoinGroup");
    return ERR_NOT_LOGINED;
  }
  avcore::IVideoRenderManager* renders = RenderManager();
  if (!window) {
    m_hrender = nullptr;
    if (CanUnSubscribe()) {
      KIV_LOG("CanUnSubscribe, then unsubscribe remove video!!!");
      return UnSubscribe();
    }
    if (renders && m_renderId) (void)renders->SetRenderWindow(m_renderId, nullptr);
    return ERR_OK;
  }
  if (window == m_hrender && mode == m_renderMode) {
    KIV_LOG("The same render window and render mode is same, nothing do");
    return ERR_OK;
  }
  if (renders && m_renderId) {
    if (window != m_hrender) (void)renders->SetRenderWindow(m_renderId, window);
    if (mode != m_renderMode) (void)renders->SetRenderMode(m_renderId, ConvertRenderMode(mode));
  }
  m_hrender = window;
  m_renderMode = mode;
  if (!m_subscribed) return CheckSubscribe();
  RefreshRawCallbacks();
  return ERR_OK;
}

int RemoteVideoStream::UpdateRender(HWND window, int mode) {
  avcore::IVideoRenderManager* renders = RenderManager();
  if (renders && m_renderId) {
    if (window != m_hrender) (void)renders->SetRenderWindow(m_renderId, window);
    if (mode != m_renderMode) (void)renders->SetRenderMode(m_renderId, ConvertRenderMode(mode));
  }
  m_hrender = window;
  m_renderMode = mode;
  return ERR_OK;
}

int RemoteVideoStream::CheckSubscribe() {
  KIV_LOG("CheckSubscribe remote video stream, user id = %s, video id = %s", m_userId.c_str(), m_videoId.c_str());
  if (!m_hrender) {
    KIV_LOG("m_hrender is null");
    return ERR_FAILED;
  }
  avcore::IVideoRenderManager* renders = RenderManager();
  if (!m_renderId) {
    if (renders) (void)renders->AddRender(m_hrender, &m_renderEvents, &m_renderId);
    if (!m_renderId) {
      KIV_LOG("_video_rendermanager->AddRender fail Invalid render id!!!");
      return ERR_FAILED;
    }
    (void)renders->SetRenderMode(m_renderId, ConvertRenderMode(m_renderMode));
  }
  if (!m_subscribed && m_renderId) {
    avcore::IAvNet* net = Net();
    const HRESULT hr =
        net ? net->StartRecvMedia(m_userId.c_str(), avcore::kMediaVideo, m_videoId.c_str(), m_renderId) : E_POINTER;
    if (hr < 0) {
      KIV_LOG("Start recv media failed!!!");
      return ERR_FAILED;
    }
    m_subscribed = true;
    RefreshRawCallbacks();
  }
  return ERR_OK;
}

void RemoteVideoStream::RefreshRawCallbacks() {
  avcore::IVideoRenderManager* renders = RenderManager();
  if (!renders || !m_renderId) return;
  if (m_extendRenders.empty() && !m_rawObserver) {
    (void)renders->SetRawDataCallback(m_renderId, this, nullptr, nullptr);
  } else {
    (void)renders->SetRawDataCallback(m_renderId, this, &RemoteVideoStream::FrameCallback,
                                      &RemoteVideoStream::ValueCallback);
  }
}

int RemoteVideoStream::SetRemoteRawDataCallback(std::unique_ptr<ICoreVideoFrameObserver> observer) {
  if (!m_renderId) {
    KIV_LOG("SetRemoteRawDataCallback Invalid render id!!!");
    return ERR_FAILED;
  }
  {
    ZORVANTE::WAutoLock guard(&m_lock);
    m_rawObserver.swap(observer);
  }
  observer.reset();  // the replaced one, outside the lock
  RefreshRawCallbacks();
  return ERR_OK;
}

int RemoteVideoStream::SetExtendRender(int id, HWND window, int mode) {
  if (!CoreEnv::IsLogined()) {
    KIV_LOG("SetExtendRender fail notJoinGroup");
    return ERR_NOT_LOGINED;
  }
  avcore::IVideoRenderManager* renders = RenderManager();
  if (!renders) return ERR_FAILED;
  bool added = false;
  {
    ZORVANTE::WAutoLock guard(&m_lock);
    auto found = m_extendRenders.find(id);
    if (found == m_extendRenders.end()) {
      ExtendRenderEntry entry;
      const HRESULT hr = renders->AddRender(window, &m_extendRenderEvents, &entry.renderId);
      if (hr < 0 || !entry.renderId) {
        KIV_LOG("m_video_extend_rendermanager->AddRender fail %x", static_cast<unsigned>(hr));
        return ERR_FAILED;
      }
      (void)renders->SetRenderMode(entry.renderId, ConvertRenderMode(mode));
      entry.window = window;
      entry.mode = mode;
      m_extendRenders[id] = entry;
      added = true;
    } else if (window) {
      ExtendRenderEntry& entry = found->second;
      if (window != entry.window) (void)renders->SetRenderWindow(entry.renderId, window);
      if (mode != entry.mode) (void)renders->SetRenderMode(entry.renderId, ConvertRenderMode(mode));
      entry.window = window;
      entry.mode = mode;
    } else {
      (void)renders->RemoveRender(found->second.renderId);
      m_extendRenders.erase(found);
    }
  }
  if (added) (void)CheckSubscribe();
  RefreshRawCallbacks();
  return ERR_OK;
}

int RemoteVideoStream::UpdateExtendRender(int id, HWND window, int mode) {
  auto found = m_extendRenders.find(id);
  if (found == m_extendRenders.end()) {
    KIV_LOG("cann't found extend renderid %d, map size; %d", id, static_cast<int>(m_extendRenders.size()));
    return ERR_FAILED;
  }
  avcore::IVideoRenderManager* renders = RenderManager();
  ExtendRenderEntry& entry = found->second;
  if (renders && window != entry.window) (void)renders->SetRenderWindow(entry.renderId, window);
  if (renders && mode != entry.mode) (void)renders->SetRenderMode(entry.renderId, ConvertRenderMode(mode));
  entry.window = window;
  entry.mode = mode;
  return ERR_OK;
}

void RemoteVideoStream::GetRenderStats(avcore::RenderStats* stats) {
  avcore::IVideoRenderManager* renders = RenderManager();
  if (renders && m_renderId) {
    (void)renders->GetRenderStats(m_renderId, stats);
    return;
  }
  *stats = avcore::RenderStats{};
  KIV_LOG("Invalid render id!!!");
}

int RemoteVideoStream::UnSubscribe() {
  if (m_userId.empty() || m_videoId.empty()) {
    KIV_LOG("Invalid user id or video id!!!");
    return ERR_FAILED;
  }
  KIV_LOG("UnSubscribe uid:%s, vid:%s, renderid:%d", m_userId.c_str(), m_videoId.c_str(), static_cast<int>(m_renderId));
  // Already unsubscribed (a null window, then the core's removal, then the destructor):
  // the framework is not asked again.
  if (!m_subscribed && !m_renderId && m_extendRenders.empty()) {
    m_hrender = nullptr;
    return ERR_OK;
  }
  avcore::IAvNet* net = Net();
  avcore::IVideoRenderManager* renders = RenderManager();
  if (net) (void)net->StopRecvMedia(m_userId.c_str(), avcore::kMediaVideo, m_videoId.c_str());
  if (renders) {
    if (m_renderId) (void)renders->RemoveRender(m_renderId);
    ZORVANTE::WAutoLock guard(&m_lock);
    for (const auto& entry : m_extendRenders) (void)renders->RemoveRender(entry.second.renderId);
  }
  {
    ZORVANTE::WAutoLock guard(&m_lock);
    m_extendRenders.clear();
  }
  m_renderId = 0;
  m_subscribed = false;
  m_hrender = nullptr;
  return ERR_OK;
}

void RemoteVideoStream::OnFrame(const avcore::VideoFrame* frame) {
  ZORVANTE::WAutoLock guard(&m_lock);
  avcore::IVideoRenderManager* renders = RenderManager();
  if (renders) {
    for (const auto& entry : m_extendRenders) (void)renders->PushFrame(entry.second.renderId, frame);
  }
  if (m_rawObserver) {
    CoreVideoFrame record = ToCoreVideoFrame(*frame);
    m_rawObserver->OnRenderFrame(m_userId.c_str(), m_videoId.c_str(), &record);
  }
}

int RemoteVideoStream::OnValue(int32_t value) {
  avcore::RenderId target = 0;
  {
    // SetExtendRender erases from the map on the application's thread.
    ZORVANTE::WAutoLock guard(&m_lock);
    if (!m_extendRenders.empty()) target = m_extendRenders.begin()->second.renderId;
  }
  avcore::IVideoRenderManager* renders = RenderManager();
  if (!target || !renders) return 0;
  (void)renders->NotifyRender(target, value);
  return 1;
}

int AVCORE_CALLBACK RemoteVideoStream::OnRenderEvent(uintptr_t, uintptr_t code, uintptr_t, uintptr_t, void* context) {
  CoreEnv* env = CoreEnv::Instance();
  EngineEventHandler* handler = env ? env->m_config.eventHandler : nullptr;
  if (context && handler && code == kFirstFrameEvent) {
    auto* stream = static_cast<RemoteVideoStream*>(context);
    handler->OnRemoteVideoEvent(stream->m_userId, stream->m_videoId, 2);
  }
  return 1;
}

int AVCORE_CALLBACK RemoteVideoStream::OnExtendRenderEvent(uintptr_t, uintptr_t, uintptr_t, uintptr_t, void*) {
  return 1;
}

int32_t AVCORE_CALLBACK RemoteVideoStream::FrameCallback(void* context, const avcore::VideoFrame* frame) {
  if (!context || !frame) return 0;
  static_cast<RemoteVideoStream*>(context)->OnFrame(frame);
  return 0;
}

int32_t AVCORE_CALLBACK RemoteVideoStream::ValueCallback(void* context, int32_t value) {
  if (!context) return 0;
  return static_cast<RemoteVideoStream*>(context)->OnValue(value);
}

}  // namespace kiv_core
