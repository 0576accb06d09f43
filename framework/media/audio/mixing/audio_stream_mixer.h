// Playback streams of an audio device (remote users' audio): each queues the PCM written
// to it or pulls 20 ms frames from the voice receiver attached to it, and the render side
// takes the sum of all of them frame by frame. Thread-safe; no callbacks. Pure logic
// (no Win32).
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>

namespace tessarine {

class VoiceStreamReceiver;

struct AudioStreamInfo {
  int32_t level = 0;    // 0-100, of the samples last taken from the stream
  int32_t packets = 0;  // packets received
  int32_t lost = 0;     // packets lost
};

class AudioStreamMixer {
 public:
  // PCM a stream holds at most; writing more drops its oldest samples.
  static constexpr size_t kMaxQueuedSamples = 48000;

  // A new stream's id (never 0).
  int32_t Create();
  bool Remove(int32_t id);
  [[nodiscard]] bool Contains(int32_t id) const;
  [[nodiscard]] size_t size() const;

  // Queues samples on a stream; false when there is no such stream.
  bool Write(int32_t id, const int16_t* pcm, size_t samples);
  // Attaches the receiver the stream plays from (null detaches it); false when there is
  // no such stream.
  bool Attach(int32_t id, std::shared_ptr<VoiceStreamReceiver> voice);
  // Counts a packet received for the stream (and those lost before it).
  bool NotePacket(int32_t id, int32_t lost);
  bool Info(int32_t id, AudioStreamInfo* info) const;

  // Fills `out` with the saturated sum of the next `samples` samples of every stream;
  // a stream short of data takes frames from its receiver, else adds what it has, then
  // silence. Returns how many streams gave samples.
  size_t MixNext(int16_t* out, size_t samples);

 private:
  struct Stream {
    std::deque<int16_t> queued;
    AudioStreamInfo info;
    std::shared_ptr<VoiceStreamReceiver> voice;
  };
  void PullVoice(Stream* stream, size_t samples);

  mutable std::mutex mutex_;
  std::map<int32_t, Stream> streams_;
  int32_t next_id_ = 1;
};

}  // namespace tessarine
