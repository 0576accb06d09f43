// Owner of a Win32 kernel handle (CloseHandle). INVALID_HANDLE_VALUE is held as null, so
// both failure values of the creating functions test false.
#pragma once

#include <windows.h>

#include <utility>

namespace kiv_common {

class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE h) : h_(Valid(h)) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : h_(std::exchange(other.h_, nullptr)) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.h_, nullptr));
    return *this;
  }
  ~UniqueHandle() { Reset(); }

  // Closes what is held and takes `h`.
  void Reset(HANDLE h = nullptr) {
    if (h_) ::CloseHandle(h_);
    h_ = Valid(h);
  }
  HANDLE get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }

 private:
  static HANDLE Valid(HANDLE h) { return h == INVALID_HANDLE_VALUE ? nullptr : h; }

  HANDLE h_ = nullptr;
};

}  // namespace kiv_common
