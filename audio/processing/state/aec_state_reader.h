// Reading the saved echo-canceller state: finds the record of a (microphone, speaker) pair
// in an open "AECParams.bin" and puts it into a core. Free of platform calls, so that it
// can be fuzzed on memory files.
#pragma once

#include <cstdint>
#include <cstdio>

#include "aec_state_record.h"

enum class AecStateRead {
  kRestored,   // the pair's record is in the state
  kNoRecord,   // no whole record of the pair
  kTooShort,   // the file holds the version or less
  kBadLayout,  // an older version, or not whole records
  kDamaged,    // the pair's record holds values no core can use; the state is unchanged
};

struct AecStateReadResult {
  AecStateRead outcome;
  int32_t version;        // as read (1000 when unreadable)
  int64_t body_bytes;     // file size less the version word
  AecStateValues values;  // of the restored record
};

// File helpers shared with the writer: size (-1 when unknown), the version word, and
// record `index` read whole.
int64_t aec_state_file_size(FILE* f);
int32_t aec_state_file_version(FILE* f);
bool aec_state_read_record(FILE* f, int64_t index, uint8_t* record);

AecStateReadResult aec_state_read(FILE* file, const char* mic, const char* speaker, SerrinState* state);
