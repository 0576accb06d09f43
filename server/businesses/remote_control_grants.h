// Who may control whose shared screen: each sharer grants at most one viewer control at
// a time. Follows the GS remote-control operations (14108) that pass the server.
#pragma once

#include <map>

#include "server/control/meeting_state.h"

namespace kiv_server {

class RemoteControlGrants {
 public:
  static constexpr int kRequest = 0;
  static constexpr int kCancel = 1;
  static constexpr int kAccept = 2;
  static constexpr int kRefuse = 3;

  // An operation from `from` to `to` was delivered. An accept comes from the sharer; a
  // cancel or refuse, from either side, ends a grant between the two.
  void OnControlOperation(ClientId from, ClientId to, int operation);
  // The sharer stopped sharing its screen.
  void OnShareStopped(ClientId sharer);
  // The client left its group or its login ended: every grant it takes part in ends.
  void OnClientGone(ClientId client);
  [[nodiscard]] bool MayControl(ClientId controller, ClientId sharer) const;

 private:
  std::map<ClientId, ClientId> controller_of_;  // sharer -> the viewer it granted
};

}  // namespace kiv_server
