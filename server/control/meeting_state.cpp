#include "server/control/meeting_state.h"

namespace kiv_server {

ClientInfo* MeetingState::Client(ClientId id) {
  auto it = clients_.find(id);
  return it == clients_.end() ? nullptr : &it->second;
}

const ClientInfo* MeetingState::Client(ClientId id) const {
  auto it = clients_.find(id);
  return it == clients_.end() ? nullptr : &it->second;
}

ClientInfo& MeetingState::AddClient(ClientId id) {
  ClientInfo& c = clients_[id];
  c.id = id;
  return c;
}

void MeetingState::RemoveClient(ClientId id) { clients_.erase(id); }

ClientId MeetingState::FindUser(const std::string& app_id, const std::string& user_id) const {
  auto it = users_.find({app_id, user_id});
  return it == users_.end() ? 0 : it->second;
}

void MeetingState::IndexUser(const ClientInfo& client) { users_[{client.app_id, client.user_id}] = client.id; }

void MeetingState::UnindexUser(const ClientInfo& client) {
  auto it = users_.find({client.app_id, client.user_id});
  if (it != users_.end() && it->second == client.id) users_.erase(it);
}

std::vector<ClientId> MeetingState::UsersOfApp(const std::string& app_id) const {
  std::vector<ClientId> out;
  for (auto it = users_.lower_bound({app_id, std::string()}); it != users_.end() && it->first.first == app_id; ++it) {
    out.push_back(it->second);
  }
  return out;
}

Group* MeetingState::FindGroup(const std::string& app_id, const std::string& group_id) {
  auto it = groups_.find({app_id, group_id});
  return it == groups_.end() ? nullptr : &it->second;
}

Group& MeetingState::EnsureGroup(const std::string& app_id, const std::string& group_id) {
  Group& g = groups_[{app_id, group_id}];
  g.app_id = app_id;
  g.group_id = group_id;
  return g;
}

void MeetingState::RemoveGroup(const std::string& app_id, const std::string& group_id) {
  groups_.erase({app_id, group_id});
}

Group* MeetingState::GroupOf(const ClientInfo& client) {
  return client.group_id.empty() ? nullptr : FindGroup(client.app_id, client.group_id);
}

}  // namespace kiv_server
