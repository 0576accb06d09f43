// Owner of every stream and media record, under one lock.
#pragma once

#include "base/w_lock.h"

namespace kiv_core {

class StreamManager {
public:
    StreamManager() = default;
    StreamManager(const StreamManager&) = delete;
    StreamManager& operator=(const StreamManager&) = delete;

    // Every stream and every media record goes.
    void DestroyStreams() {}

    ZORVANTE::WLock* Lock() { return &m_lock; }

private:
    ZORVANTE::WLock m_lock;
};

}  // namespace kiv_core
