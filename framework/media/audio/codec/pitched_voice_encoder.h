// The pitch-changed voice: 20 ms frames of 48 kHz mono PCM in, shifted by a number of
// semitones (SoundTouch, tempo unchanged) and encoded to Opus, one packet out per 20 ms
// of shifted audio. The shifter holds back some audio at first, so the first calls give
// no packet. Pure logic; not thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "opus_voice_codec.h"

namespace soundtouch {
class SoundTouch;
}

namespace tessarine {

class PitchedVoiceEncoder {
 public:
  static constexpr int32_t kMaxSemitones = 12;

  PitchedVoiceEncoder();
  ~PitchedVoiceEncoder();
  PitchedVoiceEncoder(const PitchedVoiceEncoder&) = delete;
  PitchedVoiceEncoder& operator=(const PitchedVoiceEncoder&) = delete;

  // -12..12 semitones; false (unchanged) outside.
  bool SetSemitones(int32_t semitones);
  [[nodiscard]] int32_t semitones() const { return semitones_; }

  // One frame of kVoiceFrameSamples samples in; true with `packet` filled when a 20 ms
  // frame of shifted audio was ready, false with it empty otherwise.
  bool Process(const int16_t* pcm, std::vector<uint8_t>* packet);
  // The shifted PCM alone (no encoding), for measuring: appends what is ready.
  void Shift(const int16_t* pcm, size_t samples, std::vector<int16_t>* out);

 private:
  std::unique_ptr<soundtouch::SoundTouch> shifter_;
  OpusVoiceEncoder encoder_;
  int32_t semitones_ = 0;
  std::vector<float> in_;
  std::vector<int16_t> shifted_;
  std::vector<int16_t> ready_;
  std::vector<int16_t> frame_;
};

}  // namespace tessarine
