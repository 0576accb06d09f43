// Threads and auto-reset events of the device engine: Win32 objects on Windows, the C++
// library elsewhere.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

// Auto-reset event. Wait gives kSignalled, kTimeout or kFailed.
class PlatformEvent {
 public:
  enum WaitResult { kSignalled, kTimeout, kFailed };

  PlatformEvent();
  ~PlatformEvent();
  PlatformEvent(const PlatformEvent&) = delete;
  PlatformEvent& operator=(const PlatformEvent&) = delete;

  void Set();
  WaitResult Wait(uint32_t timeout_ms);
  // The Win32 event handle (HANDLE), or null elsewhere.
  void* native_handle() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// One thread; Join waits a bounded time and keeps the thread when it did not end.
class PlatformThread {
 public:
  PlatformThread();
  ~PlatformThread();  // joins without limit if still running
  PlatformThread(const PlatformThread&) = delete;
  PlatformThread& operator=(const PlatformThread&) = delete;

  // Starts `body`; time-critical threads run at THREAD_PRIORITY_TIME_CRITICAL on Windows.
  bool Start(std::function<void()> body, bool time_critical);
  bool running() const;
  // True when the thread ended within `timeout_ms` (or none was started); the thread is
  // then released.
  bool Join(uint32_t timeout_ms);
  // Opaque id for log lines (the handle value on Windows).
  const void* id() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

void SleepMilliseconds(uint32_t ms);
