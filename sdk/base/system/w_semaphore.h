// Counting semaphore; users wait on Handle() directly.
#pragma once

#include <windows.h>

#include "common/win/unique_handle.h"

namespace ZORVANTE {

class WSemaphore {
 public:
  WSemaphore(long initialCount, long maximumCount);
  virtual ~WSemaphore();
  WSemaphore(const WSemaphore&) = delete;
  WSemaphore& operator=(const WSemaphore&) = delete;

  // ReleaseSemaphore with that count; false when the count would pass the maximum.
  bool Release(long count);
  HANDLE Handle() const { return m_handle.get(); }

 private:
  kiv_common::UniqueHandle m_handle;
};

}  // namespace ZORVANTE
