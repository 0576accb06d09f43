// Carries remote audio streams' wanted states out at the framework, one thread at a time:
// a request records what it wants on its stream and asks for the change here; the thread
// that finds nobody at work makes the framework calls (with no lock held) for its stream
// and for every stream asked for meanwhile, in the order asked. So the calls of one audio
// (start, stop, sink changes) never overlap or reorder, and nothing waits under a lock for
// a framework call that itself waits for an audio frame in an observer.
#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

namespace kiv_core {

class RemoteAudioStream;

class RemoteAudioChanges {
 public:
  // The stream's own result when this thread made its change; 0 when a thread already at
  // work takes it over.
  int Apply(const std::shared_ptr<RemoteAudioStream>& stream);
  // Returns once no other thread is at work.
  void WaitIdle();

 private:
  std::mutex m_mutex;
  std::condition_variable m_idle;
  bool m_busy = false;
  std::thread::id m_worker;
  std::deque<std::shared_ptr<RemoteAudioStream>> m_pending;
};

}  // namespace kiv_core
