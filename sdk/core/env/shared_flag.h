// A bool that one thread sets while others read it: atomic, yet copyable with the record
// that holds it.
#pragma once

#include <atomic>

namespace kiv_core {

class SharedFlag {
 public:
  SharedFlag(bool value = false) : m_value(value) {}  // NOLINT: converts like the bool it replaces
  SharedFlag(const SharedFlag& other) : m_value(other.m_value.load()) {}
  SharedFlag& operator=(const SharedFlag& other) {
    m_value.store(other.m_value.load());
    return *this;
  }
  SharedFlag& operator=(bool value) {
    m_value.store(value);
    return *this;
  }
  operator bool() const { return m_value.load(); }  // NOLINT

 private:
  std::atomic<bool> m_value;
};

}  // namespace kiv_core
