// How the control-plane client reports to the core engine.
#pragma once

#include <string>
#include <vector>

#include "core/control/media_record.h"

namespace kiv_core {

// Called on the connection's threads, synchronously.
class KivCpClientEventHandler {
 public:
  // fullList: the group's whole media list (after a join), against which absent media are
  // withdrawn; false for a single announcement.
  virtual void OnMediaChanged(const std::vector<MediaRecord>& records, bool fullList) = 0;
  // 0 request, 1 cancel, 2 accept, 3 refuse.
  virtual void OnScreenShareRemoteControlEvent(const std::string& userId, int eventType) = 0;
  virtual void OnRemoteUser(const std::string& userId, bool joined) = 0;
  // The server ended the login or the link was lost.
  virtual void OnConnectionLost() = 0;

 protected:
  ~KivCpClientEventHandler() = default;
};

}  // namespace kiv_core
