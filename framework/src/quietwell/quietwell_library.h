// Binding of Quietwell.dll, the audio device engine the framework drives: finds the
// library in the framework's directories, loads it and resolves its 24 C exports.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "audio/engine/quietwell_api.h"
#include "avcore/platform.h"

namespace tessarine {

inline constexpr wchar_t kQuietwellFileName[] = L"Quietwell.dll";

// The library's exports, typed by its public header: a changed signature there fails
// to compile here.
struct QuietwellExports {
  decltype(&::OpenRealAudioEngine) OpenRealAudioEngine;
  decltype(&::CloseRealAudioEngine) CloseRealAudioEngine;
  decltype(&::ResetRealAudioEngine) ResetRealAudioEngine;
  decltype(&::PauseRealAudioEngine) PauseRealAudioEngine;
  decltype(&::SetRealAudioConfig) SetRealAudioConfig;
  decltype(&::RealAudioSetDumpFile) RealAudioSetDumpFile;
  decltype(&::RealAudioSetAppPath) RealAudioSetAppPath;
  decltype(&::RealAudioSetStatusChangeCallback) RealAudioSetStatusChangeCallback;
  decltype(&::RealAudioSetCaptureDevID) RealAudioSetCaptureDevID;
  decltype(&::RealAudioSetPlayoutDevID) RealAudioSetPlayoutDevID;
  decltype(&::RealAudioGetCaptureDevsCount) RealAudioGetCaptureDevsCount;
  decltype(&::RealAudioGetPlayoutDevsCount) RealAudioGetPlayoutDevsCount;
  decltype(&::RealAudioGetCaptureDevsName) RealAudioGetCaptureDevsName;
  decltype(&::RealAudioGetPlayoutDevsName) RealAudioGetPlayoutDevsName;
  decltype(&::RealAudioGetCaptureVolume) RealAudioGetCaptureVolume;
  decltype(&::RealAudioSetCaptureVolume) RealAudioSetCaptureVolume;
  decltype(&::RealAudioGetPlayoutVolume) RealAudioGetPlayoutVolume;
  decltype(&::RealAudioSetPlayoutVolume) RealAudioSetPlayoutVolume;
  decltype(&::RealAudioGetMicEnhance) RealAudioGetMicEnhance;
  decltype(&::RealAudioSetMicEnhance) RealAudioSetMicEnhance;
  decltype(&::RealAudioSetLogCallback) RealAudioSetLogCallback;
  decltype(&::RealAudioSetHeadsetEnhance) RealAudioSetHeadsetEnhance;
  decltype(&::RealAudioSetMusicMode) RealAudioSetMusicMode;
  decltype(&::RealAudioSetMicVolumeControl) RealAudioSetMicVolumeControl;
};

class QuietwellLibrary {
 public:
  // Tries `directories` in order (each ending in a separator); the first library that
  // loads and has every export wins. Null when none does; `report` says what was tried.
  static std::unique_ptr<QuietwellLibrary> Load(const std::vector<std::wstring>& directories, std::string* report);
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
