// One callback (function and context) that the library calls on its own threads and
// that its owner may replace or clear at any time: once Set returns, the previous
// callback is not called again (see CallGate). Pure logic (no Win32).
#pragma once

#include <memory>
#include <mutex>

#include "call_gate.h"

namespace tessarine {

template <typename Callbacks>
class CallbackSlot {
 public:
  CallbackSlot() = default;
  CallbackSlot(const CallbackSlot&) = delete;
  CallbackSlot& operator=(const CallbackSlot&) = delete;
  ~CallbackSlot() { Clear(); }

  // Installs `callbacks` (a value-initialised Callbacks means none).
  void Set(const Callbacks& callbacks, bool present) {
    std::shared_ptr<Entry> old;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      old.swap(current_);
      if (present) current_ = std::make_shared<Entry>(callbacks);
    }
    if (old) old->gate.Close();
  }
  void Clear() { Set(Callbacks{}, false); }

  // Calls invoke(callbacks) when a callback is installed; false when none is.
  template <typename Invoke>
  bool Call(Invoke invoke) {
    std::shared_ptr<Entry> entry;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      entry = current_;
    }
    if (!entry) return false;
    GatePass pass(entry->gate);
    if (!pass) return false;
    invoke(entry->callbacks);
    return true;
  }

  [[nodiscard]] bool installed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return current_ != nullptr;
  }

 private:
  struct Entry {
    explicit Entry(const Callbacks& c) : callbacks(c) {}
    const Callbacks callbacks;
    CallGate gate;
  };
  mutable std::mutex mutex_;
  std::shared_ptr<Entry> current_;
};

}  // namespace tessarine
