#include "voice_stream_sender.h"

#include <algorithm>
#include <utility>

namespace tessarine {

VoiceStreamSender::VoiceStreamSender(uint32_t ssrc, PacketOut out) : out_(std::move(out)) {
  header_.ssrc = ssrc;
  header_.payload_type = kOpusRtpPayloadType;
  pending_.reserve(kVoiceFrameSamples);
}

void VoiceStreamSender::OnPcm(const int16_t* pcm, size_t samples) {
  while (samples > 0) {
    const size_t take = std::min(samples, kVoiceFrameSamples - pending_.size());
    pending_.insert(pending_.end(), pcm, pcm + take);
    pcm += take;
    samples -= take;
    if (pending_.size() < kVoiceFrameSamples) return;
    if (encoder_.Encode(pending_.data(), &opus_)) {
      Send(opus_.data(), opus_.size());
    } else {
      // A frame that could not be encoded still takes its slot: the receiver conceals it.
      ++header_.sequence;
      header_.timestamp += kOpusRtpTicksPerFrame;
    }
    pending_.clear();
  }
}

bool VoiceStreamSender::OnOpusPacket(const uint8_t* packet, size_t bytes) {
  if (packet == nullptr || bytes == 0 || bytes > kMaxOpusPayloadBytes) return false;
  Send(packet, bytes);
  return true;
}

void VoiceStreamSender::Send(const uint8_t* payload, size_t bytes) {
  if (out_) out_(header_, payload, bytes);
  ++header_.sequence;
  header_.timestamp += kOpusRtpTicksPerFrame;
  ++sent_;
}

}  // namespace tessarine
