// Mouth-to-ear latency of voice under Wine, on loopback: alice and bob in one process
// (one Quietwell engine, its own PulseAudio server: the "mic" sink's monitor is the
// microphone, the "speaker" sink the speaker), alice publishes her microphone through the
// native meeting server's relay, bob plays it. Spoken bursts go into the microphone; the
// microphone and the speaker are recorded together and each burst's delay is found by
// cross-correlation.
//   voice_latency_bench.exe [bursts, default 20]
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

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
  const int32_t stream = bob.audio->CreateAudioStream(1, 0);
  bob.net->StartRecvMedia("alice", 1, "appdef_mic", static_cast<uint32_t>(stream));
  std::printf("ready\n");
  std::fflush(stdout);
  const std::string dir = KIV_BENCH_RUN_DIR;
  for (int i = 0; i < 6000 && !Exists(dir + "/measured"); ++i) Sleep(20);
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
  std::printf("mouth-to-ear (microphone sink monitor to speaker sink monitor) over %zu bursts: median %.1f ms, "
              "p95 %.1f ms, min %.1f ms\n",
              ms.size(), ms[ms.size() / 2], ms[std::min(ms.size() - 1, ms.size() * 95 / 100)], ms.front());
  return 0;
}
