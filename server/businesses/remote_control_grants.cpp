#include "server/businesses/remote_control_grants.h"

namespace kiv_server {

void RemoteControlGrants::OnControlOperation(ClientId from, ClientId to, int operation) {
  if (operation == kAccept) {
    controller_of_[from] = to;
    return;
  }
  if (operation != kCancel && operation != kRefuse) return;
  for (auto [sharer, viewer] : {std::pair{from, to}, std::pair{to, from}}) {
    auto it = controller_of_.find(sharer);
    if (it != controller_of_.end() && it->second == viewer) controller_of_.erase(it);
  }
}

void RemoteControlGrants::OnShareStopped(ClientId sharer) { controller_of_.erase(sharer); }

void RemoteControlGrants::OnClientGone(ClientId client) {
  controller_of_.erase(client);
  for (auto it = controller_of_.begin(); it != controller_of_.end();) {
    it = it->second == client ? controller_of_.erase(it) : std::next(it);
  }
}

bool RemoteControlGrants::MayControl(ClientId controller, ClientId sharer) const {
  const auto it = controller_of_.find(sharer);
  return it != controller_of_.end() && it->second == controller;
}

}  // namespace kiv_server
