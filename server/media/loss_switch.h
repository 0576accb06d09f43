// Deterministic packet loss for tests of the media plane: drop a share of the packets
// (pseudo-random from a seed, so a run repeats exactly) and/or the next N packets.
#pragma once

#include <cstdint>

namespace kiv_server {

class LossSwitch {
 public:
  // percent 0-100 (clamped); seed 0 picks a fixed default.
  void SetRandomLoss(int percent, uint32_t seed);
  // Drops the next `packets` packets (on top of the random loss).
  void StartBurst(uint32_t packets) { burst_left_ = packets; }
  // True when this packet is to be dropped.
  [[nodiscard]] bool Drop();
  [[nodiscard]] bool active() const { return percent_ > 0 || burst_left_ > 0; }

 private:
  uint32_t Next();

  int percent_ = 0;
  uint32_t state_ = 0x9E3779B9u;
  uint32_t burst_left_ = 0;
};

}  // namespace kiv_server
