// A fake media framework for the stress run, safe on every thread: an audio device, video
// render managers, cameras, a media network with board streams, a control-plane connection
// with its online and text-message businesses, and the root that creates cameras and
// transcoders. Its own threads deliver audio and video frames, board data and connection
// events while the application's threads drive the engine. Every waiting call (stop,
// remove, unsubscribe, callback change) checks that no SDK lock is held and returns only
// once no call on what it removes runs on another thread.
#pragma once

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "avcore/audio_device.h"
#include "avcore/audio_processing.h"
#include "avcore/av_net.h"
#include "avcore/base_core.h"
#include "avcore/connection.h"
#include "avcore/ids.h"
#include "avcore/online.h"
#include "avcore/render.h"
#include "avcore/tmsg.h"
#include "avcore/video_device.h"
#include "stress/stress_deliveries.h"

namespace kiv_core {
class CoreEngine;
}

namespace kiv_stress {

// Reference counting that only counts: the framework object owns its components.
template <class Itf>
struct Component : Itf {
  std::atomic<long> refs{0};
  HRESULT AVCORE_CALL QueryInterface(REFIID, void** out) override {
    if (out) *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AVCORE_CALL AddRef() override { return static_cast<ULONG>(++refs); }
  ULONG AVCORE_CALL Release() override { return static_cast<ULONG>(--refs); }
};

class FakeAudioDevice : public Component<avcore::IAudioDevice> {
 public:
  FakeAudioDevice();
  // One 10 ms frame to each sink that is fed now.
  void Pump(uint32_t tick);

  HRESULT AVCORE_CALL Open() override;
  HRESULT AVCORE_CALL Close() override;
  HRESULT AVCORE_CALL StartCapture(int32_t index) override;
  HRESULT AVCORE_CALL StopCapture() override;
  HRESULT AVCORE_CALL StartPlay(int32_t index) override;
  HRESULT AVCORE_CALL StopPlay() override;
  HRESULT AVCORE_CALL GetParam(int32_t, void*, int32_t) override;
  HRESULT AVCORE_CALL SetParam(int32_t, const void*, int32_t) override;
  HRESULT AVCORE_CALL GetAudioFormat(WAVEFORMATEX* format) override;
  HRESULT AVCORE_CALL GetCaptureFormat(WAVEFORMATEX* format) override;
  HRESULT AVCORE_CALL AddCapProcessedDataSink(avcore::IAudioDataSink* sink, void* context) override;
  HRESULT AVCORE_CALL RemoveCapProcessedDataSink(avcore::IAudioDataSink* sink) override;
  HRESULT AVCORE_CALL AddPlayDataSink(avcore::IAudioDataSink* sink, void* context) override;
  HRESULT AVCORE_CALL RemovePlayDataSink(avcore::IAudioDataSink* sink) override;
  HRESULT AVCORE_CALL AddMixDataSink(avcore::IAudioDataSink* sink, void* context) override;
  HRESULT AVCORE_CALL RemoveMixDataSink(avcore::IAudioDataSink* sink) override;
  int32_t AVCORE_CALL CreateAudioStream(int32_t kind, int32_t flags) override;
  HRESULT AVCORE_CALL RemoveAudioStream(int32_t id) override;
  HRESULT AVCORE_CALL AddRemoteEncodedDataSink(int32_t id, avcore::IAudioDataSink* sink, void* context) override;
  HRESULT AVCORE_CALL RemoveRemoteEncodedDataSink(avcore::IAudioDataSink* sink) override;
  HRESULT AVCORE_CALL GetStreamInfo(int32_t id, int32_t* level, int32_t* b, int32_t* c) override;
  int32_t AVCORE_CALL GetCaptureDeviceCount() override;
  HRESULT AVCORE_CALL GetCaptureDeviceName(int32_t index, wchar_t* name, int32_t capacity) override;
  int32_t AVCORE_CALL GetPlayDeviceCount() override;
  HRESULT AVCORE_CALL GetPlayDeviceName(int32_t index, wchar_t* name, int32_t capacity) override;
  HRESULT AVCORE_CALL GetSpeakerVolume(int32_t* value, int32_t* low, int32_t* high) override;
  HRESULT AVCORE_CALL SetSpeakerVolume(int32_t value) override;
  HRESULT AVCORE_CALL GetMicrophoneVolume(int32_t* value, int32_t* low, int32_t* high) override;
  HRESULT AVCORE_CALL SetMicrophoneVolume(int32_t value) override;
  HRESULT AVCORE_CALL GetSpeakerSwitch(int32_t* on) override;
  HRESULT AVCORE_CALL SetSpeakerSwitch(uint8_t on) override;
  HRESULT AVCORE_CALL GetMicrophoneSwitch(int32_t* on) override;
  HRESULT AVCORE_CALL SetMicrophoneSwitch(uint8_t on) override;
  HRESULT AVCORE_CALL GetSpeakerEnergy(int32_t* value, int32_t* low, int32_t* high) override;
  HRESULT AVCORE_CALL GetMicrophoneEnergy(int32_t* value, int32_t* low, int32_t* high) override;

  struct Sink {
    avcore::IAudioDataSink* sink = nullptr;
    void* context = nullptr;
  };
  Deliveries<Sink> sinks{"audio device"};

 private:
  HRESULT AddSink(const char* call, const std::string& key, avcore::IAudioDataSink* sink, void* context);
  HRESULT RemoveSink(const char* call, const std::string& key);
  // Returns once no call on the sinks whose keys start with one of `prefixes` runs.
  void Quiesce(std::initializer_list<const char*> prefixes, const char* call);
  std::atomic<bool> m_capturing{false}, m_playing{false};
  std::atomic<int32_t> m_nextStream{11};
  std::atomic<int32_t> m_speakerVolume{50}, m_micVolume{50}, m_speakerOn{1}, m_micOn{1};
};

class FakeRenders : public Component<avcore::IVideoRenderManager> {
 public:
  explicit FakeRenders(const char* name);
  // One frame to each raw callback; the first-frame event of each new render.
  void Pump(uint32_t tick);

  HRESULT AVCORE_CALL AddRender(HWND window, const avcore::EventRecord* events, avcore::RenderId* id) override;
  HRESULT AVCORE_CALL RemoveRender(avcore::RenderId id) override;
  HRESULT AVCORE_CALL SetRenderMode(avcore::RenderId id, int32_t mode) override;
  HRESULT AVCORE_CALL SetRenderWindow(avcore::RenderId id, HWND window) override;
  HRESULT AVCORE_CALL SetRawDataCallback(avcore::RenderId id, void* context, avcore::RenderFrameCallback frame,
                                         avcore::RenderValueCallback value) override;
  HRESULT AVCORE_CALL PushFrame(avcore::RenderId id, const avcore::VideoFrame* frame) override;
  HRESULT AVCORE_CALL NotifyRender(avcore::RenderId id, int32_t value) override;
  HRESULT AVCORE_CALL GetRenderStats(avcore::RenderId id, avcore::RenderStats* stats) override;

  struct Raw {
    void* context = nullptr;
    avcore::RenderFrameCallback frame = nullptr;
    avcore::RenderValueCallback value = nullptr;
  };
  Deliveries<avcore::EventRecord> events;
  Deliveries<Raw> raw;

 private:
  std::atomic<avcore::RenderId> m_nextId{1};
};

class FakeCamera : public Component<avcore::IVideoDevice> {
 public:
  explicit FakeCamera(FakeRenders* previews) : m_previews(previews) {}
  void Pump(uint32_t tick);

  HRESULT AVCORE_CALL QueryInterface(REFIID iid, void** out) override;
  int32_t AVCORE_CALL EnumDevices(avcore::VideoDeviceEntry* entries, int32_t capacity) override;
  HRESULT AVCORE_CALL ReEnumerate() override;
  HRESULT AVCORE_CALL GetDeviceName(int32_t index, wchar_t* name, int32_t capacity) override;
  HRESULT AVCORE_CALL GetParam(avcore::VideoCaptureParam* param) override;
  HRESULT AVCORE_CALL SetParam(const avcore::VideoCaptureParam* param) override;
  HRESULT AVCORE_CALL StartCapture(const avcore::VideoCaptureParam* param) override;
  HRESULT AVCORE_CALL StopCapture() override;
  HRESULT AVCORE_CALL SetRawDataCallback(void* context, avcore::VideoFrameCallback callback) override;

  struct Callback {
    void* context = nullptr;
    avcore::VideoFrameCallback callback = nullptr;
  };
  Deliveries<Callback> callback{"camera"};

 private:
  FakeRenders* m_previews;
  std::mutex m_mutex;
  avcore::VideoCaptureParam m_param = avcore::VideoCaptureParam::Defaults();
  std::atomic<bool> m_capturing{false};
};

// Output: a 6-byte header whose timestamp is the input's + 1000, then 640 bytes of PCM.
class FakeTranscoder : public Component<avcore::IAudioTranscoder> {
 public:
  HRESULT AVCORE_CALL Init(int32_t, int32_t, const WAVEFORMATEX*) override;
  HRESULT AVCORE_CALL Uninit() override;
  HRESULT AVCORE_CALL Transcode(const void* packet, int32_t length) override;
  int32_t AVCORE_CALL GetOutput(void* buffer, int32_t capacity) override;

 private:
  std::mutex m_mutex;
  std::vector<uint8_t> m_last;
};

class FakeNet : public Component<avcore::IAvNet> {
 public:
  // Attaches a sender to each new board receiver, then hands each some data.
  void Pump(uint32_t tick);

  HRESULT AVCORE_CALL Initialize(avcore::IKivConnection*, avcore::IAudioDevice*, avcore::IVideoRenderManager*,
                                 avcore::IVncRenderManager*, int32_t) override;
  HRESULT AVCORE_CALL AddSource(int32_t type, const char* id, IUnknown* source) override;
  HRESULT AVCORE_CALL AddScreenSource(int32_t, const char*, avcore::IVncHost*, int32_t) override;
  HRESULT AVCORE_CALL RemoveSource(int32_t type, const char* id) override;
  HRESULT AVCORE_CALL SetSourceParam(int32_t type, const char* id, uint8_t value) override;
  HRESULT AVCORE_CALL StartRecvMedia(const char* user, int32_t type, const char* id, uint32_t target) override;
  HRESULT AVCORE_CALL StartRecvMedia2(const char*, int32_t, const char*, avcore::RenderId, int32_t) override;
  HRESULT AVCORE_CALL StopRecvMedia(const char* user, int32_t type, const char* id) override;
  HRESULT AVCORE_CALL SubscribeTspd(const char* user, uint8_t type, const char* media, const char* owner,
                                    avcore::ITspDataReceiver* receiver, int32_t flags) override;

  struct Board {
    avcore::ITspDataReceiver* receiver = nullptr;
    std::shared_ptr<std::atomic<bool>> attached;
  };
  Deliveries<Board> boards{"board streams"};

 private:
  struct Sender : Component<avcore::ITspdSender> {
    HRESULT AVCORE_CALL SendData(const void*, int32_t length, int32_t) override;
    std::atomic<uint64_t> bytes{0};
  };
  Sender m_sender;
};

class FakeOnline : public Component<avcore::IKivOnline> {
 public:
  HRESULT AVCORE_CALL SetListener(avcore::IKivOnlineListener* listener) override;
  HRESULT AVCORE_CALL RemoveListener(avcore::IKivOnlineListener* listener) override;
  HRESULT AVCORE_CALL RefreshAllUserStatus(uint32_t* requestId) override;
  HRESULT AVCORE_CALL RefreshUserStatus(const avcore::FwVector<avcore::FwString>*, uint32_t* requestId) override;
  HRESULT AVCORE_CALL InviteUsers(const avcore::FwVector<avcore::FwString>*,
                                  const avcore::FwVector<avcore::FwStringPair>*, const char*, const char*,
                                  uint32_t* requestId) override;
  HRESULT AVCORE_CALL AcceptInvite(const char*, int32_t, const char*) override;
  HRESULT AVCORE_CALL RefuseInvite(const char*, int32_t, const char*) override;
  Deliveries<avcore::IKivOnlineListener*> listener{"online business"};

 private:
  std::atomic<uint32_t> m_nextRequest{1};
};

class FakeTMsg : public Component<avcore::IKivTMsg> {
 public:
  HRESULT AVCORE_CALL SetListener(avcore::IKivTMsgListener* listener) override;
  HRESULT AVCORE_CALL RemoveListener(avcore::IKivTMsgListener* listener) override;
  HRESULT AVCORE_CALL SendUserMsg(const char*, const char*, uint32_t* id) override;
  HRESULT AVCORE_CALL SendGroupMsg(const char*, uint32_t* id) override;
  HRESULT AVCORE_CALL SendUsersMsg(const avcore::FwVector<avcore::FwString>*, const char*, uint32_t* id) override;
  HRESULT AVCORE_CALL SendUsersMsgEx(const avcore::FwVector<avcore::FwString>*, const char*, uint32_t* id) override;
  Deliveries<avcore::IKivTMsgListener*> listener{"text messages"};
};

class FakeConnection : public Component<avcore::IKivConnection> {
 public:
  FakeConnection(FakeOnline* online, FakeTMsg* tmsg) : m_online(online), m_tmsg(tmsg) {}

  // The link goes away (the listener hears OnReconnectStart) / comes back.
  void LoseLink();
  void RegainLink();
  // No further event: returns once none is being delivered (before the release).
  void Quiet();
  // Runs queued events, then at random a media list (when `announceMedia`), a user event
  // or a message.
  void Pump(std::mt19937& random);
  std::atomic<bool> announceMedia{true};

  HRESULT AVCORE_CALL SetListener(avcore::IKivConnectionListener* l) override;
  HRESULT AVCORE_CALL RemoveListener(avcore::IKivConnectionListener* l) override;
  HRESULT AVCORE_CALL AddBusiness(avcore::IKivBusinessBase* b) override;
  HRESULT AVCORE_CALL RemoveBusiness(avcore::IKivBusinessBase* b) override;
  HRESULT AVCORE_CALL QueryBusiness(REFIID iid, void** out) override;
  HRESULT AVCORE_CALL Login(const char*, avcore::IKivHttpClient*, const char*, const char*, const char*, const char*,
                            const char* userId, const char*, const char*, int32_t, int32_t) override;
  HRESULT AVCORE_CALL Logout() override;
  HRESULT AVCORE_CALL JoinGroup(const char* groupId) override;
  HRESULT AVCORE_CALL LeaveGroup() override;
  int32_t AVCORE_CALL GetStatus() override;
  HRESULT AVCORE_CALL SendBusinessCmd(const rapidjson::Value& command) override;

  Deliveries<avcore::IKivConnectionListener*> listener{"connection listener"};
  Deliveries<avcore::IKivBusinessBase*> businesses{"connection businesses"};

 private:
  void Queue(std::function<void()> event);
  void ToListener(const std::function<void(avcore::IKivConnectionListener*)>& event);
  void MediaList(std::mt19937& random);

  FakeOnline* m_online;
  FakeTMsg* m_tmsg;
  std::atomic<int32_t> m_status{avcore::CPSTATUS_UNCONNECT};
  std::atomic<bool> m_inGroup{false};
  std::mutex m_mutex;
  std::deque<std::function<void()>> m_events;
  std::mutex m_pumpMutex;
  bool m_quiet = false;
};

class FakeRoot : public Component<avcore::IBaseCore> {
 public:
  explicit FakeRoot(FakeRenders* previews) : m_previews(previews) {}
  HRESULT AVCORE_CALL CreateComponent(REFCLSID cls, REFIID iid, IUnknown* outer, void** out) override;
  std::vector<FakeCamera*> Cameras();

 private:
  FakeRenders* m_previews;
  std::mutex m_mutex;
  std::vector<std::unique_ptr<FakeCamera>> m_cameras;
  std::vector<std::unique_ptr<FakeTranscoder>> m_transcoders;
};

// Every fake, their threads, and their place in a running engine's core environment.
class StressFramework {
 public:
  StressFramework();
  ~StressFramework();
  StressFramework(const StressFramework&) = delete;
  StressFramework& operator=(const StressFramework&) = delete;

  // On the Init thread of an engine Init'ed beside the stand-in framework: the fakes take
  // the place of its connection, network, audio device, render manager and root.
  void Install(kiv_core::CoreEngine* core);
  // Gives the stand-in's root back (before the release, which unloads it).
  void RestoreRoot();
  // The framework's own threads; `seed` drives their random events.
  void Start(uint32_t seed, bool announceMedia);
  // Returns once every thread of the framework made `ticks` more rounds of deliveries.
  void WaitTicks(uint32_t ticks);
  // After the release: what the SDK left registered is reported, the threads end.
  void Stop();

  FakeConnection& Connection() { return m_connection; }

 private:
  void Loop(int index, const char* name, std::function<void(uint32_t)> step, DWORD pauseMs);

  FakeAudioDevice m_audio;
  FakeRenders m_renders{"video renders"};
  FakeRenders m_previews{"camera previews"};
  FakeNet m_net;
  FakeOnline m_online;
  FakeTMsg m_tmsg;
  FakeConnection m_connection{&m_online, &m_tmsg};
  FakeRoot m_root{&m_previews};
  avcore::IBaseCore* m_standInRoot = nullptr;
  std::atomic<bool> m_stop{false};
  static constexpr int kLoops = 4;
  std::atomic<uint32_t> m_ticks[kLoops] = {};
  std::vector<std::thread> m_threads;
  std::mt19937 m_random;
};

}  // namespace kiv_stress
