// Layout of "AECParams.bin": a version word, then whole records of 471992 bytes, one per
// (microphone, speaker) pair, each holding raw images of three parts of the serrin state.
// Pure logic: the checks, the match, and the copies between a record and the state.
#pragma once

#include <cstddef>
#include <cstdint>

#include "serrin_state.h"

constexpr int32_t kAecStateVersion = 1006;
constexpr int32_t kAecStateUnreadableVersion = 1000;  // taken when the version cannot be read
constexpr size_t kAecStateHeaderBytes = 4;
constexpr size_t kAecStateNameBytes = 256;
constexpr size_t kAecStateBlockABytes = 390736;
constexpr size_t kAecStateBlockBBytes = 57648;
constexpr size_t kAecStateBlockCBytes = 23076;
constexpr size_t kAecStateRecordBytes = 471992;

// Offsets inside a record.
constexpr size_t kAecStateMicName = 0;
constexpr size_t kAecStateSpeakerName = 256;
constexpr size_t kAecStateBlockA = 512;
constexpr size_t kAecStateBlockB = 391248;
constexpr size_t kAecStateBlockC = 448896;
constexpr size_t kAecStateBufferDelay = 471972;
constexpr size_t kAecStateErle = 471976;
constexpr size_t kAecStateMicVolume = 471980;
constexpr size_t kAecStateBoost = 471984;
constexpr size_t kAecStateReserved = 471988;

static_assert(kAecStateBlockB == kAecStateBlockA + kAecStateBlockABytes, "block B follows A");
static_assert(kAecStateBlockC == kAecStateBlockB + kAecStateBlockBBytes, "block C follows B");
static_assert(kAecStateBufferDelay == kAecStateBlockC + kAecStateBlockCBytes, "values follow C");
static_assert(kAecStateRecordBytes == kAecStateReserved + 4, "record ends with the reserve");
static_assert(sizeof(EchoFilterState) == kAecStateBlockABytes, "block A is the filter");
static_assert(3 * sizeof(EchoPathRecord) == kAecStateBlockBBytes, "block B: three echo paths");
static_assert(3 * sizeof(ResidualEchoRecord) == kAecStateBlockCBytes, "block C: three records");

// The values of a record besides the blocks.
struct AecStateValues {
  int32_t buffer_delay;
  float erle;
  int32_t mic_volume;
  float boost;
};

enum class AecStateFileCheck {
  kOk,         // version 1006 or later, whole records, at least one
  kTooShort,   // nothing beyond the version
  kBadLayout,  // older version or not whole records
};

// Judges a file of `size` bytes whose first word is `version` (kAecStateUnreadableVersion
// when it could not be read).
AecStateFileCheck aec_state_check(int32_t version, int64_t size);
// Records in a file of `size` bytes (size - 4 over the record size).
int64_t aec_state_record_count(int64_t size);

// Names are usable when present, not empty and short enough to keep their terminator.
bool aec_state_name_usable(const char* name);
// Both names of the record equal the given ones byte for byte.
bool aec_state_record_matches(const uint8_t* record, const char* mic, const char* speaker);

// Whether the record's blocks can be put into a core: finite numbers, ring indices and
// windows in range. A record that fails this is treated as absent.
bool aec_state_record_valid(const uint8_t* record);

void aec_state_fill_record(uint8_t* record, const char* mic, const char* speaker, const SerrinState& state,
                           const AecStateValues& values);
AecStateValues aec_state_record_values(const uint8_t* record);
// Copies the three blocks into the state (the core's running ERLE then starts at 0).
void aec_state_apply_record(const uint8_t* record, SerrinState* state);
