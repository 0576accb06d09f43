#include "recording_sound_clock.h"

namespace tessarine::media {

uint64_t RecordingSoundClock::SilenceBefore(uint64_t written, size_t frames, uint64_t now_ms) const {
  // The block ends now, so it starts `frames` before now.
  const uint64_t due = FramesAt(now_ms);
  const uint64_t start = due > frames ? due - frames : 0;
  return start > written + FramesAt(kSlackMs) ? start - written : 0;
}

uint64_t RecordingSoundClock::SilenceToEnd(uint64_t written, uint64_t end_ms) const {
  const uint64_t end = FramesAt(end_ms);
  return end > written ? end - written : 0;
}

}  // namespace tessarine::media
