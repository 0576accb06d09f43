#include "engine/kiv_device_manager_impl.h"

#include "core/devices/device_manager.h"
#include "engine/devices/device_monitor.h"
#include "engine/kiv_engine_impl.h"
#include "engine/window/msg_window.h"

namespace kiv {

namespace {

// Started device managers: the device monitor runs while there is one. Start and Stop run
// on the application's thread.
int g_monitorUsers = 0;

Vector<DeviceInfo> ToPublic(const std::vector<kiv_core::CoreDeviceInfo>& list) {
  Vector<DeviceInfo> out;
  for (const auto& d : list) {
    DeviceInfo info;
    info.id = d.id;
    info.name = d.name.c_str();
    out.push_back(info);
  }
  return out;
}

}  // namespace

Vector<DeviceInfo> KivDeviceManagerImpl::GetMicrophoneDevices() {
  return Fetch(&DeviceLists::microphones, &m_tickets.microphones,
               [this] { return m_engine->Core()->GetDeviceManager()->GetMicrophoneDevices(); });
}

Vector<DeviceInfo> KivDeviceManagerImpl::GetSpeakerDevices() {
  return Fetch(&DeviceLists::speakers, &m_tickets.speakers,
               [this] { return m_engine->Core()->GetDeviceManager()->GetSpeakerDevices(); });
}

Vector<DeviceInfo> KivDeviceManagerImpl::GetCameraDevices() {
  return Fetch(&DeviceLists::cameras, &m_tickets.cameras,
               [this] { return m_engine->Core()->GetDeviceManager()->GetCameraDevices(); });
}

template <class Read>
Vector<DeviceInfo> KivDeviceManagerImpl::Fetch(std::vector<kiv_core::CoreDeviceInfo> DeviceLists::*list,
                                               Tickets::Pair* tickets, Read read) {
  // The framework is asked without the lock; of fetches that overlap, the one that began
  // last becomes the reference.
  uint64_t ticket;
  {
    ZORVANTE::WAutoLock guard(&m_lock);
    ticket = ++tickets->taken;
  }
  std::vector<kiv_core::CoreDeviceInfo> fetched = read();
  {
    ZORVANTE::WAutoLock guard(&m_lock);
    if (ticket > tickets->stored) {
      tickets->stored = ticket;
      m_lists.*list = fetched;
    }
  }
  return ToPublic(fetched);
}

int KivDeviceManagerImpl::AddRtspPlugin(const RtspPluginParam* param) {
  if (!param) return kiv_core::ERR_INVALID_PARAM;
  kiv_core::CoreRtspParam core;
  core.url = param->url.c_str();
  core.audioName = param->audioName.c_str();
  core.videoName = param->videoName.c_str();
  core.hasAudio = param->hasAudio;
  core.hasVideo = param->hasVideo;
  core.udp = param->udp;
  core.vbuf = param->vbuf;
  core.timeout = param->timeout;
  return m_engine->Core()->GetDeviceManager()->AddRtspPlugin(core) ? kiv_core::ERR_OK : kiv_core::ERR_FAILED;
}

void KivDeviceManagerImpl::Start() {
  if (!m_started) {
    m_started = true;
    ++g_monitorUsers;
  }
  CDeviceMonitor::Instance()->Start();
  MsgWindow::Instance()->AddListener(this);
  (void)GetMicrophoneDevices();
  (void)GetSpeakerDevices();
  (void)GetCameraDevices();
}

void KivDeviceManagerImpl::Stop() {
  if (!m_started) return;
  m_started = false;
  MsgWindow::Instance()->RemoveListener(this);
  if (--g_monitorUsers == 0) CDeviceMonitor::Instance()->Stop();
}

int KivDeviceManagerImpl::OnWndMsg(unsigned message, WPARAM, LPARAM) {
  if (message == WM_KIV_DEVICE_CHANGED) OnDeviceChanged();
  return 0;
}

void KivDeviceManagerImpl::OnDeviceChanged() {
  m_engine->Core()->GetDeviceManager()->Refresh();
  DeviceLists before;
  {
    ZORVANTE::WAutoLock guard(&m_lock);
    before = m_lists;
  }
  (void)GetMicrophoneDevices();
  (void)GetSpeakerDevices();
  (void)GetCameraDevices();
  DeviceListDiff diff;
  {
    ZORVANTE::WAutoLock guard(&m_lock);
    diff = DiffDeviceLists(before, m_lists);
  }
  kiv_core::CoreEngine* core = m_engine->Core();
  for (const kiv_core::CoreDeviceInfo& camera : diff.removedCameras) core->OnCameraRemoved(camera.id);
  for (const kiv_core::CoreDeviceInfo& camera : diff.addedCameras) core->OnCameraAdded(camera.id);
  for (int code : diff.codes)
    m_engine->CallAppHandler([code](IKivEngineEventHandler& handler) { handler.OnDeviceChange(code); });
}

}  // namespace kiv
