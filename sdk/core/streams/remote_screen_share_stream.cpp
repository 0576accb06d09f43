#include "core/streams/remote_screen_share_stream.h"

#include "avcore/av_net.h"
#include "core/control/kiv_cp_client.h"
#include "core/engine_event_handler.h"
#include "core/env/core_env.h"
#include "core/env/log_record.h"
#include "core/frames/core_video_frame.h"
#include "core/frames/video_codes.h"

#include <set>

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

// Streams alive now: a restart posted for a stream deleted before it ran is dropped.
ZORVANTE::WLock g_liveLock;
std::set<const RemoteScreenShareStream*> g_live;

bool IsLive(const RemoteScreenShareStream* stream) {
  ZORVANTE::WAutoLock lock(&g_liveLock);
  return g_live.count(stream) != 0;
}

bool RemoteControlFlag() {
  CoreEnv* env = CoreEnv::Instance();
  return env && env->m_remoteControl;
}

}  // namespace

RemoteScreenShareStream::RemoteScreenShareStream(const std::string& userId, ZORVANTE::WLock* registryLock)
    : RemoteVideoStreamBase(userId, kScreenVideoId),
      m_viewerEvents{avcore::kEventRecordVersion, &RemoteScreenShareStream::OnViewerEvent, 0, this},
      m_registryLock(registryLock) {
  ZORVANTE::WAutoLock lock(&g_liveLock);
  g_live.insert(this);
}

RemoteScreenShareStream::~RemoteScreenShareStream() {
  {
    ZORVANTE::WAutoLock lock(&g_liveLock);
    g_live.erase(this);
  }
  m_receiveStarted = false;
  (void)UnSubscribe();
  std::unique_ptr<ICoreVideoFrameObserver> observer;
  {
    ZORVANTE::WAutoLock guard(&m_rawLock);
    observer = std::move(m_rawObserver);
  }
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
  (void)StopReceive();
  return ERR_OK;
}

void RemoteScreenShareStream::GetRenderStats(avcore::RenderStats* stats) {
  avcore::IVncRenderManager* viewers = Viewers();
  if (viewers && m_renderId && m_viewState == 1) (void)viewers->GetRenderStats(m_renderId, stats);
}

int RemoteScreenShareStream::StartReceiveScreenShare() {
  const avcore::VncViewConfig config = BuildViewConfig(m_hrender, false, RemoteControlFlag());
  m_stopRequested = false;
  m_receiveStarted = true;
  avcore::IVncRenderManager* viewers = Viewers();
  avcore::IAvNet* net = Net();
  if (!viewers || !net) return ERR_FAILED;
  avcore::RenderId id = 0;
  const HRESULT added = viewers->AddRender2(m_hrender, &m_viewerEvents, &id, &config);
  if (added < 0) {
    KIV_LOG("AddRender2 failed for remote_user_id: %s %x", m_userId.c_str(), static_cast<unsigned>(added));
    return ERR_FAILED;
  }
  m_renderId = id;
  const HRESULT started = net->StartRecvMedia2(m_userId.c_str(), avcore::kMediaScreen, "0", m_renderId, 0);
  if (started < 0) {
    // The viewer made for it goes too, so that nothing is left drawing.
    (void)viewers->RemoveRender(m_renderId);
    m_renderId = 0;
    KIV_LOG("StartRecvMedia2 failed %x", static_cast<unsigned>(started));
    return ERR_FAILED;
  }
  m_viewState = 1;
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
  if (viewers && m_renderId) (void)viewers->RemoveRender(m_renderId);
  m_viewState = 0;
  m_renderId = 0;
}

void RemoteScreenShareStream::Restart() {
  (void)StopReceive();
  (void)StartReceiveScreenShare();
}

int RemoteScreenShareStream::Reconfigure(bool control) {
  avcore::IVncRenderManager* viewers = Viewers();
  if (!viewers) return ERR_FAILED;
  const avcore::VncViewConfig config = BuildViewConfig(m_hrender, control, RemoteControlFlag());
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
    KIV_LOG("Render window is NULL, then unsubscribe remove screenshare!!!");
    m_receiveStarted = false;
    const int result = UnSubscribe();
    m_hrender = nullptr;
    return result;
  }
  if (window == m_hrender && mode == m_renderMode) {
    KIV_LOG("The same render window and render mode is same, nothing do");
    return ERR_OK;
  }
  m_hrender = window;
  m_renderMode = mode;
  if (m_renderId) return Reconfigure(false);
  return m_viewState == 0 ? StartReceiveScreenShare() : ERR_OK;
}

int RemoteScreenShareStream::UpdateRender(HWND window, int mode) {
  if (!window || !m_hrender) return SetRender(window, mode);
  m_hrender = window;
  m_renderMode = mode;
  return m_renderId ? Reconfigure(false) : ERR_OK;
}

int RemoteScreenShareStream::RemoteControl(int operation) {
  if (operation != kRequest && operation != kCancel) return ERR_INVALID_PARAM;
  if (operation == kCancel && m_renderId) (void)Reconfigure(false);
  CoreEnv* env = CoreEnv::Instance();
  if (!env || !env->m_cpclient) return ERR_FAILED;
  return env->m_cpclient->RemoteControlOperation(m_userId, operation);
}

void RemoteScreenShareStream::HandleRemoteControlEvent(int type) {
  if (type != kAccepted && type != kRefused) {
    KIV_LOG("invalid operation type %d", type);
    return;
  }
  avcore::IVncRenderManager* viewers = Viewers();
  if (!viewers) return;
  const avcore::VncViewConfig config = BuildViewConfig(m_hrender, type == kAccepted, RemoteControlFlag());
  const HRESULT set = viewers->SetViewConfig(m_renderId, &config);
  if (set < 0) KIV_LOG("set config fail %x", static_cast<unsigned>(set));
}

int RemoteScreenShareStream::SetRemoteRawDataCallback(std::unique_ptr<ICoreVideoFrameObserver> observer) {
  avcore::IVncRenderManager* viewers = Viewers();
  if (!m_renderId || !viewers) {
    KIV_LOG("SetRemoteRawDataCallback Invalid render id!!!");
    return ERR_FAILED;
  }
  if (observer.get() == m_rawObserver.get()) return ERR_OK;
  const bool set = observer != nullptr;
  if (!set) (void)viewers->SetRawDataCallback(m_renderId, nullptr, nullptr, nullptr);
  {
    // A frame in the callback keeps the replaced observer until it is done with it.
    ZORVANTE::WAutoLock guard(&m_rawLock);
    m_rawObserver.swap(observer);
  }
  observer.reset();
  if (set) (void)viewers->SetRawDataCallback(m_renderId, this, &RemoteScreenShareStream::OnRawFrame, nullptr);
  return ERR_OK;
}

int32_t AVCORE_CALLBACK RemoteScreenShareStream::OnRawFrame(void* context, const avcore::VideoFrame* frame) {
  if (!context || !frame) return 0;
  auto* stream = static_cast<RemoteScreenShareStream*>(context);
  ZORVANTE::WAutoLock guard(&stream->m_rawLock);
  if (!stream->m_rawObserver) return frame->length;
  CoreVideoFrame record = ToCoreVideoFrame(*frame);
  stream->m_rawObserver->OnRenderFrame(stream->m_userId.c_str(), kScreenVideoId, &record);
  return frame->length;
}

int AVCORE_CALLBACK RemoteScreenShareStream::OnViewerEvent(uintptr_t, uintptr_t, uintptr_t, uintptr_t code,
                                                           void* context) {
  CoreEnv* env = CoreEnv::Instance();
  EngineEventHandler* handler = env ? env->m_config.eventHandler : nullptr;
  if (!handler || !context) return 1;
  auto* stream = static_cast<RemoteScreenShareStream*>(context);
  if (code == avcore::kViewerEventConnected) {
    handler->OnRemoteVideoEvent(stream->m_userId, stream->m_videoId, 2);
  } else if (code == avcore::kViewerEventBadData || code == avcore::kViewerEventBadFormat) {
    if (stream->m_receiveStarted && !stream->m_stopRequested && CoreEnv::IsLogined()) {
      KIV_LOG("receive VNC_EVENT_VIEWER_BADDATA");
      ZORVANTE::WLock* registry = stream->m_registryLock;
      handler->PostTask([stream, registry] {
        // Streams are destroyed under the registry lock: held, a live stream stays alive.
        ZORVANTE::WAutoLock guard(registry);
        if (IsLive(stream)) stream->Restart();
      });
    }
  }
  return 1;
}

}  // namespace kiv_core
