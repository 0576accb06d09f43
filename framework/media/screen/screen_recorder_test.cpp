// The screen recorder under Wine: real .mp4 files of the Xvfb desktop with sound, read
// back by the native ffprobe; bad paths fail at the start and leave nothing behind.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "avcore/avcore.h"
#include "framework_loader.h"
#include "native_probe.h"

using namespace media_test;

namespace {

avcore::ScreenRecordParam Record(int x, int y, int width, int height, bool audio) {
  avcore::ScreenRecordParam p{};
  p.size = sizeof p;
  p.version = 1;
  p.x = x;
  p.y = y;
  p.width = width;
  p.height = height;
  p.frame_rate = 15;
  p.video_bitrate = 600000;
  p.container = 1;
  if (audio) {
    p.audio = 1;
    p.sample_rate = 48000;
    p.channels = 1;
    p.bits_per_sample = 16;
    p.audio_bitrate = 192000;
  }
  return p;
}

// Feeds `seconds` of a 440 Hz tone in 20 ms blocks, one every `period_ms` (20: the pace
// of real time; more: a device that falls behind).
void FeedTone(avcore::IScreenRecorder* recorder, int seconds, int period_ms = 20) {
  std::vector<int16_t> block(960);
  const DWORD start = GetTickCount();
  for (int n = 0; n < seconds * 1000 / period_ms; ++n) {
    for (size_t i = 0; i < block.size(); ++i) {
      block[i] = static_cast<int16_t>(8000 * std::sin(2 * 3.14159265 * 440 * (n * 960 + i) / 48000.0));
    }
    ASSERT_EQ(recorder->WriteAudio(block.data(), static_cast<int32_t>(block.size() * 2)), S_OK);
    const DWORD due = start + static_cast<DWORD>((n + 1) * period_ms);
    const DWORD now = GetTickCount();
    if (static_cast<int32_t>(due - now) > 0) Sleep(due - now);
  }
}

// The durations of a file's video and audio streams (-1 when missing).
struct TrackDurations {
  double video = -1;
  double audio = -1;
};
TrackDurations ProbeTracks(const std::wstring& path) {
  const std::string probe =
      RunNative("ffprobe -v error -show_entries stream=codec_type,duration -of csv=p=0 '" + UnixPath(path) + "'",
                path + L".tracks.txt");
  TrackDurations d;
  size_t at = 0;
  while (at < probe.size()) {
    const size_t end = std::min(probe.find('\n', at), probe.size());
    const std::string line = probe.substr(at, end - at);
    const size_t comma = line.find(',');
    if (comma != std::string::npos) {
      const double seconds = std::atof(line.c_str() + comma + 1);
      if (line.compare(0, comma, "video") == 0) d.video = seconds;
      if (line.compare(0, comma, "audio") == 0) d.audio = seconds;
    }
    at = end + 1;
  }
  return d;
}

// Two frames at the recordings' 15 frames per second.
constexpr double kTwoFrames = 2.0 / 15;

class ScreenRecorderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fw_.ok());
    recorder_ = Make();
    ASSERT_NE(recorder_, nullptr);
  }
  void TearDown() override {
    if (recorder_) recorder_->Release();
  }
  avcore::IScreenRecorder* Make() {
    return static_cast<avcore::IScreenRecorder*>(fw_.Create(avcore::CLSID_ScreenRecorder, avcore::IID_IScreenRecorder));
  }
  std::wstring PathFor(const wchar_t* name) {
    return WorkDir() + L"\\" + name + std::to_wstring(GetCurrentProcessId()) + L".mp4";
  }
  connection_test::FrameworkLoader fw_;
  avcore::IScreenRecorder* recorder_ = nullptr;
};

}  // namespace

// Ten seconds of the whole virtual screen with sound: H.264 of the screen's size and AAC,
// ten seconds long.
TEST_F(ScreenRecorderTest, TenSecondsOfTheScreenWithSound) {
  const std::wstring path = PathFor(L"screen_record_");
  const int cx = GetSystemMetrics(SM_CXVIRTUALSCREEN);
  const int cy = GetSystemMetrics(SM_CYVIRTUALSCREEN);
  const avcore::ScreenRecordParam param = Record(0, 0, cx, cy, true);
  const DWORD started = GetTickCount();
  ASSERT_EQ(recorder_->StartRecord(&param, path.c_str()), S_OK);
  EXPECT_NE(recorder_->StartRecord(&param, path.c_str()), S_OK) << "already recording";
  FeedTone(recorder_, 10);
  ASSERT_EQ(recorder_->StopRecord(), S_OK);
  // Ten seconds of sound, fed in real time; a loaded machine feeds them late and records longer.
  const double recorded = (GetTickCount() - started) / 1000.0;
  const std::string probe = Probe(path);
  EXPECT_NE(probe.find("codec_name=h264"), std::string::npos) << probe;
  EXPECT_NE(probe.find("width=" + std::to_string(cx & ~1)), std::string::npos) << probe;
  EXPECT_NE(probe.find("height=" + std::to_string(cy & ~1)), std::string::npos) << probe;
  EXPECT_NE(probe.find("codec_name=aac"), std::string::npos) << probe;
  EXPECT_NE(probe.find("sample_rate=48000"), std::string::npos) << probe;
  EXPECT_NEAR(ProbedDuration(probe), recorded, 0.5) << probe << "recorded for " << recorded << " s";
  const TrackDurations tracks = ProbeTracks(path);
  EXPECT_NEAR(tracks.audio, tracks.video, kTwoFrames) << "the sound does not cover the video";
  DeleteFileW(path.c_str());
}

// Sound that starts late and then comes slower than real time (as from a player that falls
// behind under load: a block every 23 ms) still ends with the video, in step with it.
TEST_F(ScreenRecorderTest, SlowSoundEndsWithTheVideo) {
  const std::wstring path = PathFor(L"screen_slow_sound_");
  const avcore::ScreenRecordParam param = Record(0, 0, 320, 240, true);
  ASSERT_EQ(recorder_->StartRecord(&param, path.c_str()), S_OK);
  Sleep(300);
  FeedTone(recorder_, 3, 23);
  Sleep(200);
  ASSERT_EQ(recorder_->StopRecord(), S_OK);
  const TrackDurations tracks = ProbeTracks(path);
  EXPECT_NEAR(tracks.video, 3.5, 0.5);
  EXPECT_NEAR(tracks.audio, tracks.video, kTwoFrames);
  DeleteFileW(path.c_str());
}

// A folder whose name is not in the ANSI code page (a user name in Chinese) takes the
// recording like any other.
TEST_F(ScreenRecorderTest, FolderWithChineseName) {
  const std::wstring folder = WorkDir() + L"\\桌面_录制_" + std::to_wstring(GetCurrentProcessId());
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  const std::wstring path = folder + L"\\会议录像.mp4";
  const avcore::ScreenRecordParam param = Record(0, 0, 320, 240, true);
  ASSERT_EQ(recorder_->StartRecord(&param, path.c_str()), S_OK);
  FeedTone(recorder_, 1);
  ASSERT_EQ(recorder_->StopRecord(), S_OK);
  ASSERT_TRUE(Exists(path));
  // ffprobe reads an ASCII-named copy.
  const std::wstring copy = PathFor(L"screen_chinese_copy_");
  ASSERT_TRUE(CopyFileW(path.c_str(), copy.c_str(), FALSE));
  const std::string probe = Probe(copy);
  EXPECT_NE(probe.find("codec_name=h264"), std::string::npos) << probe;
  EXPECT_NE(probe.find("codec_name=aac"), std::string::npos) << probe;
  DeleteFileW(copy.c_str());
  DeleteFileW(path.c_str());
  EXPECT_TRUE(RemoveDirectoryW(folder.c_str()));
}

// A rectangle is recorded at its own size (odd sides rounded down to even); the last
// Release of a recording recorder completes the file.
TEST_F(ScreenRecorderTest, RectangleFinishedByRelease) {
  const std::wstring path = PathFor(L"screen_rect_");
  const avcore::ScreenRecordParam param = Record(10, 20, 321, 241, false);
  ASSERT_EQ(recorder_->StartRecord(&param, path.c_str()), S_OK);
  EXPECT_EQ(recorder_->WriteAudio("\0\0\0\0", 4), E_UNEXPECTED) << "no sound was asked for";
  Sleep(2000);
  recorder_->Release();
  recorder_ = nullptr;
  const std::string probe = Probe(path);
  EXPECT_NE(probe.find("codec_name=h264"), std::string::npos) << probe;
  EXPECT_NE(probe.find("width=320"), std::string::npos) << probe;
  EXPECT_NE(probe.find("height=240"), std::string::npos) << probe;
  EXPECT_EQ(probe.find("codec_type=audio"), std::string::npos) << probe;
  EXPECT_NEAR(ProbedDuration(probe), 2.0, 0.5) << probe;
  DeleteFileW(path.c_str());
}

// A missing folder, a read-only file and a folder in place of the file fail the start and
// leave the recorder ready for a good path; bad records are refused.
TEST_F(ScreenRecorderTest, BadPathsAndRecords) {
  const avcore::ScreenRecordParam param = Record(0, 0, 320, 240, true);
  const std::wstring missing = WorkDir() + L"\\no_such_folder_" + std::to_wstring(GetCurrentProcessId()) + L"\\a.mp4";
  EXPECT_LT(recorder_->StartRecord(&param, missing.c_str()), 0);
  EXPECT_FALSE(Exists(missing));

  const std::wstring readOnly = PathFor(L"screen_readonly_");
  HANDLE f = CreateFileW(readOnly.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  CloseHandle(f);
  ASSERT_TRUE(SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_LT(recorder_->StartRecord(&param, readOnly.c_str()), 0);
  SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(readOnly.c_str());

  EXPECT_LT(recorder_->StartRecord(&param, WorkDir().c_str()), 0) << "a folder";
  EXPECT_EQ(recorder_->StartRecord(&param, nullptr), E_POINTER);
  avcore::ScreenRecordParam bad = param;
  bad.bits_per_sample = 8;
  EXPECT_EQ(recorder_->StartRecord(&bad, L"x.mp4"), E_INVALIDARG);
  bad = param;
  bad.width = 0;
  EXPECT_EQ(recorder_->StartRecord(&bad, L"x.mp4"), E_INVALIDARG);
  EXPECT_EQ(recorder_->StopRecord(), S_OK) << "nothing records";

  const std::wstring good = PathFor(L"screen_after_bad_");
  ASSERT_EQ(recorder_->StartRecord(&param, good.c_str()), S_OK);
  Sleep(500);
  EXPECT_EQ(recorder_->StopRecord(), S_OK);
  EXPECT_TRUE(Exists(good));
  DeleteFileW(good.c_str());
}
