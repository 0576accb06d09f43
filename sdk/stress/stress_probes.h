// The application's callbacks in a stress run. Every call checks that no SDK lock is held,
// that the object was not retired (its removal or replacement had returned) and that the
// engine was not released.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "kiv_sdk.h"
#include "stress/stress_deliveries.h"
#include "stress/stress_faults.h"

namespace kiv_stress {

class Probe {
 public:
  explicit Probe(std::string name) : m_name(std::move(name)) {}
  // Before it is registered.
  void Arm() { m_retired = false; }
  // After the registration that replaced or removed it returned.
  void Retire() { m_retired = true; }
  uint64_t Calls() const { return m_calls.load(); }

 protected:
  void Called(const char* what) {
    ++m_calls;
    const std::string where = m_name + "::" + what;
    Faults::Instance().CheckNoLockHeld(where.c_str());
    if (m_retired.load()) Faults::Instance().Add(where + " called after its removal returned");
    if (EngineReleased().load()) Faults::Instance().Add(where + " called after the engine's release");
  }

 private:
  std::string m_name;
  std::atomic<bool> m_retired{true};
  std::atomic<uint64_t> m_calls{0};
};

struct VideoProbe : Probe, kiv::IVideoFrameObserver {
  using Probe::Probe;
  void OnCaptureVideoFrame(int, kiv::VideoFrame*) override { Called("OnCaptureVideoFrame"); }
  void OnRenderVideoFrame(const char*, const char*, kiv::VideoFrame*) override { Called("OnRenderVideoFrame"); }
};

struct AudioProbe : Probe, kiv::IAudioFrameObserver {
  using Probe::Probe;
  void OnCaptureAudioFrame(kiv::AudioFrame*) override { Called("OnCaptureAudioFrame"); }
  void OnPlaybackAudioFrame(kiv::AudioFrame*) override { Called("OnPlaybackAudioFrame"); }
  void OnMixedAudioFrame(kiv::AudioFrame*) override { Called("OnMixedAudioFrame"); }
};

struct RawAudioProbe : Probe, kiv::IRemoteRawAudioObserver {
  using Probe::Probe;
  void OnRemoteRawAudioFrame(const char*, const char*, kiv::AudioFrame*) override { Called("OnRemoteRawAudioFrame"); }
};

struct BoardProbe : Probe, kiv::IKivWhiteBoardEventHandler {
  using Probe::Probe;
  void OnCreateResult(const kiv::String&, const kiv::String&, int) override { Called("OnCreateResult"); }
  void OnBoardPublished(const kiv::String&, const kiv::String&) override { Called("OnBoardPublished"); }
  void OnBoardUnpublished(const kiv::String&) override { Called("OnBoardUnpublished"); }
  void OnBoardInfo(const kiv::String&, kiv::WhiteBoardInfo*, int) override { Called("OnBoardInfo"); }
  void OnPageChanged(const kiv::String&, int) override { Called("OnPageChanged"); }
  void OnBoardEvent(int, int) override { Called("OnBoardEvent"); }
};

struct SignalingProbe : Probe, kiv::IKivSignalingEventHandler {
  using Probe::Probe;
  void OnUsersStateRefreshed(int, unsigned, kiv::Vector<kiv::UserStatus>) override { Called("OnUsersStateRefreshed"); }
  void OnUserStateChanged(const kiv::UserStatus&) override { Called("OnUserStateChanged"); }
  void OnInviteReceived(const char*, int, const char*, const char*) override { Called("OnInviteReceived"); }
  void OnInviteAccepted(const char*, int) override { Called("OnInviteAccepted"); }
  void OnInviteRefused(const char*, int) override { Called("OnInviteRefused"); }
  void OnUserMsgReceived(const char*, unsigned, const char*) override { Called("OnUserMsgReceived"); }
  void OnGroupMsgReceived(const char*, unsigned, const char*) override { Called("OnGroupMsgReceived"); }
};

// The engine's handler for the whole run. With `callsEngine`, a remote video's render
// event asks the engine for the video's statistics from inside the event, as an
// application may.
struct EngineProbe : Probe, kiv::IKivEngineEventHandler {
  EngineProbe() : Probe("engine handler") { Arm(); }
  std::atomic<kiv::IKivEngine*> engine{nullptr};
  bool callsEngine = false;
  void OnDeviceChange(int) override { Called("OnDeviceChange"); }
  void OnEvent(int, int) override { Called("OnEvent"); }
  void OnRemoteVideoEvent(const kiv::String& user, const kiv::String& video, int state) override {
    Called("OnRemoteVideoEvent");
    kiv::IKivEngine* e = engine.load();
    if (callsEngine && e && state == kiv::REMOTE_VIDEO_RENDER_EVENT) {
      kiv::VideoStats stats{};
      (void)e->GetVideoStats(user.c_str(), video.c_str(), &stats);
    }
  }
  void OnRemoteAudioEvent(const kiv::String&, const kiv::String&, int) override { Called("OnRemoteAudioEvent"); }
  void OnRemoteControlEvent(const kiv::String&, int) override { Called("OnRemoteControlEvent"); }
  void OnGroupUsersRefreshed(const kiv::Vector<kiv::String>&) override { Called("OnGroupUsersRefreshed"); }
  void OnRemoteUserEvent(const char*, int) override { Called("OnRemoteUserEvent"); }
};

}  // namespace kiv_stress
