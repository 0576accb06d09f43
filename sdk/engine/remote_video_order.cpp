#include "engine/remote_video_order.h"

namespace kiv {

void RemoteVideoOrder::Posted(const Video& video) {
  std::lock_guard<std::mutex> guard(m_mutex);
  ++m_pending[video];
}

void RemoteVideoOrder::Done(const Video& video) {
  std::lock_guard<std::mutex> guard(m_mutex);
  auto it = m_pending.find(video);
  if (it == m_pending.end()) return;
  if (--it->second <= 0) m_pending.erase(it);
}

bool RemoteVideoOrder::QueueBehindPending(const Video& video) {
  std::lock_guard<std::mutex> guard(m_mutex);
  auto it = m_pending.find(video);
  if (it == m_pending.end()) return false;
  ++it->second;
  return true;
}

}  // namespace kiv
