// Where the window timers of the program run: the system's timers by default. A test
// puts a clock of its own in their place and moves it on, so that timers fire at once
// and in order instead of after their time. Used on the UI thread only.
#pragma once

#include <windows.h>

namespace DuiLib {

class ITimerClock {
 public:
  virtual ~ITimerClock() = default;
  // Like ::SetTimer without a callback: WM_TIMER with `id` reaches `window` every `elapse` ms.
  virtual bool SetTimer(HWND window, UINT_PTR id, UINT elapse) = 0;
  virtual void KillTimer(HWND window, UINT_PTR id) = 0;
};

// The clock in use: the system's unless one was set.
ITimerClock& TimerClock();
// Null gives the system's clock back.
void SetTimerClock(ITimerClock* clock);

}  // namespace DuiLib
