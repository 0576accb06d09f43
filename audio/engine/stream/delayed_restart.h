// A device restart that runs on a thread of its own after five seconds on the device
// layer's clock, unless it is cancelled (Stop) or its owner closes first. Shared by the
// capture and playback classes, which reopen a lost device this way.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "device/audio_device_layer.h"
#include "platform/platform_thread.h"
#include "vorax_mutex.h"

class DelayedRestart {
 public:
  // `proc_name` names the restart procedure in log lines.
  DelayedRestart(AudioDeviceLayer* layer, const char* proc_name);
  DelayedRestart(const DelayedRestart&) = delete;
  DelayedRestart& operator=(const DelayedRestart&) = delete;

  // Starts a thread that waits, then runs `restart` when still pending and not closing.
  void Schedule(std::function<void()> restart);
  // No restart is wanted any more; a waiting thread wakes and returns.
  void Cancel();
  // The device runs again: a waiting thread returns when it wakes.
  void ClearPending() { pending_ = false; }
  // No new restart starts; waiting threads wake. JoinAll then waits for them.
  void BeginClose();
  void JoinAll();

 private:
  void Run(const std::function<void()>& restart);

  AudioDeviceLayer* layer_;
  const char* proc_name_;
  std::atomic<bool> pending_{false};
  std::atomic<bool> closing_{false};
  PlatformEvent wake_;
  VORAX::Mutex threads_mutex_;
  std::vector<std::unique_ptr<PlatformThread>> threads_;
};
