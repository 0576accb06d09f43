#include "voice_jitter_buffer.h"

#include <algorithm>

namespace tessarine {
namespace {

constexpr int64_t kFrameMs = 20;
// A jump this far from the newest frame is a new sender, not a late or early packet.
constexpr int64_t kRestartDistance = 3000;
constexpr int64_t kClockSlackMs = 2;
// Pace: faster once the offset is this far above the target (and the margin that late
// arrivals add to it), until it is back within kFasterUntilMs; slower while it is below,
// until kSlowerUntilMs above it.
constexpr double kFasterAboveMs = 15;
constexpr double kFasterUntilMs = 5;
constexpr double kSlowerUntilMs = 5;
// A packet that arrives just after its slot raises the margin (a playout clock that runs fast
// shows itself so, before the offset measures it); the margin decays by 1 ms a second.
constexpr double kMarginStepMs = 10;
constexpr double kMarginMaxMs = 20;
constexpr double kMarginDecayPerPopMs = 0.02;
// What a shortened or lengthened frame is taken to change the offset by until the next
// arrival measures it (about a pitch period).
constexpr double kPaceStepMs = 5;
// Weight of a new arrival in the offset.
constexpr double kOffsetGain = 1.0 / 8;
constexpr size_t kReorderRemembered = 64;

int64_t FloorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

}  // namespace

VoiceJitterBuffer::VoiceJitterBuffer(VoiceJitterConfig config)
    : config_(config),
      target_(std::max(config.floor_frames, config.startup_frames)),
      delays_(config.delay_half_life),
      reorders_(static_cast<size_t>(std::max<int64_t>(1, (config.history_ms + 999) / 1000))) {
  UpdateTarget();
}

void VoiceJitterBuffer::Reset() {
  packets_.clear();
  recent_transits_.clear();
  delays_.Reset();
  jitter_ms_ = 0;
  reorder_ms_ = 0;
  arrivals_.clear();
  std::fill(reorders_.begin(), reorders_.end(), SecondMax{});
  waiting_pops_ = 0;
  held_for_next_ = 0;
  have_any_ = false;
  playing_ = false;
  have_offset_ = false;
  offset_ms_ = 0;
  pace_ = VoicePace::kNormal;
  next_ = highest_ = 0;
  UpdateTarget();
}

int64_t VoiceJitterBuffer::Unwrap(uint16_t sequence) const {
  if (!have_any_) return sequence;
  const auto delta = static_cast<int16_t>(static_cast<uint16_t>(sequence - static_cast<uint16_t>(highest_)));
  return highest_ + delta;
}

int VoiceJitterBuffer::depth_frames() const {
  if (!have_any_ || !playing_) return static_cast<int>(packets_.size());
  return highest_ >= next_ ? static_cast<int>(highest_ - next_ + 1) : 0;
}

bool VoiceJitterBuffer::Put(uint16_t sequence, const uint8_t* payload, size_t bytes, int64_t arrival_ms) {
  if (payload == nullptr || bytes == 0) return false;
  int64_t seq = Unwrap(sequence);
  if (have_any_ && (seq > highest_ + kRestartDistance || seq < highest_ - kRestartDistance)) {
    Reset();
    seq = sequence;
  }
  if (packets_.count(seq) != 0) {
    ++stats_.duplicates;
    return false;
  }
  ++stats_.received;
  const int64_t delay = NoteTransit(seq, arrival_ms);
  NoteReorder(seq, arrival_ms);
  if (playing_) {
    NoteOffset((seq - next_) * kFrameMs + delay);
    // Arrived just after its slot (playout held one pop for it): the offset needs more.
    // Later than that is a stall, which is concealed, not covered.
    if (seq == next_ && held_for_next_ == 1) {
      margin_ms_ = std::min(kMarginMaxMs, margin_ms_ + kMarginStepMs);
    }
  }
  if (playing_ && seq < next_) {
    ++stats_.late;
    return false;
  }
  packets_.emplace(seq, std::vector<uint8_t>(payload, payload + bytes));
  highest_ = have_any_ ? std::max(highest_, seq) : seq;
  have_any_ = true;
  // Never hold more than twice the largest target: the oldest frames go first.
  while (packets_.size() > static_cast<size_t>(2 * config_.max_frames)) {
    if (playing_) next_ = std::max(next_, packets_.begin()->first + 1);
    packets_.erase(packets_.begin());
    ++stats_.shed;
  }
  return true;
}

int64_t VoiceJitterBuffer::NoteTransit(int64_t sequence, int64_t arrival_ms) {
  const int64_t transit = arrival_ms - sequence * kFrameMs;
  int64_t earliest = transit;
  for (int64_t t : recent_transits_) earliest = std::min(earliest, t);
  recent_transits_.push_back(transit);
  while (recent_transits_.size() > static_cast<size_t>(std::max(1, config_.neighbours))) {
    recent_transits_.pop_front();
  }
  const int64_t delay = transit - earliest;
  delays_.Add(delay);
  UpdateTarget();
  return delay;
}

void VoiceJitterBuffer::NoteReorder(int64_t sequence, int64_t arrival_ms) {
  int64_t overtaken_at = arrival_ms;
  for (const Arrival& a : arrivals_) {
    if (a.sequence > sequence) overtaken_at = std::min(overtaken_at, a.arrival_ms);
  }
  arrivals_.push_back({sequence, arrival_ms});
  if (arrivals_.size() > kReorderRemembered) arrivals_.pop_front();
  // One slot per second of the history: this second's slot keeps its largest delay.
  const int64_t second = FloorDiv(arrival_ms, 1000);
  const auto slots = static_cast<int64_t>(reorders_.size());
  SecondMax& slot = reorders_[static_cast<size_t>(((second % slots) + slots) % slots)];
  if (slot.second != second) slot = SecondMax{second, 0};
  slot.max_ms = std::max(slot.max_ms, arrival_ms - overtaken_at);
  reorder_ms_ = 0;
  for (const SecondMax& s : reorders_) {
    if (s.second > second - slots) reorder_ms_ = std::max(reorder_ms_, s.max_ms);
  }
}

void VoiceJitterBuffer::NoteOffset(int64_t offset_ms) {
  if (!have_offset_) {
    offset_ms_ = static_cast<double>(offset_ms);
    have_offset_ = true;
    return;
  }
  offset_ms_ += (static_cast<double>(offset_ms) - offset_ms_) * kOffsetGain;
}

int64_t VoiceJitterBuffer::ReorderAllowanceMs() const {
  if (stats_.received < config_.startup_packets) return std::max(reorder_ms_, config_.startup_reorder_ms);
  return reorder_ms_;
}

void VoiceJitterBuffer::UpdateTarget() {
  // A delay within the clock's resolution is none.
  jitter_ms_ = delays_.empty() ? 0 : std::max<int64_t>(0, delays_.Quantile(config_.delay_quantile) - kClockSlackMs);
  int64_t wanted = std::max<int64_t>(jitter_ms_, (config_.floor_frames - 1) * kFrameMs);
  if (stats_.received < config_.startup_packets) {
    wanted = std::max<int64_t>(wanted, (config_.startup_frames - 1) * kFrameMs);
  }
  wanted = std::min<int64_t>(wanted, (config_.max_frames - 1) * kFrameMs);
  target_ms_ = wanted;
  const int target = 1 + static_cast<int>((wanted + kFrameMs - 1) / kFrameMs);
  target_ = std::clamp(target, config_.floor_frames, config_.max_frames);
}

void VoiceJitterBuffer::ShedIfFarTooDeep() {
  if (depth_frames() <= target_ + config_.shed_above_frames || packets_.count(next_) == 0) return;
  packets_.erase(next_);
  ++next_;
  ++stats_.shed;
  offset_ms_ -= kFrameMs;
}

VoicePace VoiceJitterBuffer::NextPace() {
  margin_ms_ = std::max(0.0, margin_ms_ - kMarginDecayPerPopMs);
  if (!have_offset_) return VoicePace::kNormal;
  const double above = offset_ms_ - static_cast<double>(target_ms_) - margin_ms_;
  switch (pace_) {
    case VoicePace::kFaster:
      if (above <= kFasterUntilMs) pace_ = VoicePace::kNormal;
      break;
    case VoicePace::kSlower:
      if (above >= kSlowerUntilMs) pace_ = VoicePace::kNormal;
      break;
    case VoicePace::kNormal:
      if (above > kFasterAboveMs) {
        pace_ = VoicePace::kFaster;
      } else if (above < 0) {
        pace_ = VoicePace::kSlower;
      }
      break;
  }
  if (pace_ == VoicePace::kFaster) {
    offset_ms_ -= kPaceStepMs;
    ++stats_.faster;
  } else if (pace_ == VoicePace::kSlower) {
    offset_ms_ += kPaceStepMs;
    ++stats_.slower;
  }
  return pace_;
}

VoiceFrame VoiceJitterBuffer::Pop() {
  VoiceFrame frame;
  if (!playing_) {
    if (packets_.empty() || static_cast<int>(packets_.size()) < target_) return frame;
    playing_ = true;
    next_ = packets_.begin()->first;
  }
  ShedIfFarTooDeep();
  frame = PopPlaying();
  if (frame.kind != VoiceFrameKind::kConceal || highest_ >= next_) frame.pace = NextPace();
  return frame;
}

VoiceFrame VoiceJitterBuffer::PopPlaying() {
  VoiceFrame frame;
  auto it = packets_.find(next_);
  if (it != packets_.end()) {
    waiting_pops_ = 0;
    held_for_next_ = 0;
    frame.kind = VoiceFrameKind::kPacket;
    frame.sequence = next_;
    frame.payload = std::move(it->second);
    packets_.erase(it);
    ++next_;
    return frame;
  }
  frame.kind = VoiceFrameKind::kConceal;
  // Nothing newer: the buffer ran dry; hold playout.
  if (highest_ < next_) {
    ++stats_.held;
    ++stats_.dry;
    ++held_for_next_;
    return frame;
  }
  // Newer frames are queued: this one may still come while packets have been seen that
  // late behind later ones (a later frame arrived at most 20 ms before the first wait)
  // and the target depth is not queued behind it.
  ++waiting_pops_;
  if (waiting_pops_ * kFrameMs <= ReorderAllowanceMs() && highest_ - next_ < target_) {
    ++stats_.held;
    ++held_for_next_;
    return frame;
  }
  waiting_pops_ = 0;
  ++stats_.lost;
  ++next_;
  if (held_for_next_ > 0) {
    // A frame concealed while holding already stood in for the lost one.
    held_for_next_ = 0;
    ++stats_.covered;
    --stats_.held;
    return PopPlaying();
  }
  auto following = packets_.find(next_);
  if (following != packets_.end()) {
    frame.kind = VoiceFrameKind::kFec;
    frame.payload = following->second;
    ++stats_.recovered;
  }
  return frame;
}

}  // namespace tessarine
