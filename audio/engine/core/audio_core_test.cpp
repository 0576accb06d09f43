#include "core/audio_core.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "core/library_state.h"
#include "testing/log_capture.h"

namespace {

// Echo canceller stand-in: copies the microphone, reports scripted results, counts calls.
struct FakeEchoScript {
  float gain = 1.0f;
  float erle = 0.0f;
  uint8_t double_talk = 0;
  int32_t echo = 0;
  float mic2_level = 0.0f;
  bool restore_record = false;
  int created = 0;
  int processed = 0;
  int far_frames = 0;
  int saves = 0;
  int restores = 0;
  EchoFrameArgs last = {};
};
FakeEchoScript g_echo;

class FakeEcho : public EchoCancellerPort {
 public:
  int Process(EchoFrameArgs* f) override {
    ++g_echo.processed;
    g_echo.last = *f;
    for (int i = 0; i < 960; ++i) f->out[i] = static_cast<int16_t>(f->mic[i] / 2);
    *f->double_talk = g_echo.double_talk;
    *f->echo = g_echo.echo;
    *f->mic2_level = g_echo.mic2_level;
    return 0;
  }
  bool HasDelayLine() const override { return true; }
  void WriteFarEnd(const int16_t*) override { ++g_echo.far_frames; }
  bool HasCoreState() const override { return true; }
  float CurrentGain() const override { return g_echo.gain; }
  float CurrentErle() const override { return g_echo.erle; }
  bool SaveState(const std::string&, const std::string&, int, float) override {
    ++g_echo.saves;
    return true;
  }
  bool RestoreState(const std::string&, const std::string&, float* erle, int* level, float* boost) override {
    ++g_echo.restores;
    if (!g_echo.restore_record) return false;
    *erle = 12.0f;
    *level = 55;
    *boost = 10.0f;
    return true;
  }
  void SetMusicMode(bool) override {}
  void SetDumpFiles(FILE* const*) override {}
};

std::unique_ptr<EchoCancellerPort> MakeFakeEcho() {
  ++g_echo.created;
  return std::unique_ptr<EchoCancellerPort>(new FakeEcho);
}

std::vector<std::vector<int16_t>> g_captured;
void Capture(const short* pcm, int bytes, int rate) {
  EXPECT_EQ(bytes, 1920);
  EXPECT_EQ(rate, 48000);
  g_captured.emplace_back(pcm, pcm + bytes / 2);
}

int g_render_bytes = 1920;
int g_render_calls = 0;
void Render(short* buffer, int* bytes, void* info) {
  ++g_render_calls;
  EXPECT_EQ(*bytes, 1920);
  EXPECT_EQ(*static_cast<int*>(info), 0);
  for (int i = 0; i < 1920; ++i) EXPECT_EQ(buffer[i], 0);
  for (int i = 0; i < 960; ++i) buffer[i] = 1000;
  *bytes = g_render_bytes;
}

class AudioCoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Library().Reset();
    Library().capture_callback = &Capture;
    Library().render_callback = &Render;
    g_echo = FakeEchoScript();
    g_captured.clear();
    g_render_bytes = 1920;
    g_render_calls = 0;
  }
  void TearDown() override { Library().Reset(); }
};

std::vector<int16_t> Ramp(int n, int start) {
  std::vector<int16_t> v(n);
  for (int i = 0; i < n; ++i) v[i] = static_cast<int16_t>(start + i * 7);
  return v;
}

// Verifies the render fill threshold: two silent buffers, then play, and the ring's range.
TEST_F(AudioCoreTest, RenderFillsToThresholdBeforePlaying) {
  AudioCore core;
  uint8_t out[960];
  std::memset(out, 0x55, sizeof out);
  core.RenderPull(out, 960, 48000);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(core.render_ring().Filled(), 1920);
  core.RenderPull(out, 960, 48000);
  EXPECT_EQ(out[100], 0);
  EXPECT_EQ(core.render_ring().Filled(), 3840);
  core.RenderPull(out, 960, 48000);
  int16_t first;
  std::memcpy(&first, out, 2);
  EXPECT_EQ(first, 1000);
  EXPECT_EQ(core.render_ring().Filled(), 4800);
  for (int i = 0; i < 100; ++i) {
    core.RenderPull(out, 960, 48000);
    EXPECT_GE(core.render_ring().Filled(), 4800);
    EXPECT_LE(core.render_ring().Filled(), 6720 - 960);
  }
  EXPECT_EQ(g_render_calls, 3 + 50);
}

// Verifies that empty or bogus far-end deliveries neither overflow nor play stale audio.
TEST_F(AudioCoreTest, RenderCopesWithEmptyAndBogusCallbacks) {
  AudioCore core;
  uint8_t out[960];
  g_render_bytes = 0;
  for (int i = 0; i < 5; ++i) core.RenderPull(out, 960, 48000);
  EXPECT_EQ(core.render_ring().Filled(), 0);
  for (uint8_t b : out) ASSERT_EQ(b, 0);
  g_render_bytes = -40;
  core.RenderPull(out, 960, 48000);
  EXPECT_EQ(core.render_ring().Filled(), 0);
  g_render_bytes = 1000000;  // more than the buffer holds: taken as 3840 bytes
  core.RenderPull(out, 960, 48000);
  EXPECT_EQ(core.render_ring().Filled(), 3840);
  g_render_bytes = 1001;  // an odd byte count: whole samples only
  core.RenderPull(out, 960, 48000);
  EXPECT_EQ(core.render_ring().Filled() % 2, 0);
}

// Verifies the render side at 44.1 kHz: each pulled frame reaches the ring as 882 samples.
TEST_F(AudioCoreTest, RenderResamplesToDeviceRate) {
  AudioCore core;
  uint8_t out[882];
  core.RenderPull(out, 882, 44100);
  EXPECT_EQ(core.render_ring().Filled(), 1764);
  core.RenderPull(out, 882, 44100);
  core.RenderPull(out, 882, 44100);
  EXPECT_EQ(core.render_ring().Filled(), 3 * 1764 - 882);
}

// Verifies that the far end is queued as echo reference only while processing is on.
TEST_F(AudioCoreTest, ReferenceQueuedOnlyWithProcessingOn) {
  AudioCore core;
  core.SetEchoCancellerFactory(&MakeFakeEcho);
  uint8_t out[960];
  core.set_processing_off(true);
  for (int i = 0; i < 3; ++i) core.RenderPull(out, 960, 48000);
  EXPECT_EQ(core.reference_ring().Filled(), 0);
  EXPECT_EQ(g_echo.far_frames, 0);
  core.set_processing_off(false);
  core.render_ring().Clear();
  for (int i = 0; i < 3; ++i) core.RenderPull(out, 960, 48000);
  EXPECT_EQ(g_echo.far_frames, 3);
  EXPECT_EQ(core.reference_ring().Filled(), 0);
}

// Verifies that the microphone frame reaches the capture callback unchanged without processing
// (switched off, or no echo canceller in the library) and through the echo canceller otherwise.
TEST_F(AudioCoreTest, CaptureFramePassesThroughOrProcesses) {
  AudioCore core;
  const std::vector<int16_t> mic = Ramp(960, -3000);
  core.set_processing_off(true);
  core.CaptureFrame(mic.data(), 1920, 48000, nullptr, nullptr);
  ASSERT_EQ(g_captured.size(), 1u);
  EXPECT_EQ(g_captured[0], mic);

  core.SetEchoCancellerFactory(nullptr);
  core.set_processing_off(false);  // no echo canceller: copied through as well
  uint8_t raise = 0;
  float energy = -1.0f;
  core.CaptureFrame(mic.data(), 1920, 48000, &raise, &energy);
  ASSERT_EQ(g_captured.size(), 2u);
  EXPECT_EQ(g_captured[1], mic);
  EXPECT_GT(energy, 0.0f);  // the microphone's voice energy, averaged over 75 frames

  core.SetEchoCancellerFactory(&MakeFakeEcho);
  core.CaptureFrame(mic.data(), 1920, 48000, &raise, &energy);
  ASSERT_EQ(g_captured.size(), 3u);
  EXPECT_EQ(g_captured[2][10], mic[10] / 2);
  EXPECT_EQ(g_echo.last.mic_bytes, 1920);
  EXPECT_EQ(g_echo.last.mic2_bytes, 0);
  EXPECT_EQ(g_echo.last.clock_ratio, 1.0f);
  EXPECT_EQ(g_echo.last.constant_15, 15.0f);
  EXPECT_EQ(g_echo.last.one, 1);
  EXPECT_EQ(g_echo.last.noise_suppression, 1);
  Library().headset_enhance = true;
  Library().noise_suppression = false;
  core.CaptureFrame(mic.data(), 1920, 48000, &raise, &energy);
  EXPECT_EQ(g_echo.last.mic2_bytes, 1920);
  EXPECT_EQ(g_echo.last.headset, 1);
  EXPECT_EQ(g_echo.last.noise_suppression, 0);
}

// Verifies device-rate conversion of captured chunks and the dropping of unusable ones.
TEST_F(AudioCoreTest, CaptureConvertsAndDropsBadChunks) {
  LogCapture log;
  AudioCore core;
  core.set_processing_off(true);
  const std::vector<int16_t> chunk = Ramp(882, 0);
  for (int i = 0; i < 4; ++i) core.CaptureFrame(chunk.data(), 882 * 2, 44100, nullptr, nullptr);
  EXPECT_EQ(g_captured.size(), 4u);
  core.CaptureFrame(chunk.data(), 880 * 2, 44100, nullptr, nullptr);
  EXPECT_EQ(g_captured.size(), 4u);
  EXPECT_TRUE(log.Contains("resample result error, "));
  log.Clear();
  core.CaptureFrame(chunk.data(), 1918, 48000, nullptr, nullptr);  // 48 kHz, wrong size: silent drop
  EXPECT_EQ(g_captured.size(), 4u);
  EXPECT_TRUE(log.Lines().empty());
  core.CaptureFrame(chunk.data(), 882 * 2, 12345, nullptr, nullptr);  // unsupported rate
  EXPECT_EQ(g_captured.size(), 4u);
}

// Verifies the small render threshold chosen by the PC model (case-sensitive).
TEST_F(AudioCoreTest, SmallSpeakerDelayByPcModel) {
  Library().set_pc_model("HUAWEI MateBook X Pro 2020");
  {
    AudioCore core;
    EXPECT_TRUE(core.small_speaker_delay());
    uint8_t out[960];
    core.RenderPull(out, 960, 48000);  // 1920 bytes reach the small threshold at once
    int16_t first;
    std::memcpy(&first, out, 2);
    EXPECT_EQ(first, 1000);
  }
  Library().set_pc_model("huawei matebook x pro");
  AudioCore core;
  EXPECT_FALSE(core.small_speaker_delay());
  Library().set_pc_model("Dell Inspiron 5490");
  core.Reset();
  EXPECT_TRUE(core.small_speaker_delay());
}

// Verifies echo-state saving: at the 50th qualifying frame, then once per further 50.
TEST_F(AudioCoreTest, SavesEchoStateEveryFiftyQualifyingFrames) {
  LogCapture log;
  AudioCore core;
  core.SetEchoCancellerFactory(&MakeFakeEcho);
  const std::vector<int16_t> mic = Ramp(960, 0);
  g_echo.erle = 30.0f;
  for (int i = 0; i < 49; ++i) core.CaptureFrame(mic.data(), 1920, 48000, nullptr, nullptr);
  EXPECT_EQ(g_echo.saves, 0);
  core.CaptureFrame(mic.data(), 1920, 48000, nullptr, nullptr);
  EXPECT_EQ(g_echo.saves, 1);
  EXPECT_TRUE(log.Contains("Save the aec status to file for next time call useage"));
  for (int i = 0; i < 70; ++i) core.CaptureFrame(mic.data(), 1920, 48000, nullptr, nullptr);
  EXPECT_EQ(g_echo.saves, 2);
  // A low ERLE does not qualify.
  g_echo.erle = 3.0f;
  for (int i = 0; i < 100; ++i) core.CaptureFrame(mic.data(), 1920, 48000, nullptr, nullptr);
  EXPECT_EQ(g_echo.saves, 2);
}

// Verifies restoring at creation and reset, and that reset empties every ring.
TEST_F(AudioCoreTest, ResetRecreatesEchoCancellerAndEmptiesRings) {
  AudioCore core;
  g_echo.restore_record = true;
  core.SetEchoCancellerFactory(&MakeFakeEcho);
  EXPECT_EQ(g_echo.created, 1);
  EXPECT_EQ(g_echo.restores, 1);
  EXPECT_EQ(core.saved_mic_level(), 55);
  EXPECT_TRUE(core.TakeRestorePending());
  EXPECT_FALSE(core.TakeRestorePending());
  uint8_t data[1000] = {};
  ASSERT_EQ(core.capture_ring().Write(data, 1000), RingBuffer::kOk);
  ASSERT_EQ(core.render_ring().Write(data, 1000), RingBuffer::kOk);
  ASSERT_EQ(core.reference_ring().Write(data, 1000), RingBuffer::kOk);
  ASSERT_EQ(core.second_mic_ring().Write(data, 1000), RingBuffer::kOk);
  core.Reset();
  EXPECT_EQ(g_echo.created, 2);
  EXPECT_EQ(g_echo.restores, 2);
  EXPECT_TRUE(core.TakeRestorePending());
  EXPECT_EQ(core.capture_ring().Filled(), 0);
  EXPECT_EQ(core.render_ring().Filled(), 0);
  EXPECT_EQ(core.reference_ring().Filled(), 0);
  EXPECT_EQ(core.second_mic_ring().Filled(), 0);
  EXPECT_EQ(core.frames_processed(), 0);
}

// Verifies the second-microphone check: missing data from frame 250 on marks it dead at frame 500.
TEST_F(AudioCoreTest, SecondMicDeclaredDeadAfterMissingData) {
  LogCapture log;
  AudioCore core;
  core.SetEchoCancellerFactory(&MakeFakeEcho);
  const std::vector<int16_t> mic = Ramp(960, 0);
  for (int i = 0; i < 499; ++i) core.CaptureFrame(mic.data(), 1920, 48000, nullptr, nullptr);
  EXPECT_FALSE(core.second_mic_dead());
  core.CaptureFrame(mic.data(), 1920, 48000, nullptr, nullptr);
  EXPECT_TRUE(core.second_mic_dead());
  EXPECT_EQ(log.Count("MicCapture_On2ndMicIsDead() CALLED"), 1);
  core.ClearSecondMicCheck();
  EXPECT_FALSE(core.second_mic_dead());

  // Data with a good level keeps it alive.
  core.Reset();
  g_echo.mic2_level = 0.5f;
  std::vector<int16_t> second(960, 100);
  for (int i = 0; i < 800; ++i) {
    ASSERT_EQ(core.second_mic_ring().Write(second.data(), 1920), RingBuffer::kOk);
    core.CaptureFrame(mic.data(), 1920, 48000, nullptr, nullptr);
  }
  EXPECT_FALSE(core.second_mic_dead());
}

// Verifies the double-talk state: set on the first flagged frame, cleared after 20 without.
TEST_F(AudioCoreTest, DoubleTalkStateFollowsTheFlag) {
  AudioCore core;
  core.SetEchoCancellerFactory(&MakeFakeEcho);
  const std::vector<int16_t> mic = Ramp(960, 0);
  g_echo.double_talk = 1;
  g_echo.echo = 3;
  core.CaptureFrame(mic.data(), 1920, 48000, nullptr, nullptr);
  EXPECT_TRUE(core.dt_state());
  EXPECT_TRUE(core.echo_flag());
  g_echo.double_talk = 0;
  g_echo.echo = 0;
  for (int i = 0; i < 19; ++i) core.CaptureFrame(mic.data(), 1920, 48000, nullptr, nullptr);
  EXPECT_TRUE(core.dt_state());
  EXPECT_FALSE(core.echo_flag());
  core.CaptureFrame(mic.data(), 1920, 48000, nullptr, nullptr);
  EXPECT_FALSE(core.dt_state());
}

// Verifies the voice-energy steps of the frame: the microphone's energy averaged over 75
// frames, and the request for more level only for a voiced, loud output under a high gain.
TEST_F(AudioCoreTest, VoiceEnergyAndRaiseRequest) {
  AudioCore core;
  core.SetEchoCancellerFactory(&MakeFakeEcho);
  std::vector<int16_t> tone(960);
  uint8_t raise = 0;
  float energy = 0.0f, first = 0.0f;
  g_echo.gain = 6.0f;
  int raised_at = -1;
  for (int f = 0; f < 100; ++f) {
    for (int i = 0; i < 960; ++i)
      tone[i] = static_cast<int16_t>(12000 * std::sin(2 * 3.14159265358979 * 500.0 * (f * 960 + i) / 48000));
    raise = 0;
    core.CaptureFrame(tone.data(), 1920, 48000, &raise, &energy);
    if (f == 1) first = energy;
    if (raise && raised_at < 0) raised_at = f;
  }
  EXPECT_GT(first, 0.0f);
  EXPECT_GT(energy, 40.0f * first);  // the average fills over 75 frames
  EXPECT_GE(raised_at, 1);           // needs the output voice flag of a confirmed voice
  EXPECT_LT(raised_at, 10);

  g_echo.gain = 4.0f;  // gain not over 5: no request
  raise = 0;
  core.CaptureFrame(tone.data(), 1920, 48000, &raise, &energy);
  EXPECT_EQ(raise, 0);
}

}  // namespace
