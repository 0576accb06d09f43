#include "stress/stress_framework.h"

#include <cstring>

#include "core/control/kiv_cp_client.h"
#include "core/core_engine.h"
#include "core/devices/device_manager.h"
#include "core/env/core_env.h"

namespace kiv_stress {

namespace {

std::string Text(const char* text) { return text ? text : ""; }
std::string Pointer(const void* p) { return std::to_string(reinterpret_cast<uintptr_t>(p)); }

constexpr int kFrameBytes = 960;  // 10 ms, 48 kHz mono 16-bit
constexpr int kVideoSide = 16;

// A decoded 20 ms packet as the remote audio's sink takes it (header, then payload).
std::vector<uint8_t> EncodedPacket(uint32_t tick) {
  std::vector<uint8_t> packet(7, 0);
  packet[0] = static_cast<uint8_t>(1 | (1 << 6));
  const uint32_t word = ((tick * 20u) & 0x07FFFFFFu) | (1u << 27);
  for (int i = 0; i < 4; ++i) packet[2 + i] = static_cast<uint8_t>(word >> (8 * i));
  return packet;
}

avcore::VideoFrame I420Frame(const std::vector<uint8_t>& pixels, uint32_t tick) {
  avcore::VideoFrame frame{};
  frame.width = kVideoSide;
  frame.height = kVideoSide;
  frame.fourcc = 0x30323449;
  frame.stride = kVideoSide;
  frame.timestamp = static_cast<int32_t>(tick);
  frame.data = pixels.data();
  frame.length = static_cast<int32_t>(pixels.size());
  return frame;
}

HRESULT Level(int32_t value, int32_t* a, int32_t* b, int32_t* c) {
  if (a) *a = value;
  if (b) *b = 0;
  if (c) *c = 100;
  return S_OK;
}

HRESULT Name(int32_t count, int32_t index, wchar_t* out, int32_t capacity, const wchar_t* name) {
  if (index < 0 || index >= count || !out || capacity < 1) return E_INVALIDARG;
  lstrcpynW(out, name, capacity);
  return S_OK;
}

}  // namespace

// ---- audio device

FakeAudioDevice::FakeAudioDevice() = default;

void FakeAudioDevice::Pump(uint32_t tick) {
  std::vector<uint8_t> pcm(kFrameBytes, static_cast<uint8_t>(tick));
  const std::vector<uint8_t> packet = EncodedPacket(tick);
  for (const std::string& key : sinks.Keys()) {
    const bool remote = key.compare(0, 7, "remote ") == 0;
    if (key.compare(0, 8, "capture ") == 0 && !m_capturing) continue;
    if ((key.compare(0, 9, "playback ") == 0 || key.compare(0, 4, "mix ") == 0) && !m_playing) continue;
    sinks.Deliver(key, [&](Sink& s) {
      if (remote) {
        (void)s.sink->OnAudioData(packet.data(), static_cast<int32_t>(packet.size()), s.context);
      } else {
        (void)s.sink->OnAudioData(pcm.data(), kFrameBytes, s.context);
      }
    });
  }
}

HRESULT FakeAudioDevice::Open() {
  FakeCalled("IAudioDevice::Open");
  return S_OK;
}
HRESULT FakeAudioDevice::Close() {
  FakeCalled("IAudioDevice::Close");
  return S_OK;
}
HRESULT FakeAudioDevice::StartCapture(int32_t) {
  FakeCalled("IAudioDevice::StartCapture");
  m_capturing = true;
  return S_OK;
}
HRESULT FakeAudioDevice::StopCapture() {
  WaitingCall("IAudioDevice::StopCapture");
  m_capturing = false;
  Quiesce({"capture "}, "IAudioDevice::StopCapture");
  return S_OK;
}
HRESULT FakeAudioDevice::StartPlay(int32_t) {
  FakeCalled("IAudioDevice::StartPlay");
  m_playing = true;
  return S_OK;
}
HRESULT FakeAudioDevice::StopPlay() {
  WaitingCall("IAudioDevice::StopPlay");
  m_playing = false;
  Quiesce({"playback ", "mix "}, "IAudioDevice::StopPlay");
  return S_OK;
}
HRESULT FakeAudioDevice::GetParam(int32_t, void*, int32_t) {
  FakeCalled("IAudioDevice::GetParam");
  return E_NOTIMPL;
}
HRESULT FakeAudioDevice::SetParam(int32_t, const void*, int32_t) {
  FakeCalled("IAudioDevice::SetParam");
  return S_OK;
}
HRESULT FakeAudioDevice::GetAudioFormat(WAVEFORMATEX* format) {
  FakeCalled("IAudioDevice::GetAudioFormat");
  if (!format) return E_POINTER;
  *format = WAVEFORMATEX{WAVE_FORMAT_PCM, 1, 48000, 96000, 2, 16, 0};
  return S_OK;
}
HRESULT FakeAudioDevice::GetCaptureFormat(WAVEFORMATEX* format) { return GetAudioFormat(format); }

void FakeAudioDevice::Quiesce(std::initializer_list<const char*> prefixes, const char* call) {
  for (const std::string& key : sinks.Keys()) {
    for (const char* prefix : prefixes) {
      Sink sink;
      if (key.compare(0, strlen(prefix), prefix) == 0 && sinks.Get(key, &sink)) sinks.Replace(key, sink, call);
    }
  }
}

HRESULT FakeAudioDevice::AddSink(const char* call, const std::string& key, avcore::IAudioDataSink* sink,
                                 void* context) {
  FakeCalled(call);
  if (!sink) return E_POINTER;
  sinks.Replace(key, Sink{sink, context}, call);
  return S_OK;
}
HRESULT FakeAudioDevice::RemoveSink(const char* call, const std::string& key) {
  WaitingCall(call);
  (void)sinks.Remove(key, call);
  return S_OK;
}
HRESULT FakeAudioDevice::AddCapProcessedDataSink(avcore::IAudioDataSink* s, void* c) {
  return AddSink("IAudioDevice::AddCapProcessedDataSink", "capture " + Pointer(s), s, c);
}
HRESULT FakeAudioDevice::RemoveCapProcessedDataSink(avcore::IAudioDataSink* s) {
  return RemoveSink("IAudioDevice::RemoveCapProcessedDataSink", "capture " + Pointer(s));
}
HRESULT FakeAudioDevice::AddPlayDataSink(avcore::IAudioDataSink* s, void* c) {
  return AddSink("IAudioDevice::AddPlayDataSink", "playback " + Pointer(s), s, c);
}
HRESULT FakeAudioDevice::RemovePlayDataSink(avcore::IAudioDataSink* s) {
  return RemoveSink("IAudioDevice::RemovePlayDataSink", "playback " + Pointer(s));
}
HRESULT FakeAudioDevice::AddMixDataSink(avcore::IAudioDataSink* s, void* c) {
  return AddSink("IAudioDevice::AddMixDataSink", "mix " + Pointer(s), s, c);
}
HRESULT FakeAudioDevice::RemoveMixDataSink(avcore::IAudioDataSink* s) {
  return RemoveSink("IAudioDevice::RemoveMixDataSink", "mix " + Pointer(s));
}
int32_t FakeAudioDevice::CreateAudioStream(int32_t, int32_t) {
  FakeCalled("IAudioDevice::CreateAudioStream");
  return m_nextStream++;
}
HRESULT FakeAudioDevice::RemoveAudioStream(int32_t) {
  WaitingCall("IAudioDevice::RemoveAudioStream");
  return S_OK;
}
HRESULT FakeAudioDevice::AddRemoteEncodedDataSink(int32_t, avcore::IAudioDataSink* sink, void* context) {
  return AddSink("IAudioDevice::AddRemoteEncodedDataSink", "remote " + Pointer(sink), sink, context);
}
HRESULT FakeAudioDevice::RemoveRemoteEncodedDataSink(avcore::IAudioDataSink* sink) {
  return RemoveSink("IAudioDevice::RemoveRemoteEncodedDataSink", "remote " + Pointer(sink));
}
HRESULT FakeAudioDevice::GetStreamInfo(int32_t, int32_t* level, int32_t* b, int32_t* c) {
  FakeCalled("IAudioDevice::GetStreamInfo");
  return Level(77, level, b, c);
}
int32_t FakeAudioDevice::GetCaptureDeviceCount() {
  FakeCalled("IAudioDevice::GetCaptureDeviceCount");
  return 1;
}
HRESULT FakeAudioDevice::GetCaptureDeviceName(int32_t i, wchar_t* out, int32_t n) {
  FakeCalled("IAudioDevice::GetCaptureDeviceName");
  return Name(1, i, out, n, L"Mic");
}
int32_t FakeAudioDevice::GetPlayDeviceCount() {
  FakeCalled("IAudioDevice::GetPlayDeviceCount");
  return 1;
}
HRESULT FakeAudioDevice::GetPlayDeviceName(int32_t i, wchar_t* out, int32_t n) {
  FakeCalled("IAudioDevice::GetPlayDeviceName");
  return Name(1, i, out, n, L"Speaker");
}
HRESULT FakeAudioDevice::GetSpeakerVolume(int32_t* a, int32_t* b, int32_t* c) {
  FakeCalled("IAudioDevice::GetSpeakerVolume");
  return Level(m_speakerVolume, a, b, c);
}
HRESULT FakeAudioDevice::SetSpeakerVolume(int32_t v) {
  FakeCalled("IAudioDevice::SetSpeakerVolume");
  m_speakerVolume = v;
  return S_OK;
}
HRESULT FakeAudioDevice::GetMicrophoneVolume(int32_t* a, int32_t* b, int32_t* c) {
  FakeCalled("IAudioDevice::GetMicrophoneVolume");
  return Level(m_micVolume, a, b, c);
}
HRESULT FakeAudioDevice::SetMicrophoneVolume(int32_t v) {
  FakeCalled("IAudioDevice::SetMicrophoneVolume");
  m_micVolume = v;
  return S_OK;
}
HRESULT FakeAudioDevice::GetSpeakerSwitch(int32_t* on) {
  FakeCalled("IAudioDevice::GetSpeakerSwitch");
  if (on) *on = m_speakerOn;
  return S_OK;
}
HRESULT FakeAudioDevice::SetSpeakerSwitch(uint8_t on) {
  FakeCalled("IAudioDevice::SetSpeakerSwitch");
  m_speakerOn = on;
  return S_OK;
}
HRESULT FakeAudioDevice::GetMicrophoneSwitch(int32_t* on) {
  FakeCalled("IAudioDevice::GetMicrophoneSwitch");
  if (on) *on = m_micOn;
  return S_OK;
}
HRESULT FakeAudioDevice::SetMicrophoneSwitch(uint8_t on) {
  FakeCalled("IAudioDevice::SetMicrophoneSwitch");
  m_micOn = on;
  return S_OK;
}
HRESULT FakeAudioDevice::GetSpeakerEnergy(int32_t* a, int32_t* b, int32_t* c) {
  FakeCalled("IAudioDevice::GetSpeakerEnergy");
  return Level(10, a, b, c);
}
HRESULT FakeAudioDevice::GetMicrophoneEnergy(int32_t* a, int32_t* b, int32_t* c) {
  FakeCalled("IAudioDevice::GetMicrophoneEnergy");
  return Level(10, a, b, c);
}

// ---- render managers

FakeRenders::FakeRenders(const char* name) : events(name), raw(name) {}

void FakeRenders::Pump(uint32_t tick) {
  std::vector<uint8_t> pixels(kVideoSide * kVideoSide * 3 / 2, static_cast<uint8_t>(tick));
  const avcore::VideoFrame frame = I420Frame(pixels, tick);
  raw.DeliverAll([&](const std::string&, Raw& r) {
    if (r.frame) (void)r.frame(r.context, &frame);
  });
  for (const std::string& key : events.Keys()) {
    const bool delivered = events.Deliver(key, [&](avcore::EventRecord& record) {
      (void)record.proc(0, avcore::kRenderEventFirstFrame, 0, 0, record.context);
    });
    if (delivered) (void)events.Remove(key, "first frame");
  }
}

HRESULT FakeRenders::AddRender(HWND, const avcore::EventRecord* record, avcore::RenderId* id) {
  FakeCalled("IVideoRenderManager::AddRender");
  if (!id) return E_POINTER;
  *id = m_nextId++;
  if (record && record->proc) events.Add(std::to_string(*id), *record);
  return S_OK;
}
HRESULT FakeRenders::RemoveRender(avcore::RenderId id) {
  WaitingCall("IVideoRenderManager::RemoveRender");
  (void)raw.Remove(std::to_string(id), "IVideoRenderManager::RemoveRender");
  (void)events.Remove(std::to_string(id), "IVideoRenderManager::RemoveRender");
  return S_OK;
}
HRESULT FakeRenders::SetRenderMode(avcore::RenderId, int32_t) {
  FakeCalled("IVideoRenderManager::SetRenderMode");
  return S_OK;
}
HRESULT FakeRenders::SetRenderWindow(avcore::RenderId, HWND) {
  FakeCalled("IVideoRenderManager::SetRenderWindow");
  return S_OK;
}
HRESULT FakeRenders::SetRawDataCallback(avcore::RenderId id, void* context, avcore::RenderFrameCallback frame,
                                        avcore::RenderValueCallback value) {
  WaitingCall("IVideoRenderManager::SetRawDataCallback");
  if (frame || value) {
    raw.Replace(std::to_string(id), Raw{context, frame, value}, "IVideoRenderManager::SetRawDataCallback");
  } else {
    (void)raw.Remove(std::to_string(id), "IVideoRenderManager::SetRawDataCallback");
  }
  return S_OK;
}
HRESULT FakeRenders::PushFrame(avcore::RenderId, const avcore::VideoFrame*) {
  FakeCalled("IVideoRenderManager::PushFrame");
  return S_OK;
}
HRESULT FakeRenders::NotifyRender(avcore::RenderId, int32_t) {
  FakeCalled("IVideoRenderManager::NotifyRender");
  return S_OK;
}
HRESULT FakeRenders::GetRenderStats(avcore::RenderId, avcore::RenderStats* stats) {
  FakeCalled("IVideoRenderManager::GetRenderStats");
  if (!stats) return E_POINTER;
  *stats = avcore::RenderStats{15, 250000, 0, kVideoSide, kVideoSide, 40};
  return S_OK;
}

// ---- cameras

void FakeCamera::Pump(uint32_t tick) {
  if (!m_capturing) return;
  std::vector<uint8_t> pixels(kVideoSide * kVideoSide * 3 / 2, static_cast<uint8_t>(tick));
  const avcore::VideoFrame frame = I420Frame(pixels, tick);
  callback.DeliverAll([&](const std::string&, Callback& c) { (void)c.callback(c.context, &frame); });
}

HRESULT FakeCamera::QueryInterface(REFIID iid, void** out) {
  FakeCalled("IVideoDevice::QueryInterface");
  if (!out) return E_POINTER;
  if (iid == avcore::IID_IVideoRenderManager) {
    m_previews->AddRef();
    *out = static_cast<avcore::IVideoRenderManager*>(m_previews);
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}
int32_t FakeCamera::EnumDevices(avcore::VideoDeviceEntry* entries, int32_t capacity) {
  FakeCalled("IVideoDevice::EnumDevices");
  int32_t n = 0;
  for (int32_t i = 0; i < 2 && n < capacity; ++i, ++n) {
    entries[n].id = i;
    lstrcpynW(entries[n].name, i == 0 ? L"Cam A" : L"Cam B", 512);
  }
  return n;
}
HRESULT FakeCamera::ReEnumerate() {
  FakeCalled("IVideoDevice::ReEnumerate");
  return S_OK;
}
HRESULT FakeCamera::GetDeviceName(int32_t index, wchar_t* name, int32_t capacity) {
  FakeCalled("IVideoDevice::GetDeviceName");
  return Name(2, index, name, capacity, index == 0 ? L"Cam A" : L"Cam B");
}
HRESULT FakeCamera::GetParam(avcore::VideoCaptureParam* param) {
  FakeCalled("IVideoDevice::GetParam");
  if (!param) return E_POINTER;
  std::lock_guard<std::mutex> guard(m_mutex);
  *param = m_param;
  return S_OK;
}
HRESULT FakeCamera::SetParam(const avcore::VideoCaptureParam* param) {
  FakeCalled("IVideoDevice::SetParam");
  if (!param) return E_POINTER;
  std::lock_guard<std::mutex> guard(m_mutex);
  m_param = *param;
  return S_OK;
}
HRESULT FakeCamera::StartCapture(const avcore::VideoCaptureParam* param) {
  FakeCalled("IVideoDevice::StartCapture");
  if (param) {
    std::lock_guard<std::mutex> guard(m_mutex);
    m_param = *param;
  }
  m_capturing = true;
  return S_OK;
}
HRESULT FakeCamera::StopCapture() {
  WaitingCall("IVideoDevice::StopCapture");
  m_capturing = false;
  Callback current;
  if (callback.Get("raw", &current)) callback.Replace("raw", current, "IVideoDevice::StopCapture");
  return S_OK;
}
HRESULT FakeCamera::SetRawDataCallback(void* context, avcore::VideoFrameCallback fn) {
  WaitingCall("IVideoDevice::SetRawDataCallback");
  if (fn) {
    callback.Replace("raw", Callback{context, fn}, "IVideoDevice::SetRawDataCallback");
  } else {
    (void)callback.Remove("raw", "IVideoDevice::SetRawDataCallback");
  }
  return S_OK;
}

// ---- transcoder

HRESULT FakeTranscoder::Init(int32_t, int32_t, const WAVEFORMATEX*) {
  FakeCalled("IAudioTranscoder::Init");
  return S_OK;
}
HRESULT FakeTranscoder::Uninit() {
  FakeCalled("IAudioTranscoder::Uninit");
  return S_OK;
}
HRESULT FakeTranscoder::Transcode(const void* packet, int32_t length) {
  FakeCalled("IAudioTranscoder::Transcode");
  if (!packet || length < 6) return E_INVALIDARG;
  const auto* p = static_cast<const uint8_t*>(packet);
  std::lock_guard<std::mutex> guard(m_mutex);
  m_last.assign(p, p + 6);
  uint32_t word = 0;
  for (int i = 0; i < 4; ++i) word |= static_cast<uint32_t>(p[2 + i]) << (8 * i);
  word = (word & ~0x07FFFFFFu) | (((word & 0x07FFFFFFu) + 1000) & 0x07FFFFFFu);
  for (int i = 0; i < 4; ++i) m_last[2 + i] = static_cast<uint8_t>(word >> (8 * i));
  m_last.resize(6 + 640, 0x11);
  return S_OK;
}
int32_t FakeTranscoder::GetOutput(void* buffer, int32_t capacity) {
  FakeCalled("IAudioTranscoder::GetOutput");
  std::lock_guard<std::mutex> guard(m_mutex);
  const int32_t n = static_cast<int32_t>(m_last.size());
  if (!buffer || n > capacity) return 0;
  memcpy(buffer, m_last.data(), m_last.size());
  return n;
}

// ---- media network

void FakeNet::Pump(uint32_t tick) {
  const std::string payload = (tick % 3 == 0) ? std::string("{}") : std::string("\x01\x02garbage", 9);
  boards.DeliverAll([&](const std::string&, Board& board) {
    if (!board.attached->exchange(true)) (void)board.receiver->AttachSender(&m_sender);
    (void)board.receiver->OnTspData(payload.data(), static_cast<int32_t>(payload.size()));
  });
}

HRESULT FakeNet::Initialize(avcore::IKivConnection*, avcore::IAudioDevice*, avcore::IVideoRenderManager*,
                            avcore::IVncRenderManager*, int32_t) {
  FakeCalled("IAvNet::Initialize");
  return S_OK;
}
HRESULT FakeNet::AddSource(int32_t, const char*, IUnknown*) {
  FakeCalled("IAvNet::AddSource");
  return S_OK;
}
HRESULT FakeNet::AddScreenSource(int32_t, const char*, avcore::IVncHost*, int32_t) {
  FakeCalled("IAvNet::AddScreenSource");
  return E_NOTIMPL;
}
HRESULT FakeNet::RemoveSource(int32_t, const char*) {
  WaitingCall("IAvNet::RemoveSource");
  return S_OK;
}
HRESULT FakeNet::SetSourceParam(int32_t, const char*, uint8_t) {
  FakeCalled("IAvNet::SetSourceParam");
  return S_OK;
}
HRESULT FakeNet::StartRecvMedia(const char*, int32_t, const char*, uint32_t) {
  FakeCalled("IAvNet::StartRecvMedia");
  return S_OK;
}
HRESULT FakeNet::StartRecvMedia2(const char*, int32_t, const char*, avcore::RenderId, int32_t) {
  FakeCalled("IAvNet::StartRecvMedia2");
  return E_NOTIMPL;
}
HRESULT FakeNet::StopRecvMedia(const char*, int32_t type, const char* id) {
  WaitingCall("IAvNet::StopRecvMedia");
  if (type == avcore::kMediaBoard) (void)boards.Remove(Text(id), "IAvNet::StopRecvMedia");
  return S_OK;
}
HRESULT FakeNet::SubscribeTspd(const char*, uint8_t, const char* media, const char*, avcore::ITspDataReceiver* receiver,
                               int32_t) {
  FakeCalled("IAvNet::SubscribeTspd");
  if (!receiver) return E_POINTER;
  boards.Replace(Text(media), Board{receiver, std::make_shared<std::atomic<bool>>(false)}, "IAvNet::SubscribeTspd");
  return S_OK;
}
HRESULT FakeNet::Sender::SendData(const void*, int32_t length, int32_t) {
  FakeCalled("ITspdSender::SendData");
  bytes += static_cast<uint64_t>(length > 0 ? length : 0);
  return S_OK;
}

// ---- businesses

HRESULT FakeOnline::SetListener(avcore::IKivOnlineListener* l) {
  FakeCalled("IKivOnline::SetListener");
  if (l) listener.Replace("listener", l, "IKivOnline::SetListener");
  return S_OK;
}
HRESULT FakeOnline::RemoveListener(avcore::IKivOnlineListener*) {
  WaitingCall("IKivOnline::RemoveListener");
  (void)listener.Remove("listener", "IKivOnline::RemoveListener");
  return S_OK;
}
HRESULT FakeOnline::RefreshAllUserStatus(uint32_t* requestId) {
  FakeCalled("IKivOnline::RefreshAllUserStatus");
  if (requestId) *requestId = m_nextRequest++;
  return S_OK;
}
HRESULT FakeOnline::RefreshUserStatus(const avcore::FwVector<avcore::FwString>*, uint32_t* requestId) {
  FakeCalled("IKivOnline::RefreshUserStatus");
  if (requestId) *requestId = m_nextRequest++;
  return S_OK;
}
HRESULT FakeOnline::InviteUsers(const avcore::FwVector<avcore::FwString>*,
                                const avcore::FwVector<avcore::FwStringPair>*, const char*, const char*,
                                uint32_t* requestId) {
  FakeCalled("IKivOnline::InviteUsers");
  if (requestId) *requestId = m_nextRequest++;
  return S_OK;
}
HRESULT FakeOnline::AcceptInvite(const char*, int32_t, const char*) {
  FakeCalled("IKivOnline::AcceptInvite");
  return S_OK;
}
HRESULT FakeOnline::RefuseInvite(const char*, int32_t, const char*) {
  FakeCalled("IKivOnline::RefuseInvite");
  return S_OK;
}

HRESULT FakeTMsg::SetListener(avcore::IKivTMsgListener* l) {
  FakeCalled("IKivTMsg::SetListener");
  if (l) listener.Replace("listener", l, "IKivTMsg::SetListener");
  return S_OK;
}
HRESULT FakeTMsg::RemoveListener(avcore::IKivTMsgListener*) {
  WaitingCall("IKivTMsg::RemoveListener");
  (void)listener.Remove("listener", "IKivTMsg::RemoveListener");
  return S_OK;
}
HRESULT FakeTMsg::SendUserMsg(const char*, const char*, uint32_t* id) {
  FakeCalled("IKivTMsg::SendUserMsg");
  if (id) *id = 1;
  return S_OK;
}
HRESULT FakeTMsg::SendGroupMsg(const char*, uint32_t* id) {
  FakeCalled("IKivTMsg::SendGroupMsg");
  if (id) *id = 2;
  return S_OK;
}
HRESULT FakeTMsg::SendUsersMsg(const avcore::FwVector<avcore::FwString>*, const char*, uint32_t* id) {
  FakeCalled("IKivTMsg::SendUsersMsg");
  if (id) *id = 3;
  return S_OK;
}
HRESULT FakeTMsg::SendUsersMsgEx(const avcore::FwVector<avcore::FwString>*, const char*, uint32_t* id) {
  FakeCalled("IKivTMsg::SendUsersMsgEx");
  if (id) *id = 4;
  return S_OK;
}

// ---- connection

void FakeConnection::Queue(std::function<void()> event) {
  std::lock_guard<std::mutex> guard(m_mutex);
  m_events.push_back(std::move(event));
}

void FakeConnection::ToListener(const std::function<void(avcore::IKivConnectionListener*)>& event) {
  listener.Deliver("listener", [&](avcore::IKivConnectionListener*& l) { event(l); });
}

void FakeConnection::LoseLink() {
  Queue([this] {
    if (m_status.load() < avcore::CPSTATUS_LOGINED) return;
    m_status = avcore::CPSTATUS_CONNECTED;
    ToListener([](avcore::IKivConnectionListener* l) { (void)l->OnReconnectStart(); });
  });
}

void FakeConnection::RegainLink() {
  Queue([this] {
    int32_t reconnecting = avcore::CPSTATUS_CONNECTED;
    if (!m_status.compare_exchange_strong(reconnecting, avcore::CPSTATUS_LOGINED)) return;
    ToListener([](avcore::IKivConnectionListener* l) { l->OnReconnectSucess(); });
  });
}

void FakeConnection::MediaList(std::mt19937& random) {
  avcore::FwVector<avcore::FwString> users;
  avcore::FwVector<avcore::GroupMediaEntry> media;
  for (const char* user : {"ua", "ub"}) {
    if (random() % 4 == 0) continue;
    users.push_back(avcore::FwString(user));
    if (random() % 3 != 0) media.push_back({user, avcore::kMediaAudio, "appdef_mic", "mic", user});
    if (random() % 3 != 0) media.push_back({user, avcore::kMediaVideo, "v1", "camera", user});
  }
  if (random() % 2 == 0) media.push_back({"ua", avcore::kMediaBoard, "wb-1", "plan", "ua"});
  ToListener([&](avcore::IKivConnectionListener* l) { l->OnGroupMediaList(&users, &media, "room"); });
}

void FakeConnection::Quiet() {
  std::lock_guard<std::mutex> guard(m_pumpMutex);
  m_quiet = true;
}

void FakeConnection::Pump(std::mt19937& random) {
  std::lock_guard<std::mutex> pumping(m_pumpMutex);
  if (m_quiet) return;
  std::deque<std::function<void()>> events;
  {
    std::lock_guard<std::mutex> guard(m_mutex);
    events.swap(m_events);
  }
  for (auto& event : events) event();
  if (m_status.load() < avcore::CPSTATUS_LOGINED) return;
  switch (random() % 8) {
    case 0:
      if (m_inGroup && announceMedia) MediaList(random);
      break;
    case 1:
      if (m_inGroup) ToListener([&](avcore::IKivConnectionListener* l) { l->OnRemoteUserJoined("ua"); });
      break;
    case 2:
      if (m_inGroup) ToListener([&](avcore::IKivConnectionListener* l) { l->OnRemoteUserLeft("ub"); });
      break;
    case 3:
      m_online->listener.Deliver("listener",
                                 [](avcore::IKivOnlineListener*& l) { l->OnInviteCome("ua", 7, "room", "join us"); });
      break;
    case 4:
      m_tmsg->listener.Deliver("listener", [](avcore::IKivTMsgListener*& l) { l->OnUserMessage("ua", 9, "hi"); });
      break;
    default:
      break;
  }
}

HRESULT FakeConnection::SetListener(avcore::IKivConnectionListener* l) {
  FakeCalled("IKivConnection::SetListener");
  if (l) listener.Replace("listener", l, "IKivConnection::SetListener");
  return S_OK;
}
HRESULT FakeConnection::RemoveListener(avcore::IKivConnectionListener*) {
  WaitingCall("IKivConnection::RemoveListener");
  (void)listener.Remove("listener", "IKivConnection::RemoveListener");
  return S_OK;
}
HRESULT FakeConnection::AddBusiness(avcore::IKivBusinessBase* b) {
  FakeCalled("IKivConnection::AddBusiness");
  if (b) businesses.Replace(Pointer(b), b, "IKivConnection::AddBusiness");
  return S_OK;
}
HRESULT FakeConnection::RemoveBusiness(avcore::IKivBusinessBase* b) {
  WaitingCall("IKivConnection::RemoveBusiness");
  (void)businesses.Remove(Pointer(b), "IKivConnection::RemoveBusiness");
  return S_OK;
}
HRESULT FakeConnection::QueryBusiness(REFIID iid, void** out) {
  FakeCalled("IKivConnection::QueryBusiness");
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid == avcore::IID_IKivOnline) {
    m_online->AddRef();
    *out = static_cast<avcore::IKivOnline*>(m_online);
    return S_OK;
  }
  if (iid == avcore::IID_IKivTMsg) {
    m_tmsg->AddRef();
    *out = static_cast<avcore::IKivTMsg*>(m_tmsg);
    return S_OK;
  }
  return E_NOINTERFACE;
}
HRESULT FakeConnection::Login(const char*, avcore::IKivHttpClient*, const char*, const char*, const char*, const char*,
                              const char* userId, const char*, const char*, int32_t, int32_t) {
  FakeCalled("IKivConnection::Login");
  m_status = avcore::CPSTATUS_LOGINED;
  const std::string user = Text(userId);
  Queue([this, user] {
    if (m_status.load() < avcore::CPSTATUS_LOGINED) return;
    ToListener([&](avcore::IKivConnectionListener* l) { l->OnLoginResult(0, user.c_str(), ""); });
  });
  return S_OK;
}
HRESULT FakeConnection::Logout() {
  WaitingCall("IKivConnection::Logout");
  m_status = avcore::CPSTATUS_UNCONNECT;
  m_inGroup = false;
  return S_OK;
}
HRESULT FakeConnection::JoinGroup(const char* groupId) {
  FakeCalled("IKivConnection::JoinGroup");
  if (m_status.load() < avcore::CPSTATUS_LOGINED) return E_FAIL;
  const std::string group = Text(groupId);
  Queue([this, group] {
    if (m_status.load() < avcore::CPSTATUS_LOGINED) return;
    m_inGroup = true;
    ToListener([&](avcore::IKivConnectionListener* l) { l->OnJoinGroupResult(0, group.c_str()); });
  });
  return S_OK;
}
HRESULT FakeConnection::LeaveGroup() {
  WaitingCall("IKivConnection::LeaveGroup");
  m_inGroup = false;
  return S_OK;
}
int32_t FakeConnection::GetStatus() {
  FakeCalled("IKivConnection::GetStatus");
  return m_status;
}
HRESULT FakeConnection::SendBusinessCmd(const rapidjson::Value&) {
  FakeCalled("IKivConnection::SendBusinessCmd");
  return S_OK;
}

// ---- root

HRESULT FakeRoot::CreateComponent(REFCLSID cls, REFIID, IUnknown*, void** out) {
  FakeCalled("IBaseCore::CreateComponent");
  if (!out) return E_POINTER;
  *out = nullptr;
  std::lock_guard<std::mutex> guard(m_mutex);
  if (cls == avcore::CLSID_VideoDevice) {
    m_cameras.push_back(std::make_unique<FakeCamera>(m_previews));
    m_cameras.back()->AddRef();
    *out = static_cast<avcore::IVideoDevice*>(m_cameras.back().get());
    return S_OK;
  }
  if (cls == avcore::CLSID_AudioTranscoder) {
    m_transcoders.push_back(std::make_unique<FakeTranscoder>());
    m_transcoders.back()->AddRef();
    *out = static_cast<avcore::IAudioTranscoder*>(m_transcoders.back().get());
    return S_OK;
  }
  return REGDB_E_CLASSNOTREG;
}

std::vector<FakeCamera*> FakeRoot::Cameras() {
  std::lock_guard<std::mutex> guard(m_mutex);
  std::vector<FakeCamera*> cameras;
  for (auto& camera : m_cameras) cameras.push_back(camera.get());
  return cameras;
}

// ---- the whole framework

StressFramework::StressFramework() = default;

StressFramework::~StressFramework() { Stop(); }

void StressFramework::Install(kiv_core::CoreEngine* core) {
  kiv_core::CoreEnv* env = kiv_core::CoreEnv::Instance();
  // Off the stand-in's connection first, then onto ours.
  core->GetTMsgBusiness()->Uninit();
  core->GetOnlineBusiness()->Uninit();
  core->GetCpClient()->Uninit();
  if (env->m_connection) (void)env->m_connection->RemoveBusiness(core->GetWhiteBoardNet());
  core->GetDeviceManager()->Uninit();

  m_standInRoot = env->m_basecore.Detach();
  m_root.AddRef();
  env->m_basecore.Attach(&m_root);
  m_audio.AddRef();
  env->m_audiodevice.Attach(&m_audio);
  m_renders.AddRef();
  env->m_video_rendermanager.Attach(&m_renders);
  m_connection.AddRef();
  env->m_connection.Attach(&m_connection);
  m_net.AddRef();
  env->m_avnet.Attach(&m_net);

  (void)core->GetDeviceManager()->Init();
  core->GetCpClient()->Init();
  core->GetOnlineBusiness()->Init();
  core->GetTMsgBusiness()->Init();
  (void)m_connection.AddBusiness(core->GetWhiteBoardNet());
}

void StressFramework::RestoreRoot() {
  if (!m_standInRoot) return;
  kiv_core::CoreEnv* env = kiv_core::CoreEnv::Instance();
  if (env) env->m_basecore.Attach(m_standInRoot);
  m_standInRoot = nullptr;
}

void StressFramework::Loop(int index, const char* name, std::function<void(uint32_t)> step, DWORD pauseMs) {
  m_threads.emplace_back([this, index, name, step, pauseMs] {
    Activity::Instance().Enter(name, false);
    for (uint32_t tick = 0; !m_stop.load(); ++tick) {
      step(tick);
      ++m_ticks[index];
      Sleep(pauseMs);  // pacing only: the checks never depend on it
    }
    Activity::Instance().Leave();
  });
}

void StressFramework::Start(uint32_t seed, bool announceMedia) {
  m_stop = false;
  m_connection.announceMedia = announceMedia;
  m_random.seed(seed);
  Loop(
      0, "framework audio", [this](uint32_t tick) { m_audio.Pump(tick); }, 1);
  Loop(
      1, "framework video",
      [this](uint32_t tick) {
        m_renders.Pump(tick);
        m_previews.Pump(tick);
        for (FakeCamera* camera : m_root.Cameras()) camera->Pump(tick);
      },
      2);
  Loop(
      2, "framework boards", [this](uint32_t tick) { m_net.Pump(tick); }, 2);
  Loop(
      3, "framework connection", [this](uint32_t) { m_connection.Pump(m_random); }, 1);
}

void StressFramework::WaitTicks(uint32_t ticks) {
  uint32_t start[kLoops];
  for (int i = 0; i < kLoops; ++i) start[i] = m_ticks[i].load();
  const DWORD begin = GetTickCount();
  for (;;) {
    bool done = true;
    for (int i = 0; i < kLoops; ++i) done = done && m_ticks[i].load() - start[i] >= ticks;
    if (done || m_threads.empty() || GetTickCount() - begin > 10000) return;
    Sleep(1);
  }
}

void StressFramework::Stop() {
  m_stop = true;
  for (std::thread& thread : m_threads) thread.join();
  m_threads.clear();
  if (!EngineReleased().load()) return;
  const char* when = "after the engine's release";
  m_audio.sinks.ReportLeftovers(when);
  m_renders.raw.ReportLeftovers(when);
  m_previews.raw.ReportLeftovers(when);
  m_renders.events.Clear();  // a render removed by the release drops its event too
  m_previews.events.Clear();
  for (FakeCamera* camera : m_root.Cameras()) camera->callback.ReportLeftovers(when);
  m_net.boards.ReportLeftovers(when);
  m_connection.listener.ReportLeftovers(when);
  m_connection.businesses.ReportLeftovers(when);
  m_online.listener.ReportLeftovers(when);
  m_tmsg.listener.ReportLeftovers(when);
}

}  // namespace kiv_stress
