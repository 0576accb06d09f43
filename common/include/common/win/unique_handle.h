// RAII owner of a Win32 kernel handle.
#pragma once

#include "avcore/platform.h"

namespace tessarine {

class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE h) : h_(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : h_(other.h_) { other.h_ = nullptr; }
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) {
      Reset();
      h_ = other.h_;
      other.h_ = nullptr;
    }
    return *this;
  }
  ~UniqueHandle() { Reset(); }

  void Reset() {
    if (h_) CloseHandle(h_);
    h_ = nullptr;
  }
  HANDLE get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }

 private:
  HANDLE h_ = nullptr;
};

}  // namespace tessarine
