// One change at a time for each key (a media id) of an owner whose mutex guards its tables:
// a change takes the key's turn under that mutex, makes its calls out with no lock held, and
// gives the turn back under the mutex. A change that finds its key taken waits with the
// mutex released. So the calls of two changes of one key never overlap (a publication ends
// before the next one of its id starts), and no lock is held while they run. A thread must
// not take a turn it holds. Pure logic (no Win32).
#pragma once

#include <condition_variable>
#include <mutex>
#include <set>
#include <string>

namespace tessarine {

class KeyedTurns {
 public:
  // Called on a thread about to wait for a turn another thread holds: lets tests see the
  // wait without timing it. Null (the default) for none.
  using WaitObserver = void (*)();
  static void SetWaitObserver(WaitObserver observer);

  KeyedTurns() = default;
  KeyedTurns(const KeyedTurns&) = delete;
  KeyedTurns& operator=(const KeyedTurns&) = delete;

  // `lock` holds the owner's mutex; returns with it held and the turn of `key` taken.
  void Take(std::unique_lock<std::mutex>& lock, const std::string& key);
  // Under the owner's mutex: waits (with it released) until no turn is taken.
  void WaitNone(std::unique_lock<std::mutex>& lock);
  // Under the owner's mutex.
  void Give(const std::string& key);

 private:
  static void NotifyWaiting();

  std::set<std::string> taken_;
  std::condition_variable given_;
};

}  // namespace tessarine
