// Prints what the audio core costs per 20 ms frame on this machine: the capture path
// (device chunk to capture callback) and the render path (render callback to device
// buffers) at the device rates, with processing off (frame passed through) and on (the
// echo canceller runs on every frame); then the periphery of the frame path one by one
// (voice-energy detectors, speaker limiter, digital gain, automatic microphone level) and
// their sum.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "capture/mic_capture.h"
#include "core/audio_core.h"
#include "core/library_state.h"
#include "core/speaker_limiter.h"
#include "resampler.h"
#include "testing/scripted_device_layer.h"
#include "testing/scripted_level_layer.h"
#include "voice_energy_detector.h"
#include "volume/digital_gain.h"
#include "volume/volume_controller.h"

namespace {

constexpr int kFrames = 20000;  // 400 s of audio per measurement
volatile int g_sink = 0;

void Capture(const short* pcm, int, int) { g_sink += pcm[17]; }

void Render(short* buffer, int* bytes, void*) {
  static int64_t n = 0;
  for (int i = 0; i < 960; ++i, ++n) buffer[i] = static_cast<short>(10000 * std::sin(n * 0.1309));
  *bytes = 1920;
}

template <typename F>
double MicrosPerFrame(F&& step) {
  for (int i = 0; i < 200; ++i) step();  // warm up
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < kFrames; ++i) step();
  const auto end = std::chrono::steady_clock::now();
  return std::chrono::duration<double, std::micro>(end - start).count() / kFrames;
}

void Row(const char* what, int rate, double us) {
  std::printf("%-46s %6d Hz %9.2f us/frame %7.3f %% of 20 ms\n", what, rate, us, us / 200.0);
}

// Voiced-looking test signal: a 140 Hz pulse train through a two-pole resonance, with noise.
std::vector<int16_t> SpeechLike(int samples, int rate) {
  std::vector<int16_t> s(samples);
  double y1 = 0, y2 = 0;
  uint32_t seed = 1;
  for (int i = 0; i < samples; ++i) {
    seed = seed * 1664525u + 1013904223u;
    const double pulse = (i % (rate / 140)) == 0 ? 8000.0 : 0.0;
    const double noise = ((seed >> 16) & 0xff) - 128.0;
    const double y = pulse + noise + 1.6 * y1 - 0.8 * y2;
    y2 = y1;
    y1 = y;
    s[i] = static_cast<int16_t>(std::max(-32768.0, std::min(32767.0, y)));
  }
  return s;
}

void Periphery() {
  std::printf("\nperiphery of the frame path, per 20 ms frame\n");
  const std::vector<int16_t> speech = SpeechLike(960 * 500, 48000);
  double total = 0;

  HoldFilterState* decimator = Resampler::NewHoldFilterState();
  VoiceEnergyDetector detector;
  int16_t decimated[160];
  size_t f = 0;
  const double detector_us = MicrosPerFrame([&] {
    Resampler::Down6(decimator, &speech[(f++ % 500) * 960], 960, decimated);
    int voice = 0, confirmed = 0;
    float energy = 0;
    detector.Process(decimated, &voice, &confirmed, &energy);
    g_sink += voice;
  });
  Resampler::FreeState(decimator);
  Row("Down6 + voice-energy detector (x2 per frame)", 48000, 2 * detector_us);
  total += 2 * detector_us;

  LimiterParameters parameters;
  SpeakerLimiter limiter(&parameters);
  std::vector<float> block(48);
  f = 0;
  const double limiter_us = MicrosPerFrame([&] {
    const int16_t* frame = &speech[(f++ % 500) * 960];
    for (int b = 0; b < 20; ++b) {
      for (int i = 0; i < 48; ++i) block[i] = 3.0f * frame[b * 48 + i];
      limiter.Process(1.0f, block.data(), 20000.0f);
    }
    g_sink += static_cast<int>(block[5]);
  });
  Row("speaker limiter (20 blocks of 48)", 48000, limiter_us);
  total += limiter_us;

  std::vector<int16_t> chunk(960);
  DigitalGain gain;
  f = 0;
  const double gain_us = MicrosPerFrame([&] {
    std::copy(&speech[(f % 500) * 960], &speech[(f % 500) * 960] + 960, chunk.begin());
    ++f;
    gain.gain_index = 200;
    gain.Apply(chunk.data(), 960);
    g_sink += chunk[3];
  });
  Row("digital gain (exclusive mode, every chunk)", 48000, gain_us);
  total += gain_us;

  // The automatic level on a scripted endpoint: the per-chunk checks, with level changes
  // as the holds allow.
  ScriptedLevelLayer levels;
  Guid id = {};
  id.data1 = 0x1234;
  levels.SetDirectSound(DeviceKind::kCapture, {DirectSoundDevice{true, id, L"Microphone"}});
  levels.AddEndpoint(FormatGuidText(id), L"Microphone").master = 0.7f;
  SetActiveLevelDeviceLayer(&levels);
  Library().mic_volume_control = true;
  ScriptedDeviceLayer devices;
  AudioCore core;
  MicCapture mic(&devices, false, &core, &CreateVolumeController);
  mic.SetDevice(id);
  f = 0;
  const double level_us = MicrosPerFrame([&] {
    mic.AutoMicLevel(&speech[(f % 500) * 960], 960, (f % 7) == 0, (f % 400) < 200 ? 1000.0f : 10000.0f);
    ++f;
  });
  SetActiveLevelDeviceLayer(nullptr);
  Row("automatic mic level (scripted endpoint)", 48000, level_us);
  total += level_us;
  Row("periphery total", 48000, total);
}

}  // namespace

int main() {
  Library().capture_callback = &Capture;
  Library().render_callback = &Render;
  std::printf("audio core cost per 20 ms frame (%d frames each)\n", kFrames);

  for (int rate : {48000, 44100, 32000, 16000, 8000}) {
    AudioCore core;
    core.set_processing_off(true);
    const int chunk = rate / 50;
    std::vector<int16_t> mic(chunk);
    for (int i = 0; i < chunk; ++i) mic[i] = static_cast<int16_t>(8000 * std::sin(i * 0.05));
    uint8_t raise = 0;
    float energy = 0;
    Row("capture: chunk to callback, processing off", rate,
        MicrosPerFrame([&] { core.CaptureFrame(mic.data(), chunk * 2, rate, &raise, &energy); }));
    core.set_processing_off(false);
    Row("capture: chunk to callback, echo canceller", rate,
        MicrosPerFrame([&] { core.CaptureFrame(mic.data(), chunk * 2, rate, &raise, &energy); }));
  }
  for (int rate : {48000, 44100, 32000, 16000, 8000}) {
    AudioCore core;
    core.set_processing_off(true);
    // Two 10 ms device buffers make one 20 ms frame.
    std::vector<uint8_t> buffer(rate / 100 * 2);
    Row("render: callback to two 10 ms buffers", rate, MicrosPerFrame([&] {
          core.RenderPull(buffer.data(), static_cast<int>(buffer.size()), rate);
          core.RenderPull(buffer.data(), static_cast<int>(buffer.size()), rate);
        }));
  }
  for (int rate : {44100, 32000, 16000, 8000}) {
    Resampler up, down;
    if (up.SetRates(rate, 48000) != 0 || down.SetRates(48000, rate) != 0) continue;
    std::vector<int16_t> in(rate / 50, 1000), mid(Resampler::kMaxOutput), out(Resampler::kMaxOutput);
    std::vector<int16_t> frame(960, 1000);
    Row("resampler: device rate to 48 kHz", rate,
        MicrosPerFrame([&] { g_sink += up.Process(in.data(), static_cast<int>(in.size()), mid.data()); }));
    Row("resampler: 48 kHz to device rate", rate,
        MicrosPerFrame([&] { g_sink += down.Process(frame.data(), 960, out.data()); }));
  }
  HoldFilterState* state = Resampler::NewHoldFilterState();
  std::vector<int16_t> frame(960, 1000), decimated(160);
  Row("Down6 for the voice detectors (one frame)", 48000,
      MicrosPerFrame([&] { g_sink += Resampler::Down6(state, frame.data(), 960, decimated.data()); }));
  Resampler::FreeState(state);
  Periphery();
  return 0;
}
