// The control-plane listener: framed messages over TCP (Asio, one thread). Each
// connection gets a client id; frames go to the meeting logic as they arrive.
// A bad frame length, an idle connection or a client that does not read its
// answers ends the connection. Until a connection logs in it may send only small
// frames and must log in soon; when every slot is taken, the oldest such connection
// makes room for a new one; input buffered across all connections is capped (over the
// cap, the connections holding the most are dropped: InputBudget).
#pragma once

#include <asio.hpp>

#include <chrono>
#include <cstdint>
#include <memory>
#include <set>
#include <unordered_map>

#include "server/control/client_outbox.h"
#include "server/control/input_budget.h"
#include "server/control/meeting_core.h"

namespace kiv_server {

struct ControlServerOptions {
  std::chrono::milliseconds idle_timeout{30000};  // no byte received for this long: closed
  size_t max_queued_bytes = 40u << 20;            // unread answers beyond this: closed (two full states)
  size_t max_connections = 1024;
  std::chrono::milliseconds login_timeout{5000};  // not logged in by then: closed
  size_t prelogin_max_payload = 16u << 10;        // largest frame before login
  size_t max_buffered_total = 64u << 20;          // partial input of all connections together
  std::chrono::milliseconds accept_pause{100};    // after a failed accept (descriptors exhausted)
};

class ControlServer : public IClientOutbox {
 public:
  ControlServer(asio::io_context& io, const asio::ip::tcp::endpoint& endpoint, ControlServerOptions options);
  ~ControlServer() override;

  void Start(MeetingCore& core);
  void Stop();
  uint16_t port() const { return port_; }

  void Send(ClientId client, std::string payload) override;
  void Close(ClientId client) override;
  void Admit(ClientId client) override;
  std::string LocalAddress(ClientId client) override;

  size_t connection_count() const { return connections_.size(); }
  size_t buffered_total() const { return input_.total(); }

 private:
  class Connection;
  void Accept();
  // Forgets a connection and tells the meeting logic (unless it asked for the close).
  void Drop(ClientId client, bool tell_core);
  // Closes the longest-waiting connection that has not logged in; false if none.
  bool EvictOldestUnadmitted();
  // Drops the connections holding the most partial input while the total is over its cap;
  // true when `reader` is among them.
  bool EnforceInputCap(ClientId reader);

  asio::io_context& io_;
  asio::ip::tcp::acceptor acceptor_;
  asio::steady_timer accept_pause_;
  bool accept_failure_logged_ = false;
  ControlServerOptions options_;
  uint16_t port_ = 0;
  MeetingCore* core_ = nullptr;
  ClientId next_id_ = 1;
  std::unordered_map<ClientId, std::shared_ptr<Connection>> connections_;
  std::set<ClientId> unadmitted_;  // ids grow with time: the first is the oldest
  InputBudget input_;              // the connections' partial input
};

}  // namespace kiv_server
