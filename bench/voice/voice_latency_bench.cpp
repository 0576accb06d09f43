// Mouth-to-ear latency of a call under Wine, on loopback: alice and bob each in a process
// of their own with their own Quietwell engine and PulseAudio server (the "mic" sink's
// monitor is the microphone, the "speaker" sink the speaker), joined through the native
// meeting server's relay; each publishes its microphone and plays the other, with the audio
// parameters the SDK sets for a call. Spoken bursts (espeak-ng) and then shaped noise bursts
// go into alice's microphone; one recorder (pulse_pair_recorder, native) records her
// microphone and bob's speaker and times both on the system's monotonic clock, which is the
// steady clock of the Wine processes. Each burst's delay is found by cross-correlation;
// taps on alice's processed capture (after the echo canceller) and on bob's played frames,
// and the voice path's stage log of both processes, time it in between. A first call runs
// both hosts at Wine's default PulseAudio latency, a second one (optional) gives the
// listener a longer one. See README.md for the targets and the figures.
//   voice_latency_bench.exe [bursts of each kind, default 15] [listener's latency, ms, default 60; 0: none]
#include <windows.h>
// clang-format off
#include <audioclient.h>
#include <mmdeviceapi.h>
// clang-format on

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "common/win/com_ref.h"
#include "meeting_member.h"
#include "meeting_server_control.h"

namespace {

constexpr int kRate = 48000;
constexpr int kPeriodMs = 1500;  // one burst every 1.5 s
constexpr int kBurstMs = 300;    // noise bursts; spoken ones at most 600 ms
constexpr int kSectionGapMs = 3000;
constexpr int kMaxLagMs = 800;

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

std::wstring WinePath(const std::string& unix_path) {
  std::wstring out = L"Z:";
  for (char c : unix_path) out.push_back(c == '/' ? L'\\' : static_cast<wchar_t>(c));
  return out;
}

std::string Env(const char* name) {
  char value[1024];
  const DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
  return n == 0 || n >= sizeof value ? std::string() : std::string(value, n);
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

bool WaitFor(const std::string& unix_path, int ms) {
  for (int i = 0; i < ms / 20 && !Exists(unix_path); ++i) Sleep(20);
  return Exists(unix_path);
}

double NowMs() {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::vector<int16_t> Pcm(const std::string& bytes) {
  std::vector<int16_t> pcm(bytes.size() / 2);
  if (!pcm.empty()) memcpy(pcm.data(), bytes.data(), pcm.size() * 2);
  return pcm;
}

double Median(std::vector<double> v) {
  if (v.empty()) return NAN;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double P95(std::vector<double> v) {
  if (v.empty()) return NAN;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, v.size() * 95 / 100)];
}

// ---------------------------------------------------------------- a host (child process)

// Times (steady clock, ms) at which a device hands a sink a frame that starts a burst (the
// first loud frame after at least 200 ms of quiet): when the frame came, and the onset in it.
struct OnsetTap : avcore::IAudioDataSink {
  std::mutex mutex;
  std::vector<double> handed;
  std::vector<double> onsets;
  double quiet_since = 0;
  bool loud = false;
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
    if (!loud && now - quiet_since > 200) {
      handed.push_back(now);
      onsets.push_back(now - (n - first_loud) * 1000.0 / kRate);
    }
    loud = true;
    return length;
  }
  std::string Line(const char* name) {
    std::lock_guard<std::mutex> lock(mutex);
    std::ostringstream out;
    out << name << " " << onsets.size();
    for (size_t i = 0; i < onsets.size(); ++i) out << " " << std::fixed << handed[i] << " " << onsets[i];
    return out.str();
  }
};

std::string Names(avcore::IAudioDevice* d, bool capture) {
  std::string out;
  const int count = capture ? d->GetCaptureDeviceCount() : d->GetPlayDeviceCount();
  for (int i = 0; i < count; ++i) {
    wchar_t text[260] = {};
    if (SUCCEEDED(capture ? d->GetCaptureDeviceName(i, text, 260) : d->GetPlayDeviceName(i, text, 260))) {
      for (const wchar_t* c = text; *c; ++c) out.push_back(*c < 128 ? static_cast<char>(*c) : '?');
      out += "; ";
    }
  }
  return out;
}

int IndexOf(avcore::IAudioDevice* d, bool capture, const wchar_t* name) {
  const int count = capture ? d->GetCaptureDeviceCount() : d->GetPlayDeviceCount();
  for (int i = 0; i < count; ++i) {
    wchar_t text[260] = {};
    if (SUCCEEDED(capture ? d->GetCaptureDeviceName(i, text, 260) : d->GetPlayDeviceName(i, text, 260)) &&
        std::wstring(text) == name) {
      return i;
    }
  }
  return -1;
}

// The default period of the default capture endpoint (the host's microphone), in ms.
double CapturePeriodMs() {
  const HRESULT init = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  double period = NAN;
  {
    kiv_common::ComRef<IMMDeviceEnumerator> devices;
    kiv_common::ComRef<IMMDevice> mic;
    kiv_common::ComRef<IAudioClient> client;
    REFERENCE_TIME def = 0, min = 0;
    if (SUCCEEDED(CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                                   devices.ReceiveVoid())) &&
        SUCCEEDED(devices->GetDefaultAudioEndpoint(eCapture, eConsole, mic.Receive())) &&
        SUCCEEDED(mic->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr, client.ReceiveVoid())) &&
        SUCCEEDED(client->GetDevicePeriod(&def, &min))) {
      period = def / 10000.0;
    }
  }
  if (SUCCEEDED(init)) CoUninitialize();
  return period;
}

int Host(const std::string& user) {
  const std::string dir = Env("VOICE_BENCH_DIR");
  const std::string peer = user == "alice" ? "bob" : "alice";
  connection_test::FrameworkLoader fw;
  if (!fw.ok()) {
    std::printf("no framework\n");
    return 1;
  }
  media_test::Member me(fw);
  if (!me.Join(Env("VOICE_BENCH_SERVER"), user, user == "alice" ? media_test::kAliceToken : media_test::kBobToken,
               "bench")) {
    std::printf("join failed\n");
    return 1;
  }
  const int mic = IndexOf(me.audio, true, L"Monitor of Microphone");
  const int speaker = IndexOf(me.audio, false, L"Speaker");
  if (mic < 0 || speaker < 0) {
    std::printf("not on the bench's PulseAudio server (PULSE_SERVER=%s): capture %s play %s\n",
                Env("PULSE_SERVER").c_str(), Names(me.audio, true).c_str(), Names(me.audio, false).c_str());
    return 1;
  }
  // As the SDK's audio engine sets them for every call.
  const int32_t on = 1, off = 0;
  me.audio->SetParam(avcore::kAudioParamEchoCancel, &on, 4);
  me.audio->SetParam(avcore::kAudioParamNoiseSuppress, &on, 4);
  me.audio->SetParam(avcore::kAudioParamAutoGain, &off, 4);
  const long play_hr = me.audio->StartPlay(speaker);
  const long capture_hr = me.audio->StartCapture(mic);
  const long source_hr = me.net->AddSource(1, "appdef_mic", me.audio);
  OnsetTap captured, played;
  me.audio->AddCapProcessedDataSink(&captured, nullptr);
  me.audio->AddPlayDataSink(&played, nullptr);
  const int32_t stream = me.audio->CreateAudioStream(1, 0);
  const long recv_hr = me.net->StartRecvMedia(peer.c_str(), 1, "appdef_mic", static_cast<uint32_t>(stream));
  std::printf("%s: play 0x%lx capture 0x%lx source 0x%lx stream %d receive 0x%lx\n", user.c_str(), play_hr, capture_hr,
              source_hr, stream, recv_hr);
  Write(dir + "/" + user + ".ready", "");
  WaitFor(dir + "/measured", 300000);
  me.audio->RemoveCapProcessedDataSink(&captured);
  me.audio->RemovePlayDataSink(&played);
  std::printf("%s\n%s\ncapture-period %.2f\n", captured.Line("captured").c_str(), played.Line("played").c_str(),
              CapturePeriodMs());
  std::fflush(stdout);
  me.net->StopRecvMedia(peer.c_str(), 1, "appdef_mic");
  me.audio->RemoveAudioStream(stream);
  me.net->RemoveSource(1, "appdef_mic");
  me.audio->StopCapture();
  me.audio->StopPlay();
  return 0;
}

// ---------------------------------------------------------------- the bench (parent)

struct Onsets {
  std::vector<double> handed, onsets;
};

Onsets ParseOnsets(const std::string& log, const std::string& name) {
  Onsets out;
  const size_t at = log.find("\n" + name + " ");
  const size_t start = at == std::string::npos ? (log.rfind(name + " ", 0) == 0 ? 0 : std::string::npos) : at + 1;
  if (start == std::string::npos) return out;
  std::istringstream in(log.substr(start + name.size() + 1));
  size_t n = 0;
  in >> n;
  for (size_t i = 0; i < n; ++i) {
    double h = 0, o = 0;
    in >> h >> o;
    out.handed.push_back(h);
    out.onsets.push_back(o);
  }
  return out;
}

struct StageEvent {
  double ms;
  int sequence, depth, target;
};

struct StageLog {
  std::vector<StageEvent> sent, arrived, popped;
};

StageLog ParseStages(const std::string& text) {
  StageLog log;
  std::istringstream in(text);
  std::string stage;
  StageEvent e{};
  while (in >> stage >> e.ms >> e.sequence >> e.depth >> e.target) {
    if (stage == "sent") log.sent.push_back(e);
    if (stage == "arrived") log.arrived.push_back(e);
    if (stage == "popped") log.popped.push_back(e);
  }
  return log;
}

// The first event at or after `from` (for a sequence number when one is given).
const StageEvent* After(const std::vector<StageEvent>& events, double from, int sequence = -1) {
  for (const StageEvent& e : events) {
    if (e.ms >= from && (sequence < 0 || e.sequence == sequence)) return &e;
  }
  return nullptr;
}

std::vector<int16_t> Bursts(int count, size_t* length) {
  std::vector<int16_t> out(static_cast<size_t>(count) * kRate * kPeriodMs / 1000);
  uint32_t x = 12345;
  for (size_t i = 0; i < out.size(); ++i) {
    if (i % (kRate * kPeriodMs / 1000) >= static_cast<size_t>(kRate * kBurstMs / 1000)) continue;
    x = x * 1664525u + 1013904223u;
    out[i] = static_cast<int16_t>(static_cast<int32_t>(x >> 16) % 8000);
  }
  *length = kRate * kBurstMs / 1000;
  return out;
}

// The spoken word, from its first to its last loud sample, at most 600 ms.
std::vector<int16_t> Word(const std::vector<int16_t>& speech) {
  size_t first = speech.size(), last = 0;
  for (size_t i = 0; i < speech.size(); ++i) {
    if (std::abs(speech[i]) > 1000) {
      first = std::min(first, i);
      last = i;
    }
  }
  if (first >= last) return {};
  last = std::min(last, first + kRate * 6 / 10);
  return std::vector<int16_t>(speech.begin() + static_cast<std::ptrdiff_t>(first),
                              speech.begin() + static_cast<std::ptrdiff_t>(last));
}

std::vector<int16_t> Spoken(const std::vector<int16_t>& word, int count) {
  std::vector<int16_t> out(static_cast<size_t>(count) * kRate * kPeriodMs / 1000);
  for (int b = 0; b < count; ++b) {
    std::copy(word.begin(), word.end(), out.begin() + static_cast<std::ptrdiff_t>(b) * kRate * kPeriodMs / 1000);
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

// Delay (samples) of `heard` against `spoken` over `n` samples from `start`.
int Lag(const std::vector<int16_t>& spoken, const std::vector<int16_t>& heard, size_t start, size_t n, int max_lag) {
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

// Splits times of both sections at their largest gap (the pause between the sections).
size_t SectionSplit(const std::vector<double>& t) {
  size_t split = t.size();
  double widest = 0;
  for (size_t i = 1; i < t.size(); ++i) {
    if (t[i] - t[i - 1] > widest) {
      widest = t[i] - t[i - 1];
      split = i;
    }
  }
  return widest > kPeriodMs + kSectionGapMs / 2 ? split : t.size();
}

struct Row {
  std::vector<double> mouth_to_ear, capture_side, path, render_side, framing, transport, jitter, decode, depth, target;
};

// The first onset of `taps` at or after `from` within `within` ms, or -1.
int TapAfter(const Onsets& taps, double from, double within) {
  for (size_t i = 0; i < taps.onsets.size(); ++i) {
    if (taps.onsets[i] >= from && taps.onsets[i] - from <= within) return static_cast<int>(i);
  }
  return -1;
}

// One burst, every time on the steady clock: its onset in alice's microphone (`mic_ms`) and
// in bob's speaker (`ear_ms`); the same onset at her processed capture and at his played
// frame split it into the capture side, the voice path and the render side; the stage
// logs split the voice path.
void AddBurst(double mic_ms, double ear_ms, const Onsets& alice, const Onsets& bob, const StageLog& sent,
              const StageLog& received, Row* row) {
  row->mouth_to_ear.push_back(ear_ms - mic_ms);
  const int i = TapAfter(alice, mic_ms - 5, 500);
  if (i < 0) return;
  const int j = TapAfter(bob, alice.onsets[i], 1000);
  if (j < 0 || bob.onsets[j] > ear_ms + 5) return;
  row->capture_side.push_back(alice.onsets[i] - mic_ms);
  row->path.push_back(bob.onsets[j] - alice.onsets[i]);
  row->render_side.push_back(ear_ms - bob.onsets[j]);
  const double c = alice.handed[i];
  const StageEvent* s = After(sent.sent, c - 0.5);
  const StageEvent* a = s ? After(received.arrived, s->ms - 1, s->sequence) : nullptr;
  const StageEvent* p = a ? After(received.popped, a->ms, s->sequence) : nullptr;
  if (!s || !a || !p || p->ms > bob.handed[j] + 1) return;
  row->framing.push_back(s->ms - c);
  row->transport.push_back(a->ms - s->ms);
  row->jitter.push_back(p->ms - a->ms);
  row->decode.push_back(bob.handed[j] - p->ms);
  row->depth.push_back(p->depth);
  row->target.push_back(p->target);
}

// Stages whose length the design fixes, in ms.
constexpr double kFilterBankMs = 60;      // analysis and synthesis: three frames
constexpr double kFrameDelayMaxMs = 120;  // 12 frames of 10 ms on plain sound
constexpr double kRenderRingMs = 60;      // fill threshold, 48000 * 120 / 1000 bytes
constexpr double kDeviceBufferMs = 50;    // the render client's shared-mode buffer

struct Floor {
  double frame_delay, capture_rest, total;
};

// The frame delay as it runs is not visible from outside the engine: it is what the capture
// side takes beyond the device's period and the filter bank, within its 0 to 120 ms; what
// the capture side takes beyond that is the rest.
Floor FloorOf(const Row& r, double capture_period) {
  const double beyond = Median(r.capture_side) - capture_period - kFilterBankMs;
  Floor f;
  f.frame_delay = std::clamp(beyond, 0.0, kFrameDelayMaxMs);
  f.capture_rest = beyond - f.frame_delay;
  f.total = capture_period + kFilterBankMs + f.frame_delay + kRenderRingMs + kDeviceBufferMs;
  return f;
}

void PrintRow(const char* name, const Row& r, double capture_period) {
  const Floor f = FloorOf(r, capture_period);
  std::printf(
      "  %-6s %3zu bursts  mouth-to-ear median %6.1f ms p95 %6.1f | capture side %6.1f | voice path median %5.1f "
      "p95 %5.1f | render side %6.1f\n",
      name, r.mouth_to_ear.size(), Median(r.mouth_to_ear), P95(r.mouth_to_ear), Median(r.capture_side), Median(r.path),
      P95(r.path), Median(r.render_side));
  std::printf(
      "         voice path stages (median ms): Opus framing and encoding %.1f, transport and relay %.1f, "
      "jitter buffer %.1f (depth %.0f, target %.0f frames at the pop), decoding, mixing and hand-over %.1f\n",
      Median(r.framing), Median(r.transport), Median(r.jitter), Median(r.depth), Median(r.target), Median(r.decode));
  std::printf(
      "         fixed stages: capture period %.1f + filter bank %.0f + frame delay as it runs %.1f + render ring "
      "%.0f + device buffer %.0f = floor %.1f ms; mouth-to-ear is %.1f ms above it (capture beyond them %.1f, "
      "voice path %.1f, render side beyond ring and buffer %.1f)\n",
      capture_period, kFilterBankMs, f.frame_delay, kRenderRingMs, kDeviceBufferMs, f.total,
      Median(r.mouth_to_ear) - f.total, f.capture_rest, Median(r.path),
      Median(r.render_side) - kRenderRingMs - kDeviceBufferMs);
}

void PrintHeader() {
  std::printf(
      "voice latency: a call between two processes under wine64 (each its own Quietwell engine and PulseAudio\n"
      "server; echo cancellation and noise suppression on, automatic gain off, as the SDK sets them), alice\n"
      "speaks, bob listens. Both recordings and all taps are timed on one clock. Capture side: alice's microphone\n"
      "to her processed capture; voice path: that to bob's played frame; render side: that to his speaker.\n"
      "Targets: voice path median <= 40 ms; speech mouth-to-ear median within 25 ms of the floor.\n");
}

struct Call {
  const char* name;
  int listener_latency_ms;  // bob's PulseAudio latency; 0: Wine's default
};

struct Bench {
  std::string dir;  // Unix path of this run
  std::string tag;  // makes the hosts' names this run's own
  std::string server_address;
  std::vector<int16_t> word;
  int bursts = 15;

  bool Launch(const std::string& command) {
    std::wstring cmd = Wide(command);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
    if (pi.hProcess) CloseHandle(pi.hProcess);
    if (pi.hThread) CloseHandle(pi.hThread);
    return true;
  }
  std::string Ctl(const std::string& call_dir, const std::string& verb, const std::string& host,
                  const std::string& done, const std::string& args, int wait_ms) {
    const std::string done_path = call_dir + "/" + done;
    DeleteFileW(WinePath(done_path).c_str());
    if (!Launch("/bin/sh " KIV_PULSE_HOST_CTL " " + verb + " " KIV_PULSE_RUN_DIR " " + host + tag + " " + done_path +
                " " + args)) {
      return "";
    }
    if (wait_ms > 0) WaitFor(done_path, wait_ms);
    return Read(done_path);
  }
  bool RunCall(const Call& call);
};

// The times file of the recorder: the first samples of both recordings on the clock whose
// reading is nearest `launched_ms` (the bench's steady clock when it started the recorder).
bool RecordingStarts(const std::string& text, double launched_ms, double* mic_ms, double* speaker_ms,
                     std::string* clock) {
  std::istringstream in(text);
  std::string name;
  double a = 0, b = 0;
  double best = 1e300;
  while (in >> name >> a >> b) {
    if (std::fabs(a - launched_ms) < best) {
      best = std::fabs(a - launched_ms);
      *mic_ms = a;
      *speaker_ms = b;
      *clock = name;
    }
  }
  return best < 5000;
}

bool Bench::RunCall(const Call& call) {
  const std::string d = dir + "/" + call.name;
  CreateDirectoryW(WinePath(d).c_str(), nullptr);
  std::string servers[2];
  const char* hosts[2] = {"alice", "bob"};
  for (int h = 0; h < 2; ++h) {
    servers[h] = Ctl(d, "start", hosts[h], std::string("pulse-") + hosts[h], "", 20000);
    if (servers[h].rfind("unix:", 0) != 0) {
      std::printf("no PulseAudio server for %s\n", hosts[h]);
      return false;
    }
  }
  // pulse_host_ctl.sh asks for a latency of its own; the bench's hosts take Wine's default,
  // except the listener when the call names one.
  for (int h = 0; h < 2; ++h) {
    const std::string latency = h == 1 && call.listener_latency_ms > 0
                                    ? "PULSE_LATENCY_MSEC=" + std::to_string(call.listener_latency_ms)
                                    : "-u PULSE_LATENCY_MSEC";
    Ctl(d, "run", hosts[h], std::string("exited-") + hosts[h],
        d + "/" + hosts[h] + ".log env " + latency + " VOICE_BENCH_HOST=" + hosts[h] + " VOICE_BENCH_DIR=" + d +
            " VOICE_BENCH_SERVER=" + server_address + " KIV_VOICE_STAGES=Z:" + d + "/" + hosts[h] +
            ".stages /usr/lib/wine/wine64 " KIV_VOICE_BENCH_EXE,
        0);
  }
  auto stop_all = [&] {
    Write(d + "/measured", "");
    WaitFor(d + "/exited-alice", 20000);
    WaitFor(d + "/exited-bob", 20000);
    for (const char* host : hosts) Ctl(d, "stop", host, std::string("stopped-") + host, "", 10000);
  };
  if (!WaitFor(d + "/alice.ready", 60000) || !WaitFor(d + "/bob.ready", 60000)) {
    std::printf("the call did not start:\n%s\n%s\n", Read(d + "/alice.log").c_str(), Read(d + "/bob.log").c_str());
    stop_all();
    return false;
  }
  // The capture's start-up, and one unmeasured word: a session's first onset comes
  // through the frame delay while it catches up.
  Sleep(4000);
  Write(d + "/warm.raw", std::string(reinterpret_cast<const char*>(word.data()), word.size() * 2));
  Ctl(d, "play", "alice", "warm-done", d + "/warm.raw", 5000);
  Sleep(1500);

  size_t noise_length = 0;
  std::vector<int16_t> signal = Spoken(word, bursts);
  signal.resize(signal.size() + kRate * kSectionGapMs / 1000, 0);
  const std::vector<int16_t> noise = Bursts(bursts, &noise_length);
  signal.insert(signal.end(), noise.begin(), noise.end());
  Write(d + "/bursts.raw", std::string(reinterpret_cast<const char*>(signal.data()), signal.size() * 2));
  const int seconds = static_cast<int>(signal.size() / kRate) + 3;
  DeleteFileW(WinePath(d + "/cross-done").c_str());
  const double launched_ms = NowMs();
  Launch("/bin/sh -c \"" KIV_PAIR_RECORDER " " + std::to_string(seconds) + " " + servers[0] + " mic.monitor " + d +
         "/mic.raw " + servers[1] + " speaker.monitor " + d + "/speaker.raw " + d + "/times > " + d +
         "/recorder.log 2>&1; : > " + d + "/cross-done\"");
  Sleep(500);
  const double measured_from = NowMs();
  Ctl(d, "play", "alice", "play-done", d + "/bursts.raw", (seconds + 5) * 1000);
  WaitFor(d + "/cross-done", 10000);
  stop_all();

  double mic_start = 0, speaker_start = 0;
  std::string clock;
  if (!RecordingStarts(Read(d + "/times"), launched_ms, &mic_start, &speaker_start, &clock)) {
    std::printf("the recorder gave no times on the bench's clock (%s): %s\n", Read(d + "/times").c_str(),
                Read(d + "/recorder.log").c_str());
    return false;
  }
  // Mouth to ear, each burst by cross-correlation of the recordings laid on the one clock;
  // the two sections by the pause between them.
  const auto spoken = Pcm(Read(d + "/mic.raw"));
  const auto recorded = Pcm(Read(d + "/speaker.raw"));
  const long shift = std::lround((mic_start - speaker_start) * kRate / 1000);
  std::vector<int16_t> heard(spoken.size() + kRate, 0);  // heard[i]: the speaker at the time of spoken[i]
  for (size_t i = 0; i < heard.size(); ++i) {
    const long k = static_cast<long>(i) + shift;
    if (k >= 0 && k < static_cast<long>(recorded.size())) heard[i] = recorded[static_cast<size_t>(k)];
  }
  std::vector<double> at_ms, lag_ms;
  for (size_t from = 0;;) {
    const int onset = OnsetAfter(spoken, from);
    if (onset < 0) break;
    const size_t start = static_cast<size_t>(std::max(0, onset - 480));
    const int lag = Lag(spoken, heard, start, std::min(word.size(), noise_length), kRate * kMaxLagMs / 1000);
    if (lag >= 0) {
      at_ms.push_back(mic_start + onset * 1000.0 / kRate);
      lag_ms.push_back(lag * 1000.0 / kRate);
    }
    from = static_cast<size_t>(onset) + kRate * (kPeriodMs - 200) / 1000;
  }
  if (at_ms.empty()) {
    std::printf("no burst was heard (microphone %zu samples, speaker %zu)\n", spoken.size(), recorded.size());
    return false;
  }
  const std::string alice_log = Read(d + "/alice.log");
  const std::string bob_log = Read(d + "/bob.log");
  Onsets captured = ParseOnsets(alice_log, "captured");
  while (!captured.handed.empty() && captured.handed.front() < measured_from) {  // the unmeasured word
    captured.handed.erase(captured.handed.begin());
    captured.onsets.erase(captured.onsets.begin());
  }
  const Onsets played = ParseOnsets(bob_log, "played");
  const StageLog sent = ParseStages(Read(d + "/alice.stages"));
  const StageLog received = ParseStages(Read(d + "/bob.stages"));
  double capture_period = NAN;
  const size_t period_at = alice_log.find("capture-period ");
  if (period_at != std::string::npos) capture_period = std::atof(alice_log.c_str() + period_at + 15);
  Row rows[2];
  const size_t split = SectionSplit(at_ms);
  for (size_t i = 0; i < at_ms.size(); ++i) {
    AddBurst(at_ms[i], at_ms[i] + lag_ms[i], captured, played, sent, received, &rows[i < split ? 0 : 1]);
  }
  std::printf(
      "%s: alice at Wine's default PulseAudio latency, bob at %s; capture period %.1f ms; recordings %.1f ms "
      "apart at their start (%s clock)\n",
      call.name,
      call.listener_latency_ms > 0 ? (std::to_string(call.listener_latency_ms) + " ms").c_str() : "Wine's default",
      capture_period, speaker_start - mic_start, clock.c_str());
  PrintRow("speech", rows[0], capture_period);
  PrintRow("noise", rows[1], capture_period);
  std::vector<double> depth, target;
  for (const StageEvent& e : received.popped) {
    depth.push_back(e.depth);
    target.push_back(e.target);
  }
  std::printf(
      "  bob's jitter buffer over the call: %zu pops, depth median %.0f p95 %.0f, target median %.0f p95 %.0f "
      "frames\n",
      depth.size(), Median(depth), P95(depth), Median(target), P95(target));
  std::fflush(stdout);
  return true;
}

int RunBench(int bursts, int listener_latency_ms) {
  Bench b;
  b.bursts = bursts;
  b.tag = "-" + std::to_string(GetCurrentProcessId());
  // Process ids come again: a directory of an earlier run holds its "measured" and "ready" files.
  b.dir = std::string(KIV_BENCH_RUN_DIR) + "/run" + b.tag + "-" + std::to_string(GetTickCount64());
  CreateDirectoryW(WinePath(KIV_BENCH_RUN_DIR).c_str(), nullptr);
  CreateDirectoryW(WinePath(b.dir).c_str(), nullptr);
  if (!Exists(KIV_PAIR_RECORDER)) {
    std::printf("no recorder at " KIV_PAIR_RECORDER " (build pulse_pair_recorder in the native tree)\n");
    return 1;
  }
  connection_test::MeetingServerControl server("voice_latency_bench");
  std::string why;
  if (!server.StartWith("", &why)) {
    std::printf("no meeting server: %s\n", why.c_str());
    return 1;
  }
  b.server_address = server.address();
  b.Ctl(b.dir, "speech", "alice", "speech-done", b.dir + "/speech.raw testing", 20000);
  b.word = Word(Pcm(Read(b.dir + "/speech.raw")));
  if (b.word.empty()) {
    std::printf("espeak-ng gave no speech\n");
    return 1;
  }
  PrintHeader();
  bool ok = b.RunCall({"default", 0});
  if (listener_latency_ms > 0) ok = b.RunCall({"listener", listener_latency_ms}) && ok;
  return ok ? 0 : 1;
}

}  // namespace

// voice_latency_bench.exe [bursts of each kind, default 15] [bob's render latency for the
// second call in ms, default 60; 0: no second call]
int main(int argc, char** argv) {
  const std::string host = Env("VOICE_BENCH_HOST");
  if (!host.empty()) return Host(host);
  return RunBench(argc > 1 ? std::max(3, std::atoi(argv[1])) : 15, argc > 2 ? std::atoi(argv[2]) : 60);
}
