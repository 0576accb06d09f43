#include "core/streams/local_screen_share_stream.h"

#include "avcore/av_net.h"
#include "avcore/ids.h"
#include "core/control/kiv_cp_client.h"
#include "core/env/core_env.h"
#include "core/env/log_record.h"
#include "kiv_error.h"

namespace kiv_core {

namespace {

constexpr int kAccept = 2;

}  // namespace

LocalScreenShareStream::LocalScreenShareStream()
    : m_hostEvents{avcore::kEventRecordVersion, &LocalScreenShareStream::OnHostEvent, 0, this} {}

LocalScreenShareStream::~LocalScreenShareStream() { (void)StopPublish(); }

avcore::VncHostConfig LocalScreenShareStream::BuildHostConfig(int left, int top, int right, int bottom, int bias,
                                                              bool control, int reserved) {
  avcore::VncHostConfig c = {};
  if (left == 0 && top == 0 && right == 0 && bottom == 0) {
    c.capture_mode = 0;
  } else {
    c.capture_mode = 3;
    c.left = left;
    c.top = top;
    c.right = right;
    c.bottom = bottom;
  }
  const int32_t granted = control ? 1 : 0;
  c.allow_mouse = c.allow_keyboard = c.allow_wheel = c.allow_clipboard = granted;
  c.show_cursor = 1;
  for (int32_t& option : c.options52) option = 1;
  c.adaptive_quality = 1;
  c.bias = bias == 1 ? 1 : 0;
  c.reserved = reserved;
  return c;
}

avcore::VncHostConfig LocalScreenShareStream::CurrentConfig(bool control) const {
  return BuildHostConfig(m_left, m_top, m_right, m_bottom, m_bias, control, m_reserved);
}

int LocalScreenShareStream::StartPublish(int left, int top, int right, int bottom, int bias, int reserved) {
  if (!CoreEnv::IsLogined()) return ERR_NOT_LOGINED;
  const bool whole = left == 0 && top == 0 && right == 0 && bottom == 0;
  if (!whole && (left >= right || top >= bottom)) return ERR_INVALID_PARAM;
  if (!m_publishing) m_controlGranted = false;
  CoreEnv* env = CoreEnv::Instance();
  if (!m_host_vnc) {
    void* object = nullptr;
    if (env->m_basecore->CreateComponent(avcore::CLSID_VncHost, avcore::IID_IVncHost, nullptr, &object) < 0 ||
        !object) {
      KIV_LOG("CreateComponent for m_host_vnc failed.");
      return ERR_FAILED;
    }
    m_host_vnc.Attach(static_cast<avcore::IVncHost*>(object));
    if (m_host_vnc->Initialize(0, &m_hostEvents, env->m_avnet.get(), env->m_audiodevice.get()) < 0) {
      KIV_LOG("Initialize for m_host_vnc failed.");
      // Never initialised, it cannot serve a later start: that one makes a new host.
      m_host_vnc.Reset();
      return ERR_FAILED;
    }
  }
  if (m_publishing && left == m_left && top == m_top && right == m_right && bottom == m_bottom && bias == m_bias) {
    KIV_LOG("screeh is publishing but paramater is same");
    return ERR_OK;
  }
  m_left = left;
  m_top = top;
  m_right = right;
  m_bottom = bottom;
  m_bias = bias;
  m_reserved = reserved;
  const avcore::VncHostConfig config = CurrentConfig(m_controlGranted);
  if (m_publishing) {
    if (m_host_vnc->SetConfig(&config) < 0) {
      KIV_LOG("set config fail");
      return ERR_FAILED;
    }
    return ERR_OK;
  }
  const HRESULT started = m_host_vnc->StartHost(&config);
  if (started < 0) {
    KIV_LOG("scrennshare StartHostKiv failed %x", static_cast<unsigned>(started));
    return ERR_FAILED;
  }
  if (!env->m_avnet || env->m_avnet->AddScreenSource(avcore::kMediaScreen, "0", m_host_vnc.get(), 0) < 0) {
    KIV_LOG("StartHostKiv failed.");
    return ERR_FAILED;
  }
  if (env->m_cpclient) (void)env->m_cpclient->PublishScreenShareNotify();
  m_publishing = true;
  return ERR_OK;
}

int LocalScreenShareStream::StopPublish() {
  if (!m_host_vnc) return ERR_FAILED;
  CoreEnv* env = CoreEnv::Instance();
  (void)m_host_vnc->Stop();
  if (env && env->m_cpclient) (void)env->m_cpclient->UnpublishScreenShareNotify();
  if (env && env->m_avnet) (void)env->m_avnet->RemoveSource(avcore::kMediaScreen, "0");
  m_publishing = false;
  m_controlGranted = false;
  m_controller.clear();
  m_host_vnc.Reset();
  return ERR_OK;
}

int LocalScreenShareStream::RemoteControlOperation(const std::string& userId, int operation) {
  if (!m_publishing) return ERR_FAILED;
  if (m_controlGranted) {
    if (userId == m_controller) return ERR_OK;
    KIV_LOG("already controy by %s, cann't change to %s", m_controller.c_str(), userId.c_str());
    return ERR_FAILED;
  }
  const bool grant = operation == kAccept;
  const std::string controller = grant ? userId : std::string();
  const avcore::VncHostConfig config = CurrentConfig(grant);
  const HRESULT set = m_host_vnc->SetConfig(&config);
  if (set < 0) {
    KIV_LOG("set hot config fail %x", static_cast<unsigned>(set));
    return ERR_FAILED;
  }
  CoreEnv* env = CoreEnv::Instance();
  const int sent = env && env->m_cpclient ? env->m_cpclient->RemoteControlOperation(userId, operation) : ERR_FAILED;
  if (sent != 0) {
    KIV_LOG("send remote control fail %d", sent);
    return sent;
  }
  m_controlGranted = grant;
  m_controller = controller;
  return ERR_OK;
}

void LocalScreenShareStream::OnRemoteControlCancel(const std::string& userId) {
  if (userId != m_controller) {
    KIV_LOG("remot cancle control bu not same userid cur:%s, recv:%s", m_controller.c_str(), userId.c_str());
    return;
  }
  m_controlGranted = false;
  m_controller.clear();
  if (m_host_vnc) {
    const avcore::VncHostConfig config = CurrentConfig(false);
    (void)m_host_vnc->SetConfig(&config);
  }
}

}  // namespace kiv_core
