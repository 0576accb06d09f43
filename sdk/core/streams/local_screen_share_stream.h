// Shares the local screen, or a rectangle of it, with the group through the framework's
// screen-share host, and grants one remote user control of it.
#pragma once

#include <string>

#include "avcore/platform.h"
#include "avcore/vnc_host.h"
#include "common/win/com_ref.h"

namespace kiv_core {

class LocalScreenShareStream {
 public:
  LocalScreenShareStream();
  ~LocalScreenShareStream();
  LocalScreenShareStream(const LocalScreenShareStream&) = delete;
  LocalScreenShareStream& operator=(const LocalScreenShareStream&) = delete;

  // 0; 1 bad rectangle; 31 not logged in; 302 host or network failure.
  int StartPublish(int left, int top, int right, int bottom, int bias, int reserved);
  // 302 when there is no host.
  int StopPublish();
  // The local user's answer to a control request: 2 accept, 3 refuse (1 like 3).
  int RemoteControlOperation(const std::string& userId, int operation);
  // The controlling user gave control back.
  void OnRemoteControlCancel(const std::string& userId);

  bool IsPublishing() const { return m_publishing; }
  const std::string& Controller() const { return m_controller; }

  static avcore::VncHostConfig BuildHostConfig(int left, int top, int right, int bottom, int bias, bool control,
                                               int reserved);

 private:
  static int AVCORE_CALLBACK OnHostEvent(uintptr_t, uintptr_t, uintptr_t, uintptr_t, void*) { return 1; }
  avcore::VncHostConfig CurrentConfig(bool control) const;

  bool m_publishing = false;
  std::string m_controller;
  int m_left = 0, m_top = 0, m_right = 0, m_bottom = 0, m_bias = 0;
  bool m_controlGranted = false;
  int m_reserved = 0;
  avcore::EventRecord m_hostEvents;
  kiv_common::ComRef<avcore::IVncHost> m_host_vnc;
};

}  // namespace kiv_core
