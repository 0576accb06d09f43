// Receive buffer of one voice stream: packets of 20 ms frames in by RTP sequence number
// as they arrive, one frame out per 20 ms of playout. Jitter is how much later than the
// earliest of the few packets before it a packet arrives (transit time = arrival time
// minus send slot); the target depth covers the largest jitter seen over the last seconds.
// Measuring against near neighbours only keeps a sender whose clock runs slow (or a
// capture that starts slowly) from looking like jitter. When the buffer runs dry playout
// holds (the frame is concealed, the delay grows). A missing frame with later ones queued
// is waited for only as long as packets have been seen to arrive after later ones
// (reordering: bursts and jitter alone keep the order) and while less than the target
// depth is queued behind it; then it is given up: when playout already held for it, that concealed frame took its place
// and the next frame plays at once; else it is concealed now, from the next packet's redundancy when that one is there.
// A buffer that stays deeper than its target sheds frames: one per second when it is one
// frame too deep, faster the deeper it is. Pure logic (no Win32); not thread-safe; time
// in milliseconds of any monotonic clock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <vector>

namespace tessarine {

struct VoiceJitterConfig {
  int floor_frames = 1;    // the smallest target depth
  int max_frames = 25;     // the largest target depth (500 ms)
  int startup_frames = 3;  // target until startup_packets have arrived
  int startup_packets = 25;
  int64_t startup_reorder_ms = 60;  // reordering allowed for until startup_packets arrived
  int64_t history_ms = 10000;       // how far back jitter counts
  int neighbours = 4;               // packets a transit time is compared with
  int shrink_after_pops = 50;       // pops one frame too deep before a frame is shed
};

enum class VoiceFrameKind {
  kSilence,  // not playing yet (nothing buffered to start with)
  kPacket,   // `payload` is the frame's packet
  kFec,      // the frame was lost; `payload` is the next packet, which carries redundancy
  kConceal,  // no data for the frame: conceal it
};

struct VoiceFrame {
  VoiceFrameKind kind = VoiceFrameKind::kSilence;
  std::vector<uint8_t> payload;
  int64_t sequence = -1;  // of a kPacket frame
};

struct VoiceJitterStats {
  int64_t received = 0;
  int64_t late = 0;  // arrived after their frame was played or given up
  int64_t duplicates = 0;
  int64_t lost = 0;       // frames given up
  int64_t recovered = 0;  // of those, rebuilt from redundancy
  int64_t covered = 0;    // of those, whose place a frame concealed while holding took
  int64_t held = 0;       // playout held (delay grew) for a missing frame
  int64_t shed = 0;       // frames dropped to bring the delay down
};

class VoiceJitterBuffer {
 public:
  explicit VoiceJitterBuffer(VoiceJitterConfig config = {});

  // False for an empty payload, a duplicate, or a packet whose frame is already past.
  bool Put(uint16_t sequence, const uint8_t* payload, size_t bytes, int64_t arrival_ms);
  // The next 20 ms frame of playout.
  VoiceFrame Pop();
  // Forgets everything (a new sender).
  void Reset();

  [[nodiscard]] int target_frames() const { return target_; }
  // The largest jitter and the largest reordering delay of the history, in ms.
  [[nodiscard]] int64_t jitter_ms() const { return jitter_ms_; }
  [[nodiscard]] int64_t reorder_ms() const { return reorder_ms_; }
  // Frames from the next one to play to the newest received, both included.
  [[nodiscard]] int depth_frames() const;
  [[nodiscard]] const VoiceJitterStats& stats() const { return stats_; }

 private:
  int64_t Unwrap(uint16_t sequence) const;
  void NoteTransit(int64_t sequence, int64_t arrival_ms);
  void UpdateTarget();
  void NoteReorder(int64_t sequence, int64_t arrival_ms);
  [[nodiscard]] int64_t ReorderAllowanceMs() const;
  bool ShedIfTooDeep();

  VoiceJitterConfig config_;
  std::map<int64_t, std::vector<uint8_t>> packets_;
  bool have_any_ = false;
  bool playing_ = false;
  int64_t next_ = 0;     // next frame to play
  int64_t highest_ = 0;  // newest frame received
  int target_;
  int too_deep_pops_ = 0;
  int waiting_pops_ = 0;   // pops spent on a missing frame with later ones queued
  int held_for_next_ = 0;  // concealed frames played while the next frame was missing
  int64_t jitter_ms_ = 0;
  int64_t reorder_ms_ = 0;  // the largest delay of a packet behind a later one, in the history
  struct Arrival {
    int64_t sequence;
    int64_t arrival_ms;
  };
  std::deque<Arrival> arrivals_;         // the last packets, for reordering
  std::deque<int64_t> recent_transits_;  // of the last `neighbours` packets
  struct Jitter {
    int64_t arrival_ms;
    int64_t jitter_ms;
  };
  std::deque<Jitter> jitters_;
  std::deque<Jitter> reorders_;
  VoiceJitterStats stats_;
};

}  // namespace tessarine
