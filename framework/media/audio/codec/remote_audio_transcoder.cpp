#include "remote_audio_transcoder.h"

#include <cstring>

#include "remote_audio_packet.h"

namespace tessarine {

bool RemoteAudioTranscoder::Init(int32_t channels, int32_t rate, int32_t bits) {
  if (channels != 1 || bits != 16 || (rate != 8000 && rate != 16000 && rate != 48000)) {
    return false;
  }
  auto decoder = std::make_unique<OpusVoiceDecoder>(rate);
  if (!decoder->ok()) return false;
  decoder_ = std::move(decoder);
  rate_ = rate;
  frame_.assign(decoder_->frame_samples(), 0);
  output_.clear();
  return true;
}

void RemoteAudioTranscoder::Uninit() {
  decoder_.reset();
  rate_ = 0;
  output_.clear();
}

bool RemoteAudioTranscoder::Transcode(const uint8_t* packet, size_t bytes) {
  output_.clear();
  RemoteAudioPacketView view;
  if (!decoder_ || !ReadRemoteAudioPacket(packet, bytes, &view)) return false;
  if (view.header.codec != kRemoteAudioCodecOpus) return false;
  RemoteAudioHeader out_header;
  out_header.codec = 0;
  out_header.rate_code = RemoteAudioRateCode(rate_);
  out_header.channel_code = 0;
  out_header.timestamp_ms = view.header.timestamp_ms;
  // The header alone: written through the packet writer with a placeholder frame.
  std::vector<std::vector<uint8_t>> frames(view.frame_count, std::vector<uint8_t>(1));
  if (!WriteRemoteAudioPacket(out_header, nullptr, 0, frames, &output_)) return false;
  output_.resize(kRemoteAudioHeaderBytes);
  for (size_t n = 0; n < view.frame_count; ++n) {
    // An undecodable frame is concealed, so that the PCM keeps its length and timing.
    if (!decoder_->Decode(view.frame(n), view.frame_bytes, frame_.data())) {
      decoder_->Conceal(frame_.data());
    }
    const size_t at = output_.size();
    output_.resize(at + frame_.size() * 2);
    std::memcpy(output_.data() + at, frame_.data(), frame_.size() * 2);
  }
  return true;
}

size_t RemoteAudioTranscoder::TakeOutput(uint8_t* buffer, size_t capacity) {
  if (output_.empty() || buffer == nullptr || capacity < output_.size()) return 0;
  const size_t n = output_.size();
  std::memcpy(buffer, output_.data(), n);
  output_.clear();
  return n;
}

}  // namespace tessarine
