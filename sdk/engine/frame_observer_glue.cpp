#include "engine/frame_observer_glue.h"

#include "core/core_engine.h"

namespace kiv {

VideoFrame ToVideoFrame(const kiv_core::CoreVideoFrame& frame) {
  VideoFrame out;
  out.format = frame.format;
  out.width = frame.width;
  out.height = frame.height;
  out.data = frame.data;
  out.size = frame.length;
  return out;
}

AudioFrame ToAudioFrame(const kiv_core::CoreAudioFrame& frame) {
  AudioFrame out;
  out.type = frame.kind;
  out.channels = frame.channels;
  out.sampleRate = frame.sampleRate;
  out.data = frame.data;
  out.size = frame.length;
  return out;
}

void CoreVideoFrameObserverImpl::OnCaptureFrame(int cameraId, kiv_core::CoreVideoFrame* frame) {
  if (!m_observer || !frame) return;
  VideoFrame out = ToVideoFrame(*frame);
  m_observer->OnCaptureVideoFrame(cameraId, &out);
}

void CoreVideoFrameObserverImpl::OnRenderFrame(const char* userId, const char* videoId,
                                               kiv_core::CoreVideoFrame* frame) {
  if (!m_observer || !frame) return;
  VideoFrame out = ToVideoFrame(*frame);
  m_observer->OnRenderVideoFrame(userId, videoId, &out);
}

void CoreAudioFrameObserverImpl::SetObserver(IAudioFrameObserver* observer) {
  // In turn, never all at once: an observer's face may wait for another face's frame.
  (void)m_capture.Set(observer);
  (void)m_play.Set(observer);
  (void)m_mixed.Set(observer);
  if (observer) {
    m_core->RegisterLocalCaptureAudioObserver(this);
    m_core->RegisterLocalPlayAudioObserver(this);
    m_core->RegisterAllMixedAudioObserver(this);
  } else {
    m_core->RegisterLocalCaptureAudioObserver(nullptr);
    m_core->RegisterLocalPlayAudioObserver(nullptr);
    m_core->RegisterAllMixedAudioObserver(nullptr);
  }
}

void CoreAudioFrameObserverImpl::OnLocalCaptureAudioFrame(const kiv_core::CoreAudioFrame* frame) {
  if (!frame) return;
  AudioFrame out = ToAudioFrame(*frame);
  (void)m_capture.Call([&](IAudioFrameObserver& observer) { observer.OnCaptureAudioFrame(&out); });
}

void CoreAudioFrameObserverImpl::OnLocalPlayAudioFrame(const kiv_core::CoreAudioFrame* frame) {
  if (!frame) return;
  AudioFrame out = ToAudioFrame(*frame);
  (void)m_play.Call([&](IAudioFrameObserver& observer) { observer.OnPlaybackAudioFrame(&out); });
}

void CoreAudioFrameObserverImpl::OnAllMixedAudioFrame(const kiv_core::CoreAudioFrame* frame) {
  if (!frame) return;
  AudioFrame out = ToAudioFrame(*frame);
  (void)m_mixed.Call([&](IAudioFrameObserver& observer) { observer.OnMixedAudioFrame(&out); });
}

void CoreRemoteRawAudioGlue::OnRemoteRawAudioFrame(const std::string& userId, const std::string& audioId,
                                                   kiv_core::CoreAudioFrame* frame) {
  if (!m_observer || !frame) return;
  AudioFrame out = ToAudioFrame(*frame);
  m_observer->OnRemoteRawAudioFrame(userId.c_str(), audioId.c_str(), &out);
}

}  // namespace kiv
