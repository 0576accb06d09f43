// The meeting logic: reads each client's messages and answers them. Logins (access
// token, application, device), groups (join, leave, member notices, the group's
// media list after every join), logout, lost links and reconnection; business
// messages go to the business router. Runs on one thread; transport-free.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "protocol/wire/wire_message.h"
#include "server/control/business_module.h"
#include "server/control/business_router.h"
#include "server/control/client_outbox.h"
#include "server/control/meeting_state.h"
#include "server/control/server_config.h"

namespace kiv_server {

class MeetingCore : public IServerContext {
 public:
  using SecondsClock = std::function<uint64_t()>;  // seconds since 1970
  using LogFn = std::function<void(const std::string&)>;

  MeetingCore(ServerConfig config, IClientOutbox& outbox, SecondsClock clock);

  BusinessRouter& router() { return router_; }
  const ServerConfig& config() const { return config_; }
  // Where the log lines go (standard error until set).
  void set_log(LogFn log) { log_ = std::move(log); }

  void OnConnected(ClientId client);
  // One frame's payload from a client.
  void OnPayload(ClientId client, const std::string& payload);
  // The connection ended (closed, failed, idle or unreadable). Idempotent.
  void OnDisconnected(ClientId client);

  // IServerContext
  MeetingState& State() override { return state_; }
  void SendBusiness(ClientId client, const rapidjson::Value& body) override;
  void SendEncoded(ClientId client, const std::string& payload) override { Send(client, payload); }
  void SendError(ClientId client, int code, const std::string& detail) override;
  std::string LocalAddressOf(ClientId client) override { return outbox_.LocalAddress(client); }
  void Log(const std::string& line) override;

 private:
  void OnRequest(ClientId client, const std::string& payload);
  void OnLogin(ClientInfo& client, const kiv_proto::LoginRequest& req);
  void OnJoin(ClientInfo& client, const kiv_proto::JoinRequest& req);
  void OnLeave(ClientInfo& client, uint32_t seq);
  void OnBusinessMessage(ClientInfo& client, const kiv_proto::Message& msg);
  void SendMediaList(ClientInfo& client, Group& group);
  // Takes the client out of its group: businesses first, then the member notices.
  void LeaveGroup(ClientInfo& client);
  // Ends a login (leaving its group) and forgets the connection.
  void EndClient(ClientId client);
  // Queues the payload unless it is larger than the client's frame decoder takes.
  void Send(ClientId client, std::string payload);

  ServerConfig config_;
  IClientOutbox& outbox_;
  SecondsClock clock_;
  LogFn log_;
  ClientId requester_ = 0;  // the client whose payload is being handled
  MeetingState state_;
  BusinessRouter router_;
};

}  // namespace kiv_server
