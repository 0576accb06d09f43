// The recording sink under Wine: a real .mp4 that ffprobe (run natively) reads back.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "avcore/avcore.h"
#include "framework_loader.h"
#include "native_probe.h"

namespace {

using media_test::Exists;
using media_test::RunNative;
using media_test::UnixPath;
using media_test::WorkDir;

avcore::VideoRecordParam Record(const wchar_t* path) {
  avcore::VideoRecordParam p{};
  p.path = path;
  p.container = 1;
  p.width = 640;
  p.height = 480;
  p.frame_rate = 15;
  p.profile = 8;
  p.fourcc = 0x30323449;
  p.gop = 30;
  p.quality = 80;
  p.min_quality = 75;
  p.bitrate = 359700;
  return p;
}

class VideoRecordSinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fw_.ok());
    sink_ =
        static_cast<avcore::IVideoRecordSink*>(fw_.Create(avcore::CLSID_VideoRecordSink, avcore::IID_IVideoRecordSink));
    ASSERT_NE(sink_, nullptr);
  }
  void TearDown() override {
    if (sink_) sink_->Release();
  }
  connection_test::FrameworkLoader fw_;
  avcore::IVideoRecordSink* sink_ = nullptr;
};

TEST_F(VideoRecordSinkTest, ThreeSecondsOf640x480BecomeAnMp4ThatFfprobeReads) {
  const std::wstring path = WorkDir() + L"\\record_" + std::to_wstring(GetCurrentProcessId()) + L".mp4";
  DeleteFileW(path.c_str());
  ASSERT_EQ(sink_->Start(Record(path.c_str())), S_OK);
  EXPECT_NE(sink_->Start(Record(path.c_str())), S_OK) << "already recording";
  std::vector<uint8_t> picture(640 * 480 * 3 / 2, 128);
  for (int n = 0; n < 45; ++n) {
    for (int y = 0; y < 480; ++y) {
      for (int x = 0; x < 640; ++x) picture[y * 640 + x] = static_cast<uint8_t>(x + y + 8 * n);
    }
    ASSERT_EQ(
        sink_->WriteFrame(static_cast<uint64_t>(n) * 1000 / 15, picture.data(), static_cast<int32_t>(picture.size())),
        S_OK);
  }
  EXPECT_NE(sink_->WriteFrame(3100, picture.data(), 100), S_OK) << "a short picture";
  ASSERT_EQ(sink_->Stop(), S_OK);
  ASSERT_TRUE(Exists(path));

  const std::string probe = RunNative(
      "ffprobe -v error -select_streams v:0 -show_entries "
      "stream=codec_name,width,height:format=duration -of default=nw=1 '" +
          UnixPath(path) + "'",
      path + L".txt");
  EXPECT_NE(probe.find("codec_name=h264"), std::string::npos) << probe;
  EXPECT_NE(probe.find("width=640"), std::string::npos) << probe;
  EXPECT_NE(probe.find("height=480"), std::string::npos) << probe;
  const size_t d = probe.find("duration=");
  ASSERT_NE(d, std::string::npos) << probe;
  const double duration = std::atof(probe.c_str() + d + 9);
  EXPECT_NEAR(duration, 3.0, 0.5) << probe;
  DeleteFileW((path + L".txt").c_str());
  DeleteFileW((path + L".txt.done").c_str());
  DeleteFileW(path.c_str());
}

TEST_F(VideoRecordSinkTest, BadPathsAndBadRecordsFailAndLeaveNoFile) {
  const std::wstring bad = WorkDir() + L"\\no_such_dir\\x.mp4";
  EXPECT_NE(sink_->Start(Record(bad.c_str())), S_OK);
  EXPECT_FALSE(Exists(bad));
  EXPECT_NE(sink_->WriteFrame(0, "x", 1), S_OK) << "not started";
  EXPECT_NE(sink_->Start(Record(nullptr)), S_OK);
  const std::wstring path = WorkDir() + L"\\odd_" + std::to_wstring(GetCurrentProcessId()) + L".mp4";
  avcore::VideoRecordParam odd = Record(path.c_str());
  odd.width = 641;
  EXPECT_NE(sink_->Start(odd), S_OK);
  odd = Record(path.c_str());
  odd.fourcc = 0x3231564E;  // NV12
  EXPECT_NE(sink_->Start(odd), S_OK);
  EXPECT_FALSE(Exists(path));
  // Started and stopped without a picture: no empty file stays.
  ASSERT_EQ(sink_->Start(Record(path.c_str())), S_OK);
  EXPECT_EQ(sink_->Stop(), S_OK);
  EXPECT_FALSE(Exists(path));
}

}  // namespace
