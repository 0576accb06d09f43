#include "core/streams/remote_video_stream.h"

#include <vector>

#include "core/engine_event_handler.h"
#include "core/env/core_env.h"
#include "core/env/log_record.h"
#include "core/frames/core_video_frame.h"
#include "core/frames/video_codes.h"
#include "core/streams/stream_registry.h"

namespace kiv_core {

namespace {

constexpr uintptr_t kFirstFrameEvent = 0x1001;

using Live = StreamRegistry<RemoteVideoStream>;

avcore::IVideoRenderManager* RenderManager() {
  CoreEnv* env = CoreEnv::Instance();
  return env ? env->m_video_rendermanager.get() : nullptr;
}

avcore::IAvNet* Net() {
  CoreEnv* env = CoreEnv::Instance();
  return env ? env->m_avnet.get() : nullptr;
}

// Moves a render to the window and mode that differ from those it has.
void ChangeRender(avcore::IVideoRenderManager* renders, avcore::RenderId renderId, HWND fromWindow, int fromMode,
                  HWND window, int mode) {
  if (!renders || !renderId) return;
  if (window != fromWindow) (void)renders->SetRenderWindow(renderId, window);
  if (mode != fromMode) (void)renders->SetRenderMode(renderId, ConvertRenderMode(mode));
}

}  // namespace

std::shared_ptr<RemoteVideoStream> RemoteVideoStream::Make(const std::string& userId, const std::string& videoId) {
  std::shared_ptr<RemoteVideoStream> stream(new RemoteVideoStream(userId, videoId));
  Live::Add(stream->m_id, stream);
  return stream;
}

RemoteVideoStream::RemoteVideoStream(const std::string& userId, const std::string& videoId)
    : RemoteVideoStreamBase(userId, videoId),
      m_id(Live::NextId()),
      m_renderEvents{avcore::kEventRecordVersion, &RemoteVideoStream::OnRenderEvent, 0, reinterpret_cast<void*>(m_id)},
      m_extendRenderEvents{avcore::kEventRecordVersion, &RemoteVideoStream::OnExtendRenderEvent, 0,
                           reinterpret_cast<void*>(m_id)} {}

RemoteVideoStream::~RemoteVideoStream() {
  Live::Remove(m_id);
  // Nobody else owns the stream, so no other thread is at work on its renders (a queued
  // operation owns it too). The renders go first: once removed, the framework delivers no
  // further frame. The observer's slot then waits for a frame still in it.
  (void)DoUnSubscribe();
  m_rawObserver.Replace(nullptr);
}

template <class Fn>
int RemoteVideoStream::Turn(Fn fn) {
  // A queued operation keeps the stream alive until it has run.
  std::shared_ptr<RemoteVideoStream> self = weak_from_this().lock();
  return m_turns.Run([self, fn]() { return fn(); });
}

bool RemoteVideoStream::CanUnSubscribe() {
  ZORVANTE::WAutoLock guard(&m_lock);
  return !m_hrender && m_extendRenders.empty();
}

avcore::RenderId RemoteVideoStream::GetRenderId() {
  ZORVANTE::WAutoLock guard(&m_lock);
  return m_renderId;
}

bool RemoteVideoStream::IsSubscribed() {
  ZORVANTE::WAutoLock guard(&m_lock);
  return m_subscribed;
}

int RemoteVideoStream::SetRender(HWND window, int mode) {
  if (!CoreEnv::IsLogined()) {
    KIV_LOG("SetRender fail notJoinGroup");
    return ERR_NOT_LOGINED;
  }
  if (!window) {
    // Detached at once: the owner asks CanUnSubscribe next, also when the detach waits in
    // the queue of a thread at work.
    ZORVANTE::WAutoLock guard(&m_lock);
    m_hrender = nullptr;
  }
  return Turn([this, window, mode] { return DoSetRender(window, mode); });
}

int RemoteVideoStream::DoSetRender(HWND window, int mode) {
  avcore::IVideoRenderManager* renders = RenderManager();
  HWND oldWindow;
  int oldMode;
  avcore::RenderId renderId;
  bool subscribed, extended;
  {
    ZORVANTE::WAutoLock guard(&m_lock);
    if (!window) m_hrender = nullptr;
    oldWindow = m_hrender;
    oldMode = m_renderMode;
    renderId = m_renderId;
    subscribed = m_subscribed;
    extended = !m_extendRenders.empty();
  }
  if (!window) {
    if (!extended) {
      KIV_LOG("CanUnSubscribe, then unsubscribe remove video!!!");
      return DoUnSubscribe();
    }
    if (renders && renderId) (void)renders->SetRenderWindow(renderId, nullptr);
    return ERR_OK;
  }
  if (window == oldWindow && mode == oldMode) {
    KIV_LOG("The same render window and render mode is same, nothing do");
    return ERR_OK;
  }
  ChangeRender(renders, renderId, oldWindow, oldMode, window, mode);
  {
    ZORVANTE::WAutoLock guard(&m_lock);
    m_hrender = window;
    m_renderMode = mode;
  }
  if (!subscribed) return DoCheckSubscribe();
  DoRefreshRawCallbacks();
  return ERR_OK;
}

int RemoteVideoStream::UpdateRender(HWND window, int mode) {
  return Turn([this, window, mode] { return DoUpdateRender(window, mode); });
}

int RemoteVideoStream::DoUpdateRender(HWND window, int mode) {
  avcore::IVideoRenderManager* renders = RenderManager();
  HWND oldWindow;
  int oldMode;
  avcore::RenderId renderId;
  {
    ZORVANTE::WAutoLock guard(&m_lock);
    oldWindow = m_hrender;
    oldMode = m_renderMode;
    renderId = m_renderId;
    m_hrender = window;
    m_renderMode = mode;
  }
  ChangeRender(renders, renderId, oldWindow, oldMode, window, mode);
  return ERR_OK;
}

int RemoteVideoStream::DoCheckSubscribe() {
  KIV_LOG("CheckSubscribe remote video stream, user id = %s, video id = %s", m_userId.c_str(), m_videoId.c_str());
  HWND window;
  int mode;
  avcore::RenderId renderId;
  bool subscribed;
  {
    ZORVANTE::WAutoLock guard(&m_lock);
    window = m_hrender;
    mode = m_renderMode;
    renderId = m_renderId;
    subscribed = m_subscribed;
  }
  if (!window) {
    KIV_LOG("m_hrender is null");
    return ERR_FAILED;
  }
  avcore::IVideoRenderManager* renders = RenderManager();
  if (!renderId) {
    if (renders) (void)renders->AddRender(window, &m_renderEvents, &renderId);
    if (!renderId) {
      KIV_LOG("_video_rendermanager->AddRender fail Invalid render id!!!");
      return ERR_FAILED;
    }
    {
      ZORVANTE::WAutoLock guard(&m_lock);
      m_renderId = renderId;
    }
    (void)renders->SetRenderMode(renderId, ConvertRenderMode(mode));
  }
  if (!subscribed) {
    avcore::IAvNet* net = Net();
    const HRESULT hr =
        net ? net->StartRecvMedia(m_userId.c_str(), avcore::kMediaVideo, m_videoId.c_str(), renderId) : E_POINTER;
    if (hr < 0) {
      KIV_LOG("Start recv media failed!!!");
      return ERR_FAILED;
    }
    {
      ZORVANTE::WAutoLock guard(&m_lock);
      m_subscribed = true;
    }
    DoRefreshRawCallbacks();
  }
  return ERR_OK;
}

void RemoteVideoStream::DoRefreshRawCallbacks() {
  avcore::IVideoRenderManager* renders = RenderManager();
  avcore::RenderId renderId;
  bool feed;
  {
    ZORVANTE::WAutoLock guard(&m_lock);
    renderId = m_renderId;
    feed = !m_extendRenders.empty();
  }
  if (!renders || !renderId) return;
  void* context = reinterpret_cast<void*>(m_id);
  if (!feed && !m_rawObserver.Peek()) {
    (void)renders->SetRawDataCallback(renderId, context, nullptr, nullptr);
  } else {
    (void)renders->SetRawDataCallback(renderId, context, &RemoteVideoStream::FrameCallback,
                                      &RemoteVideoStream::ValueCallback);
  }
}

int RemoteVideoStream::SetRemoteRawDataCallback(std::unique_ptr<ICoreVideoFrameObserver> observer) {
  if (!GetRenderId()) {
    KIV_LOG("SetRemoteRawDataCallback Invalid render id!!!");
    // The observer there was goes all the same: a render made later must not find it.
    m_rawObserver.Replace(nullptr);
    return ERR_FAILED;
  }
  // Returns once a frame in the replaced observer is done with it.
  m_rawObserver.Replace(std::move(observer));
  (void)Turn([this] {
    DoRefreshRawCallbacks();
    return ERR_OK;
  });
  return ERR_OK;
}

void RemoteVideoStream::DropRawObserver() { m_rawObserver.Replace(nullptr); }

int RemoteVideoStream::SetExtendRender(int id, HWND window, int mode) {
  if (!CoreEnv::IsLogined()) {
    KIV_LOG("SetExtendRender fail notJoinGroup");
    return ERR_NOT_LOGINED;
  }
  if (!RenderManager()) return ERR_FAILED;
  return Turn([this, id, window, mode] { return DoSetExtendRender(id, window, mode); });
}

int RemoteVideoStream::DoSetExtendRender(int id, HWND window, int mode) {
  avcore::IVideoRenderManager* renders = RenderManager();
  if (!renders) return ERR_FAILED;
  // A removed render leaves the table before the framework's removal, which waits for a
  // frame in the callback (the callback reads the table under the lock).
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
    ChangeRender(renders, entry.renderId, entry.window, entry.mode, window, mode);
    ZORVANTE::WAutoLock guard(&m_lock);
    auto found = m_extendRenders.find(id);
    if (found != m_extendRenders.end()) {
      found->second.window = window;
      found->second.mode = mode;
    }
  } else {
    (void)renders->RemoveRender(entry.renderId);
  }
  if (added) (void)DoCheckSubscribe();
  DoRefreshRawCallbacks();
  return ERR_OK;
}

int RemoteVideoStream::UpdateExtendRender(int id, HWND window, int mode) {
  return Turn([this, id, window, mode] { return DoUpdateExtendRender(id, window, mode); });
}

int RemoteVideoStream::DoUpdateExtendRender(int id, HWND window, int mode) {
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
  ChangeRender(RenderManager(), entry.renderId, entry.window, entry.mode, window, mode);
  return ERR_OK;
}

void RemoteVideoStream::GetRenderStats(avcore::RenderStats* stats) {
  avcore::IVideoRenderManager* renders = RenderManager();
  const avcore::RenderId renderId = GetRenderId();
  if (renders && renderId) {
    (void)renders->GetRenderStats(renderId, stats);
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
  return Turn([this] { return DoUnSubscribe(); });
}

int RemoteVideoStream::DoUnSubscribe() {
  // The state goes first: a frame arriving during the removals finds no render to feed.
  avcore::RenderId renderId;
  bool subscribed;
  std::map<int, ExtendRenderEntry> extended;
  {
    ZORVANTE::WAutoLock guard(&m_lock);
    renderId = m_renderId;
    subscribed = m_subscribed;
    extended.swap(m_extendRenders);
    m_renderId = 0;
    m_subscribed = false;
    m_hrender = nullptr;
  }
  KIV_LOG("UnSubscribe uid:%s, vid:%s, renderid:%d", m_userId.c_str(), m_videoId.c_str(), static_cast<int>(renderId));
  // Already unsubscribed (a null window, then the core's removal, then the destructor):
  // the framework is not asked again.
  if (!subscribed && !renderId && extended.empty()) return ERR_OK;
  if (avcore::IAvNet* net = Net()) (void)net->StopRecvMedia(m_userId.c_str(), avcore::kMediaVideo, m_videoId.c_str());
  avcore::IVideoRenderManager* renders = RenderManager();
  if (!renders) return ERR_OK;
  if (renderId) (void)renders->RemoveRender(renderId);
  for (const auto& entry : extended) (void)renders->RemoveRender(entry.second.renderId);
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
  if (!handler || code != kFirstFrameEvent) return 1;
  // An owning reference: the handler may drop the stream from its table meanwhile.
  if (std::shared_ptr<RemoteVideoStream> stream = Live::Find(context))
    handler->OnRemoteVideoEvent(stream->m_userId, stream->m_videoId, 2);
  return 1;
}

int AVCORE_CALLBACK RemoteVideoStream::OnExtendRenderEvent(uintptr_t, uintptr_t, uintptr_t, uintptr_t, void*) {
  return 1;
}

int32_t AVCORE_CALLBACK RemoteVideoStream::FrameCallback(void* context, const avcore::VideoFrame* frame) {
  if (!frame) return 0;
  if (std::shared_ptr<RemoteVideoStream> stream = Live::Find(context)) stream->OnFrame(frame);
  return 0;
}

int32_t AVCORE_CALLBACK RemoteVideoStream::ValueCallback(void* context, int32_t value) {
  std::shared_ptr<RemoteVideoStream> stream = Live::Find(context);
  return stream ? stream->OnValue(value) : 0;
}

}  // namespace kiv_core
