// Lines recorded from any thread, and waiting, with a time limit, until some line arrives.
// The test handlers record their events here: each line checks that no lock of the SDK is
// held where it was added.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "base/system/testing/no_lock_held.h"

namespace kiv_test {

class EventLog {
 public:
  void Add(const std::string& line) {
    ExpectNoLockHeld(("event \"" + line + "\"").c_str());
    {
      std::lock_guard<std::mutex> guard(m_mutex);
      m_lines.push_back(line);
    }
    m_changed.notify_all();
  }

  std::vector<std::string> Lines() {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_lines;
  }

  void Clear() {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_lines.clear();
  }

  // Waits until a line satisfies `match`; returns it, or "" after `ms` milliseconds.
  std::string WaitFor(const std::function<bool(const std::string&)>& match, int ms) {
    std::unique_lock<std::mutex> lock(m_mutex);
    std::string found;
    m_changed.wait_for(lock, std::chrono::milliseconds(ms), [&] {
      for (const std::string& line : m_lines) {
        if (match(line)) {
          found = line;
          return true;
        }
      }
      return false;
    });
    return found;
  }

  // Waits for a line that begins with `prefix`.
  std::string WaitForPrefix(const std::string& prefix, int ms) {
    return WaitFor([&](const std::string& l) { return l.compare(0, prefix.size(), prefix) == 0; }, ms);
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::vector<std::string> m_lines;
};

}  // namespace kiv_test
