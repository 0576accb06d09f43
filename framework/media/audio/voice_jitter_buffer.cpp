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
  transits_.clear();
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

bool VoiceJitterBuffer::Put(uint16_t sequence, const uint8_t* payload, size_t bytes,
                            int64_t arrival_ms) {
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
  transits_.push_back({arrival_ms, arrival_ms - sequence * kFrameMs});
  while (!transits_.empty() && transits_.front().arrival_ms < arrival_ms - config_.history_ms) {
    transits_.pop_front();
  }
  UpdateTarget();
}

void VoiceJitterBuffer::UpdateTarget() {
  int64_t lo = transits_.front().transit_ms;
  int64_t hi = lo;
  for (const Transit& t : transits_) {
    lo = std::min(lo, t.transit_ms);
    hi = std::max(hi, t.transit_ms);
  }
  // A spread within the clock's resolution is no jitter.
  const int64_t spread = std::max<int64_t>(0, hi - lo - kClockSlackMs);
  int target = static_cast<int>((spread + kFrameMs - 1) / kFrameMs) + config_.floor_frames;
  if (stats_.received < config_.startup_packets) target = std::max(target, config_.startup_frames);
  target_ = std::clamp(target, config_.floor_frames, config_.max_frames);
}

bool VoiceJitterBuffer::ShedIfTooDeep() {
  if (depth_frames() > target_ + 1) {
    ++too_deep_pops_;
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
    frame.kind = VoiceFrameKind::kPacket;
    frame.payload = std::move(it->second);
    packets_.erase(it);
    ++next_;
    return frame;
  }
  frame.kind = VoiceFrameKind::kConceal;
  // Nothing newer, or too few newer frames to give this one up yet: hold playout.
  if (highest_ < next_ || highest_ - next_ < target_) {
    ++stats_.held;
    return frame;
  }
  ++stats_.lost;
  ++next_;
  auto following = packets_.find(next_);
  if (following != packets_.end()) {
    frame.kind = VoiceFrameKind::kFec;
    frame.payload = following->second;
    ++stats_.recovered;
  }
  return frame;
}

}  // namespace tessarine
