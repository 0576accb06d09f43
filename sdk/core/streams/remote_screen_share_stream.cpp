#include "core/streams/remote_screen_share_stream.h"

#include "avcore/av_net.h"
#include "core/control/kiv_cp_client.h"
#include "core/engine_event_handler.h"
#include "core/env/core_env.h"
#include "core/env/log_record.h"
#include "core/frames/core_video_frame.h"
#include "core/frames/video_codes.h"
#include "core/streams/stream_registry.h"

namespace kiv_core {

namespace {

constexpr const char* kScreenVideoId = "reserved_videoid_screenshare";
constexpr int kRequest = 0;
constexpr int kCancel = 1;
constexpr int kAccepted = 2;
constexpr int kRefused = 3;

avcore::IVncRenderManager* Viewers() {
  CoreEnv* env = CoreEnv::Instance();
  return env ? env->m_vnc_rendermanager.get() : nullptr;
}

avcore::IAvNet* Net() {
  CoreEnv* env = CoreEnv::Instance();
  return env ? env->m_avnet.get() : nullptr;
}

bool RemoteControlFlag() {
  CoreEnv* env = CoreEnv::Instance();
  return env && env->m_remoteControl;
}

using Live = StreamRegistry<RemoteScreenShareStream>;

}  // namespace

std::shared_ptr<RemoteScreenShareStream> RemoteScreenShareStream::Make(const std::string& userId) {
  std::shared_ptr<RemoteScreenShareStream> stream(new RemoteScreenShareStream(userId));
  Live::Add(stream->m_id, stream);
  return stream;
}

RemoteScreenShareStream::RemoteScreenShareStream(const std::string& userId)
    : RemoteVideoStreamBase(userId, kScreenVideoId),
      m_id(Live::NextId()),
      m_viewerEvents{avcore::kEventRecordVersion, &RemoteScreenShareStream::OnViewerEvent, 0,
                     reinterpret_cast<void*>(m_id)} {}

RemoteScreenShareStream::~RemoteScreenShareStream() {
  Live::Remove(m_id);
  m_receiveStarted = false;
  // The owner unsubscribed it already; a viewer still up (a stream nobody unsubscribed) goes.
  // Nobody else owns the stream, so no other thread is at work on it (a queued operation
  // owns it too).
  if (m_renderId) (void)StopReceive();
  m_rawObserver.Replace(nullptr);
}

template <class Fn>
int RemoteScreenShareStream::Serial(Fn fn) {
  // A queued operation keeps the stream alive until it has run.
  std::shared_ptr<RemoteScreenShareStream> self = weak_from_this().lock();
  return m_turns.Run([self, fn]() { return fn(); });
}

avcore::VncViewConfig RemoteScreenShareStream::BuildViewConfig(HWND window, bool control, bool remoteControlFlag) {
  avcore::VncViewConfig c = {};
  c.control_window = remoteControlFlag ? window : nullptr;
  const int32_t on = control ? 1 : 0;
  c.send_mouse = c.send_keyboard = c.send_wheel = c.send_clipboard = on;
  c.view_window = remoteControlFlag ? nullptr : window;
  c.scale_to_window = 1;
  return c;
}

int RemoteScreenShareStream::UnSubscribe() {
  return Serial([this]() -> int { return StopReceive(); });
}

void RemoteScreenShareStream::GetRenderStats(avcore::RenderStats* stats) {
  avcore::IVncRenderManager* viewers = Viewers();
  const avcore::RenderId id = m_renderId;
  if (viewers && id && m_viewState == 1) (void)viewers->GetRenderStats(id, stats);
}

int RemoteScreenShareStream::StartReceiveScreenShare() {
  const avcore::VncViewConfig config = BuildViewConfig(m_viewWindow, false, RemoteControlFlag());
  m_stopRequested = false;
  m_receiveStarted = true;
  avcore::IVncRenderManager* viewers = Viewers();
  avcore::IAvNet* net = Net();
  if (!viewers || !net) return ERR_FAILED;
  avcore::RenderId id = 0;
  const HRESULT added = viewers->AddRender2(m_viewWindow, &m_viewerEvents, &id, &config);
  if (added < 0) {
    KIV_LOG("AddRender2 failed for remote_user_id: %s %x", m_userId.c_str(), static_cast<unsigned>(added));
    return ERR_FAILED;
  }
  m_renderId = id;
  const HRESULT started = net->StartRecvMedia2(m_userId.c_str(), avcore::kMediaScreen, "0", id, 0);
  if (started < 0) {
    // The viewer made for it goes too, so that nothing is left drawing.
    (void)viewers->RemoveRender(id);
    m_renderId = 0;
    KIV_LOG("StartRecvMedia2 failed %x", static_cast<unsigned>(started));
    return ERR_FAILED;
  }
  m_viewState = 1;
  // A new viewer (a restart after bad data) feeds the observer registered on the old one.
  RefreshRawCallback();
  KIV_LOG("StartReceiveScreenShare remote_user_id: %s success.", m_userId.c_str());
  return ERR_OK;
}

int RemoteScreenShareStream::StopReceive() {
  if (m_userId.empty()) return ERR_OK;
  m_stopRequested = true;
  if (avcore::IAvNet* net = Net()) (void)net->StopRecvMedia(m_userId.c_str(), avcore::kMediaScreen, "0");
  RemoveViewRender();
  return ERR_OK;
}

void RemoteScreenShareStream::RemoveViewRender() {
  avcore::IVncRenderManager* viewers = Viewers();
  const avcore::RenderId id = m_renderId;
  if (viewers && id) (void)viewers->RemoveRender(id);
  m_viewState = 0;
  m_renderId = 0;
}

int RemoteScreenShareStream::Restart() {
  return Serial([this]() -> int {
    // A viewer stopped since the restart was asked for stays stopped.
    if (!m_receiveStarted) return ERR_OK;
    (void)StopReceive();
    return StartReceiveScreenShare();
  });
}

int RemoteScreenShareStream::Reconfigure(bool control) {
  avcore::IVncRenderManager* viewers = Viewers();
  if (!viewers) return ERR_FAILED;
  const avcore::VncViewConfig config = BuildViewConfig(m_viewWindow, control, RemoteControlFlag());
  const HRESULT set = viewers->SetViewConfig(m_renderId, &config);
  if (set < 0) {
    KIV_LOG("View SetConfig for failed. %x", static_cast<unsigned>(set));
    return ERR_FAILED;
  }
  return ERR_OK;
}

int RemoteScreenShareStream::SetRender(HWND window, int mode) {
  if (!CoreEnv::IsLogined()) {
    KIV_LOG("SetRender fail notJoinGroup");
    return ERR_NOT_LOGINED;
  }
  if (!window) {
    m_hrender = nullptr;
    m_receiveStarted = false;
  } else {
    m_hrender = window;
  }
  return Serial([this, window, mode]() -> int { return DoSetRender(window, mode); });
}

int RemoteScreenShareStream::DoSetRender(HWND window, int mode) {
  if (!window) {
    KIV_LOG("Render window is NULL, then unsubscribe remove screenshare!!!");
    m_receiveStarted = false;
    const int result = StopReceive();
    m_viewWindow = nullptr;
    return result;
  }
  if (window == m_viewWindow && mode == m_renderMode) {
    KIV_LOG("The same render window and render mode is same, nothing do");
    return ERR_OK;
  }
  m_viewWindow = window;
  m_renderMode = mode;
  if (m_renderId) return Reconfigure(false);
  return m_viewState == 0 ? StartReceiveScreenShare() : ERR_OK;
}

int RemoteScreenShareStream::UpdateRender(HWND window, int mode) {
  if (!window || !m_hrender.load()) return SetRender(window, mode);
  m_hrender = window;
  return Serial([this, window, mode]() -> int {
    m_viewWindow = window;
    m_renderMode = mode;
    return m_renderId ? Reconfigure(false) : ERR_OK;
  });
}

int RemoteScreenShareStream::RemoteControl(int operation) {
  if (operation != kRequest && operation != kCancel) return ERR_INVALID_PARAM;
  if (operation == kCancel) (void)Serial([this]() -> int { return m_renderId ? Reconfigure(false) : ERR_OK; });
  CoreEnv* env = CoreEnv::Instance();
  if (!env || !env->m_cpclient) return ERR_FAILED;
  return env->m_cpclient->RemoteControlOperation(m_userId, operation);
}

void RemoteScreenShareStream::HandleRemoteControlEvent(int type) {
  if (type != kAccepted && type != kRefused) {
    KIV_LOG("invalid operation type %d", type);
    return;
  }
  (void)Serial([this, type]() -> int {
    avcore::IVncRenderManager* viewers = Viewers();
    if (!viewers) return ERR_FAILED;
    const avcore::VncViewConfig config = BuildViewConfig(m_viewWindow, type == kAccepted, RemoteControlFlag());
    const HRESULT set = viewers->SetViewConfig(m_renderId, &config);
    if (set < 0) KIV_LOG("set config fail %x", static_cast<unsigned>(set));
    return ERR_OK;
  });
}

int RemoteScreenShareStream::SetRemoteRawDataCallback(std::unique_ptr<ICoreVideoFrameObserver> observer) {
  if (!m_renderId || !Viewers()) {
    KIV_LOG("SetRemoteRawDataCallback Invalid render id!!!");
    // The observer there was goes all the same: a viewer made later must not find it.
    m_rawObserver.Replace(nullptr);
    return ERR_FAILED;
  }
  // Returns once a frame in the replaced observer is done with it.
  m_rawObserver.Replace(std::move(observer));
  (void)Serial([this]() -> int {
    RefreshRawCallback();
    return ERR_OK;
  });
  return ERR_OK;
}

void RemoteScreenShareStream::DropRawObserver() { m_rawObserver.Replace(nullptr); }

void RemoteScreenShareStream::RefreshRawCallback() {
  avcore::IVncRenderManager* viewers = Viewers();
  const avcore::RenderId id = m_renderId;
  if (!viewers || !id) return;
  if (m_rawObserver.Peek()) {
    (void)viewers->SetRawDataCallback(id, reinterpret_cast<void*>(m_id), &RemoteScreenShareStream::OnRawFrame, nullptr);
  } else {
    (void)viewers->SetRawDataCallback(id, nullptr, nullptr, nullptr);
  }
}

int32_t AVCORE_CALLBACK RemoteScreenShareStream::OnRawFrame(void* context, const avcore::VideoFrame* frame) {
  if (!context || !frame) return 0;
  std::shared_ptr<RemoteScreenShareStream> stream = Live::Find(context);
  if (!stream) return frame->length;
  (void)stream->m_rawObserver.Call([&](ICoreVideoFrameObserver& observer) {
    CoreVideoFrame record = ToCoreVideoFrame(*frame);
    observer.OnRenderFrame(stream->m_userId.c_str(), kScreenVideoId, &record);
  });
  return frame->length;
}

int AVCORE_CALLBACK RemoteScreenShareStream::OnViewerEvent(uintptr_t, uintptr_t, uintptr_t, uintptr_t code,
                                                           void* context) {
  CoreEnv* env = CoreEnv::Instance();
  EngineEventHandler* handler = env ? env->m_config.eventHandler : nullptr;
  if (!handler || !context) return 1;
  // An owning reference: the stream may be taken out of its table meanwhile.
  std::shared_ptr<RemoteScreenShareStream> stream = Live::Find(context);
  if (!stream) return 1;
  if (code == avcore::kViewerEventConnected) {
    handler->OnRemoteVideoEvent(stream->m_userId, stream->m_videoId, 2);
  } else if (code == avcore::kViewerEventBadData || code == avcore::kViewerEventBadFormat) {
    if (stream->m_receiveStarted && !stream->m_stopRequested && CoreEnv::IsLogined()) {
      KIV_LOG("receive VNC_EVENT_VIEWER_BADDATA");
      handler->PostTask([context] {
        if (std::shared_ptr<RemoteScreenShareStream> live = Live::Find(context)) (void)live->Restart();
      });
    }
  }
  return 1;
}

}  // namespace kiv_core
