// A business of the meeting server: it serves the business messages of one or more
// business names ("GS", "ONLINE", ...) and may follow logins and group membership.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include <rapidjson/document.h>

#include "server/control/meeting_state.h"

namespace kiv_server {

// What a business may use of the server.
class IServerContext {
 public:
  virtual ~IServerContext() = default;
  virtual MeetingState& State() = 0;
  // A business message {"business":..,"id":..,...} to one client.
  virtual void SendBusiness(ClientId client, const rapidjson::Value& body) = 0;
  // A message encoded already (kiv_proto::EncodeBusiness), for one text sent to many.
  virtual void SendEncoded(ClientId client, const std::string& payload) = 0;
  // An error answer to a request the business cannot serve.
  virtual void SendError(ClientId client, int code, const std::string& detail) = 0;
  // The server address the client's connection reached ("" when unknown).
  virtual std::string LocalAddressOf(ClientId client) {
    (void)client;
    return {};
  }
  // One line of the server's log (standard error unless the server was given a sink).
  virtual void Log(const std::string& line) { std::fprintf(stderr, "meeting_server: %s\n", line.c_str()); }
  // Logs that the client ran into `bound`, the first time only for this login.
  void LogLimit(ClientInfo& client, const std::string& bound, const std::string& detail) {
    if (!client.limits_logged.insert(bound).second) return;
    Log(client.app_id + "/" + client.group_id + " " + client.user_id + ": " + bound + ": " + detail +
        " (logged once per login)");
  }
};

class IBusinessModule {
 public:
  virtual ~IBusinessModule() = default;
  virtual std::vector<std::string> Businesses() const = 0;
  // A message of one of those businesses from a logged-in client.
  virtual void OnBusiness(ClientInfo& from, const std::string& business, int id, const rapidjson::Value& body) = 0;
  virtual void OnLogin(ClientInfo& /*client*/) {}
  // The client is leaving its group (by request, logout or lost link); it is still a member.
  virtual void OnMemberLeaving(ClientInfo& /*client*/, Group& /*group*/) {}
  // The client's login is ending; it has left its group.
  virtual void OnLogout(ClientInfo& /*client*/) {}
  // The group's last member has left; the group is forgotten after this call.
  virtual void OnGroupEnded(Group& /*group*/) {}
};

}  // namespace kiv_server
