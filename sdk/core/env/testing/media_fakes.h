// Scripted media components for the stream tests: a media network, a render manager, a
// camera device with its preview renders, a record sink, a transcoder, an audio device with
// playback streams, and a connection that keeps the business messages sent. Each records
// its calls as text; results of the operations that may fail are settable. The calls that
// in the real framework wait for a callback in flight check that no lock of ours is held.
#pragma once

#include <windows.h>

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "avcore/audio_processing.h"
#include "avcore/dev_manager.h"
#include "avcore/ids.h"
#include "avcore/recording.h"
#include "avcore/render.h"
#include "base/system/testing/no_lock_held.h"
#include "core/env/testing/fake_framework.h"

namespace kiv_media_fake {

using kiv_fake::Counted;

struct CallLog {
  std::mutex mutex;
  std::vector<std::string> calls;
  void Add(const std::string& call) {
    std::lock_guard<std::mutex> guard(mutex);
    calls.push_back(call);
  }
  std::vector<std::string> Take() {
    std::lock_guard<std::mutex> guard(mutex);
    std::vector<std::string> taken;
    taken.swap(calls);
    return taken;
  }
};

inline std::string S(const char* text) { return text ? text : "<null>"; }

struct Net : Counted<avcore::IAvNet> {
  CallLog* log;
  HRESULT addSource = S_OK, startRecv = S_OK;
  // Run inside the call, after it was logged (a test holds the calling thread there).
  std::function<void()> onStartRecv, onStopRecv;
  explicit Net(CallLog* l) : log(l) {}
  HRESULT AVCORE_CALL Initialize(avcore::IKivConnection*, avcore::IAudioDevice*, avcore::IVideoRenderManager*,
                                 avcore::IVncRenderManager*, int32_t) override {
    return S_OK;
  }
  HRESULT AVCORE_CALL AddSource(int32_t type, const char* id, IUnknown*) override {
    log->Add("AddSource " + std::to_string(type) + " " + S(id));
    return addSource;
  }
  HRESULT AVCORE_CALL AddScreenSource(int32_t, const char*, avcore::IVncHost*, int32_t) override { return E_NOTIMPL; }
  HRESULT AVCORE_CALL RemoveSource(int32_t type, const char* id) override {
    log->Add("RemoveSource " + std::to_string(type) + " " + S(id));
    return S_OK;
  }
  HRESULT AVCORE_CALL SetSourceParam(int32_t type, const char* id, uint8_t value) override {
    log->Add("SetSourceParam " + std::to_string(type) + " " + S(id) + " " + std::to_string(value));
    return S_OK;
  }
  HRESULT AVCORE_CALL StartRecvMedia(const char* user, int32_t type, const char* id, uint32_t target) override {
    log->Add("StartRecvMedia " + S(user) + " " + std::to_string(type) + " " + S(id) + " " + std::to_string(target));
    if (onStartRecv) onStartRecv();
    return startRecv;
  }
  HRESULT AVCORE_CALL StartRecvMedia2(const char*, int32_t, const char*, avcore::RenderId, int32_t) override {
    return E_NOTIMPL;
  }
  HRESULT AVCORE_CALL StopRecvMedia(const char* user, int32_t type, const char* id) override {
    kiv_test::ExpectNoLockHeld("IAvNet::StopRecvMedia");
    log->Add("StopRecvMedia " + S(user) + " " + std::to_string(type) + " " + S(id));
    if (onStopRecv) onStopRecv();
    return S_OK;
  }
  HRESULT AVCORE_CALL SubscribeTspd(const char*, uint8_t, const char*, const char*, avcore::ITspDataReceiver*,
                                    int32_t) override {
    return E_NOTIMPL;
  }
};

// Render ids count up from 1 (per manager, starting at `firstId`); `failAdd` leaves them 0.
struct Renders : Counted<avcore::IVideoRenderManager> {
  CallLog* log;
  std::string name;
  avcore::RenderId nextId;
  bool failAdd = false;
  avcore::RenderStats stats{15, 250000, 0, 640, 480, 40};
  struct Raw {
    void* context = nullptr;
    avcore::RenderFrameCallback frame = nullptr;
    avcore::RenderValueCallback value = nullptr;
  };
  std::map<avcore::RenderId, Raw> raw;
  std::map<avcore::RenderId, avcore::EventRecord> events;
  std::set<avcore::RenderId> removed;    // ids are never given again
  std::function<void()> onRemoveRender;  // runs before the render goes
  // Run after the call was logged, before it takes effect.
  std::function<void()> onAddRender, onSetRawDataCallback;
  Renders(CallLog* l, const std::string& n, avcore::RenderId firstId) : log(l), name(n), nextId(firstId) {}
  std::string P(const char* op) { return name + "." + op; }
  static std::string W(HWND w) { return std::to_string(reinterpret_cast<uintptr_t>(w)); }

  HRESULT AVCORE_CALL AddRender(HWND window, const avcore::EventRecord* ev, avcore::RenderId* id) override {
    log->Add(P("AddRender ") + W(window));
    if (onAddRender) onAddRender();
    if (failAdd) return E_FAIL;
    *id = nextId++;
    events[*id] = *ev;
    return S_OK;
  }
  HRESULT AVCORE_CALL RemoveRender(avcore::RenderId id) override {
    kiv_test::ExpectNoLockHeld("IVideoRenderManager::RemoveRender");
    log->Add(P("RemoveRender ") + std::to_string(id));
    if (onRemoveRender) onRemoveRender();
    raw.erase(id);
    removed.insert(id);
    return S_OK;
  }
  HRESULT AVCORE_CALL SetRenderMode(avcore::RenderId id, int32_t mode) override {
    log->Add(P("SetRenderMode ") + std::to_string(id) + " " + std::to_string(mode));
    return S_OK;
  }
  HRESULT AVCORE_CALL SetRenderWindow(avcore::RenderId id, HWND window) override {
    log->Add(P("SetRenderWindow ") + std::to_string(id) + " " + W(window));
    return S_OK;
  }
  HRESULT AVCORE_CALL SetRawDataCallback(avcore::RenderId id, void* ctx, avcore::RenderFrameCallback f,
                                         avcore::RenderValueCallback v) override {
    kiv_test::ExpectNoLockHeld("IVideoRenderManager::SetRawDataCallback");
    log->Add(P("SetRawDataCallback ") + std::to_string(id) + (f ? " set" : " clear"));
    if (onSetRawDataCallback) onSetRawDataCallback();
    if (removed.count(id) != 0) ADD_FAILURE() << P("SetRawDataCallback") << " on render " << id << ", removed";
    raw[id] = Raw{ctx, f, v};
    return S_OK;
  }
  HRESULT AVCORE_CALL PushFrame(avcore::RenderId id, const avcore::VideoFrame*) override {
    log->Add(P("PushFrame ") + std::to_string(id));
    return S_OK;
  }
  HRESULT AVCORE_CALL NotifyRender(avcore::RenderId id, int32_t value) override {
    log->Add(P("NotifyRender ") + std::to_string(id) + " " + std::to_string(value));
    return S_OK;
  }
  HRESULT AVCORE_CALL GetRenderStats(avcore::RenderId, avcore::RenderStats* out) override {
    *out = stats;
    return S_OK;
  }
};

struct RecordSink : Counted<avcore::IVideoRecordSink> {
  CallLog* log;
  HRESULT start = S_OK;
  avcore::VideoRecordParam param{};
  std::wstring path;
  std::vector<uint64_t> offsets;
  std::vector<int32_t> lengths;
  explicit RecordSink(CallLog* l) : log(l) {}
  HRESULT AVCORE_CALL Start(avcore::VideoRecordParam p) override {
    log->Add("Record.Start");
    param = p;
    path = p.path ? p.path : L"";
    return start;
  }
  HRESULT AVCORE_CALL WriteFrame(uint64_t ms, const void*, int32_t length) override {
    offsets.push_back(ms);
    lengths.push_back(length);
    return S_OK;
  }
  HRESULT AVCORE_CALL Stop() override {
    kiv_test::ExpectNoLockHeld("IVideoRecordSink::Stop");
    log->Add("Record.Stop");
    return S_OK;
  }
};

struct Camera : Counted<avcore::IVideoDevice> {
  CallLog* log;
  Renders* previews;
  avcore::VideoCaptureParam param = avcore::VideoCaptureParam::Defaults();
  HRESULT startCapture = S_OK, setParam = S_OK, setCallback = S_OK;
  void* callbackContext = nullptr;
  avcore::VideoFrameCallback callback = nullptr;
  // Runs before a callback change takes effect, with the old callback still set.
  std::function<void()> onSetCallback;
  Camera(CallLog* l, Renders* p) : log(l), previews(p) {
    param.width = 1280;
    param.height = 720;
    param.frame_rate = 25;
  }
  HRESULT AVCORE_CALL QueryInterface(REFIID iid, void** out) override {
    if (iid == avcore::IID_IVideoRenderManager) {
      previews->AddRef();
      *out = static_cast<avcore::IVideoRenderManager*>(previews);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  int32_t AVCORE_CALL EnumDevices(avcore::VideoDeviceEntry*, int32_t) override { return 0; }
  HRESULT AVCORE_CALL ReEnumerate() override { return S_OK; }
  int32_t cameraCount = 2;
  HRESULT AVCORE_CALL GetDeviceName(int32_t index, wchar_t* name, int32_t capacity) override {
    if (index < 0 || index >= cameraCount || capacity < 2) return E_INVALIDARG;
    lstrcpynW(name, L"Cam", capacity);
    return S_OK;
  }
  HRESULT AVCORE_CALL GetParam(avcore::VideoCaptureParam* p) override {
    *p = param;
    return S_OK;
  }
  HRESULT AVCORE_CALL SetParam(const avcore::VideoCaptureParam* p) override {
    log->Add("Camera.SetParam " + std::to_string(p->camera_index) + " " + std::to_string(p->width) + "x" +
             std::to_string(p->height) + "@" + std::to_string(p->frame_rate));
    if (setParam >= 0) param = *p;
    return setParam;
  }
  HRESULT AVCORE_CALL StartCapture(const avcore::VideoCaptureParam* p) override {
    log->Add("Camera.StartCapture " + std::to_string(p->camera_index));
    if (startCapture >= 0) param = *p;
    return startCapture;
  }
  HRESULT AVCORE_CALL StopCapture() override {
    kiv_test::ExpectNoLockHeld("IVideoDevice::StopCapture");
    log->Add("Camera.StopCapture");
    return S_OK;
  }
  HRESULT AVCORE_CALL SetRawDataCallback(void* ctx, avcore::VideoFrameCallback fn) override {
    kiv_test::ExpectNoLockHeld("IVideoDevice::SetRawDataCallback");
    log->Add(std::string("Camera.SetRawDataCallback ") + (fn ? "set" : "clear"));
    if (onSetCallback) onSetCallback();
    if (setCallback != 0) return setCallback;
    callbackContext = ctx;
    callback = fn;
    return S_OK;
  }
};

// Output: a 6-byte header whose timestamp is the input's + 1000, then `pcmBytes` of PCM.
struct Transcoder : Counted<avcore::IAudioTranscoder> {
  CallLog* log;
  int32_t pcmBytes = 640;
  std::vector<uint8_t> last;
  explicit Transcoder(CallLog* l) : log(l) {}
  HRESULT AVCORE_CALL Init(int32_t, int32_t, const WAVEFORMATEX* f) override {
    log->Add("Transcoder.Init " + std::to_string(f->nSamplesPerSec));
    return S_OK;
  }
  HRESULT AVCORE_CALL Uninit() override { return S_OK; }
  HRESULT AVCORE_CALL Transcode(const void* packet, int32_t length) override {
    const auto* p = static_cast<const uint8_t*>(packet);
    last.assign(p, p + 6);
    uint32_t word = 0;
    for (int i = 0; i < 4; ++i) word |= static_cast<uint32_t>(p[2 + i]) << (8 * i);
    word = (word & ~0x07FFFFFFu) | (((word & 0x07FFFFFFu) + 1000) & 0x07FFFFFFu);
    for (int i = 0; i < 4; ++i) last[2 + i] = static_cast<uint8_t>(word >> (8 * i));
    last.resize(6 + static_cast<size_t>(pcmBytes), 0x11);
    (void)length;
    return S_OK;
  }
  int32_t AVCORE_CALL GetOutput(void* buffer, int32_t capacity) override {
    const int32_t n = static_cast<int32_t>(last.size());
    if (n > capacity) return 0;
    memcpy(buffer, last.data(), last.size());
    return n;
  }
};

// Pitch processor: frames of `frameSize` bytes, each giving `outputBytes` of output.
struct Processor : Counted<avcore::IAudioProcessor> {
  CallLog* log;
  int32_t frameSize = 960;
  int32_t outputBytes = 320;
  std::atomic<int> processed{0};
  // Run inside each Process call, on the stream's worker.
  std::function<void()> onProcess;
  explicit Processor(CallLog* l) : log(l) {}
  HRESULT AVCORE_CALL Init(const avcore::AudioProcessorSetup* setup, int32_t) override {
    log->Add("Processor.Init " + std::to_string(setup->input.nSamplesPerSec));
    return S_OK;
  }
  HRESULT AVCORE_CALL SetParam(int32_t param, const void* value, int32_t) override {
    log->Add("Processor.SetParam " + std::to_string(param) + " " + std::to_string(*static_cast<const int32_t*>(value)));
    return S_OK;
  }
  int32_t AVCORE_CALL GetFrameSize() override { return frameSize; }
  HRESULT AVCORE_CALL GetParam(int32_t, void*, int32_t) override { return S_OK; }
  HRESULT AVCORE_CALL Process(avcore::AudioProcessBuffer* io) override {
    ++processed;
    if (onProcess) onProcess();
    io->output_length = outputBytes;
    return S_OK;
  }
};

struct SysSound : Counted<avcore::ISysSoundSource> {
  CallLog* log;
  HRESULT start = S_OK;
  explicit SysSound(CallLog* l) : log(l) {}
  HRESULT AVCORE_CALL Start(avcore::IAvNet* net, avcore::IAudioDevice* device, avcore::IAecProcessor* aec, int32_t,
                            const char* id) override {
    log->Add(std::string("SysSound.Start ") + (net && device && aec ? "wired " : "missing ") + S(id));
    return start;
  }
  HRESULT AVCORE_CALL Stop() override {
    kiv_test::ExpectNoLockHeld("ISysSoundSource::Stop");
    log->Add("SysSound.Stop");
    return S_OK;
  }
};

struct Aec : Counted<avcore::IAecProcessor> {
  HRESULT AVCORE_CALL Init(const WAVEFORMATEX*, const WAVEFORMATEX*) override { return S_OK; }
  HRESULT AVCORE_CALL Process(const void*, const void*, void*, int32_t) override { return S_OK; }
  HRESULT AVCORE_CALL Reset() override { return S_OK; }
};

// Lists "Mic" and, once added, the audio plug-ins by name.
struct DevManager : Counted<avcore::IAVDevManager> {
  CallLog* log;
  std::vector<std::pair<avcore::IAVPlugin*, std::wstring>> plugins;
  HRESULT addPlugin = S_OK;
  explicit DevManager(CallLog* l) : log(l) {}
  HRESULT AVCORE_CALL SetupRtspVideoPlugins(int32_t) override { return S_OK; }
  int32_t AVCORE_CALL AddVideoPlugin(const char*, const char*, int32_t) override { return -1; }
  HRESULT AVCORE_CALL RemoveVideoPlugin(int32_t) override { return S_OK; }
  HRESULT AVCORE_CALL AddAudioPlugin(avcore::IAVPlugin* plugin, const wchar_t* name) override {
    log->Add("AddAudioPlugin");
    if (addPlugin >= 0) plugins.emplace_back(plugin, name);
    return addPlugin;
  }
  HRESULT AVCORE_CALL RemoveAudioPlugin(avcore::IAVPlugin* plugin) override {
    log->Add("RemoveAudioPlugin");
    for (auto it = plugins.begin(); it != plugins.end(); ++it) {
      if (it->first == plugin) {
        plugins.erase(it);
        break;
      }
    }
    return S_OK;
  }
  int32_t AVCORE_CALL GetAudioCaptureDeviceCount() override { return 1 + static_cast<int32_t>(plugins.size()); }
  HRESULT AVCORE_CALL GetAudioCaptureDeviceInfo(int32_t i, wchar_t* name, int32_t n) override {
    if (i == 0)
      lstrcpynW(name, L"Mic", n);
    else if (i <= static_cast<int32_t>(plugins.size()))
      lstrcpynW(name, plugins[i - 1].second.c_str(), n);
    else
      return E_INVALIDARG;
    return S_OK;
  }
};

// Creates the camera, the record sink, the transcoder, the processor, the system-sound parts
// and the second audio device (each shared).
struct Root : Counted<avcore::IBaseCore> {
  SysSound* sysSound = nullptr;
  Aec* aec = nullptr;
  IUnknown* secondAudio = nullptr;
  Processor* processor = nullptr;
  Camera* camera = nullptr;
  RecordSink* sink = nullptr;
  Transcoder* transcoder = nullptr;
  std::function<void()> onCreateComponent;  // runs inside each creation
  HRESULT AVCORE_CALL CreateComponent(REFCLSID cls, REFIID, IUnknown*, void** out) override {
    if (onCreateComponent) onCreateComponent();
    *out = nullptr;
    IUnknown* made = nullptr;
    if (cls == avcore::CLSID_VideoDevice) made = camera;
    if (cls == avcore::CLSID_VideoRecordSink) made = sink;
    if (cls == avcore::CLSID_AudioTranscoder) made = transcoder;
    if (cls == avcore::CLSID_AudioProcessor) made = processor;
    if (cls == avcore::CLSID_SysSoundSource) made = sysSound;
    if (cls == avcore::CLSID_AecProcessor) made = aec;
    if (cls == avcore::CLSID_AudioDevice) made = secondAudio;
    if (!made) return REGDB_E_CLASSNOTREG;
    made->AddRef();
    *out = made;
    return S_OK;
  }
};

struct Audio : kiv_fake::AudioDevice {
  CallLog* log;
  int32_t nextStream = 11;
  HRESULT addEncodedSink = S_OK;
  avcore::IAudioDataSink* encodedSink = nullptr;
  int32_t streamLevel = 77;
  explicit Audio(CallLog* l) : log(l) {}
  int32_t AVCORE_CALL CreateAudioStream(int32_t kind, int32_t) override {
    log->Add("CreateAudioStream " + std::to_string(kind) + " -> " + std::to_string(nextStream));
    return nextStream++;
  }
  HRESULT AVCORE_CALL RemoveAudioStream(int32_t id) override {
    kiv_test::ExpectNoLockHeld("IAudioDevice::RemoveAudioStream");
    log->Add("RemoveAudioStream " + std::to_string(id));
    return S_OK;
  }
  HRESULT AVCORE_CALL AddRemoteEncodedDataSink(int32_t id, avcore::IAudioDataSink* sink, void*) override {
    log->Add("AddRemoteEncodedDataSink " + std::to_string(id));
    if (addEncodedSink >= 0) encodedSink = sink;
    return addEncodedSink;
  }
  HRESULT AVCORE_CALL RemoveRemoteEncodedDataSink(avcore::IAudioDataSink*) override {
    kiv_test::ExpectNoLockHeld("IAudioDevice::RemoveRemoteEncodedDataSink");
    log->Add("RemoveRemoteEncodedDataSink");
    encodedSink = nullptr;
    return S_OK;
  }
  HRESULT AVCORE_CALL GetStreamInfo(int32_t, int32_t* level, int32_t* b, int32_t* c) override {
    *level = streamLevel;
    *b = 1;
    *c = 2;
    return S_OK;
  }
};

// Keeps every business message sent, as JSON text.
struct Connection : kiv_fake::Connection {
  std::vector<std::string> sent;
  HRESULT sendResult = S_OK;
  avcore::IKivBusinessBase* business = nullptr;
  HRESULT AVCORE_CALL Login(const char*, avcore::IKivHttpClient*, const char*, const char*, const char*, const char*,
                            const char*, const char*, const char*, int32_t, int32_t) override {
    return S_OK;
  }
  HRESULT AVCORE_CALL AddBusiness(avcore::IKivBusinessBase* b) override {
    business = b;
    return S_OK;
  }
  HRESULT AVCORE_CALL SendBusinessCmd(const rapidjson::Value& command) override {
    kiv_test::ExpectNoLockHeld("IKivConnection::SendBusinessCmd");
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    command.Accept(writer);
    sent.push_back(buffer.GetString());
    return sendResult;
  }
};

// Everything wired together; Install puts it into the core environment.
struct Media {
  CallLog log;
  Net net{&log};
  Renders renders{&log, "Render", 100};
  Renders previews{&log, "Preview", 1};
  RecordSink sink{&log};
  Camera camera{&log, &previews};
  Transcoder transcoder{&log};
  Processor processor{&log};
  SysSound sysSound{&log};
  Aec aec;
  DevManager devices{&log};
  Root root;
  Audio audio{&log};
  Audio customAudio{&log};
  Connection connection;
  kiv_fake::LogSink logs;

  Media() {
    root.camera = &camera;
    root.sink = &sink;
    root.transcoder = &transcoder;
    root.processor = &processor;
    root.sysSound = &sysSound;
    root.aec = &aec;
    root.secondAudio = static_cast<avcore::IAudioDevice*>(&customAudio);
    connection.status = avcore::CPSTATUS_LOGINED;
  }
  ~Media() { Uninstall(); }
  void Install(kiv_core::CoreEnv* env) {
    env->m_basecore.Attach(&root);
    env->m_audiodevice.Attach(&audio);
    env->m_connection.Attach(&connection);
    env->m_avnet.Attach(&net);
    env->m_video_rendermanager.Attach(&renders);
    env->m_devmanager.Attach(&devices);
    env->m_baseCoreInited = true;
    kiv_core::CoreLogger().manager = &logs;
    kiv_core::CoreLogger().handle = 1;
  }
  void Uninstall() {
    if (kiv_core::CoreLogger().manager == &logs) {
      kiv_core::CoreLogger().manager = nullptr;
      kiv_core::CoreLogger().handle = 0;
    }
  }
};

}  // namespace kiv_media_fake
