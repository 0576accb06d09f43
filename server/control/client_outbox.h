// How the meeting logic reaches the connected clients; the network layer implements it.
#pragma once

#include <cstdint>
#include <string>

namespace kiv_server {

using ClientId = uint64_t;  // 0 is never a client

class IClientOutbox {
 public:
  virtual ~IClientOutbox() = default;
  // Queues one message payload (the frame is added by the network layer).
  virtual void Send(ClientId client, std::string payload) = 0;
  // Closes the connection once its queued output is written. The logic is not told
  // of this disconnection again.
  virtual void Close(ClientId client) = 0;
  // The client logged in: the network layer lifts the limits it keeps on connections
  // that have not (frame size, time to log in).
  virtual void Admit(ClientId client) { (void)client; }
  // The local address the client's connection reached ("" when unknown).
  virtual std::string LocalAddress(ClientId client) {
    (void)client;
    return {};
  }
};

}  // namespace kiv_server
