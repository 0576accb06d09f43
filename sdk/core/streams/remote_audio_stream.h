// One remote user's audio (one audio id): played through a playback stream of the audio
// device, and, for observers, its encoded packets split into frames or decoded to PCM.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "avcore/audio_processing.h"
#include "base/system/w_lock.h"
#include "base/text/w_flex_buffer.h"
#include "common/win/com_ref.h"
#include "core/core_observers.h"

namespace kiv_core {

// The still-encoded frames of a remote audio; valid during the call only.
class IRemoteEncodedAudioObserver {
 public:
  virtual void OnRemoteEncodedAudioFrame(const std::string& userId, const std::string& audioId,
                                         CoreAudioFrame* frame) = 0;

 protected:
  ~IRemoteEncodedAudioObserver() = default;
};

class RemoteAudioStream : public avcore::IAudioDataSink {
 public:
  RemoteAudioStream(const std::string& userId, const std::string& audioId);
  virtual ~RemoteAudioStream();
  RemoteAudioStream(const RemoteAudioStream&) = delete;
  RemoteAudioStream& operator=(const RemoteAudioStream&) = delete;

  // Playback wanted / not wanted; unsubscribing also drops both observers.
  int Subscribe();
  int UnSubscribe();
  int StartRecvAudio();
  // Stops receiving once neither playback nor an observer needs the audio.
  int StopRecvAudio();
  int SetRawAudioObserver(std::shared_ptr<ICoreRemoteRawAudioObserver> observer);
  // Not owned; must stay valid until cleared. Both setters return only once no packet is
  // in the observer they replace.
  int SetEncodedAudioObserver(IRemoteEncodedAudioObserver* observer);
  // The first value the device reports for the playback stream; 0 without one.
  int GetAudioInfo();

  std::string GetUserId() const { return m_userId; }
  const std::string& GetAudioId() const { return m_audioId; }
  int32_t GetDeviceStreamId() const { return m_streamId; }

  // avcore::IAudioDataSink: one remote-audio packet, on the framework's audio thread.
  int32_t AVCORE_CALL OnAudioData(const void* data, int32_t length, void* format) override;

 private:
  int StartObserverReceive();
  int StopObserverReceive();
  // Creates the transcoder on first use and starts it again; false when none can be made.
  bool ResetTranscoder();
  void Decode(const uint8_t* packet, int32_t length, int channels, int sampleRate);
  void Split(const uint8_t* packet, int32_t length);

  std::string m_userId;
  std::string m_audioId;
  int32_t m_streamId = 0;
  // Read on the audio thread while the caller's thread sets them: atomic access only.
  std::atomic<IRemoteEncodedAudioObserver*> m_encodedObserver{nullptr};
  std::shared_ptr<ICoreRemoteRawAudioObserver> m_rawObserver;
  bool m_subscribed = false;
  bool m_sinkAdded = false;
  bool m_observerReceive = false;
  kiv_common::ComRef<avcore::IAudioTranscoder> m_transcoder;
  ZORVANTE::WFlexBuffer m_output;
  // Held by the audio thread while a packet is decoded and handed to the observers, and
  // by the setters while they replace an observer or restart the transcoder.
  ZORVANTE::WLock m_observerGate;
};

}  // namespace kiv_core
