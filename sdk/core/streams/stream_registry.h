// The live streams of one kind by id, for the framework's callbacks: a render or viewer is
// given the stream's id as its callbacks' context, never a pointer, and a callback finds
// the stream through it and owns it for the call. A callback that comes after the stream
// went finds nothing. The lock is held only for the lookup.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

namespace kiv_core {

template <class T>
class StreamRegistry {
 public:
  static uintptr_t NextId() {
    std::lock_guard<std::mutex> guard(Live().mutex);
    return Live().next++;
  }
  static void Add(uintptr_t id, const std::shared_ptr<T>& stream) {
    std::lock_guard<std::mutex> guard(Live().mutex);
    Live().streams[id] = stream;
  }
  static void Remove(uintptr_t id) {
    std::lock_guard<std::mutex> guard(Live().mutex);
    Live().streams.erase(id);
  }
  // The live stream of a callback's context, or null.
  static std::shared_ptr<T> Find(void* context) {
    std::lock_guard<std::mutex> guard(Live().mutex);
    auto found = Live().streams.find(reinterpret_cast<uintptr_t>(context));
    return found == Live().streams.end() ? nullptr : found->second.lock();
  }

 private:
  struct Table {
    std::mutex mutex;
    uintptr_t next = 1;
    std::map<uintptr_t, std::weak_ptr<T>> streams;
  };
  static Table& Live() {
    static Table* table = new Table();  // callbacks may come during static destruction
    return *table;
  }
};

}  // namespace kiv_core
