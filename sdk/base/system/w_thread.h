// Worker thread with an overridable body. Subclasses override ThreadProc and return
// when the stop flag or the stop event says so.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "common/win/unique_handle.h"

namespace ZORVANTE {

class WThread {
 public:
  WThread();
  // Closes the stop event and the thread handle: the thread must already be stopped.
  virtual ~WThread();
  WThread(const WThread&) = delete;
  WThread& operator=(const WThread&) = delete;

  // Starts the thread unless one is running. With waitForQueue the call returns once the
  // new thread has a message queue (at most 15 s). `target` runs instead of this object.
  virtual bool StartThread(bool waitForQueue = false, WThread* target = nullptr);
  // When set, the thread deletes its object after ThreadProc; StopThread must not follow.
  virtual void SetAutoDelete(int autoDelete);
  virtual DWORD SuspendThread();
  virtual DWORD ResumeThread();
  virtual BOOL SetPriority(int priority);
  virtual BOOL GetExitCode(DWORD* exitCode);
  // SignalStop, then waits for the thread without time-out and forgets it.
  virtual void StopThread();
  virtual void SignalStop();
  virtual DWORD ThreadProc();
  virtual DWORD GetThreadId();
  virtual bool IsRunning();

 protected:
  bool StopRequested() const { return m_stop != 0; }
  HANDLE StopEvent() const { return m_stopEvent.get(); }
  // Name shown by a debugger; empty means unnamed. Set before StartThread.
  void SetName(const char* name);

 private:
  static unsigned __stdcall ThreadEntry(void* object);

  std::atomic<int32_t> m_autoDelete{0};
  std::atomic<uint32_t> m_exitCode{0};
  std::atomic<int32_t> m_stop{0};
  char m_name[128];
  DWORD m_threadId = 0;
  kiv_common::UniqueHandle m_thread;
  HANDLE m_startEvent = nullptr;  // the starting call's event, not owned
  kiv_common::UniqueHandle m_stopEvent;
};

// Names the calling thread for an attached debugger, and as its description where the
// system keeps one.
void SetThreadName(const char* name);

}  // namespace ZORVANTE
