// Saved echo-canceller state: "AECParams.bin" in the data folder, one record per
// (microphone, speaker) pair. A save writes the whole new file to a temporary file of its
// own beside it, flushes it to the disk and then replaces the old one, so that a failed or
// interrupted write, or another process saving at the same time, never damages a good file.
// Only a missing file counts as holding no pair: one that cannot be read is left alone.
#include "aec_state_file.h"

#include <atomic>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "aec_platform.h"
#include "aec_state_reader.h"
#include "audio_lib_log.h"
#include "echo_canceller.h"

namespace {

constexpr int32_t kDefaultDelay = 1920;
// The same range on both sides: a delay of 960..1919 that the tracking set up was once
// saved as 1920 and so restored a frame away from the filter it was saved with.
constexpr int32_t kMinSavedDelay = 960;
constexpr int32_t kMinRestoredDelay = 960;
constexpr int32_t kMaxDelay = 13440;
constexpr int32_t kMaxMicVolume = 80;
constexpr int32_t kAgeAfterSave = 250;
constexpr float kErleMargin = 2.0f;
constexpr size_t kMaxFolderChars = 256;

std::atomic<AecStateReplaceFile> g_replace_file{nullptr};

// An open file that closes itself.
struct FileCloser {
  void operator()(FILE* f) const {
    if (f != nullptr) std::fclose(f);
  }
};
using File = std::unique_ptr<FILE, FileCloser>;
using RecordBuffer = std::unique_ptr<uint8_t[]>;

RecordBuffer NewRecord() { return RecordBuffer(new (std::nothrow) uint8_t[kAecStateRecordBytes]); }

bool WriteVersion(FILE* f) {
  const uint8_t b[4] = {static_cast<uint8_t>(kAecStateVersion & 0xFF),
                        static_cast<uint8_t>((kAecStateVersion >> 8) & 0xFF), 0, 0};
  return std::fwrite(b, 1, 4, f) == 4;
}

bool WriteRecord(FILE* f, const uint8_t* record) {
  return std::fwrite(record, 1, kAecStateRecordBytes, f) == kAecStateRecordBytes;
}

std::wstring StatePath(const std::wstring& folder) { return folder + L"\\AECParams.bin"; }

// A name no other save uses, in this process or another.
std::wstring TempPath(const std::wstring& path) {
  static std::atomic<uint32_t> counter{0};
  return path + L"." + std::to_wstring(aec_process_id()) + L"." + std::to_wstring(++counter) + L".tmp";
}

bool ReplaceFile(const std::wstring& from, const std::wstring& to) {
  const AecStateReplaceFile replace = g_replace_file.load();
  return replace != nullptr ? replace(from, to) : aec_replace_file(from, to);
}

// What the old file holds for the save.
struct OldFile {
  bool usable = false;  // false: the file is there but cannot be read; nothing is written
  File file;            // open when its records are kept
  int64_t records = 0;  // whole records to copy
  int64_t match = -1;   // the pair's record, -1 when none
  bool match_sound = false;
  float match_erle = 0.0f;
};

// Opens the old file and finds the pair's record. A missing file, an older version or a
// file of broken length holds nothing to keep; any other failure makes the file unusable.
OldFile ReadOldFile(const std::wstring& path, const char* mic, const char* speaker, uint8_t* record) {
  OldFile old;
  old.file.reset(aec_open_wide(path, "rb"));
  if (!old.file) {
    old.usable = aec_path_missing(path);
    return old;
  }
  const int64_t size = aec_state_file_size(old.file.get());
  if (size < 0) return old;
  old.usable = true;
  if (aec_state_check(aec_state_file_version(old.file.get()), size) != AecStateFileCheck::kOk) {
    old.file.reset();
    return old;
  }
  old.records = aec_state_record_count(size);
  for (int64_t i = 0; i < old.records; ++i) {
    if (!aec_state_read_record(old.file.get(), i, record)) {
      old.usable = false;
      return old;
    }
    if (!aec_state_record_matches(record, mic, speaker)) continue;
    old.match = i;
    old.match_sound = aec_state_record_valid(record);
    old.match_erle = aec_state_record_values(record).erle;
    break;
  }
  return old;
}

// Writes the version, the old records with `fresh` in place of the pair's (or after them)
// to `temp`, and flushes it to the disk.
bool WriteNewFile(const std::wstring& temp, OldFile* old, const uint8_t* fresh, uint8_t* record) {
  File out(aec_open_wide(temp, "wb"));
  if (!out) return false;
  bool ok = WriteVersion(out.get());
  for (int64_t i = 0; ok && i < old->records; ++i) {
    if (i == old->match) {
      ok = WriteRecord(out.get(), fresh);
    } else {
      ok = aec_state_read_record(old->file.get(), i, record) && WriteRecord(out.get(), record);
    }
  }
  if (ok && old->match < 0) ok = WriteRecord(out.get(), fresh);
  ok = ok && aec_flush_file(out.get());
  return (std::fclose(out.release()) == 0) && ok;
}

}  // namespace

AecStateReplaceFile aec_state_set_replace_file(AecStateReplaceFile replace) { return g_replace_file.exchange(replace); }

void CAEC::SetDataFolder(const std::wstring& folder) { data_folder_ = folder; }

bool CAEC::SaveAECDataToFile(const char* mic_name, const char* speaker_name, int32_t, int32_t, int32_t mic_volume,
                             float boost_level) {
  if (delay_changed_age_ >= 1) {
    AudioLibLog("%s buffer delay just changed ,age %d dont save aec parameter. \n", "CAEC::SaveAECDataToFile",
                delay_changed_age_);
    return false;
  }
  if (!state_ || !delay_line_ || !aec_state_name_usable(mic_name) || !aec_state_name_usable(speaker_name) ||
      data_folder_.empty() || data_folder_.size() > kMaxFolderChars) {
    return false;
  }
  const int32_t volume = mic_volume > kMaxMicVolume ? kMaxMicVolume : (mic_volume < 0 ? 0 : mic_volume);
  int32_t delay = delay_line_->CurrentDelay();
  if (delay < kMinSavedDelay || delay > kMaxDelay) delay = kDefaultDelay;
  delay_line_->SetBufferDelay(delay);

  RecordBuffer record = NewRecord();
  RecordBuffer fresh = NewRecord();
  if (!record || !fresh) return false;
  const float erle = state_->filter.erle_db;
  aec_state_fill_record(fresh.get(), mic_name, speaker_name, *state_, AecStateValues{delay, erle, volume, boost_level});
  // A state that no restore would take is not written over anything.
  if (!aec_state_record_valid(fresh.get())) return false;

  const std::wstring path = StatePath(data_folder_);
  // Another save of this file runs: this one gives way and loses nothing of the other's.
  const AecFileLock lock(path + L".lock");
  if (!lock.Held()) return false;
  OldFile old = ReadOldFile(path, mic_name, speaker_name, record.get());
  if (!old.usable) return false;
  // A damaged record of the pair is replaced whatever it says its ERLE was.
  if (old.match >= 0 && old.match_sound && !(erle > old.match_erle - kErleMargin)) return false;

  const std::wstring temp = TempPath(path);
  const bool written = WriteNewFile(temp, &old, fresh.get(), record.get());
  old.file.reset();
  if (!written || !ReplaceFile(temp, path)) {
    aec_remove_file(temp);
    return false;
  }
  if (old.match >= 0) {
    AudioLibLog(
        "AEC filter data has been updated and saved to file, buffer delay %d, volume %d, boost "
        "lv %f, ERLE %f, old ERLE %f \n",
        delay, volume, boost_level, erle, old.match_erle);
    delay_changed_age_ = kAgeAfterSave;
  } else {
    AudioLibLog(
        "AEC: New AEC filter data has been saved to file, delay %d, volume %d, boost level %f, "
        "ERLE %f \n",
        delay, volume, boost_level, erle);
  }
  return true;
}

int CAEC::RestoreAECDataFromFile(const char* mic_name, const char* speaker_name, void*, float* erle,
                                 int32_t* mic_volume, float* boost_level) {
  if (!state_ || !delay_line_ || !aec_state_name_usable(mic_name) || !aec_state_name_usable(speaker_name)) {
    return 0;
  }
  const std::wstring path = StatePath(data_folder_);
  File f(aec_open_wide(path, "rb"));
  if (!f) return 0;
  const AecStateReadResult r = aec_state_read(f.get(), mic_name, speaker_name, state_.get());
  switch (r.outcome) {
    case AecStateRead::kTooShort:
      AudioLibLog("error: RestoreAECDataFromFile() | bad data file has been detected. size %d \n",
                  static_cast<int>(r.body_bytes));
      return 0;
    case AecStateRead::kBadLayout:
      AudioLibLog(
          "error: old file vserion or wrong size, file version %d cur version %d, file size %d, "
          "return \n",
          r.version, kAecStateVersion, static_cast<int>(r.body_bytes));
      return 0;
    case AecStateRead::kDamaged:
      AudioLibLog("error: RestoreAECDataFromFile() | damaged record, defaults kept \n");
      return 0;
    case AecStateRead::kNoRecord:
      return 0;
    case AecStateRead::kRestored:
      break;
  }
  AecStateValues v = r.values;
  if (v.buffer_delay < kMinRestoredDelay || v.buffer_delay > kMaxDelay) v.buffer_delay = kDefaultDelay;
  delay_line_->SetBufferDelay(v.buffer_delay);
  if (erle != nullptr) *erle = v.erle;
  if (mic_volume != nullptr) *mic_volume = v.mic_volume;
  if (boost_level != nullptr) *boost_level = v.boost;
  resample_reset(delay_line_.get());
  restored_ = 1;
  AudioLibLog(
      "Saved AEC data has been restored from file, buffer delay %d, volume %d, boost %f, max "
      "ERLE %f, version is %d, file %s \n",
      v.buffer_delay, v.mic_volume, v.boost, v.erle, r.version, aec_path_to_ansi(path).c_str());
  return 1;
}
