#include "core/streams/remote_video_stream.h"

#include <vector>

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
  // The renders go first: once removed, the framework delivers no further frame. The
  // observer's slot then waits for a frame still in it.
  (void)UnSubscribe();
  m_rawObserver.Replace(nullptr);
}

bool RemoteVideoStream::HasExtendRenders() {
  ZORVANTE::WAutoLock guard(&m_lock);
  return !m_extendRenders.empty();
}

bool RemoteVideoStream::CanUnSubscribe() { return !m_hrender && !HasExtendRenders(); }

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
    avcore::RenderId added = 0;
    if (renders) (void)renders->AddRender(m_hrender, &m_renderEvents, &added);
    if (!added) {
      KIV_LOG("_video_rendermanager->AddRender fail Invalid render id!!!");
      return ERR_FAILED;
    }
    m_renderId = added;
    (void)renders->SetRenderMode(added, ConvertRenderMode(m_renderMode));
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
  (void)m_renderCalls.Run([this] {
    avcore::IVideoRenderManager* renders = RenderManager();
    const avcore::RenderId renderId = m_renderId.load();
    if (!renders || !renderId) return ERR_OK;
    if (!HasExtendRenders() && !m_rawObserver.Peek()) {
      (void)renders->SetRawDataCallback(renderId, this, nullptr, nullptr);
    } else {
      (void)renders->SetRawDataCallback(renderId, this, &RemoteVideoStream::FrameCallback,
                                        &RemoteVideoStream::ValueCallback);
    }
    return ERR_OK;
  });
}

int RemoteVideoStream::SetRemoteRawDataCallback(std::unique_ptr<ICoreVideoFrameObserver> observer) {
  if (!m_renderId) {
    KIV_LOG("SetRemoteRawDataCallback Invalid render id!!!");
    // The observer there was goes all the same: a render made later must not find it.
    m_rawObserver.Replace(nullptr);
    return ERR_FAILED;
  }
  // Returns once a frame in the replaced observer is done with it.
  m_rawObserver.Replace(std::move(observer));
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
  // The framework's calls are made outside the lock: a removal waits for a frame in the
  // callback, which reads the table under it.
  bool known = false;
  ExtendRenderEntry entry;
  {
    ZORVANTE::WAutoLock guard(&m_lock);
    auto found = m_extendRenders.find(id);
    known = found != m_extendRenders.end();
    if (known) entry = found->second;
    if (known && !window) m_extendRenders.erase(found);
  }
  bool added = false;
  if (!known) {
    const HRESULT hr = renders->AddRender(window, &m_extendRenderEvents, &entry.renderId);
    if (hr < 0 || !entry.renderId) {
      KIV_LOG("m_video_extend_rendermanager->AddRender fail %x", static_cast<unsigned>(hr));
      return ERR_FAILED;
    }
    (void)renders->SetRenderMode(entry.renderId, ConvertRenderMode(mode));
    entry.window = window;
    entry.mode = mode;
    ZORVANTE::WAutoLock guard(&m_lock);
    m_extendRenders[id] = entry;
    added = true;
  } else if (window) {
    if (window != entry.window) (void)renders->SetRenderWindow(entry.renderId, window);
    if (mode != entry.mode) (void)renders->SetRenderMode(entry.renderId, ConvertRenderMode(mode));
    ZORVANTE::WAutoLock guard(&m_lock);
    auto found = m_extendRenders.find(id);
    if (found != m_extendRenders.end()) {
      found->second.window = window;
      found->second.mode = mode;
    }
  } else {
    (void)renders->RemoveRender(entry.renderId);
  }
  if (added) (void)CheckSubscribe();
  RefreshRawCallbacks();
  return ERR_OK;
}

int RemoteVideoStream::UpdateExtendRender(int id, HWND window, int mode) {
  ExtendRenderEntry entry;
  {
    ZORVANTE::WAutoLock guard(&m_lock);
    auto found = m_extendRenders.find(id);
    if (found == m_extendRenders.end()) {
      KIV_LOG("cann't found extend renderid %d, map size; %d", id, static_cast<int>(m_extendRenders.size()));
      return ERR_FAILED;
    }
    entry = found->second;
    found->second.window = window;
    found->second.mode = mode;
  }
  avcore::IVideoRenderManager* renders = RenderManager();
  if (renders && window != entry.window) (void)renders->SetRenderWindow(entry.renderId, window);
  if (renders && mode != entry.mode) (void)renders->SetRenderMode(entry.renderId, ConvertRenderMode(mode));
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
  KIV_LOG("UnSubscribe uid:%s, vid:%s, renderid:%d", m_userId.c_str(), m_videoId.c_str(),
          static_cast<int>(m_renderId.load()));
  // Already unsubscribed (a null window, then the core's removal, then the destructor):
  // the framework is not asked again.
  if (!m_subscribed && !m_renderId && !HasExtendRenders()) {
    m_hrender = nullptr;
    return ERR_OK;
  }
  avcore::IAvNet* net = Net();
  avcore::IVideoRenderManager* renders = RenderManager();
  if (net) (void)net->StopRecvMedia(m_userId.c_str(), avcore::kMediaVideo, m_videoId.c_str());
  std::map<int, ExtendRenderEntry> extended;
  {
    ZORVANTE::WAutoLock guard(&m_lock);
    extended.swap(m_extendRenders);
  }
  const avcore::RenderId renderId = m_renderId.exchange(0);
  if (renders) {
    (void)m_renderCalls.Run([renders, renderId, extended] {
      if (renderId) (void)renders->RemoveRender(renderId);
      for (const auto& entry : extended) (void)renders->RemoveRender(entry.second.renderId);
      return ERR_OK;
    });
  }
  m_subscribed = false;
  m_hrender = nullptr;
  return ERR_OK;
}

void RemoteVideoStream::OnFrame(const avcore::VideoFrame* frame) {
  std::vector<avcore::RenderId> targets;
  {
    ZORVANTE::WAutoLock guard(&m_lock);
    for (const auto& entry : m_extendRenders) targets.push_back(entry.second.renderId);
  }
  avcore::IVideoRenderManager* renders = RenderManager();
  if (renders) {
    for (avcore::RenderId target : targets) (void)renders->PushFrame(target, frame);
  }
  (void)m_rawObserver.Call([&](ICoreVideoFrameObserver& observer) {
    CoreVideoFrame record = ToCoreVideoFrame(*frame);
    observer.OnRenderFrame(m_userId.c_str(), m_videoId.c_str(), &record);
  });
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
