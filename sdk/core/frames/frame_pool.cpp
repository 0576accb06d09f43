#include "core/frames/frame_pool.h"

namespace kiv_core {

FramePool::FramePool(int count, uint32_t bufferSize) : m_readySemaphore(0, count), m_freeSemaphore(count, count) {
  m_stopEvent.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  for (int i = 0; i < count; ++i) {
    m_all.push_back(std::make_unique<ZORVANTE::WFlexBuffer>(bufferSize));
    m_free.push_back(m_all.back().get());
  }
}

FramePool::~FramePool() {
  SignalStop();
  {
    ZORVANTE::WAutoLock guard(&m_readyLock);
    m_ready.clear();
  }
  {
    ZORVANTE::WAutoLock guard(&m_freeLock);
    m_free.clear();
  }
  m_all.clear();
}

ZORVANTE::WFlexBuffer* FramePool::Take(ZORVANTE::WSemaphore& semaphore, ZORVANTE::WLock& lock,
                                       std::list<ZORVANTE::WFlexBuffer*>& list, DWORD timeoutMs) {
  const HANDLE handles[2] = {m_stopEvent.get(), semaphore.Handle()};
  if (WaitForMultipleObjects(2, handles, FALSE, timeoutMs) != WAIT_OBJECT_0 + 1) return nullptr;
  ZORVANTE::WAutoLock guard(&lock);
  if (list.empty()) return nullptr;
  ZORVANTE::WFlexBuffer* buffer = list.front();
  list.pop_front();
  return buffer;
}

void FramePool::Put(ZORVANTE::WSemaphore& semaphore, ZORVANTE::WLock& lock, std::list<ZORVANTE::WFlexBuffer*>& list,
                    ZORVANTE::WFlexBuffer* buffer) {
  if (!buffer) return;
  {
    ZORVANTE::WAutoLock guard(&lock);
    list.push_back(buffer);
  }
  (void)semaphore.Release(1);
}

ZORVANTE::WFlexBuffer* FramePool::GetFree(DWORD timeoutMs) {
  return Take(m_freeSemaphore, m_freeLock, m_free, timeoutMs);
}

ZORVANTE::WFlexBuffer* FramePool::GetReady(DWORD timeoutMs) {
  return Take(m_readySemaphore, m_readyLock, m_ready, timeoutMs);
}

void FramePool::PutReady(ZORVANTE::WFlexBuffer* buffer) { Put(m_readySemaphore, m_readyLock, m_ready, buffer); }

void FramePool::PutFree(ZORVANTE::WFlexBuffer* buffer) { Put(m_freeSemaphore, m_freeLock, m_free, buffer); }

void FramePool::ReclaimReady() {
  while (ZORVANTE::WFlexBuffer* buffer = GetReady(0)) PutFree(buffer);
}

size_t FramePool::ReadyCount() {
  ZORVANTE::WAutoLock guard(&m_readyLock);
  return m_ready.size();
}

void FramePool::SignalStop() {
  if (m_stopEvent) SetEvent(m_stopEvent.get());
  m_stopped = 1;
}

}  // namespace kiv_core
