// Devices and PC models that the engine handles specially, in one table: by capture
// endpoint (or DirectSound) name, and by the BIOS system family. All tests are
// case-sensitive substring tests.
#pragma once

#include <cstdint>
#include <string>

struct CaptureNameQuirks {
  bool built_in_mic = false;      // main microphone prefers exclusive mode
  bool never_second_mic = false;  // a mix-down device, never a second microphone
  int shared_buffer_periods = 0;  // shared-mode buffer in device periods (0: the general rule)
  bool two_channel_sum = false;   // float capture sums the first two channels
  bool boost_only = false;        // only the boost is set, never the level
};

struct PcModelQuirks {
  const char* force_exclusive_mic = nullptr;  // the matched name, or null
  const char* small_speaker_delay = nullptr;
  const char* small_boost_start = nullptr;
};

CaptureNameQuirks QuirksForCaptureName(const std::wstring& name);
PcModelQuirks QuirksForPcModel(const std::string& model);

// The capture stream's buffer duration (100 ns units) and the log line that explains it
// (null when the device period is used as it is).
struct CaptureBufferChoice {
  enum Reason { kDevicePeriod, kExclusive, kLowRate, kNamedDevice, kShortPeriod };
  int64_t duration;
  Reason reason;
};
CaptureBufferChoice ChooseCaptureBuffer(bool exclusive, int rate, int64_t default_period,
                                        const CaptureNameQuirks& quirks);
