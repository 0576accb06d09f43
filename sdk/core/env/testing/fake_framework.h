// Scripted stand-ins for the media framework's components, installed into the core
// environment in place of a loaded framework: an audio device, a video device, the root
// that creates it, a media network, a connection with its online and text-message
// businesses, and a log manager that keeps every line. Each records the calls it gets; the
// calls that in the real framework wait for a callback in flight, or go to the network,
// check that no lock of ours is held.
#pragma once

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <windows.h>

#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "avcore/audio_device.h"
#include "avcore/av_net.h"
#include "avcore/base_core.h"
#include "avcore/connection.h"
#include "avcore/ids.h"
#include "avcore/log.h"
#include "avcore/online.h"
#include "avcore/tmsg.h"
#include "avcore/video_device.h"
#include "base/system/testing/no_lock_held.h"
#include "core/env/core_env.h"
#include "core/env/log_record.h"

namespace kiv_fake {

// Reference counting that only counts: the fakes live on the test's stack.
template <class Itf>
struct Counted : Itf {
  long refs = 0;
  HRESULT AVCORE_CALL QueryInterface(REFIID, void** out) override {
    if (out) *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AVCORE_CALL AddRef() override { return static_cast<ULONG>(++refs); }
  ULONG AVCORE_CALL Release() override { return static_cast<ULONG>(--refs); }
};

inline std::string Joined(const std::vector<std::string>& calls) {
  std::string text;
  for (const std::string& call : calls) text += (text.empty() ? "" : ", ") + call;
  return text;
}

struct AudioDevice : Counted<avcore::IAudioDevice> {
  std::vector<std::string> calls;
  // Results of the operations that may fail.
  HRESULT startCapture = S_OK, startPlay = S_OK, stopPlay = S_OK, setLevel = S_OK;
  HRESULT getFormat = S_OK, addSink = S_OK, removeSink = S_OK;
  std::vector<std::wstring> microphones, speakers;
  int32_t speakerVolume = 0, micVolume = 0, speakerOn = 0, micOn = 0;
  int32_t speakerEnergy = 0, micEnergy = 0;
  WAVEFORMATEX format = {WAVE_FORMAT_PCM, 1, 48000, 96000, 2, 16, 0};
  avcore::IAudioDataSink* capSink = nullptr;
  avcore::IAudioDataSink* playSink = nullptr;
  avcore::IAudioDataSink* mixSink = nullptr;
  void* sinkContext = nullptr;

  void Call(const std::string& text) { calls.push_back(text); }
  static std::string N(const char* op, int value) { return op + (" " + std::to_string(value)); }

  HRESULT AVCORE_CALL Open() override {
    Call("Open");
    return S_OK;
  }
  HRESULT AVCORE_CALL Close() override {
    Call("Close");
    return S_OK;
  }
  HRESULT AVCORE_CALL StartCapture(int32_t i) override {
    Call(N("StartCapture", i));
    return startCapture;
  }
  HRESULT AVCORE_CALL StopCapture() override {
    kiv_test::ExpectNoLockHeld("IAudioDevice::StopCapture");
    Call("StopCapture");
    return S_OK;
  }
  HRESULT AVCORE_CALL StartPlay(int32_t i) override {
    Call(N("StartPlay", i));
    return startPlay;
  }
  HRESULT AVCORE_CALL StopPlay() override {
    kiv_test::ExpectNoLockHeld("IAudioDevice::StopPlay");
    Call("StopPlay");
    return stopPlay;
  }
  HRESULT AVCORE_CALL GetParam(int32_t, void*, int32_t) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL SetParam(int32_t param, const void* value, int32_t size) override {
    Call("SetParam " + std::to_string(param) + "=" +
         (size == 4 ? std::to_string(*static_cast<const int32_t*>(value)) : "?"));
    return E_NOTIMPL;  // the engine ignores these results
  }
  HRESULT AVCORE_CALL GetAudioFormat(WAVEFORMATEX* out) override {
    Call("GetAudioFormat");
    if (getFormat >= 0) *out = format;
    return getFormat;
  }
  HRESULT AVCORE_CALL GetCaptureFormat(WAVEFORMATEX*) override { return E_NOTIMPL; }
  HRESULT Add(const char* op, avcore::IAudioDataSink*& slot, avcore::IAudioDataSink* sink, void* ctx) {
    Call(op);
    if (addSink < 0) return addSink;
    slot = sink;
    sinkContext = ctx;
    return S_OK;
  }
  HRESULT Remove(const char* op, avcore::IAudioDataSink*& slot) {
    kiv_test::ExpectNoLockHeld(op);
    Call(op);
    if (removeSink < 0) return removeSink;
    slot = nullptr;
    return S_OK;
  }
  HRESULT AVCORE_CALL AddCapProcessedDataSink(avcore::IAudioDataSink* s, void* c) override {
    return Add("AddCap", capSink, s, c);
  }
  HRESULT AVCORE_CALL RemoveCapProcessedDataSink(avcore::IAudioDataSink*) override {
    return Remove("RemoveCap", capSink);
  }
  HRESULT AVCORE_CALL AddPlayDataSink(avcore::IAudioDataSink* s, void* c) override {
    return Add("AddPlay", playSink, s, c);
  }
  HRESULT AVCORE_CALL RemovePlayDataSink(avcore::IAudioDataSink*) override { return Remove("RemovePlay", playSink); }
  HRESULT AVCORE_CALL AddMixDataSink(avcore::IAudioDataSink* s, void* c) override {
    return Add("AddMix", mixSink, s, c);
  }
  HRESULT AVCORE_CALL RemoveMixDataSink(avcore::IAudioDataSink*) override { return Remove("RemoveMix", mixSink); }
  int32_t AVCORE_CALL CreateAudioStream(int32_t, int32_t) override { return 0; }
  HRESULT AVCORE_CALL RemoveAudioStream(int32_t) override {
    kiv_test::ExpectNoLockHeld("IAudioDevice::RemoveAudioStream");
    return S_OK;
  }
  HRESULT AVCORE_CALL AddRemoteEncodedDataSink(int32_t, avcore::IAudioDataSink*, void*) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL RemoveRemoteEncodedDataSink(avcore::IAudioDataSink*) override {
    kiv_test::ExpectNoLockHeld("IAudioDevice::RemoveRemoteEncodedDataSink");
    return S_OK;
  }
  HRESULT AVCORE_CALL GetStreamInfo(int32_t, int32_t*, int32_t*, int32_t*) override { return E_NOTIMPL; }
  static HRESULT Name(const std::vector<std::wstring>& list, int32_t i, wchar_t* out, int32_t n) {
    if (i < 0 || i >= static_cast<int32_t>(list.size()) || n < 1) return E_INVALIDARG;
    lstrcpynW(out, list[static_cast<size_t>(i)].c_str(), n);
    return S_OK;
  }
  int32_t AVCORE_CALL GetCaptureDeviceCount() override { return static_cast<int32_t>(microphones.size()); }
  HRESULT AVCORE_CALL GetCaptureDeviceName(int32_t i, wchar_t* out, int32_t n) override {
    if (onCaptureDeviceName) onCaptureDeviceName();
    return Name(microphones, i, out, n);
  }
  std::function<void()> onCaptureDeviceName;  // runs inside each name request
  int32_t AVCORE_CALL GetPlayDeviceCount() override { return static_cast<int32_t>(speakers.size()); }
  HRESULT AVCORE_CALL GetPlayDeviceName(int32_t i, wchar_t* out, int32_t n) override {
    return Name(speakers, i, out, n);
  }
  static HRESULT Level(int32_t value, int32_t* a, int32_t* b, int32_t* c) {
    if (a) *a = value;
    if (b) *b = 0;
    if (c) *c = 100;
    return S_OK;
  }
  HRESULT AVCORE_CALL GetSpeakerVolume(int32_t* a, int32_t* b, int32_t* c) override {
    return Level(speakerVolume, a, b, c);
  }
  HRESULT AVCORE_CALL SetSpeakerVolume(int32_t v) override {
    Call(N("SetSpeakerVolume", v));
    if (setLevel >= 0) speakerVolume = v;
    return setLevel;
  }
  HRESULT AVCORE_CALL GetMicrophoneVolume(int32_t* a, int32_t* b, int32_t* c) override {
    return Level(micVolume, a, b, c);
  }
  HRESULT AVCORE_CALL SetMicrophoneVolume(int32_t v) override {
    Call(N("SetMicrophoneVolume", v));
    if (setLevel >= 0) micVolume = v;
    return setLevel;
  }
  HRESULT AVCORE_CALL GetSpeakerSwitch(int32_t* on) override {
    *on = speakerOn;
    return S_OK;
  }
  HRESULT AVCORE_CALL SetSpeakerSwitch(uint8_t on) override {
    Call(N("SetSpeakerSwitch", on));
    if (setLevel >= 0) speakerOn = on;
    return setLevel;
  }
  HRESULT AVCORE_CALL GetMicrophoneSwitch(int32_t* on) override {
    *on = micOn;
    return S_OK;
  }
  HRESULT AVCORE_CALL SetMicrophoneSwitch(uint8_t on) override {
    Call(N("SetMicrophoneSwitch", on));
    if (setLevel >= 0) micOn = on;
    return setLevel;
  }
  HRESULT AVCORE_CALL GetSpeakerEnergy(int32_t* a, int32_t* b, int32_t* c) override {
    return Level(speakerEnergy, a, b, c);
  }
  HRESULT AVCORE_CALL GetMicrophoneEnergy(int32_t* a, int32_t* b, int32_t* c) override {
    return Level(micEnergy, a, b, c);
  }
};

struct VideoDevice : Counted<avcore::IVideoDevice> {
  std::vector<std::pair<int32_t, std::wstring>> cameras;
  int reEnumerations = 0;
  // When `claim` is set, EnumDevices reports claimedCount whatever it filled.
  bool claim = false;
  int32_t claimedCount = 0;

  int32_t AVCORE_CALL EnumDevices(avcore::VideoDeviceEntry* entries, int32_t capacity) override {
    int32_t n = 0;
    for (const auto& camera : cameras) {
      if (n >= capacity) break;
      entries[n].id = camera.first;
      lstrcpynW(entries[n].name, camera.second.c_str(), 512);
      ++n;
    }
    return claim ? claimedCount : n;
  }
  HRESULT AVCORE_CALL ReEnumerate() override {
    ++reEnumerations;
    return S_OK;
  }
  HRESULT AVCORE_CALL GetDeviceName(int32_t index, wchar_t* name, int32_t capacity) override {
    for (const auto& camera : cameras) {
      if (camera.first == index) {
        lstrcpynW(name, camera.second.c_str(), capacity);
        return S_OK;
      }
    }
    return E_INVALIDARG;
  }
  HRESULT AVCORE_CALL GetParam(avcore::VideoCaptureParam*) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL SetParam(const avcore::VideoCaptureParam*) override { return E_NOTIMPL; }
  // Capture starts and stops, as "StartCapture <camera>" and "StopCapture".
  std::vector<std::string> captureCalls;
  HRESULT startCapture = E_NOTIMPL;
  HRESULT AVCORE_CALL StartCapture(const avcore::VideoCaptureParam* p) override {
    captureCalls.push_back("StartCapture " + std::to_string(p ? p->camera_index : -1));
    return startCapture;
  }
  HRESULT AVCORE_CALL StopCapture() override {
    kiv_test::ExpectNoLockHeld("IVideoDevice::StopCapture");
    captureCalls.push_back("StopCapture");
    return S_OK;
  }
  HRESULT AVCORE_CALL SetRawDataCallback(void*, avcore::VideoFrameCallback) override {
    kiv_test::ExpectNoLockHeld("IVideoDevice::SetRawDataCallback");
    return S_OK;
  }
};

struct Root : Counted<avcore::IBaseCore> {
  VideoDevice* video = nullptr;
  bool failVideo = false;
  std::vector<std::pair<GUID, GUID>> created;

  HRESULT AVCORE_CALL CreateComponent(REFCLSID cls, REFIID iid, IUnknown*, void** out) override {
    *out = nullptr;
    created.emplace_back(cls, iid);
    if (cls == avcore::CLSID_VideoDevice && iid == avcore::IID_IVideoDevice && video) {
      if (failVideo) return E_FAIL;
      video->AddRef();
      *out = static_cast<avcore::IVideoDevice*>(video);
      return S_OK;
    }
    return REGDB_E_CLASSNOTREG;
  }
};

struct AvNet : Counted<avcore::IAvNet> {
  HRESULT AVCORE_CALL Initialize(avcore::IKivConnection*, avcore::IAudioDevice*, avcore::IVideoRenderManager*,
                                 avcore::IVncRenderManager*, int32_t) override {
    return S_OK;
  }
  HRESULT addSource = E_NOTIMPL;
  HRESULT AVCORE_CALL AddSource(int32_t, const char*, IUnknown*) override { return addSource; }
  HRESULT AVCORE_CALL AddScreenSource(int32_t, const char*, avcore::IVncHost*, int32_t) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL RemoveSource(int32_t, const char*) override { return S_OK; }
  HRESULT AVCORE_CALL SetSourceParam(int32_t, const char*, uint8_t) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL StartRecvMedia(const char*, int32_t, const char*, uint32_t) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL StartRecvMedia2(const char*, int32_t, const char*, avcore::RenderId, int32_t) override {
    return E_NOTIMPL;
  }
  HRESULT AVCORE_CALL StopRecvMedia(const char* user, int32_t type, const char* media) override {
    kiv_test::ExpectNoLockHeld("IAvNet::StopRecvMedia");
    if (type == avcore::kMediaBoard) tspdCalls.push_back(std::string("stop ") + user + " " + media);
    if (type == avcore::kMediaBoard && onStopTspd) onStopTspd();
    return type == avcore::kMediaBoard ? stopTspdResult : S_OK;
  }
  HRESULT AVCORE_CALL SubscribeTspd(const char* user, uint8_t type, const char* media, const char* owner,
                                    avcore::ITspDataReceiver* receiver, int32_t) override {
    tspdCalls.push_back("subscribe " + std::string(user) + " " + std::to_string(type) + " " + media + " " + owner);
    tspdReceiver = receiver;
    return subscribeTspdResult;
  }
  // Transparent-data calls: "subscribe <user> <type> <media> <owner>", "stop <user> <media>".
  std::vector<std::string> tspdCalls;
  avcore::ITspDataReceiver* tspdReceiver = nullptr;
  HRESULT subscribeTspdResult = S_OK;
  HRESULT stopTspdResult = S_OK;
  // Run inside a board stream's stop (where the real channel waits for a delivery in flight).
  std::function<void()> onStopTspd;
};

inline std::vector<std::string> Ids(const avcore::FwVector<avcore::FwString>* list) {
  std::vector<std::string> ids;
  if (list) {
    for (const avcore::FwString& id : *list) ids.push_back(id.c_str());
  }
  return ids;
}

struct Online : Counted<avcore::IKivOnline> {
  avcore::IKivOnlineListener* listener = nullptr;
  std::vector<std::string> calls;
  HRESULT result = S_OK;
  std::vector<std::string> ids;
  int32_t attributeCount = -1;
  std::string group, message, extra;
  uint32_t* requestIdOut = nullptr;
  uint32_t nextRequestId = 7;

  HRESULT AVCORE_CALL SetListener(avcore::IKivOnlineListener* l) override {
    calls.push_back("SetListener");
    listener = l;
    return S_OK;
  }
  HRESULT AVCORE_CALL RemoveListener(avcore::IKivOnlineListener* l) override {
    kiv_test::ExpectNoLockHeld("IKivOnline::RemoveListener");
    calls.push_back("RemoveListener");
    if (l == listener) listener = nullptr;
    return S_OK;
  }
  HRESULT Answer(uint32_t* requestId) {
    requestIdOut = requestId;
    if (requestId) *requestId = nextRequestId;
    return result;
  }
  HRESULT AVCORE_CALL RefreshAllUserStatus(uint32_t* requestId) override {
    calls.push_back("RefreshAll");
    return Answer(requestId);
  }
  HRESULT AVCORE_CALL RefreshUserStatus(const avcore::FwVector<avcore::FwString>* list, uint32_t* requestId) override {
    calls.push_back("Refresh");
    ids = Ids(list);
    return Answer(requestId);
  }
  HRESULT AVCORE_CALL InviteUsers(const avcore::FwVector<avcore::FwString>* list,
                                  const avcore::FwVector<avcore::FwStringPair>* attributes, const char* groupId,
                                  const char* text, uint32_t* requestId) override {
    calls.push_back("Invite");
    ids = Ids(list);
    attributeCount = attributes ? attributes->size() : -1;
    group = groupId ? groupId : "<null>";
    message = text ? text : "<null>";
    return Answer(requestId);
  }
  HRESULT AVCORE_CALL AcceptInvite(const char* inviter, int32_t id, const char* x) override {
    calls.push_back("Accept " + std::string(inviter ? inviter : "<null>") + " " + std::to_string(id));
    extra = x ? x : "<null>";
    return result;
  }
  HRESULT AVCORE_CALL RefuseInvite(const char* inviter, int32_t id, const char* x) override {
    calls.push_back("Refuse " + std::string(inviter ? inviter : "<null>") + " " + std::to_string(id));
    extra = x ? x : "<null>";
    return result;
  }
};

struct TMsg : Counted<avcore::IKivTMsg> {
  avcore::IKivTMsgListener* listener = nullptr;
  std::vector<std::string> calls;
  HRESULT result = S_OK;
  std::vector<std::string> ids;
  std::string to, text;
  uint32_t* messageIdOut = nullptr;

  HRESULT AVCORE_CALL SetListener(avcore::IKivTMsgListener* l) override {
    calls.push_back("SetListener");
    listener = l;
    return S_OK;
  }
  HRESULT AVCORE_CALL RemoveListener(avcore::IKivTMsgListener* l) override {
    kiv_test::ExpectNoLockHeld("IKivTMsg::RemoveListener");
    calls.push_back("RemoveListener");
    if (l == listener) listener = nullptr;
    return S_OK;
  }
  HRESULT Keep(const char* op, const char* t, uint32_t* id) {
    calls.push_back(op);
    text = t ? t : "<null>";
    messageIdOut = id;
    return result;
  }
  HRESULT AVCORE_CALL SendUserMsg(const char* user, const char* t, uint32_t* id) override {
    to = user ? user : "<null>";
    return Keep("User", t, id);
  }
  HRESULT AVCORE_CALL SendGroupMsg(const char* t, uint32_t* id) override { return Keep("Group", t, id); }
  HRESULT AVCORE_CALL SendUsersMsg(const avcore::FwVector<avcore::FwString>* list, const char* t,
                                   uint32_t* id) override {
    ids = Ids(list);
    return Keep("Users", t, id);
  }
  HRESULT AVCORE_CALL SendUsersMsgEx(const avcore::FwVector<avcore::FwString>* list, const char* t,
                                     uint32_t* id) override {
    ids = Ids(list);
    return Keep("UsersEx", t, id);
  }
};

struct Connection : Counted<avcore::IKivConnection> {
  Online* online = nullptr;
  TMsg* tmsg = nullptr;
  int32_t status = avcore::CPSTATUS_UNCONNECT;
  std::vector<GUID> queried;

  HRESULT AVCORE_CALL SetListener(avcore::IKivConnectionListener*) override { return S_OK; }
  HRESULT AVCORE_CALL RemoveListener(avcore::IKivConnectionListener*) override {
    kiv_test::ExpectNoLockHeld("IKivConnection::RemoveListener");
    return S_OK;
  }
  HRESULT AVCORE_CALL AddBusiness(avcore::IKivBusinessBase*) override { return S_OK; }
  HRESULT AVCORE_CALL RemoveBusiness(avcore::IKivBusinessBase*) override {
    kiv_test::ExpectNoLockHeld("IKivConnection::RemoveBusiness");
    return S_OK;
  }
  HRESULT AVCORE_CALL QueryBusiness(REFIID iid, void** out) override {
    *out = nullptr;
    queried.push_back(iid);
    if (iid == avcore::IID_IKivOnline && online) {
      online->AddRef();
      *out = static_cast<avcore::IKivOnline*>(online);
      return S_OK;
    }
    if (iid == avcore::IID_IKivTMsg && tmsg) {
      tmsg->AddRef();
      *out = static_cast<avcore::IKivTMsg*>(tmsg);
      return S_OK;
    }
    return E_NOINTERFACE;
  }
  HRESULT AVCORE_CALL Login(const char*, avcore::IKivHttpClient*, const char*, const char*, const char*, const char*,
                            const char*, const char*, const char*, int32_t, int32_t) override {
    return E_NOTIMPL;
  }
  HRESULT AVCORE_CALL Logout() override {
    kiv_test::ExpectNoLockHeld("IKivConnection::Logout");
    return S_OK;
  }
  HRESULT AVCORE_CALL JoinGroup(const char*) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL LeaveGroup() override {
    kiv_test::ExpectNoLockHeld("IKivConnection::LeaveGroup");
    return S_OK;
  }
  int32_t AVCORE_CALL GetStatus() override { return status; }
  HRESULT AVCORE_CALL SendBusinessCmd(const rapidjson::Value& command) override {
    kiv_test::ExpectNoLockHeld("IKivConnection::SendBusinessCmd");
    rapidjson::StringBuffer text;
    rapidjson::Writer<rapidjson::StringBuffer> writer(text);
    command.Accept(writer);
    sent.push_back(text.GetString());
    return sendResult;
  }
  // Business messages sent, as compact JSON.
  std::vector<std::string> sent;
  HRESULT sendResult = E_NOTIMPL;
};

// Keeps every line written through the core's logger.
struct LogSink : avcore::ILogManager {
  struct Record : avcore::ILogRecord {
    LogSink* sink;
    std::string text;
    explicit Record(LogSink* owner) : sink(owner) {}
    ~Record() override {
      std::lock_guard<std::mutex> guard(sink->mutex);
      sink->lines.push_back(text);
    }
    void AVCORE_CALL Printf(const char* format, va_list args) override {
      char buffer[1024];
      vsnprintf(buffer, sizeof(buffer), format, args);
      text += buffer;
    }
  };
  std::mutex mutex;
  std::vector<std::string> lines;

  int32_t AVCORE_CALL GetLevel(avcore::LoggerHandle) override { return avcore::kLogLevelInfo; }
  avcore::ILogRecord* AVCORE_CALL BeginRecord(avcore::LoggerHandle, int32_t, const char*, int32_t) override {
    return new Record(this);
  }
  HRESULT AVCORE_CALL SetLevel(avcore::LoggerHandle, int32_t) override { return S_OK; }

  bool Has(const std::string& line) {
    std::lock_guard<std::mutex> guard(mutex);
    for (const std::string& l : lines) {
      if (l == line) return true;
    }
    return false;
  }
  bool HasPrefix(const std::string& prefix) {
    std::lock_guard<std::mutex> guard(mutex);
    for (const std::string& l : lines) {
      if (l.compare(0, prefix.size(), prefix) == 0) return true;
    }
    return false;
  }
};

// Every fake, wired together. Install puts them into a core environment as a brought-up
// framework would; the fakes must outlive that environment.
struct Framework {
  AudioDevice audio;
  VideoDevice video;
  Root root;
  AvNet avnet;
  Online online;
  TMsg tmsg;
  Connection connection;
  LogSink log;

  Framework() {
    root.video = &video;
    connection.online = &online;
    connection.tmsg = &tmsg;
  }
  ~Framework() { Uninstall(); }

  void Install(kiv_core::CoreEnv* env) {
    env->m_basecore.Attach(&root);
    env->m_audiodevice.Attach(&audio);
    env->m_connection.Attach(&connection);
    env->m_avnet.Attach(&avnet);
    env->m_baseCoreInited = true;
    kiv_core::CoreLogger().manager = &log;
    kiv_core::CoreLogger().handle = 1;
  }
  void Uninstall() {
    if (kiv_core::CoreLogger().manager == &log) {
      kiv_core::CoreLogger().manager = nullptr;
      kiv_core::CoreLogger().handle = 0;
    }
  }
};

}  // namespace kiv_fake
