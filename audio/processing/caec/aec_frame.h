// The per-frame record that the audio core hands to CAEC::Process, built in one place.
#pragma once

#include <cstdint>

#include "echo_canceller.h"

// What the caller gives for one captured frame.
struct AecFrameInputs {
  int16_t* mic;                        // 960 samples
  int16_t* mic2;                       // 960 samples (zeros when none was queued)
  bool second_mic_on;                  // headset enhance: the second microphone takes part
  bool voice;                          // the voice flag of the previous processed frame
  bool noise_suppression;              // the ANS switch
  int16_t* out;                        // the processed frame (960)
  int16_t* side;                       // a zeroed scratch frame (960)
  int32_t mic_bytes = kAecFrameBytes;  // the captured frame's size (another is refused)
};

// The words the canceller writes back.
struct AecFrameResults {
  int32_t seed = 0;         // seeded with the voice flag, not read
  float mic_floor = 0.0f;   // microphone noise floor, every 50 frames
  float mic2_floor = 0.0f;  // second-microphone noise floor
  int32_t echo = 0;         // 1 while the core's final detector holds
  uint8_t double_talk = 0;  // 1 when the frame's echo mode is 3
};

// The 19-word record for one frame: the frame size, clock ratio 1.0, the constant words,
// and the result words pointing into `results` (cleared here).
AECFrame aec_frame_make(const AecFrameInputs& in, AecFrameResults* results);
