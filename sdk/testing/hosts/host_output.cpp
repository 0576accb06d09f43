#include "testing/hosts/host_output.h"

#include <cstdio>
#include <mutex>

namespace kiv_test {

void Say(const std::string& line) {
  static std::mutex lock;
  std::lock_guard<std::mutex> guard(lock);
  std::fputs((line + "\n").c_str(), stdout);
  std::fflush(stdout);
}

}  // namespace kiv_test
