#include "core/streams/remote_audio_stream.h"

#include "avcore/av_net.h"
#include "avcore/ids.h"
#include "core/env/core_env.h"
#include "core/env/log_record.h"
#include "core/frames/remote_audio_packet.h"
#include "kiv_error.h"

namespace kiv_core {

namespace {

constexpr int32_t kOutputCapacity = 4096;

avcore::IAudioDevice* AudioDevice() {
  CoreEnv* env = CoreEnv::Instance();
  return env ? env->m_audiodevice.get() : nullptr;
}

avcore::IAvNet* Net() {
  CoreEnv* env = CoreEnv::Instance();
  return env ? env->m_avnet.get() : nullptr;
}

avcore::IAudioTranscoder* CreateTranscoder() {
  CoreEnv* env = CoreEnv::Instance();
  if (!env || !env->m_basecore) return nullptr;
  void* object = nullptr;
  if (env->m_basecore->CreateComponent(avcore::CLSID_AudioTranscoder, avcore::IID_IAudioTranscoder, nullptr, &object) <
      0)
    return nullptr;
  return static_cast<avcore::IAudioTranscoder*>(object);
}

}  // namespace

RemoteAudioStream::RemoteAudioStream(const std::string& userId, const std::string& audioId)
    : m_userId(userId), m_audioId(audioId) {}

RemoteAudioStream::~RemoteAudioStream() {
  KIV_LOG("RemoteAudioStream::~RemoteAudioStream");
  if (m_transcoder) {
    (void)m_transcoder->Uninit();
    m_transcoder.Reset();
  }
}

int RemoteAudioStream::Subscribe() {
  m_subscribed = true;
  return StartRecvAudio();
}

int RemoteAudioStream::UnSubscribe() {
  m_subscribed = false;
  (void)SetRawAudioObserver(nullptr);
  (void)SetEncodedAudioObserver(nullptr);
  return StopRecvAudio();
}

int RemoteAudioStream::StartRecvAudio() {
  KIV_LOG("Start recv remote audio.");
  if (m_streamId) {
    KIV_LOG("Subscribe audio repeat %s", m_userId.c_str());
    return ERR_OK;
  }
  avcore::IAudioDevice* device = AudioDevice();
  avcore::IAvNet* net = Net();
  if (!device || !net) return ERR_FAILED;
  m_streamId = device->CreateAudioStream(avcore::kAudioStreamRemotePlayback, 0);
  KIV_LOG("Audio stream ID: %d", static_cast<int>(m_streamId));
  if (net->StartRecvMedia(m_userId.c_str(), avcore::kMediaAudio, m_audioId.c_str(), static_cast<uint32_t>(m_streamId)) <
      0) {
    KIV_LOG("Err: StartRecvMedia fail, userid:%s, audioid: %s, stmid:%d", m_userId.c_str(), m_audioId.c_str(),
            static_cast<int>(m_streamId));
    (void)device->RemoveAudioStream(m_streamId);
    m_streamId = 0;
    return ERR_FAILED;
  }
  return ERR_OK;
}

int RemoteAudioStream::StopRecvAudio() {
  if (!m_streamId) {
    KIV_LOG("Invalid audio device stream!");
    return ERR_OK;
  }
  if (m_subscribed) {
    KIV_LOG("Audio stream is already subscribed.");
    return ERR_OK;
  }
  if (m_encodedObserver.load()) {
    KIV_LOG("Audio stream has registered encoded observer.");
    return ERR_OK;
  }
  if (std::atomic_load(&m_rawObserver)) {
    KIV_LOG("Audio stream has registered raw observer.");
    return ERR_OK;
  }
  int result = ERR_OK;
  avcore::IAvNet* net = Net();
  if (!net || net->StopRecvMedia(m_userId.c_str(), avcore::kMediaAudio, m_audioId.c_str()) < 0) {
    KIV_LOG("Err: StopRecvAudio fail, userid:%s, audioid:%s, stmid:%d", m_userId.c_str(), m_audioId.c_str(),
            static_cast<int>(m_streamId));
    result = ERR_FAILED;
  }
  avcore::IAudioDevice* device = AudioDevice();
  if (!device || device->RemoveAudioStream(m_streamId) < 0) {
    KIV_LOG("Err: RemoveSource fail, userid:%s, audioid:%s, stmid:%d", m_userId.c_str(), m_audioId.c_str(),
            static_cast<int>(m_streamId));
    result = ERR_FAILED;
  }
  m_streamId = 0;
  return result;
}

int RemoteAudioStream::SetRawAudioObserver(std::shared_ptr<ICoreRemoteRawAudioObserver> observer) {
  const bool set = static_cast<bool>(observer);
  std::shared_ptr<ICoreRemoteRawAudioObserver> replaced;
  {
    // A packet being decoded is done with the old observer and the transcoder first.
    ZORVANTE::WAutoLock gate(&m_observerGate);
    replaced = std::atomic_exchange(&m_rawObserver, std::move(observer));
    if (set && !ResetTranscoder()) {
      KIV_LOG("SetRawAudioObserver create transcode");
      return ERR_FAILED;
    }
  }
  replaced.reset();
  return set ? StartObserverReceive() : StopObserverReceive();
}

bool RemoteAudioStream::ResetTranscoder() {
  if (!m_transcoder) m_transcoder.Attach(CreateTranscoder());
  if (!m_transcoder) return false;
  const WAVEFORMATEX pcm16k = {WAVE_FORMAT_PCM, 1, 16000, 32000, 2, 16, 0};
  (void)m_transcoder->Uninit();
  (void)m_transcoder->Init(0, 0, &pcm16k);
  return true;
}

int RemoteAudioStream::SetEncodedAudioObserver(IRemoteEncodedAudioObserver* observer) {
  KIV_LOG("SetEncodedAudioObserver: %x", static_cast<unsigned>(reinterpret_cast<uintptr_t>(observer)));
  {
    ZORVANTE::WAutoLock gate(&m_observerGate);
    m_encodedObserver.store(observer);
  }
  return observer ? StartObserverReceive() : StopObserverReceive();
}

int RemoteAudioStream::GetAudioInfo() {
  avcore::IAudioDevice* device = AudioDevice();
  if (!m_streamId || !device) return 0;
  int32_t level = 0, second = 0, third = 0;
  if (device->GetStreamInfo(m_streamId, &level, &second, &third) < 0) return 0;
  return level;
}

int RemoteAudioStream::StartObserverReceive() {
  const int started = StartRecvAudio();
  if (started != ERR_OK) {
    KIV_LOG("Start recv audio failed, user id = %s, audio id = %s", m_userId.c_str(), m_audioId.c_str());
    return started;
  }
  m_observerReceive = true;
  if (m_sinkAdded) return ERR_OK;
  avcore::IAudioDevice* device = AudioDevice();
  if (!device || device->AddRemoteEncodedDataSink(m_streamId, this, nullptr) < 0) {
    KIV_LOG("Add remote encoded data sink failed!");
    return ERR_FAILED;
  }
  m_sinkAdded = true;
  return ERR_OK;
}

int RemoteAudioStream::StopObserverReceive() {
  IRemoteEncodedAudioObserver* encoded = m_encodedObserver.load();
  std::shared_ptr<ICoreRemoteRawAudioObserver> raw = std::atomic_load(&m_rawObserver);
  if (encoded || raw) {
    KIV_LOG("Stop recv audio data, m_raw_observer: %p, m_encoded_observer: %p", static_cast<void*>(raw.get()),
            static_cast<void*>(encoded));
    return ERR_OK;
  }
  int result = ERR_OK;
  if (m_observerReceive) {
    result = StopRecvAudio();
    if (result == ERR_OK) {
      m_observerReceive = false;
    } else {
      KIV_LOG("Stop recv audio failed\xEF\xBC\x8Cuser id = %s, audio id = %s", m_userId.c_str(), m_audioId.c_str());
    }
  }
  if (m_sinkAdded) {
    avcore::IAudioDevice* device = AudioDevice();
    if (!device || device->RemoveRemoteEncodedDataSink(this) < 0) {
      KIV_LOG("Remove remote encoded data sink failed!");
      return ERR_FAILED;
    }
    m_sinkAdded = false;
    KIV_LOG("Remove remote encoded data sink success.");
  }
  return result;
}

int32_t AVCORE_CALL RemoteAudioStream::OnAudioData(const void* data, int32_t length, void*) {
  const auto* packet = static_cast<const uint8_t*>(data);
  RemoteAudioHeader header;
  switch (ReadRemoteAudioHeader(packet, length, &header)) {
    case RemoteAudioPacketError::kNone:
      break;
    case RemoteAudioPacketError::kTooShort:
      KIV_LOG("Invalid audio data len: %d", static_cast<int>(length));
      return 0;
    case RemoteAudioPacketError::kNoFrames:
      KIV_LOG("Invalid audio duration: %d", header.frameCount);
      return 0;
    case RemoteAudioPacketError::kExtensionOverrun:
      KIV_LOG("Invalid audio extension: %d, len: %d", header.extensionBytes, static_cast<int>(length));
      return 0;
  }
  // Held across the observer calls: a setter returns once no call on the old one runs.
  ZORVANTE::WAutoLock gate(&m_observerGate);
  if (header.codec == 1) Decode(packet, length, header.channels, header.sampleRate);
  if (m_encodedObserver.load()) Split(packet, length);
  return length;
}

void RemoteAudioStream::Decode(const uint8_t* packet, int32_t length, int channels, int sampleRate) {
  std::shared_ptr<ICoreRemoteRawAudioObserver> observer = std::atomic_load(&m_rawObserver);
  if (!observer || !m_transcoder) return;
  (void)m_transcoder->Transcode(packet, length);
  uint8_t* output = m_output.GetBuffer(kOutputCapacity);
  if (!output) return;
  const int32_t written = m_transcoder->GetOutput(output, kOutputCapacity);
  // A block without PCM after its header (or a count past the buffer) gives no frame.
  if (written <= kRemoteAudioHeaderBytes || written > kOutputCapacity) return;
  CoreAudioFrame frame;
  frame.kind = 1;
  frame.second = 1;
  frame.channels = channels;
  frame.sampleRate = sampleRate;
  frame.timestamp = static_cast<int32_t>(RemoteAudioTimestamp(output));
  frame.data = output + kRemoteAudioHeaderBytes;
  frame.length = written - kRemoteAudioHeaderBytes;
  observer->OnRemoteRawAudioFrame(m_userId, m_audioId, &frame);
}

void RemoteAudioStream::Split(const uint8_t* packet, int32_t length) {
  IRemoteEncodedAudioObserver* observer = m_encodedObserver.load();
  RemoteAudioHeader header;
  if (!observer || ReadRemoteAudioHeader(packet, length, &header) != RemoteAudioPacketError::kNone) return;
  const RemoteAudioFrames frames = SplitRemoteAudioFrames(header, length);
  for (int n = 0; n < frames.count; ++n) {
    CoreAudioFrame frame;
    frame.kind = header.codec;
    frame.second = 1;
    frame.channels = header.channels;
    frame.bitsPerSample = 16;
    frame.sampleRate = header.sampleRate;
    frame.timestamp = static_cast<int32_t>(header.timestampMs + kRemoteAudioFrameMs * n);
    frame.data = packet + frames.first + n * frames.length;
    frame.length = frames.length;
    observer->OnRemoteEncodedAudioFrame(m_userId, m_audioId, &frame);
  }
}

}  // namespace kiv_core
