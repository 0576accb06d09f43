// Observer interfaces through which the core hands frames to the facade's glue.
#pragma once

#include <string>

#include "core/frames/core_frames.h"

namespace kiv_core {

// Owned by whoever it is registered with, which deletes it through the destructor.
class ICoreVideoFrameObserver {
 public:
  virtual ~ICoreVideoFrameObserver() = default;
  virtual void OnCaptureFrame(int cameraId, CoreVideoFrame* frame) = 0;
  virtual void OnRenderFrame(const char* userId, const char* videoId, CoreVideoFrame* frame) = 0;
};

class ICoreLocalCaptureAudioObserver {
 public:
  virtual void OnLocalCaptureAudioFrame(const CoreAudioFrame* frame) = 0;

 protected:
  ~ICoreLocalCaptureAudioObserver() = default;
};

class ICoreLocalPlayAudioObserver {
 public:
  virtual void OnLocalPlayAudioFrame(const CoreAudioFrame* frame) = 0;

 protected:
  ~ICoreLocalPlayAudioObserver() = default;
};

class ICoreAllMixedAudioObserver {
 public:
  virtual void OnAllMixedAudioFrame(const CoreAudioFrame* frame) = 0;

 protected:
  ~ICoreAllMixedAudioObserver() = default;
};

// Held through std::shared_ptr by the remote audio stream.
class ICoreRemoteRawAudioObserver {
 public:
  virtual ~ICoreRemoteRawAudioObserver() = default;
  virtual void OnRemoteRawAudioFrame(const std::string& userId, const std::string& audioId, CoreAudioFrame* frame) = 0;
};

}  // namespace kiv_core
