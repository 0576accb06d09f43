// Receive buffer of one voice stream: packets of 20 ms frames in by RTP sequence number
// as they arrive, one frame out per pop. A packet's arrival delay is how much later than
// the earliest of the few packets before it it arrives (transit time = arrival time minus
// send slot): measuring against near neighbours only keeps a sender whose clock runs slow
// (or a capture that starts slowly) from looking like delay. The target covers a high
// quantile of the recent delays (a distribution that forgets), never less than the floor,
// so a rare late burst is concealed, not covered for the seconds after it.
// The playout offset (how far ahead of its slot a packet of no delay arrives, from each
// arrival's place in the queue plus its delay) is kept near the target by the pace that
// comes with each frame: faster (the consumer shortens the frame, or drops it when it is
// quiet) while the offset is a frame above the target, slower (the consumer lengthens it)
// while it is below; so neither bursts that ended nor a playout clock slower or faster than
// the sender's leave a standing excess or run the buffer dry. Only a queue far deeper
// than the target (a stall released at once) sheds whole frames.
// When the buffer runs dry playout holds (the frame is concealed, the offset grows). A
// missing frame with later ones queued is waited for only as long as packets have been
// seen to arrive after later ones (reordering: bursts and jitter alone keep the order) and
// while less than the target depth is queued behind it; then it is given up: when playout
// already held for it, that concealed frame took its place and the next frame plays at
// once; else it is concealed now, from the next packet's redundancy when that one is there.
// Memory and work per packet are bounded whatever the sender does. Pure logic (no Win32);
// not thread-safe; time in milliseconds of any monotonic clock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <vector>

#include "arrival_delay_histogram.h"

namespace tessarine {

struct VoiceJitterConfig {
  int floor_frames = 1;    // the smallest target depth
  int max_frames = 25;     // the largest target depth (500 ms)
  int startup_frames = 3;  // target until startup_packets have arrived
  int startup_packets = 25;
  int64_t startup_reorder_ms = 60;  // reordering allowed for until startup_packets arrived
  int64_t history_ms = 10000;       // how far back reordering counts
  int neighbours = 4;               // packets a transit time is compared with
  double delay_quantile = 0.97;     // of the arrival delays the target covers
  int delay_half_life = 150;        // packets after which a delay weighs half
  int shed_above_frames = 10;       // queued beyond the target: whole frames are shed
};

// How the consumer is to play a frame: as it is, shortened (by about a pitch period, or
// dropped when quiet) or lengthened (by about a pitch period).
enum class VoicePace { kNormal, kFaster, kSlower };

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
  VoicePace pace = VoicePace::kNormal;
};

struct VoiceJitterStats {
  int64_t received = 0;
  int64_t late = 0;  // arrived after their frame was played or given up
  int64_t duplicates = 0;
  int64_t lost = 0;       // frames given up
  int64_t recovered = 0;  // of those, rebuilt from redundancy
  int64_t covered = 0;    // of those, whose place a frame concealed while holding took
  int64_t held = 0;       // playout held (delay grew) for a missing frame
  int64_t dry = 0;        // of those, with nothing newer queued (underruns)
  int64_t shed = 0;       // frames dropped to bring the delay down
  int64_t faster = 0;     // frames handed out to be shortened
  int64_t slower = 0;     // frames handed out to be lengthened
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
  // The playout offset the target asks for and the one measured, in ms.
  [[nodiscard]] int64_t target_ms() const { return target_ms_; }
  [[nodiscard]] double offset_ms() const { return offset_ms_; }
  // The covered quantile of the arrival delays and the largest reordering delay of the
  // history, in ms.
  [[nodiscard]] int64_t jitter_ms() const { return jitter_ms_; }
  [[nodiscard]] int64_t reorder_ms() const { return reorder_ms_; }
  // Frames from the next one to play to the newest received, both included.
  [[nodiscard]] int depth_frames() const;
  [[nodiscard]] const VoiceJitterStats& stats() const { return stats_; }
  // Packets queued, and arrivals remembered for the delay and reordering measures: both
  // bounded whatever the sender does.
  [[nodiscard]] size_t queued_packets() const { return packets_.size(); }
  [[nodiscard]] size_t remembered_arrivals() const { return arrivals_.size() + recent_transits_.size(); }

 private:
  int64_t Unwrap(uint16_t sequence) const;
  int64_t NoteTransit(int64_t sequence, int64_t arrival_ms);
  void UpdateTarget();
  void NoteReorder(int64_t sequence, int64_t arrival_ms);
  void NoteOffset(int64_t offset_ms);
  [[nodiscard]] int64_t ReorderAllowanceMs() const;
  void ShedIfFarTooDeep();
  VoicePace NextPace();
  VoiceFrame PopPlaying();

  VoiceJitterConfig config_;
  std::map<int64_t, std::vector<uint8_t>> packets_;  // at most 2 * max_frames
  bool have_any_ = false;
  bool playing_ = false;
  int64_t next_ = 0;     // next frame to play
  int64_t highest_ = 0;  // newest frame received
  int target_;
  int64_t target_ms_ = 0;
  int waiting_pops_ = 0;   // pops spent on a missing frame with later ones queued
  int held_for_next_ = 0;  // concealed frames played while the next frame was missing
  int64_t jitter_ms_ = 0;
  int64_t reorder_ms_ = 0;  // the largest delay of a packet behind a later one, in the history
  bool have_offset_ = false;
  double offset_ms_ = 0;
  double margin_ms_ = 0;  // added to the target after late arrivals
  VoicePace pace_ = VoicePace::kNormal;
  struct Arrival {
    int64_t sequence;
    int64_t arrival_ms;
  };
  std::deque<Arrival> arrivals_;         // the last 64 packets, for reordering
  std::deque<int64_t> recent_transits_;  // of the last `neighbours` packets
  ArrivalDelayHistogram delays_;
  // The largest reordering delay of each of the last seconds of the history.
  struct SecondMax {
    int64_t second = INT64_MIN;
    int64_t max_ms = 0;
  };
  std::vector<SecondMax> reorders_;
  VoiceJitterStats stats_;
};

}  // namespace tessarine
