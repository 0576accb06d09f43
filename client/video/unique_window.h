// RAII owner of a native window handle: DestroyWindow when it goes.
#pragma once

#include <windows.h>

class UniqueWindow {
 public:
  UniqueWindow() = default;
  explicit UniqueWindow(HWND hwnd) : hwnd_(hwnd) {}
  UniqueWindow(const UniqueWindow&) = delete;
  UniqueWindow& operator=(const UniqueWindow&) = delete;
  UniqueWindow(UniqueWindow&& other) noexcept : hwnd_(other.hwnd_) { other.hwnd_ = nullptr; }
  UniqueWindow& operator=(UniqueWindow&& other) noexcept {
    if (this != &other) {
      Reset();
      hwnd_ = other.hwnd_;
      other.hwnd_ = nullptr;
    }
    return *this;
  }
  ~UniqueWindow() { Reset(); }

  void Reset(HWND hwnd = nullptr) {
    if (hwnd_ && ::IsWindow(hwnd_)) ::DestroyWindow(hwnd_);
    hwnd_ = hwnd;
  }
  HWND get() const { return hwnd_; }

 private:
  HWND hwnd_ = nullptr;
};
