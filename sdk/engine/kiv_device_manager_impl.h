// The object behind IDeviceManager: device lists and device-change events.
#pragma once

#include <cstdint>
#include <vector>

#include "base/system/w_lock.h"
#include "engine/devices/device_list_diff.h"
#include "engine/window/wnd_msg_listener.h"
#include "kiv_device_manager.h"

namespace kiv {

class KivEngineImpl;

class KivDeviceManagerImpl : public IDeviceManager, public IWndMsgListener {
 public:
  explicit KivDeviceManagerImpl(KivEngineImpl* engine) : m_engine(engine) {}
  virtual ~KivDeviceManagerImpl() { Stop(); }
  KivDeviceManagerImpl(const KivDeviceManagerImpl&) = delete;
  KivDeviceManagerImpl& operator=(const KivDeviceManagerImpl&) = delete;

  // Each list fetched here becomes the reference for the next comparison.
  Vector<DeviceInfo> GetMicrophoneDevices() override;
  Vector<DeviceInfo> GetSpeakerDevices() override;
  Vector<DeviceInfo> GetCameraDevices() override;
  int AddRtspPlugin(const RtspPluginParam* param) override;

  // After a successful engine Init: listens on the message window, starts the device
  // monitor and takes the first snapshot of the three lists.
  void Start();
  // On the engine's release, before its message window goes: stops listening, and stops
  // the process-wide device monitor (thread joined, notifications unregistered) once no
  // started device manager is left. Again, or without a Start, it does nothing.
  void Stop();
  int OnWndMsg(unsigned message, WPARAM wParam, LPARAM lParam) override;
  // On the message-window thread: lists again, compares, tells the application.
  void OnDeviceChanged();

 private:
  // Of each list, the fetches begun and the one whose result is the reference.
  struct Tickets {
    struct Pair {
      uint64_t taken = 0;
      uint64_t stored = 0;
    };
    Pair microphones, speakers, cameras;
  };
  template <class Read>
  Vector<DeviceInfo> Fetch(std::vector<kiv_core::CoreDeviceInfo> DeviceLists::*list, Tickets::Pair* tickets, Read read);

  KivEngineImpl* m_engine;
  DeviceLists m_lists;
  Tickets m_tickets;
  ZORVANTE::WLock m_lock;  // m_lists and m_tickets; held across no call
  bool m_started = false;  // counted among the device monitor's users
};

}  // namespace kiv
