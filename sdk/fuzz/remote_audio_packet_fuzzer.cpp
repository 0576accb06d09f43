// Feeds arbitrary bytes to the remote-audio packet reader and walks every frame it yields;
// the sanitizers catch any read outside the packet.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/frames/remote_audio_packet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A copy of exactly `size` bytes, so that a read past the end is an overflow.
  std::vector<uint8_t> packet(data, data + size);
  const int32_t length = static_cast<int32_t>(size > 1 << 20 ? 1 << 20 : size);
  kiv_core::RemoteAudioHeader header;
  if (kiv_core::ReadRemoteAudioHeader(packet.data(), length, &header) != kiv_core::RemoteAudioPacketError::kNone)
    return 0;
  const kiv_core::RemoteAudioFrames frames = kiv_core::SplitRemoteAudioFrames(header, length);
  unsigned sum = 0;
  for (int n = 0; n < frames.count; ++n) {
    const uint8_t* frame = packet.data() + frames.first + n * frames.length;
    for (int32_t i = 0; i < frames.length; ++i) sum += frame[i];
  }
  return static_cast<int>(sum & 0);
}
