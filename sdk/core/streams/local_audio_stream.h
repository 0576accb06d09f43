// The local microphone published as "appdef_mic" and, with a pitch change set, a pitch-
// changed copy "appdef_mic_magic" made on the stream's worker from the processed capture.
#pragma once

#include <list>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "avcore/audio_processing.h"
#include "base/system/callback_slot.h"
#include "base/system/w_lock.h"
#include "base/system/w_thread.h"
#include "common/win/com_object.h"
#include "common/win/com_ref.h"
#include "core/frames/frame_pool.h"
#include "core/streams/stream_turns.h"

namespace kiv_core {

// Not reference counted (the stream manager owns the stream): AddRef and Release return 0;
// QueryInterface answers only the source's own id, E_NOTIMPL for any other.
using LocalAudioSourcePolicy = kiv_common::ComPolicy<kiv_common::RefCounting::kFixed, 0, false, E_NOTIMPL>;

class LocalAudioStream : public kiv_common::ComObject<LocalAudioSourcePolicy, avcore::IAudioEncSource>,
                         public avcore::IAudioDataSink,
                         public ZORVANTE::WThread {
 public:
  LocalAudioStream();
  ~LocalAudioStream() override;

  // 0; 31 when not logged in; 302 when the microphone source is refused.
  int StartPublish();
  int StopPublish();
  bool IsPublishing() const { return m_isPublishMicrophone; }
  bool SendsTwoStreams() const { return m_bSendTwoStream; }
  // Captured frames waiting for the worker.
  size_t QueuedFrames() { return m_pool.ReadyCount(); }

  // IAudioEncSource
  HRESULT AVCORE_CALL AddDataSink(avcore::IAudioDataSink* sink, void* context) override;
  HRESULT AVCORE_CALL RemoveDataSink(avcore::IAudioDataSink* sink) override;
  // 4105 (pitch in semitones, 0 = off); any other key E_FAIL.
  HRESULT AVCORE_CALL SetParam(int32_t key, const int32_t* value, int32_t size) override;
  HRESULT AVCORE_CALL ProcessorCall(int32_t param, void* value, int32_t size) override;
  HRESULT AVCORE_CALL Notify(int32_t) override { return 0; }

  // IAudioDataSink: a processed capture frame, on the framework's capture thread.
  int32_t AVCORE_CALL OnAudioData(const void* data, int32_t length, void* context) override;

  // WThread: the pitch worker.
  DWORD ThreadProc() override;

 private:
  void* SinkContext(avcore::IAudioDataSink* sink);
  int DoStartPublish();
  int DoStopPublish();
  int StartPitchChain();
  int StopPitchChain();
  void ProcessFrame(ZORVANTE::WFlexBuffer* buffer);

  bool m_isPublishMicrophone = false;
  bool m_bSendTwoStream = false;
  // Start, stop and pitch changes one at a time, with no lock held across the framework's
  // calls and the announcements.
  StreamTurns m_turns;
  kiv_common::ComRef<avcore::IAudioProcessor> m_pAudioProc;
  avcore::AudioProcessorSetup m_setup{};
  // The network's sinks: each called in the set with no lock held; removing one waits for
  // the worker's call on it. Their contexts under m_sinkLock (held for the lookup only).
  ZORVANTE::CallbackSet<avcore::IAudioDataSink> m_sinks;
  ZORVANTE::WLock m_sinkLock;
  std::map<avcore::IAudioDataSink*, void*> m_sinkContexts;
  FramePool m_pool{16, 0};
  std::vector<uint8_t> m_accumulation;
  size_t m_accumulated = 0;
  uint8_t m_output[512] = {};
  int m_nChangePitch = 0;
  bool m_workerStopped = true;
};

}  // namespace kiv_core
