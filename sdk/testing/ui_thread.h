// A thread that runs a message loop, for code that must live on such a thread.
#pragma once

#include <windows.h>

#include <functional>
#include <thread>

#include "common/win/unique_handle.h"

namespace kiv_test {

class UiThread {
 public:
  UiThread() {
    const kiv_common::UniqueHandle readyEvent(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const HANDLE ready = readyEvent.get();
    m_thread = std::thread([this, ready] {
      MSG msg;
      PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
      m_id = GetCurrentThreadId();
      SetEvent(ready);
      while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (!msg.hwnd && msg.message == kRunMessage) {
          auto* job = reinterpret_cast<Job*>(msg.lParam);
          job->work();
          SetEvent(job->done);
          continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
    });
    WaitForSingleObject(ready, 10000);
  }

  ~UiThread() {
    PostThreadMessageW(m_id, WM_QUIT, 0, 0);
    m_thread.join();
  }

  UiThread(const UiThread&) = delete;
  UiThread& operator=(const UiThread&) = delete;

  // Runs `work` on the thread and waits for it (the test time-out bounds the wait).
  bool Run(const std::function<void()>& work) {
    const kiv_common::UniqueHandle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    Job job{work, done.get()};
    bool ok = PostThreadMessageW(m_id, kRunMessage, 0, reinterpret_cast<LPARAM>(&job)) &&
              WaitForSingleObject(job.done, INFINITE) == WAIT_OBJECT_0;
    return ok;
  }

  // Returns once every message posted before the call has been handled.
  bool Drain() {
    return Run([] {});
  }

  DWORD Id() const { return m_id; }

 private:
  static constexpr UINT kRunMessage = WM_APP + 77;
  struct Job {
    std::function<void()> work;
    HANDLE done;
  };

  std::thread m_thread;
  DWORD m_id = 0;
};

}  // namespace kiv_test
