// A list of (receiver, context) pairs that the library calls on its own threads. No lock
// is held while a receiver runs, and once Remove returns that receiver is not called
// again (see CallGate). Pure logic (no Win32).
#pragma once

#include <algorithm>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "call_gate.h"

namespace tessarine {

template <typename Receiver>
class SinkList {
 public:
  SinkList() = default;
  SinkList(const SinkList&) = delete;
  SinkList& operator=(const SinkList&) = delete;
  ~SinkList() { Clear(); }

  // Lists `receiver`; one already listed keeps its place and takes the new context.
  // False for a null receiver.
  bool Add(Receiver* receiver, void* context) {
    if (receiver == nullptr) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& entry : entries_) {
      if (entry->receiver == receiver) {
        entry->context = context;
        return true;
      }
    }
    entries_.push_back(std::make_shared<Entry>(receiver, context));
    return true;
  }

  // True when `receiver` was listed. Either way it is not called after this returns.
  bool Remove(Receiver* receiver) {
    std::shared_ptr<Entry> removed;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      auto it = std::find_if(entries_.begin(), entries_.end(),
                             [&](const std::shared_ptr<Entry>& e) { return e->receiver == receiver; });
      if (it == entries_.end()) return false;
      removed = *it;
      entries_.erase(it);
    }
    removed->gate.Close();
    return true;
  }

  void Clear() {
    std::vector<std::shared_ptr<Entry>> removed;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      removed.swap(entries_);
    }
    for (auto& entry : removed) entry->gate.Close();
  }

  // Calls fn(receiver, context) for every listed receiver, in the order they were added.
  template <typename Fn>
  void ForEach(Fn fn) {
    std::vector<std::pair<std::shared_ptr<Entry>, void*>> snapshot;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (entries_.empty()) return;
      snapshot.reserve(entries_.size());
      for (auto& entry : entries_) snapshot.emplace_back(entry, entry->context);
    }
    for (auto& [entry, context] : snapshot) {
      GatePass pass(entry->gate);
      if (pass) fn(entry->receiver, context);
    }
  }

  [[nodiscard]] bool empty() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_.empty();
  }

 private:
  struct Entry {
    Entry(Receiver* r, void* c) : receiver(r), context(c) {}
    Receiver* const receiver;
    void* context;  // guarded by the list's mutex
    CallGate gate;
  };

  mutable std::mutex mutex_;
  std::vector<std::shared_ptr<Entry>> entries_;
};

}  // namespace tessarine
