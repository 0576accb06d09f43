// CPU time of the calling thread: the bench's costs stay comparable on a busy machine.
#pragma once

#include <time.h>

inline double ThreadCpuNs() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e9 + static_cast<double>(t.tv_nsec);
}
