// The faults a stress run found. Each distinct fault is kept once, with how often it was
// seen and the thread and operation it was first seen in; every fault is counted.
#pragma once

#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "stress/stress_stacks.h"

namespace kiv_stress {

class Faults {
 public:
  static Faults& Instance();

  // Records `what`, adding the calling thread's activity.
  void Add(const std::string& what);
  // Records a fault when a lock of the SDK is held on this thread at `where`.
  void CheckNoLockHeld(const char* where);

  size_t Count();
  // With `stacks`, each with the call stack it was first seen on.
  std::vector<std::string> Kept(bool stacks = false);
  void Clear();

 private:
  static constexpr size_t kKept = 200;
  struct Kind {
    std::string what;
    std::string firstSeen;
    RawStack stack;
    size_t count = 0;
  };
  std::mutex m_mutex;
  std::vector<Kind> m_kinds;
  size_t m_count = 0;
};

}  // namespace kiv_stress
