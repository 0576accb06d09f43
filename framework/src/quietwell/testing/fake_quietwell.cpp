// A test double of Quietwell.dll: the library's 24 exports with scripted devices, a
// journal of the calls it receives, and test exports (FakeQw*) that drive its callbacks
// from the test's thread, so that the framework's binding can be tested exactly.
#include <windows.h>

#define QUIETWELL_BUILD
#include "audio/engine/quietwell_api.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace {

using CaptureCallback = RealAudioCaptureCallback;
using RenderCallback = RealAudioRenderCallback;
using LogCallback = RealAudioLogCallback;

std::mutex g_mutex;
std::string g_journal;
CaptureCallback g_capture = nullptr;
RenderCallback g_render = nullptr;
LogCallback g_log = nullptr;
bool g_opened = false;
bool g_running = false;
std::vector<std::string> g_capture_names{"Fake Microphone", "Fake Line In"};
std::vector<std::string> g_play_names{"Fake Speaker"};
int g_capture_level = 32767;  // 0-65535, as a microphone's level control
int g_play_volume = 70;
bool g_volumes_fixed = false;

void Note(const std::string& entry) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_journal += entry + "\n";
}

// Calls that need OpenRealAudioEngine first are marked when they come before it.
void NeedOpen(const char* name) {
  if (!g_opened) Note(std::string("ORDER ") + name);
}

std::vector<std::string> Split(const char* text) {
  std::vector<std::string> out;
  if (text == nullptr || *text == '\0') return out;
  std::string s(text);
  size_t start = 0;
  while (true) {
    const size_t end = s.find(';', start);
    out.push_back(s.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return out;
}

int NameExport(const std::vector<std::string>& names, int index, char* name) {
  if (names.empty()) return -1;
  if (index < 0) index = 0;
  if (index >= static_cast<int>(names.size())) index = static_cast<int>(names.size()) - 1;
  if (name) std::strcpy(name, names[static_cast<size_t>(index)].c_str());
  return 0;
}

}  // namespace

extern "C" {

int __cdecl OpenRealAudioEngine(CaptureCallback capture, RenderCallback render) {
  g_capture = capture;
  g_render = render;
  g_opened = true;
  Note("Open");
  return 0;
}
void __cdecl CloseRealAudioEngine() {
  Note("Close");
  g_running = false;
  g_opened = false;
}
void __cdecl ResetRealAudioEngine() {
  NeedOpen("Reset");
  Note("Reset");
  g_running = true;
}
void __cdecl PauseRealAudioEngine() {
  Note("Pause");
  g_running = false;
}
void __cdecl SetRealAudioConfig(int aec, int ans) {
  Note("SetRealAudioConfig " + std::to_string(aec & 0xFF) + " " + std::to_string(ans & 0xFF));
}
void __cdecl RealAudioSetDumpFile(int, const char*) { Note("SetDumpFile"); }
void __cdecl RealAudioSetAppPath() {}
void __cdecl RealAudioSetStatusChangeCallback() {}
int __cdecl RealAudioSetCaptureDevID(int index) {
  NeedOpen("SetCaptureDevID");
  Note("SetCaptureDevID " + std::to_string(index));
  return g_capture_names.empty() ? -1 : 0;
}
int __cdecl RealAudioSetPlayoutDevID(int index) {
  NeedOpen("SetPlayoutDevID");
  Note("SetPlayoutDevID " + std::to_string(index));
  return g_play_names.empty() ? -1 : 0;
}
int __cdecl RealAudioGetCaptureDevsCount() {
  NeedOpen("GetCaptureDevsCount");
  return static_cast<int>(g_capture_names.size());
}
int __cdecl RealAudioGetPlayoutDevsCount() {
  NeedOpen("GetPlayoutDevsCount");
  return static_cast<int>(g_play_names.size());
}
int __cdecl RealAudioGetCaptureDevsName(int index, char* name) {
  NeedOpen("GetCaptureDevsName");
  return NameExport(g_capture_names, index, name);
}
int __cdecl RealAudioGetPlayoutDevsName(int index, char* name) {
  NeedOpen("GetPlayoutDevsName");
  return NameExport(g_play_names, index, name);
}
int __cdecl RealAudioGetCaptureVolume() { return g_capture_level * 100 / 65535; }
int __cdecl RealAudioSetCaptureVolume(int volume) {
  Note("SetCaptureVolume " + std::to_string(volume));
  if (!g_volumes_fixed) g_capture_level = volume * 65535 / 100;
  return 0;
}
int __cdecl RealAudioGetPlayoutVolume() { return g_play_volume; }
int __cdecl RealAudioSetPlayoutVolume(int volume) {
  Note("SetPlayoutVolume " + std::to_string(volume));
  if (!g_volumes_fixed) g_play_volume = volume < 0 ? 0 : (volume > 100 ? 100 : volume);
  return 0;
}
bool __cdecl RealAudioGetMicEnhance() { return false; }
void __cdecl RealAudioSetMicEnhance(int) {}
int __cdecl RealAudioSetLogCallback(LogCallback callback) {
  g_log = callback;
  Note(callback ? "SetLogCallback" : "SetLogCallback null");
  return static_cast<int>(reinterpret_cast<intptr_t>(callback));
}
int __cdecl RealAudioSetHeadsetEnhance(int enable) { return enable & 0xFF; }
void __cdecl RealAudioSetMusicMode(int) {}
int __cdecl RealAudioSetMicVolumeControl(int enable) {
  Note("SetMicVolumeControl " + std::to_string(enable & 0xFF));
  return 0;
}

// Test exports.

void __cdecl FakeQwConfigure(const char* capture_names, const char* play_names) {
  g_capture_names = Split(capture_names);
  g_play_names = Split(play_names);
}

int __cdecl FakeQwJournal(char* buffer, int capacity) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (buffer && capacity > 0) {
    std::snprintf(buffer, static_cast<size_t>(capacity), "%s", g_journal.c_str());
  }
  return static_cast<int>(g_journal.size());
}

void __cdecl FakeQwClearJournal() {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_journal.clear();
}

// Volumes no longer change (as without a volume control); the setters still return 0.
void __cdecl FakeQwFixVolumes(int fixed) { g_volumes_fixed = fixed != 0; }

int __cdecl FakeQwRunning() { return g_running ? 1 : 0; }

// One capture callback with `bytes` of `pcm` at 48 kHz, as the capture thread would make
// it while the engine runs; 0 when it does not run.
int __cdecl FakeQwCapture(const short* pcm, int bytes) {
  if (!g_running || !g_capture) return 0;
  g_capture(pcm, bytes, 48000);
  return 1;
}

// One render callback into `out` (room for 1920 samples); returns the bytes delivered,
// or -1 when the engine does not run.
int __cdecl FakeQwRender(short* out) {
  if (!g_running || !g_render) return -1;
  short buffer[1920] = {};
  int bytes = 1920;
  int info = 0;
  g_render(buffer, &bytes, &info);
  std::memcpy(out, buffer, sizeof(buffer));
  return bytes;
}

static void CallLog(const char* format, ...) {
  va_list args;
  va_start(args, format);
  g_log(format, args);
  va_end(args);
}

void __cdecl FakeQwLog(const char* text) {
  if (g_log) CallLog("%s\n", text);
}

}  // extern "C"
