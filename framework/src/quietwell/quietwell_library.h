// Binding of Quietwell.dll, the audio device engine the framework drives: finds the
// library in the framework's directories, loads it and resolves its 24 C exports.
#pragma once

#include <cstdarg>
#include <memory>
#include <string>
#include <vector>

#include "avcore/platform.h"

namespace tessarine {

inline constexpr wchar_t kQuietwellFileName[] = L"Quietwell.dll";

// The library's callbacks and exports (cdecl on every target).
extern "C" {
typedef void(__cdecl* QwCaptureCallback)(const short* pcm, int bytes, int sampleRate);
typedef void(__cdecl* QwRenderCallback)(short* buffer, int* bytes, void* info);
typedef void(__cdecl* QwLogCallback)(const char* format, va_list args);
}

struct QuietwellExports {
  int(__cdecl* OpenRealAudioEngine)(QwCaptureCallback capture, QwRenderCallback render);
  void(__cdecl* CloseRealAudioEngine)();
  void(__cdecl* ResetRealAudioEngine)();
  void(__cdecl* PauseRealAudioEngine)();
  void(__cdecl* SetRealAudioConfig)(int aec, int ans);
  void(__cdecl* RealAudioSetDumpFile)(int enable, const char* folder);
  void(__cdecl* RealAudioSetAppPath)();
  void(__cdecl* RealAudioSetStatusChangeCallback)();
  int(__cdecl* RealAudioSetCaptureDevID)(int index);
  int(__cdecl* RealAudioSetPlayoutDevID)(int index);
  int(__cdecl* RealAudioGetCaptureDevsCount)();
  int(__cdecl* RealAudioGetPlayoutDevsCount)();
  int(__cdecl* RealAudioGetCaptureDevsName)(int index, char* name);
  int(__cdecl* RealAudioGetPlayoutDevsName)(int index, char* name);
  int(__cdecl* RealAudioGetCaptureVolume)();
  int(__cdecl* RealAudioSetCaptureVolume)(int volume);
  int(__cdecl* RealAudioGetPlayoutVolume)();
  int(__cdecl* RealAudioSetPlayoutVolume)(int volume);
  bool(__cdecl* RealAudioGetMicEnhance)();
  void(__cdecl* RealAudioSetMicEnhance)(int enable);
  int(__cdecl* RealAudioSetLogCallback)(QwLogCallback callback);
  int(__cdecl* RealAudioSetHeadsetEnhance)(int enable);
  void(__cdecl* RealAudioSetMusicMode)(int music);
  int(__cdecl* RealAudioSetMicVolumeControl)(int enable);
};

class QuietwellLibrary {
 public:
  // Tries `directories` in order (each ending in a separator); the first library that
  // loads and has every export wins. Null when none does; `report` says what was tried.
  static std::unique_ptr<QuietwellLibrary> Load(const std::vector<std::wstring>& directories,
                                                std::string* report);
  ~QuietwellLibrary();
  QuietwellLibrary(const QuietwellLibrary&) = delete;
  QuietwellLibrary& operator=(const QuietwellLibrary&) = delete;

  const QuietwellExports& api() const { return api_; }
  const std::wstring& path() const { return path_; }

 private:
  QuietwellLibrary(HMODULE module, std::wstring path, const QuietwellExports& api)
      : module_(module), path_(std::move(path)), api_(api) {}

  HMODULE module_;
  std::wstring path_;
  QuietwellExports api_;
};

// Where the framework looks for the library: the directories Init received, or the
// framework's own directory when that list is empty.
std::vector<std::wstring> QuietwellSearchDirectories();

}  // namespace tessarine
