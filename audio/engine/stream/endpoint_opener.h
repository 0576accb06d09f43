// Opens an event-driven stream on an endpoint for capture or playback: activates an audio
// client and initialises it (once more with the aligned duration when the driver asks for an
// aligned buffer), then hands the client over. Failures are logged with the caller's
// messages; the caller ends its thread on any of them.
#pragma once

#include <cstdint>
#include <memory>

#include "device/audio_device_layer.h"

class EndpointOpener {
 public:
  struct InitializeMessages {
    const char* first_failure;  // every failed first Initialize (null: none)
    const char* not_aligned;    // the alignment retry (null: none)
    const char* final_failure;  // the failure that ends the open, unless already logged
  };

  EndpointOpener(AudioEndpoint* endpoint, const InitializeMessages& messages)
      : endpoint_(endpoint), messages_(messages) {}

  HResult Activate();
  AudioClient* client() const { return client_.get(); }
  // Durations in 100 ns units; `periodic`: the periodicity equals the duration.
  HResult Initialize(bool exclusive, int64_t duration, bool periodic, const WaveFormat& format, int rate);
  std::unique_ptr<AudioClient> TakeClient() { return std::move(client_); }

 private:
  AudioEndpoint* endpoint_;
  InitializeMessages messages_;
  std::unique_ptr<AudioClient> client_;
};
