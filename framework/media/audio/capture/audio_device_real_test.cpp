// The audio device on the real Quietwell.dll and the session's audio endpoints (under
// Wine: PulseAudio's null sink and its monitor): the lists, the speaker volume, and a
// tone played on a stream that comes back through the monitor.
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "audio_source_port.h"
#include "dll_fixture.h"

namespace tessarine_test {
namespace {

using namespace std::chrono_literals;

struct LevelSink : avcore::IAudioDataSink {
  std::atomic<int> frames{0};
  std::atomic<int> loud_frames{0};
  int32_t AVCORE_CALL OnAudioData(const void* data, int32_t length, void*) override {
    const int16_t* pcm = static_cast<const int16_t*>(data);
    int peak = 0;
    for (int i = 0; i < length / 2; ++i) peak = std::max(peak, std::abs(static_cast<int>(pcm[i])));
    ++frames;
    if (peak > 1000) ++loud_frames;
    return length;
  }
};

std::vector<std::wstring> Names(avcore::IAudioDevice* device, bool capture) {
  std::vector<std::wstring> names;
  const int32_t n = capture ? device->GetCaptureDeviceCount() : device->GetPlayDeviceCount();
  for (int32_t i = 0; i < n; ++i) {
    wchar_t name[260] = {};
    const HRESULT hr = capture ? device->GetCaptureDeviceName(i, name, 260) : device->GetPlayDeviceName(i, name, 260);
    names.push_back(SUCCEEDED(hr) ? name : L"<error>");
  }
  return names;
}

int IndexOf(const std::vector<std::wstring>& names, const std::wstring& wanted) {
  for (size_t i = 0; i < names.size(); ++i) {
    if (names[i] == wanted) return static_cast<int>(i);
  }
  return -1;
}

class AudioDeviceRealTest : public FrameworkTest {
 protected:
  void SetUp() override {
    FrameworkTest::SetUp();
    if (GetFileAttributesW((BinDirectory() + L"Quietwell.dll").c_str()) == INVALID_FILE_ATTRIBUTES) {
      GTEST_SKIP() << "Quietwell.dll is not built";
    }
    ASSERT_NO_FATAL_FAILURE(StartWithRoot(logs_.path(), BinDirectory()));
    Create(avcore::CLSID_AudioDevice, avcore::IID_IAudioDevice, &device_);
  }
  void TearDown() override {
    device_.reset();
    FrameworkTest::TearDown();
  }
  // Quietwell's log lines that contain `word`.
  std::vector<std::string> LibraryLines(const char* word) {
    std::vector<std::string> lines;
    for (const std::string& line : ReadLines(LogFilePath())) {
      if (line.find("Quietwell:") != std::string::npos && line.find(word) != std::string::npos) {
        lines.push_back(line);
      }
    }
    return lines;
  }

  TempDir logs_;
  Held<avcore::IAudioDevice> device_;
};

// The endpoints are listed by name; once playback runs, the speaker volume is set and
// read back; the microphone volume is either set and read back or refused.
TEST_F(AudioDeviceRealTest, ListsTheEndpointsAndSetsTheVolumes) {
  const auto capture = Names(device_.p, true);
  const auto play = Names(device_.p, false);
  for (const auto& n : capture) printf("capture device: %ls\n", n.c_str());
  for (const auto& n : play) printf("playback device: %ls\n", n.c_str());
  EXPECT_GE(IndexOf(capture, L"Monitor of Null Output"), 0);
  EXPECT_GE(IndexOf(play, L"Null Output"), 0);

  LevelSink played;
  ASSERT_EQ(device_->AddPlayDataSink(&played, nullptr), S_OK);
  ASSERT_EQ(device_->StartPlay(0), S_OK);
  ASSERT_EQ(device_->StartCapture(0), S_OK);
  // The render thread opens the stream (and its volume) on its own: wait for it to play.
  const auto start = std::chrono::steady_clock::now();
  while (played.frames < 5 && std::chrono::steady_clock::now() - start < 5s) {
    std::this_thread::sleep_for(20ms);
  }
  ASSERT_GE(played.frames, 5);
  int32_t volume = -1;
  ASSERT_EQ(device_->SetSpeakerVolume(40), S_OK);
  ASSERT_EQ(device_->GetSpeakerVolume(&volume, nullptr, nullptr), S_OK);
  EXPECT_EQ(volume, 40);
  ASSERT_EQ(device_->SetSpeakerVolume(100), S_OK);
  const HRESULT mic = device_->SetMicrophoneVolume(60);
  if (SUCCEEDED(mic)) {
    ASSERT_EQ(device_->GetMicrophoneVolume(&volume, nullptr, nullptr), S_OK);
    EXPECT_EQ(volume, 60);
  } else {
    EXPECT_EQ(mic, E_FAIL);
    printf("the microphone volume cannot be set here\n");
  }
  for (const std::string& line : LibraryLines("Volume")) printf("%s\n", line.c_str());
  EXPECT_EQ(device_->StopCapture(), S_OK);
  EXPECT_EQ(device_->StopPlay(), S_OK);
  device_->RemovePlayDataSink(&played);
}

// A tone written to a playback stream is played on the null sink and captured back from
// its monitor (echo cancellation off, so that it is not removed).
TEST_F(AudioDeviceRealTest, ToneOnAStreamComesBackThroughTheMonitor) {
  const auto capture = Names(device_.p, true);
  const auto play = Names(device_.p, false);
  const int monitor = IndexOf(capture, L"Monitor of Null Output");
  const int sink = IndexOf(play, L"Null Output");
  ASSERT_GE(monitor, 0);
  ASSERT_GE(sink, 0);
  int32_t off = 0;
  ASSERT_EQ(device_->SetParam(avcore::kAudioParamEchoCancel, &off, 4), S_OK);
  Held<tessarine::IAudioSourcePort> port;
  ASSERT_EQ(device_->QueryInterface(tessarine::IID_IAudioSourcePort, port.out()), S_OK);
  LevelSink captured, played;
  ASSERT_EQ(device_->AddCapProcessedDataSink(&captured, nullptr), S_OK);
  ASSERT_EQ(device_->AddPlayDataSink(&played, nullptr), S_OK);
  const int32_t stream = device_->CreateAudioStream(1, 0);
  ASSERT_NE(stream, 0);
  ASSERT_EQ(device_->StartPlay(sink), S_OK);
  ASSERT_EQ(device_->StartCapture(monitor), S_OK);

  // Keep about half a second of a 440 Hz tone queued for 6 s.
  std::vector<int16_t> tone(4800);
  int phase = 0;
  const auto start = std::chrono::steady_clock::now();
  while (std::chrono::steady_clock::now() - start < 6s && captured.loud_frames < 10) {
    for (auto& s : tone) {
      s = static_cast<int16_t>(12000 * std::sin(2 * 3.14159265358979 * 440 * phase++ / 48000.0));
    }
    port->WriteStream(stream, tone.data(), static_cast<int32_t>(tone.size() * 2));
    std::this_thread::sleep_for(100ms);
  }
  printf("frames played %d (loud %d), captured %d (loud %d)\n", played.frames.load(), played.loud_frames.load(),
         captured.frames.load(), captured.loud_frames.load());
  EXPECT_GT(played.loud_frames, 10);
  EXPECT_GT(captured.frames, 10);
  EXPECT_GE(captured.loud_frames, 10);
  int32_t energy = 0;
  EXPECT_EQ(device_->GetMicrophoneEnergy(nullptr, &energy, nullptr), S_OK);
  EXPECT_GT(energy, 0);
  device_->StopCapture();
  device_->StopPlay();
  device_->RemoveCapProcessedDataSink(&captured);
  device_->RemovePlayDataSink(&played);
}

}  // namespace
}  // namespace tessarine_test
