// Glue between the core's frame observers and the application's.
#pragma once

#include "base/system/callback_slot.h"
#include "core/core_observers.h"
#include "kiv_frame_observer.h"

namespace kiv_core {
class CoreEngine;
}

namespace kiv {

// One per registration; owned by the core, which deletes it.
class CoreVideoFrameObserverImpl : public kiv_core::ICoreVideoFrameObserver {
 public:
  explicit CoreVideoFrameObserverImpl(IVideoFrameObserver* observer) : m_observer(observer) {}

  void OnCaptureFrame(int cameraId, kiv_core::CoreVideoFrame* frame) override;
  void OnRenderFrame(const char* userId, const char* videoId, kiv_core::CoreVideoFrame* frame) override;

 private:
  IVideoFrameObserver* m_observer;
};

// A member of the engine: holds the application's audio observer and its three core faces.
class CoreAudioFrameObserverImpl : public kiv_core::ICoreLocalCaptureAudioObserver,
                                   public kiv_core::ICoreLocalPlayAudioObserver,
                                   public kiv_core::ICoreAllMixedAudioObserver {
 public:
  explicit CoreAudioFrameObserverImpl(kiv_core::CoreEngine* core) : m_core(core) {}

  // Registers the three faces with the core, or unregisters them for null. Replaces the
  // observer face by face: returns once no frame on another thread is in the observer it
  // replaces, and a face's frames pass while another face waits.
  void SetObserver(IAudioFrameObserver* observer);

  void OnLocalCaptureAudioFrame(const kiv_core::CoreAudioFrame* frame) override;
  void OnLocalPlayAudioFrame(const kiv_core::CoreAudioFrame* frame) override;
  void OnAllMixedAudioFrame(const kiv_core::CoreAudioFrame* frame) override;

 private:
  kiv_core::CoreEngine* m_core;
  // One slot per face: each face's frames come on their own audio thread.
  ZORVANTE::CallbackSlot<IAudioFrameObserver> m_capture;
  ZORVANTE::CallbackSlot<IAudioFrameObserver> m_play;
  ZORVANTE::CallbackSlot<IAudioFrameObserver> m_mixed;
};

// Shared by the core's remote audio stream; made also for a null observer, which drops the
// frames.
class CoreRemoteRawAudioGlue : public kiv_core::ICoreRemoteRawAudioObserver {
 public:
  explicit CoreRemoteRawAudioGlue(IRemoteRawAudioObserver* observer) : m_observer(observer) {}

  void OnRemoteRawAudioFrame(const std::string& userId, const std::string& audioId,
                             kiv_core::CoreAudioFrame* frame) override;

 private:
  IRemoteRawAudioObserver* m_observer;
};

VideoFrame ToVideoFrame(const kiv_core::CoreVideoFrame& frame);
AudioFrame ToAudioFrame(const kiv_core::CoreAudioFrame& frame);

}  // namespace kiv
