#include "opus_voice_codec.h"

#include <opus.h>

#include <algorithm>

namespace tessarine {
namespace {

constexpr size_t kMaxPacketBytes = 1275;  // one frame

}  // namespace

OpusVoiceEncoder::OpusVoiceEncoder(int32_t bitrate, int32_t expected_loss_percent) {
  int error = OPUS_OK;
  encoder_ = opus_encoder_create(kVoiceSampleRate, 1, OPUS_APPLICATION_VOIP, &error);
  if (error != OPUS_OK) {
    encoder_ = nullptr;
    return;
  }
  opus_encoder_ctl(encoder_, OPUS_SET_BITRATE(bitrate));
  opus_encoder_ctl(encoder_, OPUS_SET_INBAND_FEC(1));
  opus_encoder_ctl(encoder_, OPUS_SET_PACKET_LOSS_PERC(expected_loss_percent));
  opus_encoder_ctl(encoder_, OPUS_SET_SIGNAL(OPUS_SIGNAL_VOICE));
  opus_encoder_ctl(encoder_, OPUS_SET_COMPLEXITY(5));
}

OpusVoiceEncoder::~OpusVoiceEncoder() {
  if (encoder_) opus_encoder_destroy(encoder_);
}

bool OpusVoiceEncoder::Encode(const int16_t* pcm, std::vector<uint8_t>* packet) {
  if (encoder_ == nullptr || pcm == nullptr) return false;
  packet->resize(kMaxPacketBytes);
  const opus_int32 n = opus_encode(encoder_, pcm, static_cast<int>(kVoiceFrameSamples), packet->data(),
                                   static_cast<opus_int32>(packet->size()));
  if (n <= 0) {
    packet->clear();
    return false;
  }
  packet->resize(static_cast<size_t>(n));
  return true;
}

OpusVoiceDecoder::OpusVoiceDecoder(int32_t rate) {
  int error = OPUS_OK;
  decoder_ = opus_decoder_create(rate, 1, &error);
  if (error != OPUS_OK) {
    decoder_ = nullptr;
    return;
  }
  frame_samples_ = static_cast<size_t>(rate / 50);
}

OpusVoiceDecoder::~OpusVoiceDecoder() {
  if (decoder_) opus_decoder_destroy(decoder_);
}

bool OpusVoiceDecoder::Run(const uint8_t* packet, size_t bytes, int fec, int16_t* out) {
  if (decoder_ == nullptr) return false;
  const int n = opus_decode(decoder_, packet, packet ? static_cast<opus_int32>(bytes) : 0, out,
                            static_cast<int>(frame_samples_), fec);
  if (n == static_cast<int>(frame_samples_)) return true;
  std::fill(out, out + frame_samples_, 0);
  return false;
}

bool OpusVoiceDecoder::Decode(const uint8_t* packet, size_t bytes, int16_t* out) {
  if (packet == nullptr || bytes == 0) {
    std::fill(out, out + frame_samples_, 0);
    return false;
  }
  return Run(packet, bytes, 0, out);
}

bool OpusVoiceDecoder::Conceal(int16_t* out) { return Run(nullptr, 0, 0, out); }

bool OpusVoiceDecoder::DecodeFec(const uint8_t* next_packet, size_t bytes, int16_t* out) {
  if (next_packet == nullptr || bytes == 0) return Conceal(out);
  return Run(next_packet, bytes, 1, out);
}

}  // namespace tessarine
