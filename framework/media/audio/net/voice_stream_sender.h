// One sent voice stream: 48 kHz mono PCM in (any chunk size), Opus RTP packets out (the
// header's fields and the payload), one per 20 ms; or Opus packets encoded elsewhere,
// packetised as they come. Not
// thread-safe (one capture thread feeds it). Pure logic.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "opus_voice_codec.h"
#include "rtp_opus_packet.h"

namespace tessarine {

class VoiceStreamSender {
 public:
  using PacketOut = std::function<void(const RtpHeader& header, const uint8_t* payload, size_t bytes)>;

  VoiceStreamSender(uint32_t ssrc, PacketOut out);

  // Encodes and sends every complete 20 ms frame; a partial frame waits for the rest.
  void OnPcm(const int16_t* pcm, size_t samples);
  // Sends one Opus packet of a 20 ms frame; false for an empty or oversized packet.
  bool OnOpusPacket(const uint8_t* packet, size_t bytes);

  [[nodiscard]] uint32_t ssrc() const { return header_.ssrc; }
  [[nodiscard]] int64_t packets_sent() const { return sent_; }

 private:
  void Send(const uint8_t* payload, size_t bytes);

  PacketOut out_;
  RtpHeader header_;
  OpusVoiceEncoder encoder_;
  std::vector<int16_t> pending_;
  std::vector<uint8_t> opus_;
  int64_t sent_ = 0;
};

}  // namespace tessarine
