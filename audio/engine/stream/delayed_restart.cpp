#include "stream/delayed_restart.h"

#include <algorithm>

#include "audio_lib_log.h"

namespace {
constexpr uint32_t kRestartDelayMs = 5000;
}  // namespace

DelayedRestart::DelayedRestart(AudioDeviceLayer* layer, const char* proc_name) : layer_(layer), proc_name_(proc_name) {}

void DelayedRestart::Schedule(std::function<void()> restart) {
  if (closing_) return;
  pending_ = true;
  VORAX::AutoLock lock(threads_mutex_);
  threads_.erase(std::remove_if(threads_.begin(), threads_.end(),
                                [](const std::unique_ptr<PlatformThread>& t) { return t->Join(0); }),
                 threads_.end());
  threads_.emplace_back(new PlatformThread);
  threads_.back()->Start([this, restart = std::move(restart)] { Run(restart); }, false);
}

void DelayedRestart::Cancel() {
  pending_ = false;
  wake_.Set();
}

void DelayedRestart::BeginClose() {
  closing_ = true;
  wake_.Set();
}

void DelayedRestart::JoinAll() {
  std::vector<std::unique_ptr<PlatformThread>> threads;
  {
    VORAX::AutoLock lock(threads_mutex_);
    threads.swap(threads_);
  }
  threads.clear();  // each joins its thread, which returns at once once woken
}

void DelayedRestart::Run(const std::function<void()>& restart) {
  AudioLibLog("%s, enter.\n", proc_name_);
  // A wake-up left from an earlier Stop must not cut this sleep short.
  if (!closing_ && pending_) {
    wake_.Wait(0);
    if (!closing_ && pending_) layer_->Sleep(kRestartDelayMs, &wake_);
  }
  AudioLibLog("%s, after sleep.\n", proc_name_);
  if (closing_ || !pending_) {
    AudioLibLog("%s, don't need to restart thread, return.\n", proc_name_);
    return;
  }
  restart();
}
