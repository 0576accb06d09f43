// What every thread of a stress run is doing: the application's threads, the fake
// framework's threads and the message-window thread each name themselves and mark the
// operation, delivery or wait they are in, so that a stall can be reported by operation.
#pragma once

#include <windows.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kiv_stress {

class Activity {
 public:
  static Activity& Instance();

  // Names the calling thread; `application` threads are the ones a stall is measured on.
  void Enter(const std::string& name, bool application);
  // The calling thread is gone (its slot stays for the report, marked finished).
  void Leave();
  // The operation the calling thread starts; End marks it done.
  void Begin(const std::string& operation);
  void End();
  // What the operation waits for (a fake's waiting call), "" when nothing.
  void Note(const std::string& note);
  // The calling thread's name and operation, "" for a thread that never named itself.
  std::string Current();

  // Milliseconds the oldest operation of an application thread has run; 0 when none runs.
  DWORD OldestApplicationOperation(std::string* which);
  // One line per thread: name, operation and for how long; with `stacks`, each busy
  // thread's call stack.
  std::string Report(bool stacks = false);
  // Forgets finished threads.
  void Prune();

 private:
  struct Slot {
    std::string name;
    bool application = false;
    bool finished = false;
    std::string operation;
    DWORD since = 0;
    bool busy = false;
    std::string note;
    DWORD threadId = 0;
  };
  Slot* Mine();

  std::mutex m_mutex;
  std::vector<std::unique_ptr<Slot>> m_slots;
};

// Marks one operation of the calling thread for its scope.
class ActivityScope {
 public:
  explicit ActivityScope(const std::string& operation) { Activity::Instance().Begin(operation); }
  ~ActivityScope() { Activity::Instance().End(); }
  ActivityScope(const ActivityScope&) = delete;
  ActivityScope& operator=(const ActivityScope&) = delete;
};

}  // namespace kiv_stress
