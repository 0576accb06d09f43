// The screen recorder object on scripted framework components: the start record it hands
// the framework, the mixed audio it feeds, and its answers.
#include "core/recorder/recoder.h"

#include <gtest/gtest.h>

#include "core/env/core_env.h"
#include "core/env/testing/fake_framework.h"
#include "kiv_error.h"

namespace {

struct FakeScreenRecorder : kiv_fake::Counted<avcore::IScreenRecorder> {
  HRESULT startResult = S_OK;
  avcore::ScreenRecordParam param = {};
  std::wstring path;
  int audioBytes = 0;
  int stops = 0;
  HRESULT AVCORE_CALL StartRecord(const avcore::ScreenRecordParam* p, const wchar_t* w) override {
    param = *p;
    path = w ? w : L"(null)";
    return startResult;
  }
  HRESULT AVCORE_CALL WriteAudio(const void*, int32_t length) override {
    audioBytes += length;
    return S_OK;
  }
  HRESULT AVCORE_CALL StopRecord() override {
    ++stops;
    return S_OK;
  }
};

struct RecorderRoot : kiv_fake::Root {
  FakeScreenRecorder* recorder = nullptr;
  HRESULT AVCORE_CALL CreateComponent(REFCLSID cls, REFIID iid, IUnknown* outer, void** out) override {
    if (cls == avcore::CLSID_ScreenRecorder && iid == avcore::IID_IScreenRecorder && recorder) {
      recorder->AddRef();
      *out = static_cast<avcore::IScreenRecorder*>(recorder);
      return S_OK;
    }
    return kiv_fake::Root::CreateComponent(cls, iid, outer, out);
  }
};

struct FormatAudioDevice : kiv_fake::AudioDevice {
  HRESULT AVCORE_CALL GetCaptureFormat(WAVEFORMATEX* out) override {
    *out = format;
    return S_OK;
  }
};

struct RecoderTest : ::testing::Test {
  void SetUp() override {
    fw.Install(&env);
    env.m_basecore.Attach(&root);
    env.m_audiodevice.Attach(&audio);
    root.recorder = &recorder;
    audio.format.nSamplesPerSec = 16000;
  }
  kiv_fake::Framework fw;
  RecorderRoot root;
  FormatAudioDevice audio;
  FakeScreenRecorder recorder;
  kiv_core::Recoder recoder;
  kiv_core::CoreEnv env;  // released first, while the fakes live
};

}  // namespace

// A rectangle with sound: the record carries the rectangle, 15 fps, the profile bitrate
// and the capture format; the mixed audio reaches the recorder until Stop.
TEST_F(RecoderTest, RecordsARectangleWithSound) {
  ASSERT_EQ(recoder.StartScreenRecord("C:\\rec\\a.mp4", 100, 50, 420, 290, true), 0);
  const avcore::ScreenRecordParam& p = recorder.param;
  EXPECT_EQ(p.size, 68);
  EXPECT_EQ(p.version, 1);
  EXPECT_EQ(p.x, 100);
  EXPECT_EQ(p.y, 50);
  EXPECT_EQ(p.width, 320);
  EXPECT_EQ(p.height, 240);
  EXPECT_EQ(p.frame_rate, 15);
  EXPECT_EQ(p.video_bitrate, 150000);
  EXPECT_EQ(p.audio, 1);
  EXPECT_EQ(p.sample_rate, 16000);
  EXPECT_EQ(p.channels, 1);
  EXPECT_EQ(p.bits_per_sample, 16);
  EXPECT_EQ(p.audio_bitrate, 192000);
  EXPECT_EQ(p.container, 1);
  EXPECT_EQ(recorder.path, L"C:\\rec\\a.mp4");
  ASSERT_EQ(audio.mixSink, &recoder);
  char pcm[640] = {};
  EXPECT_EQ(audio.mixSink->OnAudioData(pcm, 640, audio.sinkContext), 640);
  EXPECT_EQ(recorder.audioBytes, 640);

  EXPECT_EQ(recoder.StartScreenRecord("b.mp4", 0, 0, 320, 240, false), 2) << "already recording";
  EXPECT_EQ(recoder.Stop(), 0);
  EXPECT_EQ(recorder.stops, 1);
  EXPECT_EQ(audio.mixSink, nullptr);
  EXPECT_EQ(recorder.refs, 0) << "the recorder was released";
  EXPECT_EQ(recoder.OnAudioData(pcm, 640, nullptr), 640);
  EXPECT_EQ(recorder.audioBytes, 640) << "nothing after Stop";
  EXPECT_EQ(recoder.Stop(), 0);
}

// The path is UTF-8 and reaches the recorder as the same characters, also where the ANSI
// code page has none of them (a user folder named in Chinese).
TEST_F(RecoderTest, Utf8PathReachesTheRecorderUnchanged) {
  ASSERT_EQ(
      recoder.StartScreenRecord("C:\\Users\\\xE5\xBC\xA0\xE4\xB8\x89\\Desktop\\Record.mp4", 0, 0, 320, 240, false), 0);
  EXPECT_EQ(recorder.path, L"C:\\Users\\\u5F20\u4E09\\Desktop\\Record.mp4");
  EXPECT_EQ(recoder.Stop(), 0);
}

// Without sound no sink is registered and the audio fields stay 0; 1920x1080 gets the
// profile's 1.2 Mbit/s.
TEST_F(RecoderTest, WithoutSound) {
  ASSERT_EQ(recoder.StartScreenRecord("a.mp4", 0, 0, 1920, 1080, false), 0);
  EXPECT_EQ(recorder.param.video_bitrate, 1200000);
  EXPECT_EQ(recorder.param.audio, 0);
  EXPECT_EQ(recorder.param.sample_rate, 0);
  EXPECT_EQ(recorder.param.audio_bitrate, 0);
  EXPECT_EQ(audio.mixSink, nullptr);
  EXPECT_EQ(recoder.Stop(), 0);
}

// A refused start answers 302 and leaves nothing recording; an empty rectangle is 1; no
// recorder component is 302; no framework is 2.
TEST_F(RecoderTest, Failures) {
  recorder.startResult = E_ACCESSDENIED;
  EXPECT_EQ(recoder.StartScreenRecord("Z:\\nowhere\\a.mp4", 0, 0, 320, 240, true), 302);
  EXPECT_FALSE(recoder.IsRecording());
  EXPECT_EQ(audio.mixSink, nullptr);
  recorder.startResult = S_OK;
  EXPECT_EQ(recoder.StartScreenRecord("a.mp4", 10, 10, 10, 20, false), 1);
  EXPECT_EQ(recoder.StartScreenRecord("a.mp4", 0, 0, 320, 240, false), 0) << "a new start after a refusal";
  EXPECT_EQ(recoder.Stop(), 0);
  EXPECT_EQ(recorder.refs, 0);
  root.recorder = nullptr;
  EXPECT_EQ(recoder.StartScreenRecord("a.mp4", 0, 0, 320, 240, false), 302);
  env.m_baseCoreInited = false;
  EXPECT_EQ(recoder.StartScreenRecord("a.mp4", 0, 0, 320, 240, false), 2);
}
