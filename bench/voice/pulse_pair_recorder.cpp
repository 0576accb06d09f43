// Records two PulseAudio sources, each on a server of its own, for the same number of
// seconds (s16le, 48 kHz, mono) and times both against one clock: for every 10 ms read
// the capture time of the recording's first sample is the time of the read's return
// minus the stream's latency minus what was read; the median over the reads is written,
// read on each of the system's monotonic clocks, so that a caller can pick the one its
// own timestamps come from.
//   pulse_pair_recorder <seconds> <server-a> <source-a> <raw-a> <server-b> <source-b> <raw-b> <times>
// <times> gets "<clock> <first sample of a, ms> <first sample of b, ms>" per clock.
// libpulse-simple is loaded at run time (the machine has the library, not its headers).
#include <dlfcn.h>
#include <time.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

struct SampleSpec {
  int format;  // PA_SAMPLE_S16LE = 3
  uint32_t rate;
  uint8_t channels;
};
struct BufferAttr {
  uint32_t maxlength, tlength, prebuf, minreq, fragsize;
};
using NewFn = void* (*)(const char*, const char*, int, const char*, const char*, const SampleSpec*, const void*,
                        const BufferAttr*, int*);
using ReadFn = int (*)(void*, void*, size_t, int*);
using LatencyFn = uint64_t (*)(void*, int*);
using FreeFn = void (*)(void*);

struct Pulse {
  NewFn open = nullptr;
  ReadFn read = nullptr;
  LatencyFn latency = nullptr;
  FreeFn close = nullptr;
  bool Load() {
    void* lib = dlopen("libpulse-simple.so.0", RTLD_NOW);
    if (lib == nullptr) return false;
    open = reinterpret_cast<NewFn>(dlsym(lib, "pa_simple_new"));
    read = reinterpret_cast<ReadFn>(dlsym(lib, "pa_simple_read"));
    latency = reinterpret_cast<LatencyFn>(dlsym(lib, "pa_simple_get_latency"));
    close = reinterpret_cast<FreeFn>(dlsym(lib, "pa_simple_free"));
    return open && read && latency && close;
  }
};

constexpr int kRate = 48000;
constexpr size_t kChunkBytes = kRate / 100 * 2;  // 10 ms

const clockid_t kClocks[] = {CLOCK_MONOTONIC_RAW, CLOCK_MONOTONIC, CLOCK_BOOTTIME};
const char* const kClockNames[] = {"monotonic_raw", "monotonic", "boottime"};

double Ms(clockid_t clock) {
  timespec ts{};
  clock_gettime(clock, &ts);
  return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

struct Recording {
  std::string server, source, path;
  std::vector<double> first_sample_ms[3];  // per read, per clock
  bool ok = false;
};

void Record(const Pulse& pulse, int seconds, Recording* r) {
  const SampleSpec spec{3, kRate, 1};
  const BufferAttr attr{static_cast<uint32_t>(-1), static_cast<uint32_t>(-1), static_cast<uint32_t>(-1),
                        static_cast<uint32_t>(-1), static_cast<uint32_t>(kChunkBytes)};
  int error = 0;
  void* s =
      pulse.open(r->server.c_str(), "pair recorder", 2, r->source.c_str(), "record", &spec, nullptr, &attr, &error);
  if (s == nullptr) return;
  FILE* out = std::fopen(r->path.c_str(), "wb");
  if (out == nullptr) {
    pulse.close(s);
    return;
  }
  std::vector<char> chunk(kChunkBytes);
  const size_t chunks = static_cast<size_t>(seconds) * 100;
  for (size_t i = 0; i < chunks; ++i) {
    if (pulse.read(s, chunk.data(), chunk.size(), &error) < 0) break;
    double now[3];
    for (int c = 0; c < 3; ++c) now[c] = Ms(kClocks[c]);
    const double latency_ms = static_cast<double>(pulse.latency(s, &error)) / 1000.0;
    const double read_ms = (i + 1) * 10.0;
    for (int c = 0; c < 3; ++c) r->first_sample_ms[c].push_back(now[c] - latency_ms - read_ms);
    std::fwrite(chunk.data(), 1, chunk.size(), out);
  }
  std::fclose(out);
  pulse.close(s);
  r->ok = !r->first_sample_ms[0].empty();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 9) {
    std::fprintf(stderr,
                 "usage: pulse_pair_recorder <seconds> <server-a> <source-a> <raw-a> <server-b> <source-b> <raw-b> "
                 "<times>\n");
    return 2;
  }
  Pulse pulse;
  if (!pulse.Load()) {
    std::fprintf(stderr, "pulse_pair_recorder: no libpulse-simple.so.0\n");
    return 1;
  }
  const int seconds = std::max(1, std::atoi(argv[1]));
  Recording a{argv[2], argv[3], argv[4]}, b{argv[5], argv[6], argv[7]};
  std::thread ta(Record, std::cref(pulse), seconds, &a);
  std::thread tb(Record, std::cref(pulse), seconds, &b);
  ta.join();
  tb.join();
  if (!a.ok || !b.ok) {
    std::fprintf(stderr, "pulse_pair_recorder: recording failed (a %d, b %d)\n", a.ok, b.ok);
    return 1;
  }
  FILE* times = std::fopen(argv[8], "w");
  if (times == nullptr) return 1;
  for (int c = 0; c < 3; ++c) {
    std::fprintf(times, "%s %.3f %.3f\n", kClockNames[c], Median(a.first_sample_ms[c]), Median(b.first_sample_ms[c]));
  }
  std::fclose(times);
  return 0;
}
