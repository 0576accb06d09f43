#include "audio_lib_log.h"

#include <atomic>
#include <cstdint>

namespace {
// Kept as an integer: an atomic of the callback type loses va_list's attributes on mingw.
std::atomic<std::uintptr_t> g_callback{0};
}  // namespace

void SetAudioLibLogCallback(AudioLibLogCallback callback) {
  g_callback.store(reinterpret_cast<std::uintptr_t>(callback), std::memory_order_release);
}

AudioLibLogCallback GetAudioLibLogCallback() {
  return reinterpret_cast<AudioLibLogCallback>(g_callback.load(std::memory_order_acquire));
}

int AudioLibLog(const char* format, ...) {
  AudioLibLogCallback callback = GetAudioLibLogCallback();
  if (callback == nullptr || format == nullptr) return 0;
  va_list args;
  va_start(args, format);
  callback(format, args);
  va_end(args);
  return 1;
}
