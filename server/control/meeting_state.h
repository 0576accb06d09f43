// The meeting server's shared state: connected clients, logins and groups.
// Groups live per application; a group holds its members in joining order and the
// media they publish.
#pragma once

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "server/control/client_outbox.h"

namespace kiv_server {

struct ClientInfo {
  ClientId id = 0;
  bool logged_in = false;
  std::string app_id;
  std::string user_id;
  std::string device_id;
  std::string platform;
  std::string group_id;                 // the joined group, empty when none
  std::set<std::string> limits_logged;  // bounds this login ran into (logged once each)
};

constexpr int kBoardMediaType = 4;

struct PublishedMedia {
  std::string user_id;
  int media_type = 0;  // 0 screen share, 1 audio, 2 video, 4 whiteboard
  std::string media_id;
  std::string media_name;
  std::string media_owner;
};

struct Group {
  std::string app_id;
  std::string group_id;
  std::vector<ClientId> members;      // joining order
  std::vector<PublishedMedia> media;  // boards (type 4) stay until closed or the group ends
};

class MeetingState {
 public:
  ClientInfo* Client(ClientId id);
  const ClientInfo* Client(ClientId id) const;
  ClientInfo& AddClient(ClientId id);
  void RemoveClient(ClientId id);

  // The logged-in client of (app, user), or 0.
  ClientId FindUser(const std::string& app_id, const std::string& user_id) const;
  void IndexUser(const ClientInfo& client);
  void UnindexUser(const ClientInfo& client);
  std::vector<ClientId> UsersOfApp(const std::string& app_id) const;

  Group* FindGroup(const std::string& app_id, const std::string& group_id);
  Group& EnsureGroup(const std::string& app_id, const std::string& group_id);
  void RemoveGroup(const std::string& app_id, const std::string& group_id);
  // The group the client has joined, or null.
  Group* GroupOf(const ClientInfo& client);

 private:
  using Key = std::pair<std::string, std::string>;  // (app id, user or group id)
  std::map<ClientId, ClientInfo> clients_;
  std::map<Key, ClientId> users_;
  std::map<Key, Group> groups_;
};

}  // namespace kiv_server
