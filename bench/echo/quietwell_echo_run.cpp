// Quietwell full duplex on the real devices, played speech against what comes back: plays a
// far-end speech file (raw 16-bit mono 48 kHz) through the render callback to the default
// render endpoint and keeps what the capture callback delivers from the default capture
// endpoint (in the test session, the PulseAudio null sink and its monitor). Prints the level
// of the captured frames while the far end plays, after a settling time.
//
// Usage (under wine64): quietwell_echo_run <speech.raw> on|off [settle seconds]
//   on: echo canceller and noise suppression on the capture thread; off: passed through.
#include <windows.h>

#include <atomic>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "quietwell_api.h"

namespace {

std::vector<short> g_far;
std::atomic<size_t> g_far_pos{0};
std::atomic<bool> g_playing{false};
std::mutex g_mutex;
std::vector<short> g_captured;  // frames captured while the far end plays

void QUIETWELL_CALL Render(short* buffer, int* bytes, void*) {
  if (g_playing) {
    for (int i = 0; i < 960; ++i) buffer[i] = g_far[(g_far_pos++) % g_far.size()];
  }
  *bytes = 1920;
}

void QUIETWELL_CALL Capture(const short* pcm, int bytes, int rate) {
  if (bytes != 1920 || rate != 48000 || !g_playing) return;
  std::lock_guard<std::mutex> lock(g_mutex);
  g_captured.insert(g_captured.end(), pcm, pcm + 960);
}

void QUIETWELL_CALL NoLog(const char*, va_list) {}

double Dbfs(const short* x, size_t n) {
  double s = 0.0;
  for (size_t i = 0; i < n; ++i) s += static_cast<double>(x[i]) * x[i];
  return 10.0 * std::log10(s / (n > 0 ? n : 1) / (32768.0 * 32768.0) + 1e-20);
}

template <typename F>
F Proc(HMODULE dll, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s <speech.raw> on|off [settle seconds]\n", argv[0]);
    return 2;
  }
  const bool processing = std::strcmp(argv[2], "on") == 0;
  const double settle_s = argc > 3 ? std::atof(argv[3]) : 6.0;
  const double measure_s = 8.0;
  FILE* f = std::fopen(argv[1], "rb");
  if (f == nullptr) {
    std::fprintf(stderr, "cannot open %s\n", argv[1]);
    return 2;
  }
  short block[4096];
  size_t n;
  while ((n = std::fread(block, sizeof(short), 4096, f)) > 0) g_far.insert(g_far.end(), block, block + n);
  std::fclose(f);
  if (g_far.empty()) return 2;

  HMODULE dll = LoadLibraryW(L"Quietwell.dll");
  if (dll == nullptr) {
    std::fprintf(stderr, "cannot load Quietwell.dll\n");
    return 1;
  }
  auto open = Proc<decltype(&OpenRealAudioEngine)>(dll, "OpenRealAudioEngine");
  auto close = Proc<decltype(&CloseRealAudioEngine)>(dll, "CloseRealAudioEngine");
  auto reset = Proc<decltype(&ResetRealAudioEngine)>(dll, "ResetRealAudioEngine");
  auto config = Proc<decltype(&SetRealAudioConfig)>(dll, "SetRealAudioConfig");
  auto set_log = Proc<decltype(&RealAudioSetLogCallback)>(dll, "RealAudioSetLogCallback");
  auto dump = Proc<decltype(&RealAudioSetDumpFile)>(dll, "RealAudioSetDumpFile");
  if (!open || !close || !reset || !config || !set_log || !dump) return 1;
  set_log(&NoLog);
  if (open(&Capture, &Render) != 0) {
    std::fprintf(stderr, "no audio devices\n");
    return 1;
  }
  config(processing ? 1 : 0, processing ? 1 : 0);
  reset();
  // With QUIETWELL_ECHO_DUMPS set, the canceller's inputs and outputs go to the folder.
  const char* dumps = std::getenv("QUIETWELL_ECHO_DUMPS");
  if (dumps != nullptr && processing) dump(1, dumps);
  Sleep(2000);  // the capture side delivers nothing for about a second after the start
  g_playing = true;
  Sleep(static_cast<DWORD>((settle_s + measure_s) * 1000.0));
  g_playing = false;
  if (dumps != nullptr && processing) dump(0, nullptr);
  close();
  FreeLibrary(dll);

  std::lock_guard<std::mutex> lock(g_mutex);
  const size_t settle = static_cast<size_t>(settle_s * 48000.0);
  if (g_captured.size() <= settle + 48000) {
    std::fprintf(stderr, "too little was captured (%zu samples)\n", g_captured.size());
    return 1;
  }
  const double played = Dbfs(g_far.data(), g_far.size());
  const double level = Dbfs(&g_captured[settle], g_captured.size() - settle);
  std::printf("processing %s: far end %.1f dBFS, captured frames %.1f dBFS over %.1f s after %.1f s\n",
              processing ? "on" : "off", played, level, static_cast<double>(g_captured.size() - settle) / 48000.0,
              settle_s);
  std::printf("level %.2f\n", level);
  return 0;
}
