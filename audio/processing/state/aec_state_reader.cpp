#include "aec_state_reader.h"

#include <memory>
#include <new>

namespace {

int64_t FileSize(FILE* f) {
  if (std::fseek(f, 0, SEEK_END) != 0) return -1;
  const long size = std::ftell(f);
  return size < 0 ? -1 : static_cast<int64_t>(size);
}

int32_t ReadVersion(FILE* f) {
  uint8_t b[4];
  if (std::fseek(f, 0, SEEK_SET) != 0 || std::fread(b, 1, 4, f) != 4) {
    return kAecStateUnreadableVersion;
  }
  return static_cast<int32_t>(static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
                              (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24));
}

}  // namespace

int64_t aec_state_file_size(FILE* f) { return FileSize(f); }
int32_t aec_state_file_version(FILE* f) { return ReadVersion(f); }

bool aec_state_read_record(FILE* f, int64_t index, uint8_t* record) {
  const long at = static_cast<long>(kAecStateHeaderBytes + index * kAecStateRecordBytes);
  return std::fseek(f, at, SEEK_SET) == 0 && std::fread(record, 1, kAecStateRecordBytes, f) == kAecStateRecordBytes;
}

AecStateReadResult aec_state_read(FILE* file, const char* mic, const char* speaker, SerrinState* state) {
  AecStateReadResult r{AecStateRead::kNoRecord, kAecStateUnreadableVersion, 0, {0, 0.0f, 0, 0.0f}};
  const int64_t size = FileSize(file);
  r.body_bytes = size < 0 ? 0 : size - static_cast<int64_t>(kAecStateHeaderBytes);
  if (size < 0 || r.body_bytes <= 0) {
    r.outcome = AecStateRead::kTooShort;
    if (r.body_bytes < 0) r.body_bytes = 0;
    return r;
  }
  r.version = ReadVersion(file);
  if (aec_state_check(r.version, size) != AecStateFileCheck::kOk) {
    r.outcome = AecStateRead::kBadLayout;
    return r;
  }
  std::unique_ptr<uint8_t[]> record(new (std::nothrow) uint8_t[kAecStateRecordBytes]);
  if (!record) return r;
  const int64_t count = aec_state_record_count(size);
  for (int64_t i = 0; i < count; ++i) {
    if (!aec_state_read_record(file, i, record.get())) continue;
    if (!aec_state_record_matches(record.get(), mic, speaker)) continue;
    if (!aec_state_record_valid(record.get())) {
      r.outcome = AecStateRead::kDamaged;
      return r;
    }
    aec_state_apply_record(record.get(), state);
    r.values = aec_state_record_values(record.get());
    r.outcome = AecStateRead::kRestored;
    return r;
  }
  return r;
}
