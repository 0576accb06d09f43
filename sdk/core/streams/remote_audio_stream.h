// One remote user's audio (one audio id): played through a playback stream of the audio
// device, and, for observers, its encoded packets split into frames or decoded to PCM.
// Requests record what is wanted (playback, observers, closed) and hand the framework calls
// to the stream manager's RemoteAudioChanges, which makes them with no lock held.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "avcore/audio_processing.h"
#include "base/system/callback_slot.h"
#include "base/text/w_flex_buffer.h"
#include "common/win/com_ref.h"
#include "core/core_observers.h"

namespace kiv_core {

class RemoteAudioChanges;

// The still-encoded frames of a remote audio; valid during the call only.
class IRemoteEncodedAudioObserver {
 public:
  virtual void OnRemoteEncodedAudioFrame(const std::string& userId, const std::string& audioId,
                                         CoreAudioFrame* frame) = 0;

 protected:
  ~IRemoteEncodedAudioObserver() = default;
};

class RemoteAudioStream : public avcore::IAudioDataSink, public std::enable_shared_from_this<RemoteAudioStream> {
 public:
  // Without `changes` (a stream of its own) each request makes its framework calls itself.
  RemoteAudioStream(const std::string& userId, const std::string& audioId, RemoteAudioChanges* changes = nullptr);
  virtual ~RemoteAudioStream();
  RemoteAudioStream(const RemoteAudioStream&) = delete;
  RemoteAudioStream& operator=(const RemoteAudioStream&) = delete;

  // Playback wanted / not wanted; unsubscribing also drops both observers.
  int Subscribe();
  int UnSubscribe();
  // Wants nothing any more, for good: a request still running elsewhere starts nothing.
  int Close();
  // Null clears. A new observer needs the transcoder (302 when none can be made: nothing is
  // replaced then). Returns once no frame is in the observer it replaces.
  int SetRawAudioObserver(std::shared_ptr<ICoreRemoteRawAudioObserver> observer);
  // Clears the raw observer and changes nothing at the framework (for a stream taken out of
  // its table, whose close carries the change out); returns once no frame is in it.
  void DropRawAudioObserver();
  // Not owned; must stay valid until cleared. Returns once no frame is in the one it replaces.
  int SetEncodedAudioObserver(IRemoteEncodedAudioObserver* observer);
  // The first value the device reports for the playback stream; 0 without one.
  int GetAudioInfo();

  std::string GetUserId() const { return m_userId; }
  const std::string& GetAudioId() const { return m_audioId; }
  int32_t GetDeviceStreamId() const { return m_streamId; }

  // Brings reception, playback stream and sink to the wanted state; one thread at a time
  // (RemoteAudioChanges). 0, or 302 when a start the state needs failed.
  int ApplyWanted();

  // avcore::IAudioDataSink: one remote-audio packet, on the framework's audio thread.
  int32_t AVCORE_CALL OnAudioData(const void* data, int32_t length, void* format) override;

 private:
  int Apply();
  int StartRecvAudio();
  int StopRecvAudio();
  // Creates the transcoder on first use and starts it again; false when none can be made.
  bool ResetTranscoder();
  void DropRawOwner(ICoreRemoteRawAudioObserver* observer);
  void Decode(ICoreRemoteRawAudioObserver& observer, const uint8_t* packet, int32_t length, int channels,
              int sampleRate);
  void Split(IRemoteEncodedAudioObserver& observer, const uint8_t* packet, int32_t length);

  std::string m_userId;
  std::string m_audioId;
  RemoteAudioChanges* m_changes;
  // Wanted: set by the requests on any thread.
  std::atomic<bool> m_playback{false};
  std::atomic<bool> m_closed{false};
  ZORVANTE::CallbackSlot<ICoreRemoteRawAudioObserver> m_rawObserver;
  ZORVANTE::CallbackSlot<IRemoteEncodedAudioObserver> m_encodedObserver;
  // The owners of the raw observers registered and not yet replaced (a replaced one goes
  // once no frame is in it).
  std::mutex m_ownersMutex;
  std::vector<std::shared_ptr<ICoreRemoteRawAudioObserver>> m_rawOwners;
  // Done: changed by ApplyWanted only; the stream id is read by the information request.
  std::atomic<int32_t> m_streamId{0};
  bool m_sinkAdded = false;
  // The transcoder between a registration's restart and a packet's decoding (framework
  // calls that wait for nothing of ours; never held across an observer).
  std::mutex m_transcoderMutex;
  kiv_common::ComRef<avcore::IAudioTranscoder> m_transcoder;
  ZORVANTE::WFlexBuffer m_output;  // the audio thread's
};

}  // namespace kiv_core
