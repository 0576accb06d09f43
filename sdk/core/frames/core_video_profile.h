// The core's video profile record.
#pragma once

#include <cstdint>

namespace kiv_core {

struct CoreVideoProfile {
  int32_t width = 0;
  int32_t height = 0;
  int32_t frameRate = 0;
  bool net_bd_adapt = true;    // network bandwidth adaptation of the published source
  bool recv_wnd_adapt = true;  // logged and stored only
};

}  // namespace kiv_core
