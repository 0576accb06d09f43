// A stand-in kiv_sdk.dll for the client's tests: the eight exports over an engine that
// records its calls and answers as FakeSdkState says.
#define KIV_SDK_BUILD
#define FAKE_KIV_SDK_BUILD
#include <cstdlib>
#include <cstring>

#include "kiv_sdk.h"
#include "sdk_glue/testing/fake_sdk_state.h"

namespace {

FakeSdkState g_state;

class FakeDeviceManager : public kiv::IDeviceManager {
 public:
  kiv::Vector<kiv::DeviceInfo> GetMicrophoneDevices() override { return List(g_state.microphones, "mic"); }
  kiv::Vector<kiv::DeviceInfo> GetSpeakerDevices() override { return List(g_state.speakers, "speaker"); }
  kiv::Vector<kiv::DeviceInfo> GetCameraDevices() override { return List(g_state.cameras, "camera"); }
  int AddRtspPlugin(const kiv::RtspPluginParam*) override { return 0; }

 private:
  static kiv::Vector<kiv::DeviceInfo> List(int count, const char* name) {
    kiv::Vector<kiv::DeviceInfo> list;
    for (int i = 0; i < count; ++i) {
      kiv::DeviceInfo d;
      d.id = i;
      d.name = name;
      list.push_back(d);
    }
    return list;
  }
};

class FakeAudioEngine : public kiv::IAudioEngine {
 public:
  int SetAudioParam(int parameter, int value) override {
    g_state.audio_params.emplace_back(parameter, value);
    return 0;
  }
  int GetAudioParam(int) override { return 0; }
  int SetSpeakerDevice(int) override { return 0; }
  int SetMicrophoneDevice(int) override { return 0; }
  int GetSpeakerDevice() override { return -1; }
  int GetMicrophoneDevice() override { return -1; }
};

class FakeSignaling : public kiv::IKivSignaling {
 public:
  void AddEventHandler(kiv::IKivSignalingEventHandler* handler) override { g_state.signaling_handler = handler; }
  void RemoveEventHandler(kiv::IKivSignalingEventHandler*) override { g_state.signaling_handler = nullptr; }
  int UserStatusRefresh(const kiv::Vector<kiv::String>&, unsigned* requestId) override {
    ++g_state.status_refreshes;
    if (requestId) *requestId = static_cast<unsigned>(g_state.status_refreshes);
    return 0;
  }
  int Invite(const kiv::Vector<kiv::String>& users, const char* group, const char*, unsigned*) override {
    std::string record = std::string(group ? group : "") + ":";
    for (size_t i = 0; i < users.size(); ++i) record += (i ? "," : "") + std::string(users[i].c_str());
    g_state.invites.push_back(record);
    return 0;
  }
  int AcceptInvite(const char*, int) override { return 0; }
  int RefuseInvite(const char*, int) override { return 0; }
  int SendUserMsg(const char* user, const char* text, unsigned*) override {
    g_state.user_msgs.emplace_back(user ? user : "", text ? text : "");
    return g_state.send_msg_result;
  }
  int SendGroupMsg(const char* text, unsigned*) override {
    g_state.group_msgs.emplace_back(text ? text : "");
    return g_state.send_msg_result;
  }
  int SendUsersMsg(const kiv::Vector<kiv::String>&, const char*, unsigned*) override { return 0; }
  int SendUsersMsgEx(const kiv::Vector<kiv::String>&, const char*, unsigned*) override { return 0; }
};

class FakeEngine final : public kiv::IKivEngine {
 public:
  int Init(const kiv::EngineContext* context) override {
    ++g_state.init_calls;
    g_state.init_app_id = context->appId.c_str();
    g_state.init_server = context->serverAddress.c_str();
    g_state.init_work_dir = context->workDir.c_str();
    g_state.handler = context->handler;
    return g_state.init_result;
  }
  kiv::String GetVersion() override { return kiv::String("fake"); }
  int Login(const char* token, const char* userId, bool force, const char*) override {
    ++g_state.login_calls;
    g_state.login_token = token ? token : "";
    g_state.login_user = userId ? userId : "";
    g_state.login_force = force;
    return g_state.login_result;
  }
  int Logout() override {
    ++g_state.logout_calls;
    return 0;
  }
  kiv::IKivSignaling* GetSignaling() override { return &m_signaling; }
  int JoinGroup(const char* groupId) override {
    g_state.joined_groups.emplace_back(groupId ? groupId : "");
    return g_state.join_result;
  }
  int LeaveGroup() override {
    ++g_state.leave_calls;
    return 0;
  }
  int AddVideoPreview(int camera, HWND, int mode) override {
    g_state.previews.emplace_back(camera, mode);
    return g_state.preview_result;
  }
  int RemoveVideoPreview(int camera, HWND) override {
    g_state.preview_removals.push_back(camera);
    return 0;
  }
  int StartPublishVideo(const char* videoId, int) override {
    g_state.published_videos.emplace_back(videoId ? videoId : "");
    return 0;
  }
  int StopPublishVideo(const char* videoId) override {
    g_state.stopped_videos.emplace_back(videoId ? videoId : "");
    return 0;
  }
  int SetVideoProfile(const char* videoId, const kiv::VideoProfile* profile) override {
    g_state.profiles.emplace_back(videoId ? videoId : "", profile ? *profile : kiv::VideoProfile());
    // The word the caller's record carries after the three fields the SDK reads.
    int words[4] = {};
    if (profile) std::memcpy(words, profile, sizeof(words));
    g_state.profile_fourth_words.push_back(words[3]);
    return 0;
  }
  int SetRemoteVideoRender(const char* user, const char* video, HWND window, int mode) override {
    g_state.remote_renders.emplace_back(user ? user : "", video ? video : "", window != nullptr, mode);
    return window ? g_state.remote_render_result : 0;
  }
  int GetVideoStats(const char*, const char*, kiv::VideoStats* stats) override {
    if (g_state.stats_result == 0 && stats) *stats = g_state.stats;
    return g_state.stats_result;
  }
  int RegisterCaptureVideoFrameObserver(int, kiv::IVideoFrameObserver*) override { return 0; }
  int RegisterRenderVideoFrameObserver(const char*, const char*, kiv::IVideoFrameObserver*) override { return 0; }
  int RegisterAudioFrameObserver(kiv::IAudioFrameObserver*) override { return 0; }
  int RegisterRemoteRawAudioObserver(const char*, const char*, kiv::IRemoteRawAudioObserver*) override { return 0; }
  int StartPublishAudio(const char* id) override {
    g_state.audio_publish_calls.push_back(std::string("start:") + (id ? id : ""));
    return g_state.publish_audio_result;
  }
  int StopPublishAudio(const char* id) override {
    g_state.audio_publish_calls.push_back(std::string("stop:") + (id ? id : ""));
    return 0;
  }
  int StartPlayAudio() override { return 0; }
  int StopPlayAudio() override { return 0; }
  int GetRemoteAudioInfo(const char*, const char*) override { return 0; }
  int MuteRemoteAudio(const char*, const char*, bool) override { return 0; }
  kiv::IDeviceManager* GetDeviceManager() override { return &m_devices; }
  kiv::IAudioEngine* GetAudioEngine() override { return &m_audio; }
  int StartPublishScreenShare(int left, int top, int right, int bottom, int bias) override {
    g_state.screen_shares.push_back({left, top, right, bottom, bias});
    return g_state.screen_share_result;
  }
  int StopPublishScreenShare() override {
    ++g_state.screen_share_stops;
    return 0;
  }
  int StartScreenRecord(const char* path, int, int, int, int, bool) override {
    g_state.record_paths.emplace_back(path ? path : "");
    return g_state.record_result;
  }
  int StopScreenRecord() override {
    ++g_state.record_stops;
    return 0;
  }
  int StartLocalRecord(const char*, int, bool) override { return 0; }
  int StopLocalRecord(int) override { return 0; }
  int RemoteControlOperation(const char* user, int op) override {
    g_state.remote_control_ops.emplace_back(user ? user : "", op);
    return g_state.remote_control_result;
  }
  kiv::IKivWhiteBoard* GetWhiteBoard() override { return nullptr; }

 private:
  FakeDeviceManager m_devices;
  FakeAudioEngine m_audio;
  FakeSignaling m_signaling;
};

FakeEngine* g_engine = nullptr;

}  // namespace

extern "C" {

kiv::IKivEngine* KivGetEngine() {
  if (g_state.no_engine) return nullptr;
  if (!g_engine) {
    g_engine = new FakeEngine;
    ++g_state.engines_created;
  }
  return g_engine;
}

void KivReleaseEngine() {
  if (!g_engine) return;
  delete g_engine;
  g_engine = nullptr;
  ++g_state.engines_released;
}

void* KivMalloc(int size) { return std::malloc(static_cast<size_t>(size > 0 ? size : 0)); }
void KivFree(void* p) { std::free(p); }
void KivMemCpy(void* dst, const void* src, size_t n) {
  if (dst && src) std::memcpy(dst, src, n);
}
void KivMemMov(void* dst, const void* src, size_t n) {
  if (dst && src) std::memmove(dst, src, n);
}
int KivStrCmp(const char* a, const char* b) {
  int r = std::strcmp(a, b);
  return r < 0 ? -1 : (r > 0 ? 1 : 0);
}
unsigned KivStrLen(const char* s) { return s ? static_cast<unsigned>(std::strlen(s)) : 0; }

FakeSdkState* FakeSdk() { return &g_state; }
void FakeSdkReset() { g_state = FakeSdkState(); }

}  // extern "C"
