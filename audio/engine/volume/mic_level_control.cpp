#include "volume/mic_level_control.h"

#include "volume/volume_controller.h"

std::unique_ptr<MicLevelControl> CreateMicLevelControl(const Guid& device) { return CreateVolumeController(device); }
