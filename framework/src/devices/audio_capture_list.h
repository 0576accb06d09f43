// The framework's audio capture devices: the engine's microphones, then the audio
// plug-ins of the process. A device's index in this list is its id for the audio
// devices and the device manager alike.
#pragma once

#include <cstdint>
#include <string>

#include "avcore/platform.h"
#include "plugin_registry.h"
#include "quietwell_engine.h"

namespace tessarine {

struct CaptureTarget {
  bool plugin = false;
  int32_t engine_index = -1;   // microphones
  uintptr_t plugin_token = 0;  // plug-ins
};

int32_t CaptureDeviceCount(QuietwellEngine& engine);
// Copies the name of device `index` into `buffer` (see CopyName); E_INVALIDARG for an
// index that is not in the list.
HRESULT CaptureDeviceName(QuietwellEngine& engine, int32_t index, wchar_t* buffer, int32_t capacity);
// False for an index that is not in the list.
bool ResolveCaptureDevice(QuietwellEngine& engine, int32_t index, CaptureTarget* target);

// The output callback registered with every audio plug-in: its context is the plug-in's
// routing token (PluginRegistry).
int32_t AVCORE_CALLBACK PluginOutputCallback(const void* block, void* context);

}  // namespace tessarine
