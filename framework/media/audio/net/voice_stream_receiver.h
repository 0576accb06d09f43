// One received voice stream: Opus RTP packets in on the network thread, 20 ms frames of
// 48 kHz mono PCM out on the render thread, through the jitter buffer and the decoder
// (loss concealed by Opus's redundancy or its concealment). Thread-safe. Pure logic.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>

#include "opus_voice_codec.h"
#include "rtp_opus_packet.h"
#include "voice_jitter_buffer.h"

namespace tessarine {

class VoiceStreamReceiver {
 public:
  explicit VoiceStreamReceiver(VoiceJitterConfig config = {});

  // An RTP packet as received; false when it is not an Opus RTP packet or the buffer
  // refused it (duplicate, late). A new SSRC restarts the stream.
  bool OnRtp(const uint8_t* data, size_t bytes, int64_t arrival_ms);
  // The same for a packet whose RTP header was read already.
  bool OnPacket(uint16_t sequence, uint32_t ssrc, const uint8_t* payload, size_t bytes, int64_t arrival_ms);
  // Writes the next 960 samples (silence before the first frame).
  void Render(int16_t* out);

  VoiceJitterStats stats() const;
  int target_frames() const;
  int depth_frames() const;

 private:
  mutable std::mutex mutex_;  // buffer and SSRC
  VoiceJitterBuffer buffer_;
  bool have_ssrc_ = false;
  uint32_t ssrc_ = 0;
  OpusVoiceDecoder decoder_;  // render thread only
  bool decoded_any_ = false;  // render thread only
};

}  // namespace tessarine
