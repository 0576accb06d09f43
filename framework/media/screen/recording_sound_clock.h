// Places a recording's sound on the recording's own clock. The sound arrives in blocks
// from the audio device, whose pace need not be real time (a player that falls behind
// under load delivers fewer frames); counted by samples alone, such a track comes out
// shorter than the video and drifts away from the picture. A block that arrives later
// than its samples account for, by more than kSlackMs, gets silence before it; at the end
// the track is filled up to the video's end. Pure logic.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessarine::media {

class RecordingSoundClock {
 public:
  static constexpr uint64_t kSlackMs = 60;  // scheduling jitter let through

  explicit RecordingSoundClock(int sample_rate) : rate_(static_cast<uint64_t>(sample_rate)) {}

  // Frames of silence to write before a block of `frames` that arrived `now_ms` after the
  // start, when `written` frames are in the track.
  [[nodiscard]] uint64_t SilenceBefore(uint64_t written, size_t frames, uint64_t now_ms) const;
  // Frames of silence that bring a track of `written` frames to `end_ms`.
  [[nodiscard]] uint64_t SilenceToEnd(uint64_t written, uint64_t end_ms) const;

 private:
  [[nodiscard]] uint64_t FramesAt(uint64_t ms) const { return ms * rate_ / 1000; }

  uint64_t rate_;
};

}  // namespace tessarine::media
