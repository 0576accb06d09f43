// A fixed set of reusable buffers handed from a producer to a consumer thread: free and
// ready lists, each with a semaphore, and a stop event that ends every wait.
#pragma once

#include <windows.h>

#include <list>
#include <memory>

#include "base/system/w_lock.h"
#include "base/system/w_semaphore.h"
#include "base/text/w_flex_buffer.h"
#include "common/win/unique_handle.h"

namespace kiv_core {

class FramePool {
 public:
  FramePool(int count, uint32_t bufferSize);
  ~FramePool();
  FramePool(const FramePool&) = delete;
  FramePool& operator=(const FramePool&) = delete;

  // Null on stop, time-out or failure.
  ZORVANTE::WFlexBuffer* GetFree(DWORD timeoutMs);
  ZORVANTE::WFlexBuffer* GetReady(DWORD timeoutMs);
  // Null is ignored.
  void PutReady(ZORVANTE::WFlexBuffer* buffer);
  void PutFree(ZORVANTE::WFlexBuffer* buffer);
  void SignalStop();
  // Moves every ready buffer back to the free list.
  void ReclaimReady();
  size_t ReadyCount();

 private:
  ZORVANTE::WFlexBuffer* Take(ZORVANTE::WSemaphore& semaphore, ZORVANTE::WLock& lock,
                              std::list<ZORVANTE::WFlexBuffer*>& list, DWORD timeoutMs);
  void Put(ZORVANTE::WSemaphore& semaphore, ZORVANTE::WLock& lock, std::list<ZORVANTE::WFlexBuffer*>& list,
           ZORVANTE::WFlexBuffer* buffer);

  kiv_common::UniqueHandle m_stopEvent;
  int m_stopped = 0;
  ZORVANTE::WLock m_freeLock;
  ZORVANTE::WLock m_readyLock;
  std::list<ZORVANTE::WFlexBuffer*> m_ready;
  std::list<ZORVANTE::WFlexBuffer*> m_free;
  std::list<std::unique_ptr<ZORVANTE::WFlexBuffer>> m_all;
  ZORVANTE::WSemaphore m_readySemaphore;
  ZORVANTE::WSemaphore m_freeSemaphore;
};

}  // namespace kiv_core
