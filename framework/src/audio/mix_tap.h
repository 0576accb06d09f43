// The mix tap of an audio device: what it captures and what it plays, added together.
// Captured frames arrive on the capture thread and played frames on the render thread;
// while the device plays, each played frame takes the oldest waiting captured frame
// (silence when none waits), and while it does not play, every captured frame is a mix
// frame on its own. Thread-safe. Pure logic (no Win32).
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

namespace tessarine {

class MixTap {
 public:
  // Captured frames waiting for a played frame, at most (older ones are dropped).
  static constexpr size_t kMaxWaitingFrames = 10;

  // A captured frame. Returns true with `out` holding a mix frame when the device does
  // not play; otherwise the frame waits for the next played frame.
  bool OnCaptured(const int16_t* pcm, size_t samples, bool playing, std::vector<int16_t>* out);
  // A played frame: `out` becomes it plus the oldest waiting captured frame, sample by
  // sample with saturation, as long as the played frame.
  void OnPlayed(const int16_t* pcm, size_t samples, std::vector<int16_t>* out);
  void Reset();
  [[nodiscard]] size_t waiting() const;

 private:
  mutable std::mutex mutex_;
  std::deque<std::vector<int16_t>> captured_;
};

// a + b clamped to the 16-bit range.
inline int16_t AddSaturated(int32_t a, int32_t b) {
  const int32_t sum = a + b;
  return static_cast<int16_t>(sum > 32767 ? 32767 : (sum < -32768 ? -32768 : sum));
}

}  // namespace tessarine
