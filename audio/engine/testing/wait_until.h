// Polls a condition in tests, with a deadline in real time.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

inline bool WaitUntil(const std::function<bool()>& condition, int timeout_ms = 10000) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}
