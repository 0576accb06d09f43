// What microphone capture needs from the microphone's level control: the analog level and
// boost of the endpoint, the one-step changes, the counters the capture path keeps in it,
// and the software gain.
#pragma once

#include <cstdint>
#include <memory>

#include "device/guid_text.h"
#include "device/hresult.h"
#include "volume/digital_gain.h"

class MicLevelControl {
 public:
  virtual ~MicLevelControl() = default;

  // Level 0..65535.
  virtual HResult GetLevel(uint32_t* level) = 0;
  virtual HResult SetLevel(uint32_t level) = 0;
  // Boost in dB, -1.0 when the endpoint has no boost part.
  virtual float GetBoostDb() = 0;
  // Lowers the level (or boost) one step for the given voice energy; true when a step was taken.
  virtual bool DecreaseStep(float energy) = 0;
  // Raises one step: 0 without a usable backend, 2 when the new level exceeds 65499, else 1.
  virtual int IncreaseStep(float energy) = 0;
  // Applies the digital gain at gain->gain_index to the samples in place.
  virtual void ApplyDigitalGain(DigitalGain* gain, int16_t* samples, int count) = 0;

  // Counters the capture path keeps here.
  int32_t clip_count = 0;
  int32_t increase_hold = 0;
  int32_t decrease_hold = 0;
};

// The level control of the capture device `device`; null when the library has none for it.
using MicLevelControlFactory = std::unique_ptr<MicLevelControl> (*)(const Guid& device);
std::unique_ptr<MicLevelControl> CreateMicLevelControl(const Guid& device);
