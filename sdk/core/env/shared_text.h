// A string that one thread replaces while others read it: every access is a copy taken
// under the holder's own lock.
#pragma once

#include <mutex>
#include <string>

namespace kiv_core {

class SharedText {
 public:
  SharedText() = default;
  SharedText(const SharedText&) = delete;
  SharedText& operator=(const SharedText&) = delete;

  void Set(const std::string& text) {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_text = text;
  }
  std::string Get() const {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_text;
  }
  bool Equals(const std::string& text) const {
    std::lock_guard<std::mutex> guard(m_mutex);
    return m_text == text;
  }

 private:
  mutable std::mutex m_mutex;
  std::string m_text;
};

}  // namespace kiv_core
