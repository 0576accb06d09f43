#include "voice_jitter_buffer.h"

#include <algorithm>

namespace tessarine {
namespace {

constexpr int64_t kFrameMs = 20;
// A jump this far from the newest frame is a new sender, not a late or early packet.
constexpr int64_t kRestartDistance = 3000;
constexpr int64_t kClockSlackMs = 2;

}  // namespace

VoiceJitterBuffer::VoiceJitterBuffer(VoiceJitterConfig config)
    : config_(config), target_(std::max(config.floor_frames, config.startup_frames)) {}

void VoiceJitterBuffer::Reset() {
  packets_.clear();
  recent_transits_.clear();
  jitters_.clear();
  jitter_ms_ = 0;
  reorder_ms_ = 0;
  arrivals_.clear();
  reorders_.clear();
  waiting_pops_ = 0;
  held_for_next_ = 0;
  have_any_ = false;
  playing_ = false;
  next_ = highest_ = 0;
  too_deep_pops_ = 0;
  target_ = std::max(config_.floor_frames, config_.startup_frames);
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
  NoteTransit(seq, arrival_ms);
  NoteReorder(seq, arrival_ms);
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

void VoiceJitterBuffer::NoteTransit(int64_t sequence, int64_t arrival_ms) {
  const int64_t transit = arrival_ms - sequence * kFrameMs;
  int64_t earliest = transit;
  for (int64_t t : recent_transits_) earliest = std::min(earliest, t);
  recent_transits_.push_back(transit);
  while (recent_transits_.size() > static_cast<size_t>(std::max(1, config_.neighbours))) {
    recent_transits_.pop_front();
  }
  jitters_.push_back({arrival_ms, transit - earliest});
  while (!jitters_.empty() && jitters_.front().arrival_ms < arrival_ms - config_.history_ms) {
    jitters_.pop_front();
  }
  UpdateTarget();
}

void VoiceJitterBuffer::NoteReorder(int64_t sequence, int64_t arrival_ms) {
  constexpr size_t kRemembered = 64;
  int64_t overtaken_at = arrival_ms;
  for (const Arrival& a : arrivals_) {
    if (a.sequence > sequence) overtaken_at = std::min(overtaken_at, a.arrival_ms);
  }
  arrivals_.push_back({sequence, arrival_ms});
  if (arrivals_.size() > kRemembered) arrivals_.pop_front();
  reorders_.push_back({arrival_ms, arrival_ms - overtaken_at});
  while (!reorders_.empty() && reorders_.front().arrival_ms < arrival_ms - config_.history_ms) {
    reorders_.pop_front();
  }
  reorder_ms_ = 0;
  for (const Jitter& r : reorders_) reorder_ms_ = std::max(reorder_ms_, r.jitter_ms);
}

int64_t VoiceJitterBuffer::ReorderAllowanceMs() const {
  if (stats_.received < config_.startup_packets) return std::max(reorder_ms_, config_.startup_reorder_ms);
  return reorder_ms_;
}

void VoiceJitterBuffer::UpdateTarget() {
  int64_t worst = 0;
  for (const Jitter& j : jitters_) worst = std::max(worst, j.jitter_ms);
  // A jitter within the clock's resolution is none.
  jitter_ms_ = std::max<int64_t>(0, worst - kClockSlackMs);
  int target = static_cast<int>((jitter_ms_ + kFrameMs - 1) / kFrameMs) + config_.floor_frames;
  if (stats_.received < config_.startup_packets) target = std::max(target, config_.startup_frames);
  target_ = std::clamp(target, config_.floor_frames, config_.max_frames);
}

bool VoiceJitterBuffer::ShedIfTooDeep() {
  // Each pop counts the square of how far the buffer is too deep: one frame too many is shed
  // after shrink_after_pops pops, a pile-up (playout slower than the sender) about as fast as
  // it grows.
  const int excess = depth_frames() - (target_ + 1);
  if (excess > 0) {
    too_deep_pops_ += excess * excess;
  } else {
    too_deep_pops_ = 0;
  }
  if (too_deep_pops_ < config_.shrink_after_pops) return false;
  too_deep_pops_ = 0;
  packets_.erase(next_);
  ++next_;
  ++stats_.shed;
  return true;
}

VoiceFrame VoiceJitterBuffer::Pop() {
  VoiceFrame frame;
  if (!playing_) {
    if (packets_.empty() || static_cast<int>(packets_.size()) < target_) return frame;
    playing_ = true;
    next_ = packets_.begin()->first;
  }
  ShedIfTooDeep();
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
    return Pop();
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
