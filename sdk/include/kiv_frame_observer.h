// The application's frame observers. Frames are valid only during the call, which comes
// on the framework's capture, render or audio thread. A registration that replaces or
// removes an observer (also the leave that drops it) returns only once no call on the old
// one is running on another thread, so the old one may be freed then; in return, an
// observer must not wait for the thread that replaces or removes it, nor call the engine
// from inside a frame. The audio observer's three faces are replaced one after another: a
// face may wait for another face's frame.
#pragma once

#include "kiv_records.h"

namespace kiv {

class IVideoFrameObserver {
 public:
  virtual void OnCaptureVideoFrame(int cameraId, VideoFrame* frame) = 0;
  virtual void OnRenderVideoFrame(const char* userId, const char* videoId, VideoFrame* frame) = 0;

 protected:
  ~IVideoFrameObserver() = default;
};

class IAudioFrameObserver {
 public:
  // Processed microphone audio.
  virtual void OnCaptureAudioFrame(AudioFrame* frame) = 0;
  // Audio being played.
  virtual void OnPlaybackAudioFrame(AudioFrame* frame) = 0;
  // The mix of both.
  virtual void OnMixedAudioFrame(AudioFrame* frame) = 0;

 protected:
  ~IAudioFrameObserver() = default;
};

class IRemoteRawAudioObserver {
 public:
  virtual void OnRemoteRawAudioFrame(const char* userId, const char* audioId, AudioFrame* frame) = 0;

 protected:
  ~IRemoteRawAudioObserver() = default;
};

}  // namespace kiv
