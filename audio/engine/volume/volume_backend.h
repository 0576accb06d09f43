// The two roads to a microphone's analog level: the Core Audio endpoint (Windows Vista and
// later) or the winmm mixer (older systems).
#pragma once

#include <cstdint>
#include <memory>

#include "device/level_device_layer.h"
#include "volume/audio_mixer_src.h"
#include "volume/vista_audio.h"

class VolumeBackend {
 public:
  enum SystemKind { kVistaOrLater = 1, kWindowsXp = 2, kOther = 3 };

  // `device` null: the default voice-capture device. `*result` S_OK or E_FAIL.
  VolumeBackend(LevelDeviceLayer* layer, HResult* result, const Guid* device);
  ~VolumeBackend();
  VolumeBackend(const VolumeBackend&) = delete;
  VolumeBackend& operator=(const VolumeBackend&) = delete;

  // Level 0..65535 (higher values count as 65535).
  HResult SetMicLevel(uint32_t level);
  HResult GetMicLevel(uint32_t* level);

  SystemKind system_kind() const { return system_kind_; }
  bool boost_only() const { return boost_only_; }
  CVistaAudio* vista() { return vista_.get(); }
  CAudioMixerSrc* mixer() { return mixer_.get(); }

 private:
  HResult SelectMicSource();

  LevelDeviceLayer* layer_;
  std::unique_ptr<CAudioMixerSrc> mixer_;
  std::unique_ptr<CVistaAudio> vista_;
  SystemKind system_kind_ = kOther;
  bool capture_ = true;
  bool boost_only_ = false;
};
