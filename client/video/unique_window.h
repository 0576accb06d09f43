// RAII owner of a native window handle: DestroyWindow when it goes.
#pragma once

#include <windows.h>

class UniqueWindow {
 public:
  UniqueWindow() = default;
  explicit UniqueWindow(HWND hwnd) : m_hwnd(hwnd) {}
  UniqueWindow(const UniqueWindow&) = delete;
  UniqueWindow& operator=(const UniqueWindow&) = delete;
  UniqueWindow(UniqueWindow&& other) noexcept : m_hwnd(other.m_hwnd) { other.m_hwnd = nullptr; }
  UniqueWindow& operator=(UniqueWindow&& other) noexcept {
    if (this != &other) {
      Reset();
      m_hwnd = other.m_hwnd;
      other.m_hwnd = nullptr;
    }
    return *this;
  }
  ~UniqueWindow() { Reset(); }

  void Reset(HWND hwnd = nullptr) {
    if (m_hwnd && ::IsWindow(m_hwnd)) ::DestroyWindow(m_hwnd);
    m_hwnd = hwnd;
  }
  HWND get() const { return m_hwnd; }

 private:
  HWND m_hwnd = nullptr;
};
