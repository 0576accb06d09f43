// Saved echo-canceller state: "AECParams.bin" in the data folder, one record per
// (microphone, speaker) pair. A save writes the whole new file to a temporary file beside
// it and then replaces the old one, so that a failed write never damages a good file.
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

// An open file that closes itself.
struct FileCloser {
  void operator()(FILE* f) const {
    if (f != nullptr) std::fclose(f);
  }
};
using File = std::unique_ptr<FILE, FileCloser>;

bool WriteVersion(FILE* f) {
  const uint8_t b[4] = {static_cast<uint8_t>(kAecStateVersion & 0xFF),
                        static_cast<uint8_t>((kAecStateVersion >> 8) & 0xFF), 0, 0};
  return std::fwrite(b, 1, 4, f) == 4;
}

std::wstring StatePath(const std::wstring& folder) { return folder + L"\\AECParams.bin"; }

}  // namespace

void CAEC::SetDataFolder(const std::wstring& folder) { data_folder_ = folder; }

bool CAEC::SaveAECDataToFile(const char* mic_name, const char* speaker_name, int32_t, int32_t,
                             int32_t mic_volume, float boost_level) {
  if (delay_changed_age_ >= 1) {
    AudioLibLog("%s buffer delay just changed ,age %d dont save aec parameter. \n",
                "CAEC::SaveAECDataToFile", delay_changed_age_);
    return false;
  }
  if (!state_ || !delay_line_ || !aec_state_name_usable(mic_name) ||
      !aec_state_name_usable(speaker_name) || data_folder_.empty() ||
      data_folder_.size() > kMaxFolderChars) {
    return false;
  }
  const int32_t volume = mic_volume > kMaxMicVolume ? kMaxMicVolume : (mic_volume < 0 ? 0 : mic_volume);
  int32_t delay = delay_line_->CurrentDelay();
  if (delay < kMinSavedDelay || delay > kMaxDelay) delay = kDefaultDelay;
  delay_line_->SetBufferDelay(delay);

  std::unique_ptr<uint8_t[]> record(new (std::nothrow) uint8_t[kAecStateRecordBytes]);
  std::unique_ptr<uint8_t[]> fresh(new (std::nothrow) uint8_t[kAecStateRecordBytes]);
  if (!record || !fresh) return false;
  const float erle = state_->filter.erle_db;
  aec_state_fill_record(fresh.get(), mic_name, speaker_name, *state_,
                        AecStateValues{delay, erle, volume, boost_level});

  const std::wstring path = StatePath(data_folder_);
  const std::wstring temp = path + L".tmp";
  // The records to keep from the old file, and where the new one goes (-1: appended).
  File old(aec_open_wide(path, "rb"));
  int64_t kept = 0;
  int64_t replace = -1;
  float old_erle = 0.0f;
  if (old) {
    const int64_t size = aec_state_file_size(old.get());
    const int32_t version = aec_state_file_version(old.get());
    if (size >= 0 && aec_state_check(version, size) == AecStateFileCheck::kOk) {
      kept = aec_state_record_count(size);
      for (int64_t i = 0; i < kept; ++i) {
        if (!aec_state_read_record(old.get(), i, record.get())) continue;
        if (!aec_state_record_matches(record.get(), mic_name, speaker_name)) continue;
        old_erle = aec_state_record_values(record.get()).erle;
        if (!(erle > old_erle - kErleMargin)) return false;
        replace = i;
        break;
      }
    }
  }

  bool written = false;
  {
    File out(aec_open_wide(temp, "wb"));
    if (out) {
      written = WriteVersion(out.get());
      for (int64_t i = 0; written && i < kept; ++i) {
        if (i == replace) {
          written = std::fwrite(fresh.get(), 1, kAecStateRecordBytes, out.get()) ==
                    kAecStateRecordBytes;
        } else if (aec_state_read_record(old.get(), i, record.get())) {
          written = std::fwrite(record.get(), 1, kAecStateRecordBytes, out.get()) ==
                    kAecStateRecordBytes;
        }
      }
      if (written && replace < 0) {
        written = std::fwrite(fresh.get(), 1, kAecStateRecordBytes, out.get()) ==
                  kAecStateRecordBytes;
      }
      written = written && std::fflush(out.get()) == 0;
      written = (std::fclose(out.release()) == 0) && written;
    }
  }
  old.reset();
  if (!written || !aec_replace_file(temp, path)) {
    aec_remove_file(temp);
    return false;
  }
  if (replace >= 0) {
    AudioLibLog(
        "AEC filter data has been updated and saved to file, buffer delay %d, volume %d, boost "
        "lv %f, ERLE %f, old ERLE %f \n",
        delay, volume, boost_level, erle, old_erle);
    delay_changed_age_ = kAgeAfterSave;
  } else {
    AudioLibLog(
        "AEC: New AEC filter data has been saved to file, delay %d, volume %d, boost level %f, "
        "ERLE %f \n",
        delay, volume, boost_level, erle);
  }
  return true;
}

int CAEC::RestoreAECDataFromFile(const char* mic_name, const char* speaker_name, void*,
                                 float* erle, int32_t* mic_volume, float* boost_level) {
  if (!state_ || !delay_line_ || !aec_state_name_usable(mic_name) ||
      !aec_state_name_usable(speaker_name)) {
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
