// Quietwell.dll used from threads that end after it is unloaded. Each round loads the library;
// one worker opens the engine, lists the devices and starts the streams, a second worker
// pauses and closes it; both stay alive while the main thread unloads the library, then end.
// A last round runs on the main thread alone before the process exits. Checks that the
// library is really unloaded each time and that the workers end; a hang ends the process
// through the watchdog (or the test's timeout). Exit code 0 on success.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstring>

#include "quietwell_api.h"

namespace {

constexpr int kRounds = 6;
constexpr DWORD kStepMs = 30000;  // a worker's calls
constexpr DWORD kEndMs = 10000;   // the end of the workers

struct Api {
  decltype(&OpenRealAudioEngine) open;
  decltype(&CloseRealAudioEngine) close;
  decltype(&ResetRealAudioEngine) reset;
  decltype(&PauseRealAudioEngine) pause;
  decltype(&RealAudioGetCaptureDevsCount) capture_count;
  decltype(&RealAudioGetPlayoutDevsCount) playout_count;
  decltype(&RealAudioGetCaptureDevsName) capture_name;
  decltype(&RealAudioGetPlayoutDevsName) playout_name;
};

template <typename F>
bool Bind(HMODULE dll, const char* name, F* out) {
  *out = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
  return *out != nullptr;
}

bool BindAll(HMODULE dll, Api* api) {
  return Bind(dll, "OpenRealAudioEngine", &api->open) && Bind(dll, "CloseRealAudioEngine", &api->close) &&
         Bind(dll, "ResetRealAudioEngine", &api->reset) && Bind(dll, "PauseRealAudioEngine", &api->pause) &&
         Bind(dll, "RealAudioGetCaptureDevsCount", &api->capture_count) &&
         Bind(dll, "RealAudioGetPlayoutDevsCount", &api->playout_count) &&
         Bind(dll, "RealAudioGetCaptureDevsName", &api->capture_name) &&
         Bind(dll, "RealAudioGetPlayoutDevsName", &api->playout_name);
}

std::atomic<int> g_captures{0};
std::atomic<int> g_renders{0};
void Capture(const short*, int, int) { ++g_captures; }
void Render(short*, int* bytes, void*) {
  ++g_renders;
  *bytes = 1920;  // the buffer arrives zeroed: silence
}

int failures = 0;
void Check(bool ok, const char* what) {
  std::printf("%s: %s\n", ok ? "ok  " : "FAIL", what);
  if (!ok) ++failures;
}

bool WaitFor(const std::atomic<int>& counter, int above, DWORD ms) {
  for (DWORD waited = 0; counter <= above; waited += 5) {
    if (waited >= ms) return false;
    Sleep(5);
  }
  return true;
}

// Open, the device lists and the streams; then the worker waits to be told to end.
struct Worker {
  const Api* api;
  bool opening;
  HANDLE done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE end = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE thread = nullptr;
  int devices = 0;

  static DWORD WINAPI Run(LPVOID param) {
    auto* w = static_cast<Worker*>(param);
    if (w->opening) {
      w->api->open(&Capture, &Render);
      char name[512];
      const int captures = w->api->capture_count();
      const int playouts = w->api->playout_count();
      if (captures > 0) w->api->capture_name(0, name);
      if (playouts > 0) w->api->playout_name(0, name);
      w->devices = captures > 0 && playouts > 0 ? 1 : 0;
      w->api->reset();
    } else {
      w->api->pause();
      w->api->close();
    }
    SetEvent(w->done);
    WaitForSingleObject(w->end, INFINITE);
    return 0;
  }
  bool Start() {
    thread = CreateThread(nullptr, 0, &Run, this, 0, nullptr);
    return thread != nullptr && WaitForSingleObject(done, kStepMs) == WAIT_OBJECT_0;
  }
  ~Worker() {
    if (thread) CloseHandle(thread);
    CloseHandle(done);
    CloseHandle(end);
  }
};

DWORD WINAPI Watchdog(LPVOID) {
  Sleep(100000);
  std::printf("FAIL: watchdog: the test did not finish in 100 s\n");
  std::fflush(stdout);
  TerminateProcess(GetCurrentProcess(), 3);  // ExitProcess would wait for the loader lock
  return 0;
}

}  // namespace

int main() {
  setvbuf(stdout, nullptr, _IONBF, 0);
  CloseHandle(CreateThread(nullptr, 0, &Watchdog, nullptr, 0, nullptr));
  for (int round = 0; round < kRounds; ++round) {
    std::printf("round %d\n", round + 1);
    HMODULE dll = LoadLibraryW(L"Quietwell.dll");
    Api api = {};
    Check(dll != nullptr && BindAll(dll, &api), "Quietwell.dll loads with its exports");
    if (!dll || failures) return 1;

    const int captured = g_captures, rendered = g_renders;
    Worker opener{&api, true};
    Check(opener.Start(), "a worker opens the engine and starts the streams");
    Check(opener.devices == 1, "capture and playout devices are listed");
    Check(WaitFor(g_captures, captured + 5, 10000) && WaitFor(g_renders, rendered + 5, 10000),
          "frames are captured and rendered");
    Worker closer{&api, false};
    Check(closer.Start(), "another worker pauses and closes the engine");

    FreeLibrary(dll);
    Check(GetModuleHandleW(L"Quietwell.dll") == nullptr,
          "the library is unloaded while the threads that called it are alive");
    SetEvent(opener.end);
    SetEvent(closer.end);
    HANDLE threads[2] = {opener.thread, closer.thread};
    if (WaitForMultipleObjects(2, threads, TRUE, kEndMs) != WAIT_OBJECT_0) {
      Check(false, "both workers end after the library is unloaded");
      TerminateProcess(GetCurrentProcess(), 1);  // a stuck thread end holds the loader lock
    }
    Check(true, "both workers end after the library is unloaded");
    if (failures) break;
  }

  // The main thread calls the exports itself, unloads the library and exits.
  std::printf("main thread\n");
  HMODULE dll = LoadLibraryW(L"Quietwell.dll");
  Api api = {};
  if (dll && BindAll(dll, &api) && !failures) {
    const int captured = g_captures;
    api.open(&Capture, &Render);
    api.reset();
    Check(WaitFor(g_captures, captured + 5, 10000), "frames are captured with the main thread's calls");
    api.pause();
    api.close();
    FreeLibrary(dll);
    Check(GetModuleHandleW(L"Quietwell.dll") == nullptr, "the main thread's calls leave the library unloadable");
  } else {
    Check(false, "Quietwell.dll loads again on the main thread");
  }
  std::printf("%d rounds, %s\n", kRounds, failures ? "FAILED" : "PASSED");
  return failures ? 1 : 0;
}
