// The screen-share host: captures the screen for IAvNet and injects a viewer's input.
#pragma once

#include "avcore/platform.h"

namespace avcore {

struct IAvNet;
struct IAudioDevice;

// Host configuration, 26 words (104 bytes).
struct VncHostConfig {
  int32_t capture_mode;      // 0: 0 = whole screen, 3 = the rectangle below
  int32_t left;              // 4
  int32_t top;               // 8
  int32_t right;             // 12
  int32_t bottom;            // 16
  int32_t reserved20[2];     // 20
  int32_t allow_mouse;       // 28: 1 = the viewer's input is injected
  int32_t allow_keyboard;    // 32
  int32_t allow_wheel;       // 36
  int32_t allow_clipboard;   // 40
  int32_t show_cursor;       // 44
  int32_t reserved48;        // 48
  int32_t options52[6];      // 52-72: capture options, 1 = on
  int32_t adaptive_quality;  // 76
  int32_t reserved80[2];     // 80
  int32_t bias;              // 88: 1 = favour smoothness over sharpness
  int32_t reserved;          // 92: the publisher's reserved value
  int32_t reserved96[2];     // 96
};
static_assert(sizeof(VncHostConfig) == 104, "VncHostConfig is 104 bytes");

struct IVncHost : public IUnknown {
  // `flags` 0; `events` is copied (host event codes in the second argument).
  virtual HRESULT AVCORE_CALL Initialize(int32_t flags, const EventRecord* events, IAvNet* net,
                                         IAudioDevice* audioDevice) = 0;
  virtual HRESULT AVCORE_CALL StartHost(const VncHostConfig* config) = 0;
  virtual HRESULT AVCORE_CALL SetConfig(const VncHostConfig* config) = 0;
  virtual HRESULT AVCORE_CALL Stop() = 0;
};

}  // namespace avcore
