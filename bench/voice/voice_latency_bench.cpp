// Mouth-to-ear latency of voice under Wine, on loopback: alice and bob in one process
// (one Quietwell engine, its own PulseAudio server: the "mic" sink's monitor is the
// microphone, the "speaker" sink the speaker), alice publishes her microphone through the
// native meeting server's relay, bob plays it. Spoken bursts go into the microphone; the
// microphone and the speaker are recorded together and each burst's delay is found by
// cross-correlation. Taps on alice's processed capture (after the echo canceller) and on
// bob's played frames time each burst's onset in between, which splits the delay into
// the voice path (encoding, relay, jitter buffer, decoding, mixing) and the rest (device
// buffers at both ends, the audio core's framing and the echo canceller).
//   voice_latency_bench.exe [bursts, default 20]
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <mutex>

#include "meeting_member.h"
#include "meeting_server_control.h"

namespace {

constexpr int kRate = 48000;

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

std::wstring WinePath(const std::string& unix_path) {
  std::wstring out = L"Z:";
  for (char c : unix_path) out.push_back(c == '/' ? L'\\' : static_cast<wchar_t>(c));
  return out;
}

bool Exists(const std::string& unix_path) {
  return GetFileAttributesW(WinePath(unix_path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string Read(const std::string& unix_path) {
  HANDLE f = CreateFileW(WinePath(unix_path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return {};
  std::string out;
  char buffer[65536];
  DWORD n = 0;
  while (ReadFile(f, buffer, sizeof buffer, &n, nullptr) && n > 0) out.append(buffer, n);
  CloseHandle(f);
  return out;
}

void Write(const std::string& unix_path, const std::string& bytes) {
  HANDLE f = CreateFileW(WinePath(unix_path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return;
  DWORD n;
  WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
  CloseHandle(f);
}

// Runs the PulseAudio helper; with wait_ms, waits for its done file and returns it.
std::string Ctl(const std::string& args, const std::string& done, int wait_ms) {
  DeleteFileW(WinePath(done).c_str());
  std::wstring cmd = Wide("/bin/sh " KIV_PULSE_HOST_CTL " " + args);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return "";
  if (pi.hProcess) CloseHandle(pi.hProcess);
  if (pi.hThread) CloseHandle(pi.hThread);
  for (int i = 0; i < wait_ms / 20 && !Exists(done); ++i) Sleep(20);
  return Read(done);
}

std::vector<int16_t> Pcm(const std::string& bytes) {
  std::vector<int16_t> pcm(bytes.size() / 2);
  if (!pcm.empty()) memcpy(pcm.data(), bytes.data(), pcm.size() * 2);
  return pcm;
}

// Bursts of shaped noise, 300 ms on, 700 ms off.
std::vector<int16_t> Bursts(int count) {
  std::vector<int16_t> out(static_cast<size_t>(count) * kRate);
  uint32_t x = 12345;
  for (size_t i = 0; i < out.size(); ++i) {
    if (i % kRate >= kRate * 3 / 10) continue;
    x = x * 1664525u + 1013904223u;
    out[i] = static_cast<int16_t>(static_cast<int32_t>(x >> 16) % 8000);
  }
  return out;
}

int OnsetAfter(const std::vector<int16_t>& pcm, size_t from) {
  for (size_t at = from; at + 96 <= pcm.size(); at += 48) {
    double sum = 0;
    for (size_t i = at; i < at + 96; ++i) sum += static_cast<double>(pcm[i]) * pcm[i];
    if (std::sqrt(sum / 96) > 1000) return static_cast<int>(at);
  }
  return -1;
}

// Delay (samples) of `heard` against `spoken` around one burst, by cross-correlation.
int Lag(const std::vector<int16_t>& spoken, const std::vector<int16_t>& heard, size_t start, int max_lag) {
  const size_t n = kRate * 3 / 10;
  double best = -1e300;
  int best_lag = -1;
  for (int lag = 0; lag <= max_lag; lag += 1) {
    if (start + n + lag > heard.size() || start + n > spoken.size()) break;
    double s = 0;
    for (size_t i = 0; i < n; i += 4) s += static_cast<double>(spoken[start + i]) * heard[start + i + lag];
    if (s > best) {
      best = s;
      best_lag = lag;
    }
  }
  return best_lag;
}

// Times (ms, QueryPerformanceCounter) at which the frames a device hands to a sink start
// a burst: the first loud frame after at least 200 ms of quiet.
struct OnsetTap : avcore::IAudioDataSink {
  std::mutex mutex;
  std::vector<double> onsets;
  double quiet_since = 0;
  bool loud = false;
  static double NowMs() {
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return c.QuadPart * 1000.0 / f.QuadPart;
  }
  int32_t AVCORE_CALL OnAudioData(const void* data, int32_t length, void*) override {
    const auto* pcm = static_cast<const int16_t*>(data);
    const int32_t n = length / 2;
    const double now = NowMs();
    int first_loud = -1;
    for (int32_t i = 0; i + 48 <= n; i += 48) {
      double sum = 0;
      for (int32_t k = i; k < i + 48; ++k) sum += static_cast<double>(pcm[k]) * pcm[k];
      if (std::sqrt(sum / 48) > 1000) {
        first_loud = i;
        break;
      }
    }
    std::lock_guard<std::mutex> lock(mutex);
    if (first_loud < 0) {
      if (loud) quiet_since = now;
      loud = false;
      return length;
    }
    // The frame is handed over when its last sample is in: the onset was that much earlier.
    if (!loud && now - quiet_since > 200) onsets.push_back(now - (n - first_loud) * 1000.0 / kRate);
    loud = true;
    return length;
  }
};

OnsetTap g_captured, g_played;

int Child(int bursts) {
  connection_test::FrameworkLoader fw;
  connection_test::MeetingServerControl server("voice_latency_bench");
  std::string why;
  if (!fw.ok() || !server.StartWith("", &why)) {
    std::printf("no framework or meeting server: %s\n", why.c_str());
    return 1;
  }
  media_test::Member alice(fw), bob(fw);
  if (!alice.Join(server.address(), "alice", media_test::kAliceToken, "bench") ||
      !bob.Join(server.address(), "bob", media_test::kBobToken, "bench")) {
    std::printf("join failed\n");
    return 1;
  }
  auto index = [](avcore::IAudioDevice* d, bool capture, const wchar_t* name) {
    const int count = capture ? d->GetCaptureDeviceCount() : d->GetPlayDeviceCount();
    for (int i = 0; i < count; ++i) {
      wchar_t text[260] = {};
      if (SUCCEEDED(capture ? d->GetCaptureDeviceName(i, text, 260) : d->GetPlayDeviceName(i, text, 260)) &&
          std::wstring(text) == name) {
        return i;
      }
    }
    return -1;
  };
  const int mic = index(alice.audio, true, L"Monitor of Microphone");
  const int speaker = index(bob.audio, false, L"Speaker");
  if (mic < 0 || speaker < 0) {
    std::printf("not on the bench's PulseAudio server\n");
    return 1;
  }
  const int32_t off = 0;
  alice.audio->SetParam(avcore::kAudioParamNoiseSuppress, &off, 4);
  alice.audio->SetParam(avcore::kAudioParamAutoGain, &off, 4);
  bob.audio->StartPlay(speaker);
  alice.audio->StartCapture(mic);
  alice.net->AddSource(1, "appdef_mic", alice.audio);
  alice.audio->AddCapProcessedDataSink(&g_captured, nullptr);
  bob.audio->AddPlayDataSink(&g_played, nullptr);
  const int32_t stream = bob.audio->CreateAudioStream(1, 0);
  bob.net->StartRecvMedia("alice", 1, "appdef_mic", static_cast<uint32_t>(stream));
  std::printf("ready\n");
  std::fflush(stdout);
  const std::string dir = KIV_BENCH_RUN_DIR;
  for (int i = 0; i < 6000 && !Exists(dir + "/measured"); ++i) Sleep(20);
  alice.audio->RemoveCapProcessedDataSink(&g_captured);
  bob.audio->RemovePlayDataSink(&g_played);
  {
    // Pair each captured onset with the first played onset after it (within 1 s).
    std::vector<double> path;
    size_t j = 0;
    for (double c : g_captured.onsets) {
      while (j < g_played.onsets.size() && g_played.onsets[j] < c) ++j;
      if (j < g_played.onsets.size() && g_played.onsets[j] - c < 1000) path.push_back(g_played.onsets[j] - c);
    }
    std::sort(path.begin(), path.end());
    if (!path.empty()) {
      std::printf("path %zu %.1f %.1f\n", path.size(), path[path.size() / 2],
                  path[std::min(path.size() - 1, path.size() * 95 / 100)]);
    }
    std::fflush(stdout);
  }
  bob.net->StopRecvMedia("alice", 1, "appdef_mic");
  bob.audio->RemoveAudioStream(stream);
  alice.net->RemoveSource(1, "appdef_mic");
  alice.audio->StopCapture();
  bob.audio->StopPlay();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const int bursts = argc > 1 ? std::max(3, std::atoi(argv[1])) : 20;
  if (GetEnvironmentVariableW(L"VOICE_BENCH_CHILD", nullptr, 0) != 0) return Child(bursts);

  const std::string dir = KIV_BENCH_RUN_DIR;
  CreateDirectoryW(WinePath(dir).c_str(), nullptr);
  DeleteFileW(WinePath(dir + "/measured").c_str());
  const std::string host = "bench-" + std::to_string(GetCurrentProcessId());
  const std::string run = std::string(KIV_PULSE_RUN_DIR) + " " + host + " ";
  if (Ctl("start " + run + dir + "/pulse", dir + "/pulse", 20000).rfind("unix:", 0) != 0) {
    std::printf("no PulseAudio server for the bench\n");
    return 1;
  }
  Ctl("run " + run + dir + "/child-done " + dir + "/child.log env VOICE_BENCH_CHILD=1 /usr/lib/wine/wine64 " +
          KIV_VOICE_BENCH_EXE,
      dir + "/child-done", 0);
  for (int i = 0; i < 3000 && Read(dir + "/child.log").find("ready") == std::string::npos; ++i) Sleep(20);
  if (Read(dir + "/child.log").find("ready") == std::string::npos) {
    std::printf("the meeting did not start:\n%s\n", Read(dir + "/child.log").c_str());
    Ctl("stop " + run + dir + "/stopped", dir + "/stopped", 10000);
    return 1;
  }
  Sleep(5000);  // the capture's start-up
  const auto spoken_signal = Bursts(bursts);
  Write(dir + "/bursts.raw",
        std::string(reinterpret_cast<const char*>(spoken_signal.data()), spoken_signal.size() * 2));
  Ctl("pair " + run + dir + "/pair-done " + dir + "/mic.raw " + dir + "/speaker.raw " + std::to_string(bursts + 3),
      dir + "/pair-done", 0);
  Sleep(500);
  Ctl("play " + run + dir + "/play-done " + dir + "/bursts.raw", dir + "/play-done", (bursts + 5) * 1000);
  for (int i = 0; i < 500 && !Exists(dir + "/pair-done"); ++i) Sleep(20);
  Write(dir + "/measured", "");
  for (int i = 0; i < 1000 && !Exists(dir + "/child-done"); ++i) Sleep(20);
  Ctl("stop " + run + dir + "/stopped", dir + "/stopped", 10000);

  const auto spoken = Pcm(Read(dir + "/mic.raw"));
  const auto heard = Pcm(Read(dir + "/speaker.raw"));
  std::vector<double> ms;
  size_t from = 0;
  while (true) {
    const int onset = OnsetAfter(spoken, from);
    if (onset < 0) break;
    const size_t start = static_cast<size_t>(std::max(0, onset - 480));
    const int lag = Lag(spoken, heard, start, kRate / 2);
    if (lag >= 0) ms.push_back(lag * 1000.0 / kRate);
    from = static_cast<size_t>(onset) + kRate * 8 / 10;
  }
  if (ms.empty()) {
    std::printf("no burst was heard (microphone %zu samples, speaker %zu)\n", spoken.size(), heard.size());
    return 1;
  }
  std::sort(ms.begin(), ms.end());
  const std::string log = Read(dir + "/child.log");
  size_t path_bursts = 0;
  double path_median = 0, path_p95 = 0;
  const size_t at = log.find("path ");
  if (at != std::string::npos) std::sscanf(log.c_str() + at, "path %zu %lf %lf", &path_bursts, &path_median, &path_p95);
  std::printf(
      "mouth-to-ear (microphone sink monitor to speaker sink monitor) over %zu bursts: median %.1f ms, "
      "p95 %.1f ms, min %.1f ms\n",
      ms.size(), ms[ms.size() / 2], ms[std::min(ms.size() - 1, ms.size() * 95 / 100)], ms.front());
  if (path_bursts > 0) {
    std::printf(
        "  voice path (processed capture frame -> played frame: framing into 20 ms Opus frames, "
        "encoding, relay, jitter buffer, decoding, mixing) over %zu bursts: median %.1f ms, p95 %.1f ms\n",
        path_bursts, path_median, path_p95);
    std::printf(
        "  the rest (capture and render device buffers, PulseAudio, the audio core's framing, the echo "
        "canceller): median %.1f ms\n",
        ms[ms.size() / 2] - path_median);
  }
  return 0;
}
