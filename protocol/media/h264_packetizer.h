// H.264 over RTP (RFC 6184, packetization mode 1): an access unit's NAL units leave as
// single NAL unit packets or, when larger than the MTU, as FU-A fragments; the last
// packet of the access unit carries the marker. The depacketizer also accepts STAP-A.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "protocol/media/rtp_packet.h"

namespace kiv_media {

constexpr size_t kH264Mtu = 1200;  // largest RTP payload
// Largest access unit the depacketizer assembles (a 4K intra frame fits with room).
constexpr size_t kMaxAccessUnit = 4 * 1024 * 1024;

constexpr uint8_t kNalIdr = 5;
constexpr uint8_t kNalSps = 7;
constexpr uint8_t kNalStapA = 24;
constexpr uint8_t kNalFuA = 28;

// The NAL units of an Annex B byte stream (start codes 00 00 01 or 00 00 00 01),
// without their start codes; empty units are left out.
struct NalSpan {
  const uint8_t* data;
  size_t size;
};
std::vector<NalSpan> SplitAnnexB(const uint8_t* data, size_t size);

// RTP payloads of one access unit, in order; the caller sets the marker on the last.
std::vector<std::vector<uint8_t>> PacketizeH264(const std::vector<NalSpan>& nals, size_t mtu = kH264Mtu);

struct AccessUnit {
  std::vector<uint8_t> annexb;  // NAL units with 4-byte start codes
  uint32_t timestamp = 0;
  bool keyframe = false;  // holds an IDR slice
};

struct DepacketizerCounters {
  uint64_t frames = 0;
  uint64_t malformed = 0;      // payloads that are not valid RFC 6184
  uint64_t late = 0;           // duplicate or out-of-order packets, dropped
  uint64_t broken_frames = 0;  // lost a packet, or waited for a keyframe
};

// Assembles access units from packets of one SSRC in arrival order. A sequence gap
// breaks the frame in progress, and every frame after it until a keyframe completes
// (decoding them would show corruption); keyframe_needed() says so, to ask for one.
class H264Depacketizer {
 public:
  enum class Result { kPending, kFrame, kDropped };

  [[nodiscard]] Result Push(const RtpView& packet, AccessUnit* out);
  [[nodiscard]] bool keyframe_needed() const { return waiting_keyframe_; }
  const DepacketizerCounters& counters() const { return counters_; }
  void Reset();

 private:
  bool Append(const uint8_t* payload, size_t size);
  void AppendNal(const uint8_t* data, size_t size);
  void Discard();

  bool have_sequence_ = false;
  uint16_t last_sequence_ = 0;
  bool in_frame_ = false;
  bool frame_broken_ = false;
  bool in_fragment_ = false;
  bool frame_keyframe_ = false;
  bool waiting_keyframe_ = true;  // the first frame must be a keyframe
  uint32_t frame_timestamp_ = 0;
  std::vector<uint8_t> frame_;
  DepacketizerCounters counters_;
};

}  // namespace kiv_media
