// Decodes remote-audio packets (codec 1 = Opus) to 16-bit mono PCM at the rate it was
// set up for; the output is a 6-byte header of the packet's form (timestamp of the
// packet's first frame, frame count, rate code of the output) followed by the PCM of
// every frame. Other codecs give no output. Pure logic; one instance per stream (the
// decoder carries state from packet to packet).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "opus_voice_codec.h"

namespace tessarine {

class RemoteAudioTranscoder {
 public:
  // PCM output only: 1 channel, 16 bits, 8000, 16000 or 48000 Hz. False otherwise (and
  // the transcoder stays as it was).
  bool Init(int32_t channels, int32_t rate, int32_t bits);
  void Uninit();
  [[nodiscard]] bool ready() const { return decoder_ != nullptr; }

  // Decodes a packet into the pending output (replacing it); false, with no output,
  // for a malformed packet, another codec, or no Init.
  bool Transcode(const uint8_t* packet, size_t bytes);
  // Copies the pending output and clears it; 0 when there is none or it does not fit
  // (then it stays pending).
  size_t TakeOutput(uint8_t* buffer, size_t capacity);
  [[nodiscard]] size_t pending_bytes() const { return output_.size(); }

 private:
  std::unique_ptr<OpusVoiceDecoder> decoder_;
  int32_t rate_ = 0;
  std::vector<int16_t> frame_;
  std::vector<uint8_t> output_;
};

}  // namespace tessarine
