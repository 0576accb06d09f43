// Owner of a GDI object freed by DeleteObject: a font, bitmap, brush, pen or region.
#pragma once

#include <windows.h>

#include <utility>

namespace kiv_common {

template <class Handle>
class UniqueGdiObject {
 public:
  UniqueGdiObject() = default;
  explicit UniqueGdiObject(Handle h) : h_(h) {}
  UniqueGdiObject(const UniqueGdiObject&) = delete;
  UniqueGdiObject& operator=(const UniqueGdiObject&) = delete;
  UniqueGdiObject(UniqueGdiObject&& other) noexcept : h_(std::exchange(other.h_, nullptr)) {}
  UniqueGdiObject& operator=(UniqueGdiObject&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.h_, nullptr));
    return *this;
  }
  ~UniqueGdiObject() { Reset(); }

  // Deletes what is held and takes `h`.
  void Reset(Handle h = nullptr) {
    if (h_) ::DeleteObject(h_);
    h_ = h;
  }
  Handle get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }

 private:
  Handle h_ = nullptr;
};

}  // namespace kiv_common
