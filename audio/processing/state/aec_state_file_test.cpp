#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "aec_platform.h"
#include "aec_state_file.h"
#include "aec_state_reader.h"
#include "aec_state_record.h"
#include "echo_canceller.h"
#include "serrin_config.h"
#include "serrin_test_support.h"

using serrin_test::LogCapture;

namespace fs = std::filesystem;

namespace {

// Each case works in a folder of its own under the working directory.
class StateFile : public ::testing::Test {
 protected:
  void SetUp() override {
    serrin_config()->music_mode.store(0);
    folder_ = fs::current_path() /
              (std::string("aec_state_") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    file_ = folder_ / "AECParams.bin";
  }
  void TearDown() override { fs::remove_all(folder_); }

  std::unique_ptr<CAEC> NewAec() {
    std::unique_ptr<CAEC> aec = CAEC::Create();
    aec->SetDataFolder(folder_.wstring());
    return aec;
  }
  std::vector<uint8_t> FileBytes() const {
    std::ifstream f(file_, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  }
  void WriteBytes(const std::vector<uint8_t>& bytes) const {
    std::ofstream f(file_, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  // A file of the version word and the given records.
  static std::vector<uint8_t> FileOf(int32_t version, const std::vector<std::vector<uint8_t>>& records) {
    std::vector<uint8_t> out(4);
    for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(static_cast<uint32_t>(version) >> (8 * i));
    for (const auto& r : records) out.insert(out.end(), r.begin(), r.end());
    return out;
  }
  // A record of a freshly initialised core with the given values.
  static std::vector<uint8_t> Record(const char* mic, const char* speaker, int32_t delay, float erle) {
    std::unique_ptr<SerrinState> s(new SerrinState());
    serrin_init(s.get());
    s->filter.filter_a[0][100] = {0.25f, -0.5f};  // a recognisable tap
    std::vector<uint8_t> r(kAecStateRecordBytes);
    aec_state_fill_record(r.data(), mic, speaker, *s, AecStateValues{delay, erle, 40, 1.5f});
    serrin_release(s.get());
    return r;
  }

  fs::path folder_;
  fs::path file_;
};

}  // namespace

// Verifies the record layout against the sizes of the file format.
TEST(StateRecord, LayoutAndChecks) {
  EXPECT_EQ(kAecStateBlockA + kAecStateBlockABytes + kAecStateBlockBBytes + kAecStateBlockCBytes + 20,
            kAecStateRecordBytes);
  EXPECT_EQ(aec_state_check(1006, 4), AecStateFileCheck::kTooShort);
  EXPECT_EQ(aec_state_check(1006, 2), AecStateFileCheck::kTooShort);
  EXPECT_EQ(aec_state_check(1005, 4 + kAecStateRecordBytes), AecStateFileCheck::kBadLayout);
  EXPECT_EQ(aec_state_check(1006, 4 + kAecStateRecordBytes + 10), AecStateFileCheck::kBadLayout);
  EXPECT_EQ(aec_state_check(1007, 4 + 2 * kAecStateRecordBytes), AecStateFileCheck::kOk);
  EXPECT_EQ(aec_state_record_count(4 + 3 * kAecStateRecordBytes), 3);
  EXPECT_FALSE(aec_state_name_usable(""));
  EXPECT_FALSE(aec_state_name_usable(nullptr));
  EXPECT_FALSE(aec_state_name_usable(std::string(256, 'm').c_str()));  // no room for its end
  EXPECT_TRUE(aec_state_name_usable(std::string(255, 'm').c_str()));
}

// Verifies that a learnt state is written and read back into a new canceller, with the
// volume capped at 80, and that names differing in case are different pairs.
TEST_F(StateFile, SaveAndRestoreAcrossRestart) {
  LogCapture log;
  std::unique_ptr<CAEC> first = NewAec();
  first->State()->filter.filter_a[0][200] = {1.5f, -0.75f};
  first->State()->filter.erle_db = 25.0f;
  first->State()->echo_path[1].echo_gain[3] = 0.125f;
  ASSERT_TRUE(first->SaveAECDataToFile("Mic", "Speaker", 0, 0, 95, 2.5f));
  EXPECT_EQ(log.Count("AEC: New AEC filter data has been saved to file, delay 1920, volume 80"), 1);
  EXPECT_EQ(FileBytes().size(), 4 + kAecStateRecordBytes);
  ASSERT_TRUE(first->SaveAECDataToFile("mic", "Speaker", 0, 0, 10, 0.0f));
  EXPECT_EQ(FileBytes().size(), 4 + 2 * kAecStateRecordBytes);

  std::unique_ptr<CAEC> second = NewAec();
  float erle = -1.0f, boost = -1.0f;
  int32_t volume = -1;
  ASSERT_EQ(second->RestoreAECDataFromFile("Mic", "Speaker", nullptr, &erle, &volume, &boost), 1);
  EXPECT_EQ(erle, 25.0f);
  EXPECT_EQ(volume, 80);
  EXPECT_EQ(boost, 2.5f);
  EXPECT_TRUE(second->Restored());
  EXPECT_EQ(second->State()->filter.filter_a[0][200].re, 1.5f);
  EXPECT_EQ(second->State()->filter.filter_a[0][200].im, -0.75f);
  EXPECT_EQ(second->State()->filter.erle_db, 0.0f);  // rebuilt from new frames
  EXPECT_EQ(second->State()->echo_path[1].echo_gain[3], 0.125f);
  EXPECT_EQ(log.Count("Saved AEC data has been restored from file, buffer delay 1920, volume 80"), 1);
  EXPECT_EQ(second->RestoreAECDataFromFile("MIC", "Speaker", nullptr, &erle, &volume, &boost), 0);
}

// Verifies that a missing, short, old or broken file gives defaults, and that a save then
// replaces it by the version word and one record.
TEST_F(StateFile, MissingShortOldAndBrokenFiles) {
  LogCapture log;
  std::unique_ptr<CAEC> aec = NewAec();
  float erle = 7.0f;
  int32_t volume = 7;
  float boost = 7.0f;
  EXPECT_EQ(aec->RestoreAECDataFromFile("Mic", "Spk", nullptr, &erle, &volume, &boost), 0);

  WriteBytes(FileOf(1006, {}));
  EXPECT_EQ(aec->RestoreAECDataFromFile("Mic", "Spk", nullptr, &erle, &volume, &boost), 0);
  EXPECT_EQ(log.Count("bad data file has been detected. size 0"), 1);
  ASSERT_TRUE(aec->SaveAECDataToFile("Mic", "Spk", 0, 0, 10, 0.0f));
  EXPECT_EQ(FileBytes().size(), 4 + kAecStateRecordBytes);

  WriteBytes(FileOf(1005, {Record("Mic", "Spk", 1920, 5.0f)}));
  EXPECT_EQ(aec->RestoreAECDataFromFile("Mic", "Spk", nullptr, &erle, &volume, &boost), 0);
  EXPECT_EQ(log.Count("old file vserion or wrong size, file version 1005 cur version 1006"), 1);
  ASSERT_TRUE(aec->SaveAECDataToFile("Other", "Spk", 0, 0, 10, 0.0f));
  std::vector<uint8_t> bytes = FileBytes();
  ASSERT_EQ(bytes.size(), 4 + kAecStateRecordBytes);
  EXPECT_EQ(bytes[0] | (bytes[1] << 8), 1006);
  EXPECT_TRUE(aec_state_record_matches(bytes.data() + 4, "Other", "Spk"));

  std::vector<uint8_t> broken = FileOf(1006, {Record("Mic", "Spk", 1920, 5.0f)});
  broken.resize(broken.size() + 10, 0);
  WriteBytes(broken);
  EXPECT_EQ(aec->RestoreAECDataFromFile("Mic", "Spk", nullptr, &erle, &volume, &boost), 0);
  // Truncated inside the record.
  broken.resize(4 + kAecStateRecordBytes / 2);
  WriteBytes(broken);
  EXPECT_EQ(aec->RestoreAECDataFromFile("Mic", "Spk", nullptr, &erle, &volume, &boost), 0);
  EXPECT_EQ(erle, 7.0f);
  EXPECT_EQ(volume, 7);
  EXPECT_EQ(boost, 7.0f);
  EXPECT_FALSE(aec->Restored());
}

// Verifies that a damaged record (not-a-number in the filter, a ring index out of range)
// is refused: the core keeps its state and the file stays as it was.
TEST_F(StateFile, DamagedRecordsAreRefused) {
  std::unique_ptr<CAEC> aec = NewAec();
  const auto before = aec->State()->filter.filter_a[0][100];
  std::vector<uint8_t> rec = Record("Mic", "Spk", 2400, 5.0f);
  const float nan = std::nanf("");
  std::memcpy(rec.data() + kAecStateBlockA + 1000, &nan, 4);
  std::vector<uint8_t> file = FileOf(1006, {rec});
  WriteBytes(file);
  EXPECT_EQ(aec->RestoreAECDataFromFile("Mic", "Spk", nullptr, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(aec->State()->filter.filter_a[0][100].re, before.re);
  EXPECT_EQ(FileBytes(), file);

  rec = Record("Mic", "Spk", 2400, 5.0f);
  const int32_t bad_index = 13;  // the first group has 13 partitions
  std::memcpy(rec.data() + kAecStateBlockA + offsetof(EchoFilterBody, history_index), &bad_index, 4);
  WriteBytes(FileOf(1006, {rec}));
  EXPECT_EQ(aec->RestoreAECDataFromFile("Mic", "Spk", nullptr, nullptr, nullptr, nullptr), 0);

  rec = Record("Mic", "Spk", 2400, 5.0f);
  WriteBytes(FileOf(1006, {rec}));
  EXPECT_EQ(aec->RestoreAECDataFromFile("Mic", "Spk", nullptr, nullptr, nullptr, nullptr), 1);
  EXPECT_EQ(aec->State()->filter.filter_a[0][100].re, 0.25f);
}

// Verifies the ERLE rule of a known pair: within 2 dB of the stored ERLE replaces the
// record in place, below that nothing is written.
TEST_F(StateFile, KnownPairReplacedOnlyNearItsErle) {
  LogCapture log;
  std::unique_ptr<CAEC> aec = NewAec();
  const std::vector<uint8_t> file = FileOf(1006, {Record("A", "B", 1920, 3.0f), Record("Mic", "Spk", 1920, 20.0f)});
  WriteBytes(file);
  aec->State()->filter.erle_db = 17.9f;
  EXPECT_FALSE(aec->SaveAECDataToFile("Mic", "Spk", 0, 0, 10, 0.0f));
  EXPECT_EQ(FileBytes(), file);
  aec->State()->filter.erle_db = 18.5f;
  EXPECT_TRUE(aec->SaveAECDataToFile("Mic", "Spk", 0, 0, 10, 0.0f));
  EXPECT_EQ(log.Count("AEC filter data has been updated and saved to file"), 1);
  const std::vector<uint8_t> bytes = FileBytes();
  ASSERT_EQ(bytes.size(), file.size());
  EXPECT_TRUE(std::equal(file.begin(), file.begin() + 4 + kAecStateRecordBytes, bytes.begin()));
  EXPECT_EQ(aec_state_record_values(bytes.data() + 4 + kAecStateRecordBytes).erle, 18.5f);
  // A replaced record holds saving back for 250 frames.
  EXPECT_EQ(aec->DelayChangedAge(), 250);
  EXPECT_FALSE(aec->SaveAECDataToFile("Mic", "Spk", 0, 0, 10, 0.0f));
  EXPECT_EQ(log.Count("CAEC::SaveAECDataToFile buffer delay just changed ,age 250"), 1);
}

// Verifies the restored buffer delay: out of range becomes 1920, the limit is kept.
TEST_F(StateFile, RestoredDelayIsClamped) {
  std::unique_ptr<CAEC> aec = NewAec();
  WriteBytes(FileOf(1006, {Record("Mic", "Spk", 900, 1.0f)}));
  ASSERT_EQ(aec->RestoreAECDataFromFile("Mic", "Spk", nullptr, nullptr, nullptr, nullptr), 1);
  EXPECT_EQ(aec->DelayLine()->BufferDelay(), 1920);
  WriteBytes(FileOf(1006, {Record("Mic", "Spk", 13440, 1.0f)}));
  ASSERT_EQ(aec->RestoreAECDataFromFile("Mic", "Spk", nullptr, nullptr, nullptr, nullptr), 1);
  EXPECT_EQ(aec->DelayLine()->BufferDelay(), 13440);
  EXPECT_EQ(aec->DelayLine()->CurrentDelay(), 13440);
}

// Verifies that a save keeps the delay the tracking set up (one frame here), which the
// restore accepts, so that the filter comes back at the alignment it learnt.
TEST_F(StateFile, SavedDelayIsTheDelayInUse) {
  std::unique_ptr<CAEC> aec = NewAec();
  aec->DelayLine()->ShiftFrames(-1);  // 1920 - 960
  ASSERT_EQ(aec->DelayLine()->CurrentDelay(), 960);
  ASSERT_TRUE(aec->SaveAECDataToFile("Mic", "Spk", 0, 0, 10, 0.0f));
  EXPECT_EQ(aec_state_record_values(FileBytes().data() + 4).buffer_delay, 960);
  std::unique_ptr<CAEC> next = NewAec();
  ASSERT_EQ(next->RestoreAECDataFromFile("Mic", "Spk", nullptr, nullptr, nullptr, nullptr), 1);
  EXPECT_EQ(next->DelayLine()->CurrentDelay(), 960);
}

// The replace step of the saves, swapped for one case.
class ReplaceStep {
 public:
  explicit ReplaceStep(AecStateReplaceFile step) : before_(aec_state_set_replace_file(step)) {}
  ~ReplaceStep() { aec_state_set_replace_file(before_); }

 private:
  AecStateReplaceFile before_;
};

// Every pair of the file restores into a new canceller; returns how many there are.
int RestoreEveryPair(const std::vector<uint8_t>& bytes, const fs::path& folder) {
  EXPECT_EQ(aec_state_check(static_cast<int32_t>(bytes[0] | (bytes[1] << 8)), static_cast<int64_t>(bytes.size())),
            AecStateFileCheck::kOk);
  const int64_t n = aec_state_record_count(static_cast<int64_t>(bytes.size()));
  for (int64_t i = 0; i < n; ++i) {
    const uint8_t* r = bytes.data() + 4 + i * kAecStateRecordBytes;
    const std::string mic(reinterpret_cast<const char*>(r + kAecStateMicName));
    const std::string spk(reinterpret_cast<const char*>(r + kAecStateSpeakerName));
    std::unique_ptr<CAEC> aec = CAEC::Create();
    aec->SetDataFolder(folder.wstring());
    EXPECT_EQ(aec->RestoreAECDataFromFile(mic.c_str(), spk.c_str(), nullptr, nullptr, nullptr, nullptr), 1)
        << mic << " / " << spk;
  }
  return static_cast<int>(n);
}

size_t TempFilesIn(const fs::path& folder) {
  size_t n = 0;
  for (const auto& e : fs::directory_iterator(folder)) {
    if (e.path().extension() == ".tmp") ++n;
  }
  return n;
}

bool FailReplace(const std::wstring&, const std::wstring&) { return false; }

// Verifies that a save that cannot put its new file in place leaves the good file untouched
// and no temporary file behind.
TEST_F(StateFile, FailedReplaceKeepsTheGoodFile) {
  std::unique_ptr<CAEC> aec = NewAec();
  const std::vector<uint8_t> file = FileOf(1006, {Record("Mic", "Spk", 1920, 3.0f)});
  WriteBytes(file);
  const ReplaceStep fail(FailReplace);
  aec->State()->filter.erle_db = 30.0f;
  EXPECT_FALSE(aec->SaveAECDataToFile("Mic", "Spk", 0, 0, 10, 0.0f));
  EXPECT_FALSE(aec->SaveAECDataToFile("New", "Spk", 0, 0, 10, 0.0f));
  EXPECT_EQ(FileBytes(), file);
  EXPECT_EQ(TempFilesIn(folder_), 0u);
}

// Verifies that a pair whose stored ERLE is not a number is saved again (in place, the
// other pairs kept) and then restores, instead of refusing every later save.
TEST_F(StateFile, RecordWithoutErleIsReplaced) {
  std::vector<uint8_t> damaged = Record("Mic", "Spk", 1920, std::nanf(""));
  WriteBytes(FileOf(1006, {Record("A", "B", 1920, 3.0f), damaged, Record("C", "D", 1920, 4.0f)}));
  std::unique_ptr<CAEC> aec = NewAec();
  EXPECT_EQ(aec->RestoreAECDataFromFile("Mic", "Spk", nullptr, nullptr, nullptr, nullptr), 0);
  aec->State()->filter.erle_db = 5.0f;
  ASSERT_TRUE(aec->SaveAECDataToFile("Mic", "Spk", 0, 0, 10, 0.0f));
  const std::vector<uint8_t> bytes = FileBytes();
  ASSERT_EQ(bytes.size(), 4 + 3 * kAecStateRecordBytes);
  EXPECT_TRUE(aec_state_record_matches(bytes.data() + 4 + kAecStateRecordBytes, "Mic", "Spk"));
  EXPECT_EQ(RestoreEveryPair(bytes, folder_), 3);
  float erle = 0.0f;
  std::unique_ptr<CAEC> next = NewAec();
  ASSERT_EQ(next->RestoreAECDataFromFile("Mic", "Spk", nullptr, &erle, nullptr, nullptr), 1);
  EXPECT_EQ(erle, 5.0f);
}

// Verifies that a core whose state no restore would take writes nothing.
TEST_F(StateFile, UnsoundStateIsNotSaved) {
  const std::vector<uint8_t> file = FileOf(1006, {Record("Mic", "Spk", 1920, 3.0f)});
  WriteBytes(file);
  std::unique_ptr<CAEC> aec = NewAec();
  aec->State()->filter.erle_db = std::nanf("");
  EXPECT_FALSE(aec->SaveAECDataToFile("Mic", "Spk", 0, 0, 10, 0.0f));
  aec->State()->filter.erle_db = 30.0f;
  aec->State()->filter.filter_a[0][10] = {std::numeric_limits<float>::infinity(), 0.0f};
  EXPECT_FALSE(aec->SaveAECDataToFile("New", "Spk", 0, 0, 10, 0.0f));
  EXPECT_EQ(FileBytes(), file);
}

// Verifies that a state file that exists but cannot be opened is left as it is: it is not
// taken for a missing file and replaced by one holding only the new pair.
TEST_F(StateFile, UnreadableFileIsLeftAlone) {
  const std::vector<uint8_t> file = FileOf(1006, {Record("A", "B", 1920, 3.0f), Record("C", "D", 1920, 4.0f)});
  WriteBytes(file);
  std::unique_ptr<CAEC> aec = NewAec();
  aec->State()->filter.erle_db = 30.0f;
  {
#ifdef _WIN32
    // Another program holds the file without sharing it.
    const HANDLE held =
        CreateFileW(file_.wstring().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(aec->SaveAECDataToFile("Mic", "Spk", 0, 0, 10, 0.0f));
    CloseHandle(held);
#else
    // The name resolves to nothing that can be opened (a link to itself).
    const fs::path kept = folder_ / "kept.bin";
    fs::rename(file_, kept);
    fs::create_symlink(file_.filename(), file_);
    EXPECT_FALSE(aec->SaveAECDataToFile("Mic", "Spk", 0, 0, 10, 0.0f));
    EXPECT_TRUE(fs::is_symlink(file_));
    fs::remove(file_);
    fs::rename(kept, file_);
#endif
  }
  EXPECT_EQ(FileBytes(), file);
  EXPECT_EQ(RestoreEveryPair(FileBytes(), folder_), 2);
  EXPECT_TRUE(aec->SaveAECDataToFile("Mic", "Spk", 0, 0, 10, 0.0f));
  EXPECT_EQ(RestoreEveryPair(FileBytes(), folder_), 3);
}

// A second canceller saving from inside the first one's replace step: the two saves
// overlap exactly where a shared temporary file or an unguarded file would be lost.
struct Overlap {
  static CAEC* second;
  static bool second_saved;
  static bool Replace(const std::wstring& from, const std::wstring& to) {
    if (second != nullptr) {
      CAEC* s = second;
      second = nullptr;
      second_saved = s->SaveAECDataToFile("Second", "Spk", 0, 0, 10, 0.0f);
    }
    return aec_replace_file(from, to);
  }
};
CAEC* Overlap::second = nullptr;
bool Overlap::second_saved = false;

// Verifies two savers at once: the one that comes second while the first holds the file
// gives way (reports false), the first one's pair is in the file, and every pair restores.
TEST_F(StateFile, TwoSaversAtOnce) {
  WriteBytes(FileOf(1006, {Record("A", "B", 1920, 3.0f)}));
  std::unique_ptr<CAEC> first = NewAec();
  std::unique_ptr<CAEC> second = NewAec();
  first->State()->filter.erle_db = 20.0f;
  second->State()->filter.erle_db = 21.0f;
  Overlap::second = second.get();
  Overlap::second_saved = true;
  {
    const ReplaceStep overlap(Overlap::Replace);
    EXPECT_TRUE(first->SaveAECDataToFile("First", "Spk", 0, 0, 10, 0.0f));
  }
  EXPECT_FALSE(Overlap::second_saved);
  std::vector<uint8_t> bytes = FileBytes();
  EXPECT_EQ(RestoreEveryPair(bytes, folder_), 2);
  EXPECT_TRUE(aec_state_record_matches(bytes.data() + 4 + kAecStateRecordBytes, "First", "Spk"));
  EXPECT_EQ(TempFilesIn(folder_), 0u);
  // Once the first is done, the second saves and both pairs are kept.
  EXPECT_TRUE(second->SaveAECDataToFile("Second", "Spk", 0, 0, 10, 0.0f));
  EXPECT_EQ(RestoreEveryPair(FileBytes(), folder_), 3);
}

// Stops a save where the process could die: its new file is written but not in place.
uintmax_t g_interrupted_size = 0;
bool InterruptBeforeReplace(const std::wstring& from, const std::wstring&) {
  FILE* f = aec_open_wide(from, "rb");
  g_interrupted_size = f != nullptr ? static_cast<uintmax_t>(aec_state_file_size(f)) : 0;
  if (f != nullptr) std::fclose(f);
  return false;
}

// Verifies that a save interrupted before its replace leaves the good file as it was, with
// every pair restoring, and that the next save works.
TEST_F(StateFile, SaveInterruptedBeforeReplace) {
  const std::vector<uint8_t> file = FileOf(1006, {Record("A", "B", 1920, 3.0f), Record("Mic", "Spk", 1920, 4.0f)});
  WriteBytes(file);
  std::unique_ptr<CAEC> aec = NewAec();
  aec->State()->filter.erle_db = 30.0f;
  {
    const ReplaceStep interrupt(InterruptBeforeReplace);
    EXPECT_FALSE(aec->SaveAECDataToFile("Mic", "Spk", 0, 0, 10, 0.0f));
  }
  EXPECT_EQ(g_interrupted_size, file.size());  // complete before it is put in place
  EXPECT_EQ(FileBytes(), file);
  EXPECT_EQ(RestoreEveryPair(FileBytes(), folder_), 2);
  EXPECT_TRUE(aec->SaveAECDataToFile("Mic", "Spk", 0, 0, 10, 0.0f));
  const std::vector<uint8_t> bytes = FileBytes();
  EXPECT_EQ(RestoreEveryPair(bytes, folder_), 2);
  EXPECT_EQ(aec_state_record_values(bytes.data() + 4 + kAecStateRecordBytes).erle, 30.0f);
}
