// A callback slot that owns its callbacks: a replaced callback is destroyed once no call on
// it can still run on another thread, outside every lock.
#pragma once

#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "base/system/callback_slot.h"

namespace ZORVANTE {

template <class T, class Owner = std::unique_ptr<T>>
class OwnedCallbackSlot {
 public:
  OwnedCallbackSlot() = default;
  ~OwnedCallbackSlot() { Replace(Owner()); }
  OwnedCallbackSlot(const OwnedCallbackSlot&) = delete;
  OwnedCallbackSlot& operator=(const OwnedCallbackSlot&) = delete;

  // Takes the callback (null clears); returns once the replaced one is gone.
  void Replace(Owner owner) {
    T* target = owner.get();
    if (target) {
      std::lock_guard<std::mutex> guard(m_mutex);
      m_owners.push_back(std::move(owner));
    }
    T* old = m_slot.Set(target);
    if (old && old != target) Drop(old);
  }

  template <class Fn>
  bool Call(Fn&& fn) {
    return m_slot.Call(std::forward<Fn>(fn));
  }

  // For information only: never call through it.
  T* Peek() const { return m_slot.Peek(); }

 private:
  void Drop(T* callback) {
    Owner dropped;
    {
      std::lock_guard<std::mutex> guard(m_mutex);
      for (auto it = m_owners.begin(); it != m_owners.end(); ++it) {
        if (it->get() == callback) {
          dropped = std::move(*it);
          m_owners.erase(it);
          break;
        }
      }
    }
  }

  CallbackSlot<T> m_slot;
  std::mutex m_mutex;
  std::vector<Owner> m_owners;
};

}  // namespace ZORVANTE
