// The partial input the control plane holds: each connection's unfinished frame and their
// total under a cap. Over the cap, the connections holding the most give way (largest
// first, the oldest among equals), so that a few connections pinning large partial frames
// cannot make everyone else's small ones fail.
#pragma once

#include <cstddef>
#include <unordered_map>
#include <vector>

#include "server/control/client_outbox.h"

namespace kiv_server {

class InputBudget {
 public:
  explicit InputBudget(size_t max_total) : max_total_(max_total) {}

  // The connection now holds `bytes` of partial input (0 forgets it).
  void Set(ClientId client, size_t bytes);
  size_t total() const { return total_; }
  size_t max_total() const { return max_total_; }

  // The connections to drop so that the total is within the cap again (none when it is).
  std::vector<ClientId> OverCap() const;

 private:
  size_t max_total_;
  size_t total_ = 0;
  std::unordered_map<ClientId, size_t> held_;
};

}  // namespace kiv_server
