// The process's audio device engine: Quietwell.dll, opened once for every audio device
// and device manager of the library and closed with the last of them. Quietwell has one
// microphone, one speaker and one callback of each kind; the engine hands each captured
// frame to every device that captures from it, and gives Quietwell's render callback the
// sum of what every playing device plays. Every export is called on the engine's own
// thread (so that whatever Quietwell sets up per calling thread, its COM apartment
// included, belongs to that thread, which ends before the library is unloaded); no lock
// of the engine is held while a device runs on an audio thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "avcore/platform.h"
#include "quietwell_library.h"
#include "serial_executor.h"

namespace tessarine {

// Frames between the engine and the devices: 20 ms of 48 kHz mono 16-bit PCM.
inline constexpr int32_t kEngineSampleRate = 48000;
inline constexpr size_t kEngineFrameSamples = 960;

// Failure of an operation that needs the engine when Quietwell.dll is not loaded.
inline constexpr HRESULT kNoAudioEngine = HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);

// An audio device driven by the engine. Both run on Quietwell's threads.
class AudioEngineClient {
 public:
  // One processed microphone frame.
  virtual void OnEngineCapture(const int16_t* pcm, size_t samples) = 0;
  // `out` (zeroed) receives what the device plays in the next frame.
  virtual void OnEngineRender(int16_t* out, size_t samples) = 0;

 protected:
  ~AudioEngineClient() = default;
};

class QuietwellEngine {
 public:
  // The process's engine, made (and Quietwell loaded and opened) on first use.
  static std::shared_ptr<QuietwellEngine> Acquire();
  ~QuietwellEngine();
  QuietwellEngine(const QuietwellEngine&) = delete;
  QuietwellEngine& operator=(const QuietwellEngine&) = delete;

  // Loads and opens Quietwell when it is not loaded yet; true when it is loaded.
  bool Reload();
  [[nodiscard]] bool loaded();

  // Device lists (re-read by Quietwell at every call); 0 without the library.
  int32_t CaptureDeviceCount();
  int32_t PlayDeviceCount();
  bool CaptureDeviceName(int32_t index, std::wstring* name);
  bool PlayDeviceName(int32_t index, std::wstring* name);

  // `client` receives microphone frames / plays from now on, on the device of that
  // index (the microphone and the speaker are shared: the last choice holds for all).
  HRESULT StartCapture(AudioEngineClient* client, int32_t index);
  HRESULT StartPlay(AudioEngineClient* client, int32_t index);
  // After these return the client is not called for that direction again.
  void StopCapture(AudioEngineClient* client);
  void StopPlay(AudioEngineClient* client);

  // Volumes 0-100; false without the library.
  bool PlayVolume(int32_t* volume);
  bool SetPlayVolume(int32_t volume);
  bool CaptureVolume(int32_t* volume);
  bool SetCaptureVolume(int32_t volume);
  // Echo cancellation and noise suppression; automatic microphone level.
  void SetProcessing(bool echo_cancel, bool noise_suppress);
  void SetMicVolumeControl(bool on);

 private:
  QuietwellEngine();
  // The rest runs on the engine's thread.
  void OpenOnThread();
  void PauseIfIdleOnThread();
  bool NameOnThread(bool capture, int32_t index, std::wstring* name);
  HRESULT StartOnThread(bool capture, AudioEngineClient* client, int32_t index);

  std::unique_ptr<QuietwellLibrary> library_;
  std::unique_ptr<SerialExecutor> thread_;
  bool running_ = false;
  int32_t capture_device_ = -1;  // last chosen, -1 = Quietwell's default
  int32_t play_device_ = -1;
};

}  // namespace tessarine
