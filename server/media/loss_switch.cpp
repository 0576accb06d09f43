#include "server/media/loss_switch.h"

#include <algorithm>

namespace kiv_server {

void LossSwitch::SetRandomLoss(int percent, uint32_t seed) {
  percent_ = std::clamp(percent, 0, 100);
  state_ = seed != 0 ? seed : 0x9E3779B9u;
}

uint32_t LossSwitch::Next() {  // xorshift32
  state_ ^= state_ << 13;
  state_ ^= state_ >> 17;
  state_ ^= state_ << 5;
  return state_;
}

bool LossSwitch::Drop() {
  if (burst_left_ > 0) {
    --burst_left_;
    return true;
  }
  return percent_ > 0 && Next() % 100 < static_cast<uint32_t>(percent_);
}

}  // namespace kiv_server
