#include "core/streams/remote_audio_stream.h"

#include "avcore/av_net.h"
#include "avcore/ids.h"
#include "core/env/core_env.h"
#include "core/env/log_record.h"
#include "core/frames/remote_audio_packet.h"
#include "core/streams/remote_audio_changes.h"
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

RemoteAudioStream::RemoteAudioStream(const std::string& userId, const std::string& audioId, RemoteAudioChanges* changes)
    : m_userId(userId), m_audioId(audioId), m_changes(changes) {}

RemoteAudioStream::~RemoteAudioStream() {
  KIV_LOG("RemoteAudioStream::~RemoteAudioStream");
  (void)m_rawObserver.Set(nullptr);
  (void)m_encodedObserver.Set(nullptr);
  if (m_transcoder) {
    (void)m_transcoder->Uninit();
    m_transcoder.Reset();
  }
}

int RemoteAudioStream::Apply() {
  if (!m_changes) return ApplyWanted();
  return m_changes->Apply(shared_from_this());
}

int RemoteAudioStream::Subscribe() {
  if (m_streamId) KIV_LOG("Subscribe audio repeat %s", m_userId.c_str());
  m_playback = true;
  return Apply();
}

int RemoteAudioStream::UnSubscribe() {
  m_playback = false;
  DropRawOwner(m_rawObserver.Set(nullptr));
  (void)m_encodedObserver.Set(nullptr);
  return Apply();
}

int RemoteAudioStream::Close() {
  m_closed = true;
  return UnSubscribe();
}

int RemoteAudioStream::ApplyWanted() {
  const bool closed = m_closed;
  const bool observed = !closed && (m_rawObserver.Peek() || m_encodedObserver.Peek());
  const bool receive = !closed && (m_playback || observed);
  int result = ERR_OK;
  if (receive && !m_streamId) result = StartRecvAudio();
  if (observed && m_streamId && !m_sinkAdded) {
    avcore::IAudioDevice* device = AudioDevice();
    if (!device || device->AddRemoteEncodedDataSink(m_streamId, this, nullptr) < 0) {
      KIV_LOG("Add remote encoded data sink failed!");
      result = ERR_FAILED;
    } else {
      m_sinkAdded = true;
    }
  }
  if (!receive && m_streamId) result = StopRecvAudio();
  if (!observed && m_sinkAdded) {
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

int RemoteAudioStream::StartRecvAudio() {
  KIV_LOG("Start recv remote audio.");
  avcore::IAudioDevice* device = AudioDevice();
  avcore::IAvNet* net = Net();
  if (!device || !net) return ERR_FAILED;
  const int32_t id = device->CreateAudioStream(avcore::kAudioStreamRemotePlayback, 0);
  KIV_LOG("Audio stream ID: %d", static_cast<int>(id));
  if (net->StartRecvMedia(m_userId.c_str(), avcore::kMediaAudio, m_audioId.c_str(), static_cast<uint32_t>(id)) < 0) {
    KIV_LOG("Err: StartRecvMedia fail, userid:%s, audioid: %s, stmid:%d", m_userId.c_str(), m_audioId.c_str(),
            static_cast<int>(id));
    (void)device->RemoveAudioStream(id);
    return ERR_FAILED;
  }
  m_streamId = id;
  return ERR_OK;
}

int RemoteAudioStream::StopRecvAudio() {
  const int32_t id = m_streamId;
  int result = ERR_OK;
  avcore::IAvNet* net = Net();
  if (!net || net->StopRecvMedia(m_userId.c_str(), avcore::kMediaAudio, m_audioId.c_str()) < 0) {
    KIV_LOG("Err: StopRecvAudio fail, userid:%s, audioid:%s, stmid:%d", m_userId.c_str(), m_audioId.c_str(),
            static_cast<int>(id));
    result = ERR_FAILED;
  }
  avcore::IAudioDevice* device = AudioDevice();
  if (!device || device->RemoveAudioStream(id) < 0) {
    KIV_LOG("Err: RemoveSource fail, userid:%s, audioid:%s, stmid:%d", m_userId.c_str(), m_audioId.c_str(),
            static_cast<int>(id));
    result = ERR_FAILED;
  }
  m_streamId = 0;
  return result;
}

int RemoteAudioStream::SetRawAudioObserver(std::shared_ptr<ICoreRemoteRawAudioObserver> observer) {
  ICoreRemoteRawAudioObserver* target = observer.get();
  if (target && target == m_rawObserver.Peek()) return Apply();
  if (target) {
    // A closed stream takes none, and keeps none that its close has not cleared yet.
    if (m_closed) {
      DropRawAudioObserver();
      return ERR_OK;
    }
    if (!ResetTranscoder()) {
      KIV_LOG("SetRawAudioObserver create transcode");
      return ERR_FAILED;
    }
    std::lock_guard<std::mutex> guard(m_ownersMutex);
    m_rawOwners.push_back(std::move(observer));
  }
  DropRawOwner(m_rawObserver.Set(target));
  // A close that ran since the check above has cleared nothing: a closed stream keeps none.
  if (target && m_closed) DropRawAudioObserver();
  return Apply();
}

void RemoteAudioStream::DropRawAudioObserver() { DropRawOwner(m_rawObserver.Set(nullptr)); }

void RemoteAudioStream::DropRawOwner(ICoreRemoteRawAudioObserver* observer) {
  if (!observer) return;
  std::shared_ptr<ICoreRemoteRawAudioObserver> dropped;
  {
    std::lock_guard<std::mutex> guard(m_ownersMutex);
    for (auto it = m_rawOwners.begin(); it != m_rawOwners.end(); ++it) {
      if (it->get() == observer) {
        dropped = std::move(*it);
        m_rawOwners.erase(it);
        break;
      }
    }
  }
  dropped.reset();  // outside the lock: the observer's destructor is the application's code
}

bool RemoteAudioStream::ResetTranscoder() {
  std::lock_guard<std::mutex> guard(m_transcoderMutex);
  if (!m_transcoder) m_transcoder.Attach(CreateTranscoder());
  if (!m_transcoder) return false;
  const WAVEFORMATEX pcm16k = {WAVE_FORMAT_PCM, 1, 16000, 32000, 2, 16, 0};
  (void)m_transcoder->Uninit();
  (void)m_transcoder->Init(0, 0, &pcm16k);
  return true;
}

int RemoteAudioStream::SetEncodedAudioObserver(IRemoteEncodedAudioObserver* observer) {
  KIV_LOG("SetEncodedAudioObserver: %x", static_cast<unsigned>(reinterpret_cast<uintptr_t>(observer)));
  if (observer && m_closed) return ERR_OK;
  (void)m_encodedObserver.Set(observer);
  return Apply();
}

int RemoteAudioStream::GetAudioInfo() {
  avcore::IAudioDevice* device = AudioDevice();
  const int32_t id = m_streamId;
  if (!id || !device) return 0;
  int32_t level = 0, second = 0, third = 0;
  if (device->GetStreamInfo(id, &level, &second, &third) < 0) return 0;
  return level;
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
  // Each observer is called in its slot, with no lock held: a setter returns once no call
  // on the observer it replaced runs.
  if (header.codec == 1) {
    (void)m_rawObserver.Call([&](ICoreRemoteRawAudioObserver& observer) {
      Decode(observer, packet, length, header.channels, header.sampleRate);
    });
  }
  (void)m_encodedObserver.Call([&](IRemoteEncodedAudioObserver& observer) { Split(observer, packet, length); });
  return length;
}

void RemoteAudioStream::Decode(ICoreRemoteRawAudioObserver& observer, const uint8_t* packet, int32_t length,
                               int channels, int sampleRate) {
  uint8_t* output = m_output.GetBuffer(kOutputCapacity);
  if (!output) return;
  int32_t written = 0;
  {
    std::lock_guard<std::mutex> guard(m_transcoderMutex);
    if (!m_transcoder) return;
    (void)m_transcoder->Transcode(packet, length);
    written = m_transcoder->GetOutput(output, kOutputCapacity);
  }
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
  observer.OnRemoteRawAudioFrame(m_userId, m_audioId, &frame);
}

void RemoteAudioStream::Split(IRemoteEncodedAudioObserver& observer, const uint8_t* packet, int32_t length) {
  RemoteAudioHeader header;
  if (ReadRemoteAudioHeader(packet, length, &header) != RemoteAudioPacketError::kNone) return;
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
    observer.OnRemoteEncodedAudioFrame(m_userId, m_audioId, &frame);
  }
}

}  // namespace kiv_core
