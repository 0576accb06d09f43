// libFuzzer target: the remote-audio packet reader on the whole input, then the input cut
// into length-prefixed chunks fed as RTP packets to the Opus RTP reader and the jitter
// buffer, with playout interleaved.
#include <cstddef>
#include <cstdint>

#include "remote_audio_packet.h"
#include "rtp_opus_packet.h"
#include "voice_jitter_buffer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tessarine;
  RemoteAudioPacketView view;
  if (ReadRemoteAudioPacket(data, size, &view)) {
    unsigned sum = 0;
    for (size_t n = 0; n < view.frame_count; ++n) {
      const uint8_t* f = view.frame(n);
      sum += f[0] + f[view.frame_bytes - 1];
    }
    for (size_t i = 0; i < view.extension_bytes; ++i) sum += view.extension[i];
    if (view.frames + view.frame_count * view.frame_bytes > data + size) __builtin_trap();
    (void)sum;
  }

  VoiceJitterBuffer buffer;
  int64_t now = 0;
  size_t at = 0;
  while (at + 2 <= size) {
    const size_t len = data[at];
    const uint8_t step = data[at + 1];
    at += 2;
    const size_t n = len < size - at ? len : size - at;
    RtpPacketView rtp;
    if (ReadOpusRtpPacket(data + at, n, &rtp)) {
      if (rtp.payload + rtp.payload_bytes > data + at + n) __builtin_trap();
      buffer.Put(rtp.header.sequence, rtp.payload, rtp.payload_bytes, now);
    }
    at += n;
    now += step;
    for (int pops = step & 3; pops > 0; --pops) {
      VoiceFrame frame = buffer.Pop();
      if (frame.kind == VoiceFrameKind::kPacket && frame.payload.empty()) __builtin_trap();
    }
    if (buffer.depth_frames() < 0) __builtin_trap();
  }
  return 0;
}
