#include "server/control/input_budget.h"

#include <algorithm>

namespace kiv_server {

void InputBudget::Set(ClientId client, size_t bytes) {
  auto it = held_.find(client);
  const size_t before = it == held_.end() ? 0 : it->second;
  total_ = total_ - before + bytes;
  if (bytes == 0) {
    if (it != held_.end()) held_.erase(it);
  } else if (it == held_.end()) {
    held_.emplace(client, bytes);
  } else {
    it->second = bytes;
  }
}

std::vector<ClientId> InputBudget::OverCap() const {
  std::vector<ClientId> drop;
  if (total_ <= max_total_) return drop;
  std::vector<std::pair<size_t, ClientId>> holders;
  holders.reserve(held_.size());
  for (const auto& [client, bytes] : held_) holders.emplace_back(bytes, client);
  // Largest first; among equals the lower id, which connected earlier.
  std::sort(holders.begin(), holders.end(),
            [](const auto& a, const auto& b) { return a.first != b.first ? a.first > b.first : a.second < b.second; });
  size_t total = total_;
  for (const auto& [bytes, client] : holders) {
    if (total <= max_total_) break;
    drop.push_back(client);
    total -= bytes;
  }
  return drop;
}

}  // namespace kiv_server
