// The test side of fake_quietwell.cpp: its location and its test exports.
#pragma once

#include <windows.h>

#include <string>

#include "dll_fixture.h"

namespace tessarine_test {

// The double lives in its own directory so that it never meets the real library.
inline std::wstring FakeQuietwellDirectory() { return FrameworkTest::BinDirectory() + L"fake_quietwell\\"; }

// Holds the double loaded for the test (so that its journal can be read after the
// framework let it go) and calls its test exports.
class FakeQuietwell {
 public:
  FakeQuietwell() : module_(LoadLibraryW((FakeQuietwellDirectory() + L"Quietwell.dll").c_str())) {}
  ~FakeQuietwell() {
    if (module_) FreeLibrary(module_);
  }
  FakeQuietwell(const FakeQuietwell&) = delete;
  FakeQuietwell& operator=(const FakeQuietwell&) = delete;

  bool loaded() const { return module_ != nullptr; }
  void Configure(const char* capture, const char* play) {
    Get<void(__cdecl*)(const char*, const char*)>("FakeQwConfigure")(capture, play);
  }
  std::string Journal() {
    char buffer[8192];
    Get<int(__cdecl*)(char*, int)>("FakeQwJournal")(buffer, sizeof(buffer));
    return buffer;
  }
  void ClearJournal() { Get<void(__cdecl*)()>("FakeQwClearJournal")(); }
  void FixVolumes(bool fixed) { Get<void(__cdecl*)(int)>("FakeQwFixVolumes")(fixed ? 1 : 0); }
  bool Running() { return Get<int(__cdecl*)()>("FakeQwRunning")() != 0; }
  // Delivers one capture frame; false when the engine is not running.
  bool Capture(const short* pcm, int bytes) {
    return Get<int(__cdecl*)(const short*, int)>("FakeQwCapture")(pcm, bytes) != 0;
  }
  // One render pull into `out` (1920 samples); the bytes, -1 when not running.
  int Render(short* out) { return Get<int(__cdecl*)(short*)>("FakeQwRender")(out); }
  void Log(const char* text) { Get<void(__cdecl*)(const char*)>("FakeQwLog")(text); }

 private:
  template <typename Fn>
  Fn Get(const char* name) {
    return Export<Fn>(module_, name);
  }
  HMODULE module_;
};

}  // namespace tessarine_test
