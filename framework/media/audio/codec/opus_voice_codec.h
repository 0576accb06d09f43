// Opus for voice: 20 ms frames of mono 16-bit PCM, in-band forward error correction on.
// The encoder works at 48 kHz; a decoder may output 48 kHz or a lower Opus rate (16 kHz
// for the transcoder). Pure logic (no Win32).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

struct OpusEncoder;
struct OpusDecoder;

namespace tessarine {

inline constexpr int32_t kVoiceSampleRate = 48000;
inline constexpr size_t kVoiceFrameSamples = 960;  // 20 ms at 48 kHz

class OpusVoiceEncoder {
 public:
  // bitrate in bit/s; expected_loss_percent tunes how much FEC the encoder adds.
  explicit OpusVoiceEncoder(int32_t bitrate = 32000, int32_t expected_loss_percent = 10);
  ~OpusVoiceEncoder();
  OpusVoiceEncoder(const OpusVoiceEncoder&) = delete;
  OpusVoiceEncoder& operator=(const OpusVoiceEncoder&) = delete;

  [[nodiscard]] bool ok() const { return encoder_ != nullptr; }
  // Encodes one 20 ms frame (960 samples); false when the encoder failed.
  bool Encode(const int16_t* pcm, std::vector<uint8_t>* packet);

 private:
  OpusEncoder* encoder_ = nullptr;
};

class OpusVoiceDecoder {
 public:
  // rate: 8000, 12000, 16000, 24000 or 48000.
  explicit OpusVoiceDecoder(int32_t rate = kVoiceSampleRate);
  ~OpusVoiceDecoder();
  OpusVoiceDecoder(const OpusVoiceDecoder&) = delete;
  OpusVoiceDecoder& operator=(const OpusVoiceDecoder&) = delete;

  [[nodiscard]] bool ok() const { return decoder_ != nullptr; }
  [[nodiscard]] size_t frame_samples() const { return frame_samples_; }

  // Each writes one 20 ms frame (frame_samples()) and returns false, with silence
  // written, when the packet could not be decoded.
  bool Decode(const uint8_t* packet, size_t bytes, int16_t* out);
  // Packet-loss concealment for a frame that never arrived.
  bool Conceal(int16_t* out);
  // The frame before `next_packet`, rebuilt from the redundancy it carries; without
  // any in the packet Opus conceals instead.
  bool DecodeFec(const uint8_t* next_packet, size_t bytes, int16_t* out);

 private:
  bool Run(const uint8_t* packet, size_t bytes, int fec, int16_t* out);

  OpusDecoder* decoder_ = nullptr;
  size_t frame_samples_ = 0;
};

}  // namespace tessarine
