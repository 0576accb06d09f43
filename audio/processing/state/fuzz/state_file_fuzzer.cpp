// libFuzzer target: any bytes as "AECParams.bin", read for one device pair into a core,
// whose filter then runs a frame on the restored record.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "aec_state_reader.h"

namespace {

// A file of one sound record for "Mic" and "Speaker": what a fresh core would save.
std::vector<uint8_t> SoundFile() {
  std::vector<uint8_t> file(4 + kAecStateRecordBytes, 0);
  const int32_t version = kAecStateVersion;
  std::memcpy(file.data(), &version, 4);
  uint8_t* r = file.data() + 4;
  std::memcpy(r + kAecStateMicName, "Mic", 3);
  std::memcpy(r + kAecStateSpeakerName, "Speaker", 7);
  EchoFilterBody filter{};
  filter.sample_rate_ratio = 1.0;
  filter.drift_step = 1.0f;
  std::memcpy(r + kAecStateBlockA, &filter, sizeof filter);
  for (int c = 0; c < 3; ++c) {
    EchoPathBody path{};
    for (MinTracker& t : path.coupling.trackers) min_tracker_setup(&t, 1e12f, 5e7f, 5e7f, 50, 100, 0.25f);
    std::memcpy(r + kAecStateBlockB + c * sizeof(EchoPathRecord), &path, sizeof path);
    ResidualEchoRecord res{};
    res.mode = 2;
    std::memcpy(r + kAecStateBlockC + c * sizeof(ResidualEchoRecord), &res, sizeof res);
  }
  return file;
}

}  // namespace

// Inputs starting with 'P' patch a sound file: each further 8 bytes are a 32-bit offset
// (modulo the file size) and a 32-bit value written there. Other inputs are the file.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static SerrinState* state = new SerrinState();
  static const std::vector<uint8_t> sound = SoundFile();
  std::vector<uint8_t> patched;
  if (size > 0 && data[0] == 'P') {
    patched = sound;
    for (size_t i = 1; i + 8 <= size; i += 8) {
      uint32_t at, value;
      std::memcpy(&at, data + i, 4);
      std::memcpy(&value, data + i + 4, 4);
      at %= static_cast<uint32_t>(patched.size() - 3);
      std::memcpy(patched.data() + at, &value, 4);
    }
    if ((size - 1) % 8 == 1) patched.resize(patched.size() - data[size - 1]);  // truncation
    data = patched.data();
    size = patched.size();
  }
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
    echo_filter_step(0, 0, 1, floors, &state->echo_path[0], 2, kEchoFilterBins, spectrum, far, &state->filter);
    for (int k = 0; k < kSpectralBins; ++k) {
      if (!(spectrum[k].re == spectrum[k].re)) __builtin_trap();  // a NaN got through
    }
  }
  return 0;
}
