// Prints what the audio core costs per 20 ms frame on this machine: the capture path
// (device chunk to capture callback) and the render path (render callback to device
// buffers) at the device rates, with processing off (frame passed through) and on (the
// echo canceller runs on every frame).
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "audio_core.h"
#include "library_state.h"
#include "resampler.h"

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
  return 0;
}
