#include "protocol/media/h264_packetizer.h"

#include <algorithm>

#include "protocol/media/byte_io.h"

namespace kiv_media {
namespace {

constexpr uint8_t kStartCode[] = {0, 0, 0, 1};

// Offset just past the next start code at or after `from`, or size when none; *code_at
// gets where the start code began.
size_t NextStart(const uint8_t* data, size_t size, size_t from, size_t* code_at) {
  for (size_t i = from; i + 3 <= size; ++i) {
    if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) {
      *code_at = (i > from && data[i - 1] == 0) ? i - 1 : i;
      return i + 3;
    }
  }
  *code_at = size;
  return size;
}

}  // namespace

std::vector<NalSpan> SplitAnnexB(const uint8_t* data, size_t size) {
  std::vector<NalSpan> nals;
  if (data == nullptr) return nals;
  size_t code_at = 0;
  size_t start = NextStart(data, size, 0, &code_at);
  while (start < size) {
    size_t next_code = 0;
    const size_t next = NextStart(data, size, start, &next_code);
    if (next_code > start) nals.push_back(NalSpan{data + start, next_code - start});
    start = next;
  }
  return nals;
}

std::vector<std::vector<uint8_t>> PacketizeH264(const std::vector<NalSpan>& nals, size_t mtu) {
  std::vector<std::vector<uint8_t>> payloads;
  if (mtu < 3) return payloads;
  for (const NalSpan& nal : nals) {
    if (nal.size == 0) continue;
    if (nal.size <= mtu) {
      payloads.emplace_back(nal.data, nal.data + nal.size);
      continue;
    }
    const uint8_t indicator = static_cast<uint8_t>((nal.data[0] & 0xE0) | kNalFuA);
    const uint8_t type = nal.data[0] & 0x1F;
    const size_t chunk = mtu - 2;
    for (size_t offset = 1; offset < nal.size; offset += chunk) {
      const size_t n = std::min(chunk, nal.size - offset);
      std::vector<uint8_t> p;
      p.reserve(n + 2);
      p.push_back(indicator);
      uint8_t header = type;
      if (offset == 1) header |= 0x80;
      if (offset + n == nal.size) header |= 0x40;
      p.push_back(header);
      p.insert(p.end(), nal.data + offset, nal.data + offset + n);
      payloads.push_back(std::move(p));
    }
  }
  return payloads;
}

void H264Depacketizer::Reset() { *this = H264Depacketizer(); }

void H264Depacketizer::Discard() {
  if (in_frame_) ++counters_.broken_frames;
  in_frame_ = false;
  frame_broken_ = false;
  in_fragment_ = false;
  frame_keyframe_ = false;
  frame_.clear();
}

void H264Depacketizer::AppendNal(const uint8_t* data, size_t size) {
  frame_.insert(frame_.end(), kStartCode, kStartCode + 4);
  frame_.insert(frame_.end(), data, data + size);
  if ((data[0] & 0x1F) == kNalIdr) frame_keyframe_ = true;
}

// False for a payload that is not valid RFC 6184.
bool H264Depacketizer::Append(const uint8_t* p, size_t size) {
  if (size == 0 || (p[0] & 0x80) != 0) return false;  // forbidden zero bit
  const uint8_t type = p[0] & 0x1F;
  if (type >= 1 && type <= 23) {
    if (in_fragment_) frame_broken_ = true;  // a fragment never ended
    in_fragment_ = false;
    AppendNal(p, size);
    return true;
  }
  if (type == kNalStapA) {
    size_t offset = 1;
    if (offset == size) return false;
    while (offset < size) {
      if (size - offset < 2) return false;
      const size_t n = Read16(p + offset);
      offset += 2;
      if (n == 0 || n > size - offset || (p[offset] & 0x80) != 0) return false;
      AppendNal(p + offset, n);
      offset += n;
    }
    return true;
  }
  if (type == kNalFuA) {
    if (size < 3) return false;
    const uint8_t header = p[1];
    const bool start = (header & 0x80) != 0;
    const bool end = (header & 0x40) != 0;
    const uint8_t nal_type = header & 0x1F;
    if ((start && end) || nal_type == 0 || nal_type >= kNalStapA) return false;
    if (start) {
      if (in_fragment_) frame_broken_ = true;
      const uint8_t nal_header = static_cast<uint8_t>((p[0] & 0xE0) | nal_type);
      frame_.insert(frame_.end(), kStartCode, kStartCode + 4);
      frame_.push_back(nal_header);
      if (nal_type == kNalIdr) frame_keyframe_ = true;
      in_fragment_ = true;
    } else if (!in_fragment_) {
      frame_broken_ = true;  // its start was lost
      return true;
    }
    frame_.insert(frame_.end(), p + 2, p + size);
    if (end) in_fragment_ = false;
    return true;
  }
  return false;
}

H264Depacketizer::Result H264Depacketizer::Push(const RtpView& packet, AccessUnit* out) {
  const RtpHeader& h = packet.header;
  if (have_sequence_) {
    const int16_t delta = static_cast<int16_t>(h.sequence - static_cast<uint16_t>(last_sequence_ + 1));
    if (delta < 0) {
      ++counters_.late;
      return Result::kDropped;
    }
    if (delta > 0) {
      // Lost packets: the frame in progress and the pictures referring to it are gone.
      if (in_frame_) frame_broken_ = true;
      waiting_keyframe_ = true;
    }
  }
  have_sequence_ = true;
  last_sequence_ = h.sequence;

  if (in_frame_ && h.timestamp != frame_timestamp_) {
    Discard();  // its last packet never came
    waiting_keyframe_ = true;
  }
  if (!in_frame_) {
    in_frame_ = true;
    frame_timestamp_ = h.timestamp;
  }
  if (!Append(packet.payload, packet.payload_size)) {
    ++counters_.malformed;
    frame_broken_ = true;
    waiting_keyframe_ = true;
  }
  if (frame_.size() > kMaxAccessUnit) {
    ++counters_.malformed;
    frame_broken_ = true;
    frame_.clear();
  }
  if (!h.marker) return Result::kPending;

  const bool usable = !frame_broken_ && !in_fragment_ && !frame_.empty() && (!waiting_keyframe_ || frame_keyframe_);
  if (!usable) {
    // Broken, or intact but referring to a lost picture.
    waiting_keyframe_ = waiting_keyframe_ || frame_broken_ || in_fragment_;
    Discard();
    return Result::kDropped;
  }
  out->annexb.swap(frame_);
  out->timestamp = frame_timestamp_;
  out->keyframe = frame_keyframe_;
  waiting_keyframe_ = false;
  ++counters_.frames;
  frame_.clear();
  in_frame_ = false;
  frame_keyframe_ = false;
  return Result::kFrame;
}

}  // namespace kiv_media
