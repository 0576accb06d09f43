// Owning reference to a COM interface: holds one reference, released when reset, replaced
// or destroyed. Move-only; Share takes a reference of its own.
#pragma once

#include <utility>

namespace kiv_common {

template <typename T>
class ComRef {
 public:
  ComRef() = default;
  // Adopts a reference the caller owns.
  explicit ComRef(T* adopted) : p_(adopted) {}
  ~ComRef() { Reset(); }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  ComRef(ComRef&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComRef& operator=(ComRef&& other) noexcept {
    if (this != &other) {
      Reset();
      p_ = std::exchange(other.p_, nullptr);
    }
    return *this;
  }

  // Releases what is held; null afterwards (already while the release runs).
  void Reset() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  // Takes over a reference the caller owns, after releasing what is held.
  void Attach(T* adopted) {
    Reset();
    p_ = adopted;
  }
  // Holds `p` with a reference of its own (AddRef), after releasing what is held.
  void Share(T* p) {
    if (p) p->AddRef();
    Reset();
    p_ = p;
  }
  // Gives the reference to the caller without releasing it.
  [[nodiscard]] T* Detach() { return std::exchange(p_, nullptr); }

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

  // For out-parameters: releases what is held first.
  T** Receive() {
    Reset();
    return &p_;
  }
  void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }

 private:
  T* p_ = nullptr;
};

}  // namespace kiv_common
