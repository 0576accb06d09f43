#include "core/streams/remote_audio_changes.h"

#include "base/system/callback_slot.h"

#include "core/streams/remote_audio_stream.h"
#include "kiv_error.h"

namespace kiv_core {

int RemoteAudioChanges::Apply(const std::shared_ptr<RemoteAudioStream>& stream) {
  if (!stream) return ERR_FAILED;
  std::unique_lock<std::mutex> lock(m_mutex);
  if (m_busy) {
    m_pending.push_back(stream);
    return ERR_OK;
  }
  m_busy = true;
  m_worker = std::this_thread::get_id();
  lock.unlock();
  const int result = stream->ApplyWanted();
  lock.lock();
  while (!m_pending.empty()) {
    std::shared_ptr<RemoteAudioStream> next = std::move(m_pending.front());
    m_pending.pop_front();
    lock.unlock();
    (void)next->ApplyWanted();
    next.reset();  // a stream taken out of its table goes here, with no lock held
    lock.lock();
  }
  m_busy = false;
  m_worker = std::thread::id();
  lock.unlock();
  m_idle.notify_all();
  return result;
}

void RemoteAudioChanges::WaitIdle() {
  std::unique_lock<std::mutex> lock(m_mutex);
  if (!m_busy || m_worker == std::this_thread::get_id()) return;
  ZORVANTE::CallsInFlight::NotifyWaiting();
  m_idle.wait(lock, [this] { return !m_busy; });
}

}  // namespace kiv_core
