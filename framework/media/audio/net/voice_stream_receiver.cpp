#include "voice_stream_receiver.h"

#include <algorithm>

#include "voice_stage_log.h"

namespace tessarine {

VoiceStreamReceiver::VoiceStreamReceiver(VoiceJitterConfig config) : buffer_(config), decoder_(kVoiceSampleRate) {}

bool VoiceStreamReceiver::OnRtp(const uint8_t* data, size_t bytes, int64_t arrival_ms) {
  RtpPacketView packet;
  if (!ReadOpusRtpPacket(data, bytes, &packet)) return false;
  return OnPacket(packet.header.sequence, packet.header.ssrc, packet.payload, packet.payload_bytes, arrival_ms);
}

bool VoiceStreamReceiver::OnPacket(uint16_t sequence, uint32_t ssrc, const uint8_t* payload, size_t bytes,
                                   int64_t arrival_ms) {
  if (payload == nullptr || bytes == 0 || bytes > kMaxOpusPayloadBytes) return false;
  NoteVoiceStage(VoiceStage::kArrived, sequence);
  std::lock_guard<std::mutex> lock(mutex_);
  if (have_ssrc_ && ssrc != ssrc_) buffer_.Reset();
  have_ssrc_ = true;
  ssrc_ = ssrc;
  return buffer_.Put(sequence, payload, bytes, arrival_ms);
}

void VoiceStreamReceiver::Render(int16_t* out) {
  VoiceFrame frame;
  int depth = 0;
  int target = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    depth = buffer_.depth_frames();
    frame = buffer_.Pop();
    target = buffer_.target_frames();
  }
  if (frame.kind == VoiceFrameKind::kPacket) {
    NoteVoiceStage(VoiceStage::kPopped, static_cast<uint16_t>(frame.sequence), depth, target);
  }
  switch (frame.kind) {
    case VoiceFrameKind::kSilence:
      std::fill(out, out + kVoiceFrameSamples, 0);
      return;
    case VoiceFrameKind::kPacket:
      decoded_any_ |= decoder_.Decode(frame.payload.data(), frame.payload.size(), out);
      return;
    case VoiceFrameKind::kFec:
      if (decoded_any_) {
        decoder_.DecodeFec(frame.payload.data(), frame.payload.size(), out);
      } else {
        std::fill(out, out + kVoiceFrameSamples, 0);
      }
      return;
    case VoiceFrameKind::kConceal:
      if (decoded_any_) {
        decoder_.Conceal(out);
      } else {
        std::fill(out, out + kVoiceFrameSamples, 0);
      }
      return;
  }
}

VoiceJitterStats VoiceStreamReceiver::stats() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return buffer_.stats();
}

int VoiceStreamReceiver::target_frames() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return buffer_.target_frames();
}

int VoiceStreamReceiver::depth_frames() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return buffer_.depth_frames();
}

}  // namespace tessarine
