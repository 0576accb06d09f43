#include "base/system/w_semaphore.h"

namespace ZORVANTE {

WSemaphore::WSemaphore(long initialCount, long maximumCount)
    : m_handle(CreateSemaphoreW(nullptr, initialCount, maximumCount, nullptr)) {}

WSemaphore::~WSemaphore() {
    if (m_handle) CloseHandle(m_handle);
}

bool WSemaphore::Release(long count) {
    return m_handle && ReleaseSemaphore(m_handle, count, nullptr) != FALSE;
}

}  // namespace ZORVANTE
