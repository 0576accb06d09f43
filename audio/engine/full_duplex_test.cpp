// Full duplex on the real devices: loads Quietwell.dll, plays a 1 kHz tone through the render
// callback to the default render endpoint and captures it back from the default capture
// endpoint (in the test session, the PulseAudio null sink and its monitor). Prints the
// round-trip delay and level, checks the frequency, and that pause and close stop the
// library's threads. With --processing the frames pass through the echo canceller and noise
// suppression on the capture thread, which must remove the tone's echo; its dumps show what it
// was given. Exit code 0 on success.
#include <windows.h>

#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "quietwell_api.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kToneHz = 1000.0;
constexpr double kToneAmplitude = 12000.0;

struct Api {
  decltype(&OpenRealAudioEngine) open;
  decltype(&CloseRealAudioEngine) close;
  decltype(&ResetRealAudioEngine) reset;
  decltype(&PauseRealAudioEngine) pause;
  decltype(&SetRealAudioConfig) config;
  decltype(&RealAudioSetDumpFile) dump;
  decltype(&RealAudioGetCaptureDevsCount) capture_count;
  decltype(&RealAudioGetPlayoutDevsCount) playout_count;
  decltype(&RealAudioGetCaptureDevsName) capture_name;
  decltype(&RealAudioGetPlayoutDevsName) playout_name;
  decltype(&RealAudioSetLogCallback) set_log;
};

const char* const kExports[] = {"OpenRealAudioEngine",          "CloseRealAudioEngine",
                                "ResetRealAudioEngine",         "PauseRealAudioEngine",
                                "SetRealAudioConfig",           "RealAudioSetDumpFile",
                                "RealAudioSetAppPath",          "RealAudioSetStatusChangeCallback",
                                "RealAudioSetCaptureDevID",     "RealAudioSetPlayoutDevID",
                                "RealAudioGetCaptureDevsCount", "RealAudioGetPlayoutDevsCount",
                                "RealAudioGetCaptureDevsName",  "RealAudioGetPlayoutDevsName",
                                "RealAudioGetCaptureVolume",    "RealAudioSetCaptureVolume",
                                "RealAudioGetPlayoutVolume",    "RealAudioSetPlayoutVolume",
                                "RealAudioGetMicEnhance",       "RealAudioSetMicEnhance",
                                "RealAudioSetLogCallback",      "RealAudioSetHeadsetEnhance",
                                "RealAudioSetMusicMode",        "RealAudioSetMicVolumeControl"};

double Seconds() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Library log lines go to a file beside the program.
FILE* g_log = nullptr;
std::mutex g_log_mutex;
void Log(const char* format, va_list args) {
  std::string portable = format;  // "%ws" is spelled "%ls" by the C library used here
  for (size_t at = portable.find("%ws"); at != std::string::npos; at = portable.find("%ws", at)) {
    portable[at + 1] = 'l';
  }
  std::lock_guard<std::mutex> lock(g_log_mutex);
  if (g_log) {
    std::vfprintf(g_log, portable.c_str(), args);
    std::fflush(g_log);
  }
}

// Render side: silence until the tone is switched on, then a continuous 1 kHz sine.
std::atomic<bool> g_tone_on{false};
std::atomic<double> g_tone_start{0.0};
std::atomic<int> g_render_calls{0};
int64_t g_tone_phase = 0;
void Render(short* buffer, int* bytes, void* info) {
  ++g_render_calls;
  if (*bytes != 1920 || info == nullptr) std::printf("render callback: unexpected arguments\n");
  if (g_tone_on) {
    if (g_tone_start == 0.0) g_tone_start = Seconds();
    for (int i = 0; i < 960; ++i, ++g_tone_phase) {
      buffer[i] = static_cast<short>(kToneAmplitude * std::sin(2 * kPi * kToneHz * g_tone_phase / 48000.0));
    }
  }
  *bytes = 1920;
}

// Capture side: every frame must be 1920 bytes at 48 kHz; the samples are kept.
std::mutex g_capture_mutex;
std::vector<short> g_captured;
std::vector<double> g_frame_times;
std::atomic<int> g_capture_calls{0};
std::atomic<int> g_bad_frames{0};
void Capture(const short* pcm, int bytes, int rate) {
  ++g_capture_calls;
  if (bytes != 1920 || rate != 48000) {
    ++g_bad_frames;
    return;
  }
  std::lock_guard<std::mutex> lock(g_capture_mutex);
  g_captured.insert(g_captured.end(), pcm, pcm + 960);
  g_frame_times.push_back(Seconds());
}

int ThreadCount() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return -1;
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  int n = 0;
  const DWORD self = GetCurrentProcessId();
  for (BOOL ok = Thread32First(snapshot, &entry); ok; ok = Thread32Next(snapshot, &entry)) {
    n += entry.th32OwnerProcessID == self;
  }
  CloseHandle(snapshot);
  return n;
}

double Rms(const short* x, int n) {
  double s = 0;
  for (int i = 0; i < n; ++i) s += static_cast<double>(x[i]) * x[i];
  return std::sqrt(s / n);
}

// Power of frequency f in x (Goertzel).
double PowerAt(const std::vector<short>& x, double f) {
  const double w = 2 * kPi * f / 48000.0, c = 2 * std::cos(w);
  double s1 = 0, s2 = 0;
  for (short v : x) {
    const double s0 = v + c * s1 - s2;
    s2 = s1;
    s1 = s0;
  }
  return s1 * s1 + s2 * s2 - c * s1 * s2;
}

// Samples of a raw 16-bit dump file (empty when it is missing).
std::vector<short> ReadDump(const char* path) {
  std::vector<short> samples;
  FILE* f = std::fopen(path, "rb");
  if (!f) return samples;
  short block[960];
  size_t n;
  while ((n = std::fread(block, sizeof(short), 960, f)) > 0) samples.insert(samples.end(), block, block + n);
  std::fclose(f);
  return samples;
}

// The strongest frequency between 200 and 4000 Hz, refined to 0.1 Hz.
double PeakFrequency(const std::vector<short>& x) {
  double best = 0, best_power = -1;
  for (double f = 200; f <= 4000; f += 10) {
    const double p = PowerAt(x, f);
    if (p > best_power) best_power = p, best = f;
  }
  for (double step : {1.0, 0.1}) {
    const double centre = best;
    for (double f = centre - 10 * step; f <= centre + 10 * step; f += step) {
      const double p = PowerAt(x, f);
      if (p > best_power) best_power = p, best = f;
    }
  }
  return best;
}

// Frames (of 960 samples) where the tone reached the microphone with a break: silence of a
// millisecond or more (the sound server ran dry and played nothing) or a jump of the sine's
// phase. Each moves the echo path, which the canceller must then learn again.
std::vector<bool> EchoPathBreaks(const std::vector<short>& mic) {
  const double c = 2 * std::cos(2 * kPi * kToneHz / 48000.0);
  std::vector<bool> breaks(mic.size() / 960, false);
  for (size_t f = 0; f < breaks.size(); ++f) {
    const short* x = &mic[f * 960];
    int quiet = 0;
    for (int i = 0; i < 960 && !breaks[f]; ++i) {
      quiet = std::abs(x[i]) < 64 ? quiet + 1 : 0;
      const bool jump = i >= 2 && std::fabs(x[i] - c * x[i - 1] + x[i - 2]) > 2000.0;
      breaks[f] = quiet >= 48 || jump;
    }
  }
  return breaks;
}

// End (exclusive, in frames) of the last 50 frames that follow 30 frames without a break,
// or 0 when there are none.
size_t LastSteadySecond(const std::vector<bool>& breaks) {
  size_t steady = 0;  // frames without a break up to the current one
  size_t end = 0;
  for (size_t f = 0; f < breaks.size(); ++f) {
    steady = breaks[f] ? 0 : steady + 1;
    if (steady >= 80) end = f + 1;
  }
  return end;
}

bool WaitFor(const std::function<bool()>& condition, double seconds) {
  const double end = Seconds() + seconds;
  while (!condition()) {
    if (Seconds() > end) return false;
    Sleep(5);
  }
  return true;
}

int failures = 0;
void Check(bool ok, const char* what) {
  std::printf("%s: %s\n", ok ? "ok  " : "FAIL", what);
  if (!ok) ++failures;
}

DWORD WINAPI Watchdog(LPVOID) {
  Sleep(100000);
  std::printf("FAIL: watchdog: the test did not finish in 100 s\n");
  std::fflush(stdout);
  ExitProcess(3);
}

}  // namespace

int main(int argc, char** argv) {
  setvbuf(stdout, nullptr, _IONBF, 0);
  CloseHandle(CreateThread(nullptr, 0, &Watchdog, nullptr, 0, nullptr));
  const bool processing = argc > 1 && std::strcmp(argv[1], "--processing") == 0;
  std::printf("processing %s\n", processing ? "on (echo canceller, noise suppression)" : "off");
  g_log = std::fopen(processing ? "quietwell_full_duplex_processing.log" : "quietwell_full_duplex.log", "w");

  HMODULE dll = LoadLibraryW(L"Quietwell.dll");
  Check(dll != nullptr, "Quietwell.dll loads");
  if (!dll) return 1;
  int missing = 0;
  for (const char* name : kExports) {
    if (!GetProcAddress(dll, name)) {
      std::printf("missing export %s\n", name);
      ++missing;
    }
  }
  Check(missing == 0, "all 24 exports are found by their plain names");
  Api api;
  api.open = reinterpret_cast<decltype(api.open)>(reinterpret_cast<void*>(GetProcAddress(dll, "OpenRealAudioEngine")));
  api.close =
      reinterpret_cast<decltype(api.close)>(reinterpret_cast<void*>(GetProcAddress(dll, "CloseRealAudioEngine")));
  api.reset =
      reinterpret_cast<decltype(api.reset)>(reinterpret_cast<void*>(GetProcAddress(dll, "ResetRealAudioEngine")));
  api.pause =
      reinterpret_cast<decltype(api.pause)>(reinterpret_cast<void*>(GetProcAddress(dll, "PauseRealAudioEngine")));
  api.config =
      reinterpret_cast<decltype(api.config)>(reinterpret_cast<void*>(GetProcAddress(dll, "SetRealAudioConfig")));
  api.dump = reinterpret_cast<decltype(api.dump)>(reinterpret_cast<void*>(GetProcAddress(dll, "RealAudioSetDumpFile")));
  api.capture_count = reinterpret_cast<decltype(api.capture_count)>(
      reinterpret_cast<void*>(GetProcAddress(dll, "RealAudioGetCaptureDevsCount")));
  api.playout_count = reinterpret_cast<decltype(api.playout_count)>(
      reinterpret_cast<void*>(GetProcAddress(dll, "RealAudioGetPlayoutDevsCount")));
  api.capture_name = reinterpret_cast<decltype(api.capture_name)>(
      reinterpret_cast<void*>(GetProcAddress(dll, "RealAudioGetCaptureDevsName")));
  api.playout_name = reinterpret_cast<decltype(api.playout_name)>(
      reinterpret_cast<void*>(GetProcAddress(dll, "RealAudioGetPlayoutDevsName")));
  api.set_log =
      reinterpret_cast<decltype(api.set_log)>(reinterpret_cast<void*>(GetProcAddress(dll, "RealAudioSetLogCallback")));
  if (missing) return 1;

  api.set_log(&Log);
  const int threads_before = ThreadCount();
  Check(api.open(&Capture, &Render) == 0, "OpenRealAudioEngine returns 0");
  if (processing) {
    api.config(1, 1);
  } else {
    api.config(0, 0);  // the microphone frame is passed through
  }

  const int captures = api.capture_count();
  const int playouts = api.playout_count();
  char name[512];
  for (int i = 0; i < captures; ++i) {
    api.capture_name(i, name);
    std::printf("capture device %d: %s\n", i, name);
  }
  for (int i = 0; i < playouts; ++i) {
    api.playout_name(i, name);
    std::printf("playout device %d: %s\n", i, name);
  }
  Check(captures > 0 && playouts > 0, "capture and playout devices are listed");

  api.reset();
  // The echo canceller of this run writes what it is given into the dumps.
  const char* const kDumps[5] = {"MicData.pcm", "MicData2.pcm", "RefData.pcm", "OutData.pcm", "RNNData.pcm"};
  if (processing) api.dump(1, ".");
  Check(WaitFor([] { return g_capture_calls > 25 && g_render_calls > 25; }, 15.0),
        "capture frames arrive and the render callback is pulled");
  const int threads_running = ThreadCount();
  g_tone_on = true;
  Check(WaitFor([] { return g_tone_start != 0.0; }, 5.0), "the tone is pulled");

  // The tone arrives when a captured frame's level rises well above the silence before it
  // (without processing; with it the echo canceller removes it).
  double detected = 0.0, level = 0.0;
  size_t tone_at = 0;
  if (!processing) {
    WaitFor(
        [&] {
          std::lock_guard<std::mutex> lock(g_capture_mutex);
          for (size_t f = 0; f < g_frame_times.size(); ++f) {
            if (g_frame_times[f] < g_tone_start) continue;
            if (Rms(&g_captured[f * 960], 960) > kToneAmplitude / 20) {
              detected = g_frame_times[f];
              tone_at = f;
              return true;
            }
          }
          return false;
        },
        10.0);
  }
  // With processing the captured tone is echo, which the echo canceller removes before the
  // capture callback; eight seconds of it give the canceller time to learn the echo path
  // again after the sound server broke it (see EchoPathBreaks).
  if (processing) {
    const size_t start = g_captured.size() / 960;
    WaitFor(
        [&] {
          std::lock_guard<std::mutex> lock(g_capture_mutex);
          return g_frame_times.size() >= start + 400;
        },
        20.0);
  } else {
    Check(detected != 0.0, "the tone is captured back");
  }
  if (detected != 0.0 && !processing) {
    WaitFor(
        [&] {
          std::lock_guard<std::mutex> lock(g_capture_mutex);
          return g_frame_times.size() >= tone_at + 10 + 50;  // one second of tone after settling
        },
        10.0);
    std::vector<short> tone;
    {
      std::lock_guard<std::mutex> lock(g_capture_mutex);
      const size_t from = (tone_at + 10) * 960;
      const size_t to = std::min(g_captured.size(), from + 50 * 960);
      if (to > from) tone.assign(g_captured.begin() + from, g_captured.begin() + to);
    }
    level = tone.empty() ? 0.0 : Rms(tone.data(), static_cast<int>(tone.size()));
    const double frequency = tone.empty() ? 0.0 : PeakFrequency(tone);
    std::printf("round-trip delay: %.1f ms (tone pulled to tone captured, 20 ms frames)\n",
                (detected - g_tone_start) * 1000.0);
    std::printf("captured level: %.0f rms (%.1f dBFS; sent %.0f rms, gain %.2f)\n", level,
                20 * std::log10(level / 32768.0 + 1e-12), kToneAmplitude / std::sqrt(2.0),
                level / (kToneAmplitude / std::sqrt(2.0)));
    std::printf("captured frequency: %.1f Hz\n", frequency);
    Check(std::fabs(frequency - kToneHz) < 5.0, "the captured tone is 1 kHz");
    Check(level > kToneAmplitude / 10, "the captured tone has a sensible level");
  }
  Check(g_bad_frames == 0, "every captured frame is 1920 bytes at 48000 Hz");

  api.pause();
  const int paused_threads = ThreadCount();
  const int captured_at_pause = g_capture_calls, rendered_at_pause = g_render_calls;
  Sleep(400);
  Check(g_capture_calls == captured_at_pause && g_render_calls == rendered_at_pause,
        "pause stops the capture and render threads");

  if (processing) {
    api.dump(0, nullptr);  // closes the five files
    std::vector<short> dumps[5];
    for (int i = 0; i < 5; ++i) {
      dumps[i] = ReadDump(kDumps[i]);
      std::printf("%s: %zu frames\n", kDumps[i], dumps[i].size() / 960);
    }
    const size_t frames = dumps[0].size() / 960;
    Check(frames > 50 && dumps[0].size() == frames * 960 && dumps[2].size() == dumps[0].size() &&
              dumps[3].size() == dumps[0].size() && dumps[4].size() == dumps[0].size(),
          "the echo canceller processed every captured frame (microphone, reference, output, denoised)");
    Check(dumps[1].empty(), "no second-microphone frames without headset enhance");
    // A second of the tone after a steady echo path: on the microphone and in the
    // delay-aligned far end; in the denoised output the echo canceller has removed it (the
    // captured tone is all echo), and that output is what the capture callback got.
    const std::vector<bool> breaks = EchoPathBreaks(dumps[0]);
    const size_t end = LastSteadySecond(breaks);
    size_t onset = 0;  // the first frame of tone on the microphone
    while (onset < frames && Rms(&dumps[0][onset * 960], 960) < kToneAmplitude / 20) ++onset;
    std::string where;
    for (size_t f = onset + 1; f < breaks.size(); ++f) {
      if (breaks[f]) where += " " + std::to_string(f);
    }
    std::printf("tone from frame %zu of %zu; echo path broken by the sound server at frames:%s\n", onset, frames,
                where.empty() ? " none" : where.c_str());
    if (end != 0) std::printf("measured frames %zu to %zu\n", end - 50, end);
    Check(end != 0, "a second of tone follows 600 ms of steady echo path");
    const char* const kWhat[3] = {"microphone", "far-end reference", "denoised output"};
    const int kWhich[3] = {0, 2, 4};
    double levels[3] = {0.0, 0.0, 0.0};
    for (int k = 0; k < 3 && end != 0; ++k) {
      const std::vector<short>& d = dumps[kWhich[k]];
      const std::vector<short> second(d.begin() + (end - 50) * 960, d.begin() + end * 960);
      const double rms = Rms(second.data(), static_cast<int>(second.size()));
      levels[k] = rms;
      const double frequency = PeakFrequency(second);
      std::printf("%s in the echo canceller: %.0f rms, %.1f Hz\n", kWhat[k], rms, frequency);
      if (k == 2) break;
      char what[128];
      std::snprintf(what, sizeof what, "the %s carries the 1 kHz tone", kWhat[k]);
      Check(rms > kToneAmplitude / 10 && std::fabs(frequency - kToneHz) < 5.0, what);
    }
    Check(end != 0 && levels[2] < levels[0] / 17.8, "the echo canceller removes the tone's echo (25 dB or more)");
    {
      // The callback's frames end where the dumps end: both stop at the pause.
      std::lock_guard<std::mutex> lock(g_capture_mutex);
      const size_t callback_frames = g_captured.size() / 960;
      const size_t tail = frames - end + 50;
      double left = 1e9;
      if (end != 0 && callback_frames >= tail) {
        left = Rms(&g_captured[(callback_frames - tail) * 960], 50 * 960);
      }
      std::printf("captured level with processing: %.1f rms (tone %.0f rms)\n", left, kToneAmplitude / std::sqrt(2.0));
      Check(left < kToneAmplitude / std::sqrt(2.0) / 17.8, "the tone's echo is removed before the capture callback");
    }
    if (failures == 0) {
      for (const char* name : kDumps) DeleteFileA(name);
    }  // else kept to be looked at
  }
  std::printf("threads: %d before open, %d running, %d paused\n", threads_before, threads_running, paused_threads);
  Check(paused_threads <= threads_running - 2, "the device threads have ended at pause");

  api.reset();
  Check(WaitFor([&] { return g_capture_calls > captured_at_pause + 10; }, 10.0), "reset after pause runs again");
  api.close();
  const int closed_calls = g_capture_calls + g_render_calls;
  Sleep(400);
  Check(g_capture_calls + g_render_calls == closed_calls, "close stops the threads");
  const int threads_after = ThreadCount();
  std::printf("threads after close: %d\n", threads_after);
  Check(threads_after <= paused_threads, "no thread of the library is left after close");

  api.set_log(nullptr);
  FreeLibrary(dll);
  if (g_log) std::fclose(g_log);
  std::printf("%s\n", failures ? "FAILED" : "PASSED");
  return failures ? 1 : 0;
}
