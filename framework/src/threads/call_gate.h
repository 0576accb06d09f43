// Guards calls out of the library into a receiver that its owner may take away at any
// time: once Close() returns, no call through the gate is in progress on another thread
// and none starts again. A receiver may close its own gate from inside a call (the
// calling thread is not waited for). Pure logic (no Win32).
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace tessarine {

class CallGate {
 public:
  // Called on a thread about to wait in Close() for a call on another thread: lets tests
  // see that a close waits, without timing it. Null (the default) for none.
  using WaitObserver = void (*)();
  static void SetWaitObserver(WaitObserver observer);

  CallGate() = default;
  CallGate(const CallGate&) = delete;
  CallGate& operator=(const CallGate&) = delete;

  // False once closed; otherwise the call may go ahead and must end with Leave().
  [[nodiscard]] bool Enter();
  void Leave();
  // Refuses new calls and waits for calls in progress on other threads.
  void Close();
  [[nodiscard]] bool closed() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable idle_;
  std::vector<std::thread::id> inside_;  // one entry per call in progress
  bool closed_ = false;
};

// Enter/Leave as a scope.
class GatePass {
 public:
  explicit GatePass(CallGate& gate) : gate_(gate), open_(gate.Enter()) {}
  ~GatePass() {
    if (open_) gate_.Leave();
  }
  GatePass(const GatePass&) = delete;
  GatePass& operator=(const GatePass&) = delete;
  explicit operator bool() const { return open_; }

 private:
  CallGate& gate_;
  const bool open_;
};

}  // namespace tessarine
