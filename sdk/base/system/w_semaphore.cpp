#include "base/system/w_semaphore.h"

namespace ZORVANTE {

WSemaphore::WSemaphore(long initialCount, long maximumCount)
    : m_handle(CreateSemaphoreW(nullptr, initialCount, maximumCount, nullptr)) {}

WSemaphore::~WSemaphore() = default;

bool WSemaphore::Release(long count) { return m_handle && ReleaseSemaphore(m_handle.get(), count, nullptr) != FALSE; }

}  // namespace ZORVANTE
