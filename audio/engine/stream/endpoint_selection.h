// Finds the endpoint a capture or playback stream opens: the id text it was given, or the
// default communications endpoint's, matched case-insensitively among the active endpoints
// of its flow in index order, then opened by that id (not by its index, which a device
// plugged in or removed meanwhile moves). Each step is logged.
#pragma once

#include <memory>
#include <string>

#include "device/audio_device_layer.h"

struct SelectedEndpoint {
  std::unique_ptr<AudioEndpoint> endpoint;  // null until one is opened
  int endpoint_count = 0;                   // active endpoints at the last selection
  int index = -1;                           // index of the matched endpoint
  std::wstring friendly_name;               // at most 255 characters
  std::string ansi_name;                    // the friendly name narrowed, at most 255 bytes

  void Clear();
};

// The id text to look for: `id`, or with null the default communications endpoint's
// (`default_failed` logs a failure, with the HRESULT); at most 38 characters.
HResult ResolveEndpointId(AudioDeviceLayer* layer, EndpointFlow flow, const wchar_t* id, const char* default_failed,
                          std::wstring* device_id);

// Opens the active endpoint whose id text equals `device_id` into `out` (cleared first).
// S_OK without an endpoint when there are none; E_FAIL when none matched; else the
// enumeration's or the open's failure.
HResult SelectEndpoint(AudioDeviceLayer* layer, EndpointFlow flow, const std::wstring& device_id,
                       SelectedEndpoint* out);
