#include "aec_state_record.h"

#include <cmath>
#include <cstring>

namespace {

int32_t ReadI32(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                              (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24));
}

void WriteI32(uint8_t* p, int32_t v) {
  const uint32_t u = static_cast<uint32_t>(v);
  p[0] = static_cast<uint8_t>(u);
  p[1] = static_cast<uint8_t>(u >> 8);
  p[2] = static_cast<uint8_t>(u >> 16);
  p[3] = static_cast<uint8_t>(u >> 24);
}

float ReadF32(const uint8_t* p) {
  const int32_t bits = ReadI32(p);
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

void WriteF32(uint8_t* p, float f) {
  int32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  WriteI32(p, bits);
}

bool NameEquals(const uint8_t* field, const char* name) {
  const size_t n = std::strlen(name);
  return n < kAecStateNameBytes && std::memcmp(field, name, n) == 0 && field[n] == 0;
}

void WriteName(uint8_t* field, const char* name) {
  std::memset(field, 0, kAecStateNameBytes);
  const size_t n = std::strlen(name);
  std::memcpy(field, name, n < kAecStateNameBytes ? n : kAecStateNameBytes - 1);
}

// Every 32-bit word of the region read as a float is finite. The records hold floats and
// small non-negative counters, whose bit patterns are finite floats too.
bool WordsFinite(const uint8_t* p, size_t bytes) {
  for (size_t i = 0; i + 4 <= bytes; i += 4) {
    if (!std::isfinite(ReadF32(p + i))) return false;
  }
  return true;
}

bool TrackerSound(const MinTracker& t) {
  return t.window_a > 0 && t.window_a <= 1000 && t.window_b > 0 && t.window_b <= 1000 && t.count_a >= 0 &&
         t.count_b >= 0 && t.hangover >= 0;
}

}  // namespace

AecStateFileCheck aec_state_check(int32_t version, int64_t size) {
  const int64_t body = size - static_cast<int64_t>(kAecStateHeaderBytes);
  if (body <= 0) return AecStateFileCheck::kTooShort;
  if (version < kAecStateVersion || body % static_cast<int64_t>(kAecStateRecordBytes) != 0) {
    return AecStateFileCheck::kBadLayout;
  }
  return AecStateFileCheck::kOk;
}

int64_t aec_state_record_count(int64_t size) {
  const int64_t body = size - static_cast<int64_t>(kAecStateHeaderBytes);
  return body > 0 ? body / static_cast<int64_t>(kAecStateRecordBytes) : 0;
}

bool aec_state_name_usable(const char* name) {
  return name != nullptr && name[0] != '\0' && std::strlen(name) < kAecStateNameBytes;
}

bool aec_state_record_matches(const uint8_t* record, const char* mic, const char* speaker) {
  return NameEquals(record + kAecStateMicName, mic) && NameEquals(record + kAecStateSpeakerName, speaker);
}

bool aec_state_record_valid(const uint8_t* record) {
  // Block A: the ratio (a double at its start) near 1, the rest finite, indices in range.
  double ratio;
  std::memcpy(&ratio, record + kAecStateBlockA, sizeof ratio);
  if (!(ratio > 0.9 && ratio < 1.1)) return false;
  if (!WordsFinite(record + kAecStateBlockA + sizeof ratio, kAecStateBlockABytes - sizeof ratio)) {
    return false;
  }
  EchoFilterBody filter;
  std::memcpy(&filter, record + kAecStateBlockA, sizeof filter);
  for (int g = 0; g < kEchoFilterGroups; ++g) {
    const int32_t i = filter.history_index[g];
    if (i < 0 || i >= kEchoFilterGroupTable[g].partitions) return false;
  }
  if (!(filter.drift_step >= 0.005f && filter.drift_step <= 1.0f)) return false;
  // Block B: finite, trackers with sound windows and counters.
  if (!WordsFinite(record + kAecStateBlockB, kAecStateBlockBBytes)) return false;
  for (int c = 0; c < 3; ++c) {
    EchoPathBody path;
    std::memcpy(&path, record + kAecStateBlockB + c * sizeof(EchoPathRecord), sizeof path);
    for (const MinTracker& t : path.coupling.trackers) {
      if (!TrackerSound(t)) return false;
    }
    if (path.coupling.far_frames < 0) return false;
    for (int32_t h : path.coupling.band_hold) {
      if (h < 0) return false;
    }
  }
  // Block C: finite minima and levels, a mode of 1 to 3.
  if (!WordsFinite(record + kAecStateBlockC, kAecStateBlockCBytes)) return false;
  for (int c = 0; c < 3; ++c) {
    ResidualEchoRecord r;
    std::memcpy(&r, record + kAecStateBlockC + c * sizeof(ResidualEchoRecord), sizeof r);
    if (r.mode < 1 || r.mode > 3) return false;
  }
  return std::isfinite(ReadF32(record + kAecStateErle)) && std::isfinite(ReadF32(record + kAecStateBoost));
}

void aec_state_fill_record(uint8_t* record, const char* mic, const char* speaker, const SerrinState& state,
                           const AecStateValues& values) {
  WriteName(record + kAecStateMicName, mic);
  WriteName(record + kAecStateSpeakerName, speaker);
  std::memcpy(record + kAecStateBlockA, &state.filter, kAecStateBlockABytes);
  std::memcpy(record + kAecStateBlockB, &state.echo_path[0], kAecStateBlockBBytes);
  std::memcpy(record + kAecStateBlockC, &state.residual_echo[0], kAecStateBlockCBytes);
  WriteI32(record + kAecStateBufferDelay, values.buffer_delay);
  WriteF32(record + kAecStateErle, values.erle);
  WriteI32(record + kAecStateMicVolume, values.mic_volume);
  WriteF32(record + kAecStateBoost, values.boost);
  WriteI32(record + kAecStateReserved, 0);
}

AecStateValues aec_state_record_values(const uint8_t* record) {
  AecStateValues v;
  v.buffer_delay = ReadI32(record + kAecStateBufferDelay);
  v.erle = ReadF32(record + kAecStateErle);
  v.mic_volume = ReadI32(record + kAecStateMicVolume);
  v.boost = ReadF32(record + kAecStateBoost);
  return v;
}

void aec_state_apply_record(const uint8_t* record, SerrinState* state) {
  std::memcpy(&state->filter, record + kAecStateBlockA, kAecStateBlockABytes);
  state->filter.erle_db = 0.0f;
  std::memcpy(&state->echo_path[0], record + kAecStateBlockB, kAecStateBlockBBytes);
  std::memcpy(&state->residual_echo[0], record + kAecStateBlockC, kAecStateBlockCBytes);
}
