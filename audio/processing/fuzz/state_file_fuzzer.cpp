// libFuzzer target: any bytes as "AECParams.bin", read for one device pair into a core,
// whose filter then runs a frame on the restored record.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "aec_state_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static SerrinState* state = new SerrinState();
  FILE* f = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (size == 0 || f == nullptr) {
    if (f != nullptr) std::fclose(f);
    return 0;
  }
  // The pair's names come from the first record's name fields when there are any, so
  // that matching records are found.
  char mic[256] = "Mic";
  char speaker[256] = "Speaker";
  if (size >= 4 + 512) {
    std::memcpy(mic, data + 4, 255);
    std::memcpy(speaker, data + 4 + 256, 255);
    if (mic[0] == '\0') mic[0] = 'M';
    if (speaker[0] == '\0') speaker[0] = 'S';
  }
  const AecStateReadResult r = aec_state_read(f, mic, speaker, state);
  std::fclose(f);
  if (r.outcome == AecStateRead::kRestored) {
    SerrinComplex spectrum[kSpectralBins] = {};
    SerrinComplex far[kSpectralBins];
    for (int k = 0; k < kSpectralBins; ++k) far[k] = {1000.0f, -500.0f};
    float floors[6] = {1, 1, 1, 1, 1, 1};
    echo_filter_step(0, 0, 1, floors, &state->echo_path[0], 2, kEchoFilterBins, spectrum, far,
                     &state->filter);
    for (int k = 0; k < kSpectralBins; ++k) {
      if (!(spectrum[k].re == spectrum[k].re)) __builtin_trap();  // a NaN got through
    }
  }
  return 0;
}
