// Owning reference to one of the framework's interfaces: released when reset or destroyed.
#pragma once

#include <utility>

namespace kiv_core {

template <typename T>
class FrameworkRef {
 public:
  FrameworkRef() = default;
  ~FrameworkRef() { Reset(); }
  FrameworkRef(const FrameworkRef&) = delete;
  FrameworkRef& operator=(const FrameworkRef&) = delete;
  FrameworkRef(FrameworkRef&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
  FrameworkRef& operator=(FrameworkRef&& other) noexcept {
    if (this != &other) {
      Reset();
      m_p = std::exchange(other.m_p, nullptr);
    }
    return *this;
  }

  // Releases what is held; null afterwards.
  void Reset() {
    if (T* p = std::exchange(m_p, nullptr)) p->Release();
  }
  // Takes over a reference the caller owns (after releasing what is held).
  void Attach(T* p) {
    Reset();
    m_p = p;
  }
  // Gives the reference back to the caller without releasing it.
  T* Detach() { return std::exchange(m_p, nullptr); }

  T* get() const { return m_p; }
  T* operator->() const { return m_p; }
  explicit operator bool() const { return m_p != nullptr; }

  // For out-parameters: releases what is held first.
  T** Receive() {
    Reset();
    return &m_p;
  }
  void** ReceiveVoid() { return reinterpret_cast<void**>(Receive()); }

 private:
  T* m_p = nullptr;
};

}  // namespace kiv_core
