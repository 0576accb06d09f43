#include "base/system/tick_count.h"

#include <windows.h>

namespace ZORVANTE {

int64_t CounterToMicroseconds(int64_t counter, int64_t frequency) {
  // Split so that counter * 1000000 cannot overflow: with a 10 MHz counter the plain
  // product passes 2^63 after about 10 days of uptime.
  const int64_t seconds = counter / frequency;
  const int64_t rest = counter % frequency;
  return seconds * 1000000 + rest * 1000000 / frequency;
}

int64_t GetTickCountUS() {
  LARGE_INTEGER frequency;
  LARGE_INTEGER counter;
  if (QueryPerformanceFrequency(&frequency) && frequency.QuadPart > 0 && QueryPerformanceCounter(&counter)) {
    return CounterToMicroseconds(counter.QuadPart, frequency.QuadPart);
  }
  return static_cast<int64_t>(GetTickCount()) * 1000;
}

}  // namespace ZORVANTE
