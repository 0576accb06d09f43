// The core's owner of the framework's audio device: opens it at the first join, keeps the
// chosen microphone and speaker, passes levels and switches through, and hands the
// device's three PCM taps to the observers registered by the facade.
#pragma once

#include <atomic>
#include <memory>

#include "avcore/audio_device.h"
#include "base/system/callback_slot.h"
#include "base/system/w_lock.h"
#include "core/core_observers.h"

namespace kiv_core {

class AudioEngine;

// The device's taps. Stateless: the context given with each frame is the AudioEngine that
// added the sink.
class RecordAudioFrameDataSink final : public avcore::IAudioDataSink {
 public:
  int32_t AVCORE_CALL OnAudioData(const void* data, int32_t length, void* context) override;
};

class PlaybackAudioFrameDataSink final : public avcore::IAudioDataSink {
 public:
  int32_t AVCORE_CALL OnAudioData(const void* data, int32_t length, void* context) override;
};

class MixedAudioFrameDataSink final : public avcore::IAudioDataSink {
 public:
  int32_t AVCORE_CALL OnAudioData(const void* data, int32_t length, void* context) override;
};

// Results are ErrCode values. "Not initialised" below means the framework is not up:
// setters then answer 2, level getters 0 and switch getters false, and nothing is touched.
class AudioEngine {
 public:
  enum class Tap { Capture, Playback, Mixed };

  AudioEngine();
  // Does not stop the device: the core engine runs Uninit first.
  ~AudioEngine();
  AudioEngine(const AudioEngine&) = delete;
  AudioEngine& operator=(const AudioEngine&) = delete;

  // Opens the device, chooses microphone and speaker 0 (playback starts when the
  // configuration's audioAutoPlay is on) and sets the processing switches. A second call
  // before Uninit changes nothing. False only when there is no audio device.
  bool Init();
  // Stops playback and capture and forgets both choices.
  void Uninit();
  // Takes every tap's sink off the device and clears its observer, for the engine's release:
  // once it returns the device calls into this engine no more.
  void RemoveTaps();

  [[nodiscard]] int StartCapture();
  [[nodiscard]] int StartPlay();
  [[nodiscard]] int StopPlay();

  // Once a microphone was chosen, capture moves to the new one; on failure (302) the
  // previous choice stays.
  [[nodiscard]] int SetMicrophoneDevice(int index);
  // Starts playback on it when audioAutoPlay is on and returns that result.
  [[nodiscard]] int SetSpeakerDevice(int index);
  // -1 while none is chosen.
  int GetSpeakerDevice() const { return m_playbackIndex; }
  int GetMicrophoneDevice() const { return m_captureIndex; }

  [[nodiscard]] int SetSpeakerVolume(int volume);
  int GetSpeakerVolume();
  [[nodiscard]] int SetMicrophoneVolume(int volume);
  int GetMicrophoneVolume();
  [[nodiscard]] int SetSpeakerSwitch(bool on);
  bool GetSpeakerSwitch();
  [[nodiscard]] int SetMicrophoneSwitch(bool on);
  bool GetMicrophoneSwitch();
  int GetSpeakerEnergy();
  int GetMicrophoneEnergy();

  // Null removes the tap's sink from the device (even when none was added); the same
  // observer again changes nothing; another reads the device format and adds the sink.
  // A setter that replaces or clears an observer returns once no frame is in the old one.
  // The core engine's callers ignore the result.
  int SetLocalCaptureAudioObserver(ICoreLocalCaptureAudioObserver* observer);
  int SetLocalPlayAudioObserver(ICoreLocalPlayAudioObserver* observer);
  int SetMixedAudioObserver(ICoreAllMixedAudioObserver* observer);

  // Called by the sinks on the framework's audio threads: hands one frame to the tap's
  // observer. Returns the length delivered, 0 when nobody took it.
  int32_t DeliverFrame(Tap tap, const void* data, int32_t length);

 private:
  struct TapOps;
  template <class Observer>
  int SetObserver(ZORVANTE::CallbackSlot<Observer>& slot, avcore::IAudioDataSink* sink, const TapOps& ops,
                  Observer* observer);
  CoreAudioFrame FrameOf(const void* data, int32_t length);

  // Joins, leaves and the audio calls set them on the application's threads.
  std::atomic<int> m_playbackIndex{-1};
  std::atomic<int> m_captureIndex{-1};
  std::atomic<bool> m_initialised{false};
  // One slot per tap: a frame's call runs in it with no lock held, and a setter returns
  // once no frame is in the observer it replaced.
  ZORVANTE::CallbackSlot<ICoreLocalCaptureAudioObserver> m_captureObserver;
  ZORVANTE::CallbackSlot<ICoreLocalPlayAudioObserver> m_playObserver;
  ZORVANTE::CallbackSlot<ICoreAllMixedAudioObserver> m_mixedObserver;
  std::unique_ptr<RecordAudioFrameDataSink> m_captureSink;
  std::unique_ptr<PlaybackAudioFrameDataSink> m_playSink;
  std::unique_ptr<MixedAudioFrameDataSink> m_mixedSink;
  // The device format read at the latest observer registration; used for every tap.
  WAVEFORMATEX m_format = {};
  // The format between the application's thread and the audio threads. Never held across
  // a device call or an observer call.
  ZORVANTE::WLock m_tapLock;
};

}  // namespace kiv_core
