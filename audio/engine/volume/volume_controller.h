// Keeps a microphone's analog level in a usable band and steps it up or down when the
// capture path asks, using the endpoint's boost where there is one.
#pragma once

#include <cstdint>
#include <memory>

#include "volume/mic_level_control.h"
#include "volume/volume_backend.h"

class VolumeController : public MicLevelControl {
 public:
  // Creates the backend for the capture device (null: the default voice-capture device) and
  // brings the level into 60..80 %; without a usable backend every operation does nothing.
  static std::unique_ptr<VolumeController> Init(LevelDeviceLayer* layer, const Guid* device);
  ~VolumeController() override;

  // 0 without backend, 2 when the new level exceeds 65499, else 1.
  int IncreaseMicVolume(float energy);

  // MicLevelControl
  HResult GetLevel(uint32_t* level) override;
  HResult SetLevel(uint32_t level) override;
  float GetBoostDb() override;
  bool DecreaseStep(float energy) override;
  int IncreaseStep(float energy) override { return IncreaseMicVolume(energy); }
  void ApplyDigitalGain(DigitalGain* gain, int16_t* samples, int count) override { gain->Apply(samples, count); }

  VolumeBackend* backend() { return backend_.get(); }
  int32_t quiet_requests = 0;
  bool high_level = false;
  int32_t increase_count = 0;
  int32_t decrease_count = 0;

 private:
  friend class CVistaAudio;
  explicit VolumeController(LevelDeviceLayer* layer) : layer_(layer) {}
  CVistaAudio* BoostEndpoint();

  LevelDeviceLayer* layer_;
  std::unique_ptr<VolumeBackend> backend_;
};

// The level control MicCapture uses: a VolumeController on the active level device layer.
std::unique_ptr<MicLevelControl> CreateVolumeController(const Guid& device);
