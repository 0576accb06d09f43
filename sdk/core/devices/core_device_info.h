// The device record of the core's device lists (plain C++: the list comparison builds
// everywhere).
#pragma once

#include <string>

namespace kiv_core {

struct CoreDeviceInfo {
  int id = 0;
  std::string name;  // UTF-8
};

}  // namespace kiv_core
