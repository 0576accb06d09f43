// Owners of GDI objects: one freed by DeleteObject (a font, bitmap, brush, pen or region), and a
// memory DC that puts back its original bitmap before DeleteDC.
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

// A memory DC with one bitmap selected into it; the bitmap is owned too.
class MemoryDcWithBitmap {
 public:
  MemoryDcWithBitmap() = default;
  MemoryDcWithBitmap(const MemoryDcWithBitmap&) = delete;
  MemoryDcWithBitmap& operator=(const MemoryDcWithBitmap&) = delete;
  ~MemoryDcWithBitmap() { Reset(); }

  // Replaces what is held by a DC compatible with `reference` holding `bitmap`.
  bool Reset(HDC reference, HBITMAP bitmap) {
    Reset();
    if (!bitmap) return false;
    dc_ = ::CreateCompatibleDC(reference);
    bitmap_.Reset(bitmap);
    if (!dc_) return false;
    old_ = ::SelectObject(dc_, bitmap);
    return true;
  }
  void Reset() {
    if (dc_) {
      ::SelectObject(dc_, old_);
      ::DeleteDC(dc_);
    }
    dc_ = nullptr;
    old_ = nullptr;
    bitmap_.Reset();
  }
  HDC dc() const { return dc_; }

 private:
  HDC dc_ = nullptr;
  HGDIOBJ old_ = nullptr;
  UniqueGdiObject<HBITMAP> bitmap_;  // released after the DC lets go of it
};

}  // namespace kiv_common
