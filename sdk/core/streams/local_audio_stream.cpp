#include "core/streams/local_audio_stream.h"

#include <algorithm>
#include <cstring>

#include "avcore/av_net.h"
#include "avcore/ids.h"
#include "core/control/kiv_cp_client.h"
#include "core/env/core_env.h"
#include "core/env/log_record.h"
#include "kiv_error.h"

namespace kiv_core {

namespace {

constexpr const char* kMicId = "appdef_mic";
constexpr const char* kMagicId = "appdef_mic_magic";
constexpr int kAccumulationFrames = 50;
constexpr DWORD kWorkerWaitMs = 50;

avcore::IAvNet* Net() {
  CoreEnv* env = CoreEnv::Instance();
  return env ? env->m_avnet.get() : nullptr;
}

avcore::IAudioDevice* AudioDevice() {
  CoreEnv* env = CoreEnv::Instance();
  return env ? env->m_audiodevice.get() : nullptr;
}

KivCpClient* CpClient() {
  CoreEnv* env = CoreEnv::Instance();
  return env ? env->m_cpclient : nullptr;
}

}  // namespace

LocalAudioStream::LocalAudioStream() : ComObject(avcore::IID_IAudioEncSource) {}

LocalAudioStream::~LocalAudioStream() {
  (void)StopPublish();
  if (!m_workerStopped) StopThread();
}

int LocalAudioStream::StartPublish() {
  if (!CoreEnv::IsLogined()) return ERR_NOT_LOGINED;
  return m_turns.Run([this]() -> int { return DoStartPublish(); });
}

int LocalAudioStream::DoStartPublish() {
  // Published already: the sources, the sink and the running worker stay as they are.
  if (m_isPublishMicrophone) return ERR_OK;
  avcore::IAvNet* net = Net();
  avcore::IAudioDevice* device = AudioDevice();
  if (!net || !device || net->AddSource(avcore::kMediaAudio, kMicId, device) < 0) return ERR_FAILED;
  KIV_LOG("StartPublish m_bSendTwoStream:%d", m_bSendTwoStream ? 1 : 0);
  (void)StartPitchChain();
  m_isPublishMicrophone = true;
  if (KivCpClient* cp = CpClient()) (void)cp->PublishAudioNotify(m_bSendTwoStream ? kMagicId : kMicId);
  return ERR_OK;
}

int LocalAudioStream::StopPublish() {
  return m_turns.Run([this]() -> int { return DoStopPublish(); });
}

int LocalAudioStream::DoStopPublish() {
  avcore::IAvNet* net = Net();
  if (m_isPublishMicrophone && net) (void)net->RemoveSource(avcore::kMediaAudio, kMicId);
  if (m_isPublishMicrophone) {
    if (KivCpClient* cp = CpClient()) (void)cp->UnpublishAudioNotify(m_bSendTwoStream ? kMagicId : kMicId);
  }
  (void)StopPitchChain();
  m_isPublishMicrophone = false;
  return ERR_OK;
}

int LocalAudioStream::StartPitchChain() {
  if (!m_bSendTwoStream) return ERR_OK;
  CoreEnv* env = CoreEnv::Instance();
  avcore::IAudioDevice* device = AudioDevice();
  if (!env || !env->m_basecore || !device) return ERR_INVALID_PARAM;
  int result = ERR_OK;
  void* object = nullptr;
  if (env->m_basecore->CreateComponent(avcore::CLSID_AudioProcessor, avcore::IID_IAudioProcessor, nullptr, &object) <
          0 ||
      !object) {
    KIV_LOG("CreateComponent for m_pAudioProc failed.");
    result = ERR_FAILED;
  } else {
    m_pAudioProc.Attach(static_cast<avcore::IAudioProcessor*>(object));
  }
  if (result == ERR_OK && device->AddCapProcessedDataSink(this, nullptr) < 0) {
    KIV_LOG("AddRawCapDataSink failed.");
    result = ERR_FAILED;
  }
  if (result == ERR_OK) {
    int32_t mode = 0;
    (void)device->GetParam(avcore::kAudioParamProcessorMode, &mode, 4);
    m_setup.mode = static_cast<uint8_t>(mode & 0xFF);
    (void)device->GetAudioFormat(&m_setup.input);
    (void)device->GetAudioFormat(&m_setup.output);
    if (m_pAudioProc->Init(&m_setup, 0) < 0) {
      KIV_LOG("StartPublish Create soundtouch audioprocess FAIL");
      result = ERR_FAILED;
    }
  }
  if (result == ERR_OK) {
    const int32_t pitch = m_nChangePitch;
    (void)m_pAudioProc->SetParam(avcore::kAudioParamPitch, &pitch, 4);
    m_workerStopped = false;
    (void)StartThread(true);
    const int32_t frameSize = m_pAudioProc->GetFrameSize();
    m_accumulation.assign(frameSize > 0 ? static_cast<size_t>(frameSize) * kAccumulationFrames : 0, 0);
    m_accumulated = 0;
    if (m_accumulation.empty()) result = ERR_FAILED;
  }
  avcore::IAvNet* net = Net();
  if (result == ERR_OK &&
      (!net || net->AddSource(avcore::kMediaAudio, kMagicId, static_cast<avcore::IAudioEncSource*>(this)) < 0))
    result = ERR_FAILED;
  if (result != ERR_OK) (void)StopPitchChain();
  return result;
}

int LocalAudioStream::StopPitchChain() {
  avcore::IAvNet* net = Net();
  if (m_isPublishMicrophone && net) (void)net->RemoveSource(avcore::kMediaAudio, kMagicId);
  if (!m_workerStopped) {
    StopThread();
    m_workerStopped = true;
  }
  m_accumulation.clear();
  m_accumulated = 0;
  if (avcore::IAudioDevice* device = AudioDevice()) (void)device->RemoveCapProcessedDataSink(this);
  // Frames the worker did not reach would open the next chain with old audio.
  m_pool.ReclaimReady();
  m_bSendTwoStream = (m_nChangePitch != 0);
  m_pAudioProc.Reset();
  return ERR_OK;
}

HRESULT AVCORE_CALL LocalAudioStream::AddDataSink(avcore::IAudioDataSink* sink, void* context) {
  {
    ZORVANTE::WAutoLock guard(&m_sinkLock);
    if (!m_sinkContexts.emplace(sink, context).second) return 0;
  }
  (void)m_sinks.Add(sink);
  return 0;
}

HRESULT AVCORE_CALL LocalAudioStream::RemoveDataSink(avcore::IAudioDataSink* sink) {
  // Returns once the worker is done with the sink (no lock held while it waits).
  (void)m_sinks.Remove(sink);
  ZORVANTE::WAutoLock guard(&m_sinkLock);
  m_sinkContexts.erase(sink);
  return 0;
}

void* LocalAudioStream::SinkContext(avcore::IAudioDataSink* sink) {
  ZORVANTE::WAutoLock guard(&m_sinkLock);
  auto found = m_sinkContexts.find(sink);
  return found == m_sinkContexts.end() ? nullptr : found->second;
}

HRESULT AVCORE_CALL LocalAudioStream::SetParam(int32_t key, const int32_t* value, int32_t size) {
  if (key != avcore::kAudioParamPitch || !value) return E_FAIL;
  m_nChangePitch = *value;
  KIV_LOG("SetParam key:%d, m_nChangePitch:%d, m_isPublishMicrophone:%d", static_cast<int>(key), m_nChangePitch,
          m_isPublishMicrophone ? 1 : 0);
  const int32_t pitch = *value;
  return static_cast<HRESULT>(m_turns.Run([this, key, pitch, size]() -> int {
    HRESULT result = E_FAIL;
    if (m_bSendTwoStream && m_pAudioProc) result = m_pAudioProc->SetParam(key, &pitch, size);
    if (!m_isPublishMicrophone) {
      m_bSendTwoStream = (pitch != 0);
      return S_OK;
    }
    return static_cast<int>(result);
  }));
}

HRESULT AVCORE_CALL LocalAudioStream::ProcessorCall(int32_t param, void* value, int32_t size) {
  if (!m_pAudioProc) return E_FAIL;
  (void)m_pAudioProc->GetFrameSize();
  return m_pAudioProc->GetParam(param, value, size);
}

int32_t AVCORE_CALL LocalAudioStream::OnAudioData(const void* data, int32_t length, void*) {
  if (m_sinks.Empty()) return 0;
  if (!data || length <= 0) return 0;
  ZORVANTE::WFlexBuffer* buffer = m_pool.GetFree(0);
  if (!buffer) return 0;
  (void)buffer->SetData(data, static_cast<uint32_t>(length));
  m_pool.PutReady(buffer);
  return 0;
}

DWORD LocalAudioStream::ThreadProc() {
  KIV_LOG("ThreadProcEx,Thread[%d]", static_cast<int>(GetCurrentThreadId()));
  while (!StopRequested()) {
    ZORVANTE::WFlexBuffer* buffer = m_pool.GetReady(kWorkerWaitMs);
    if (!buffer) continue;
    if (m_pAudioProc && buffer->GetData() && buffer->GetLength() > 0) ProcessFrame(buffer);
    m_pool.PutFree(buffer);
  }
  KIV_LOG("ThreadProcEx Leave!");
  return 0;
}

void LocalAudioStream::ProcessFrame(ZORVANTE::WFlexBuffer* buffer) {
  const int32_t frameSizeSigned = m_pAudioProc->GetFrameSize();
  if (frameSizeSigned <= 0 || m_accumulation.empty()) return;
  const size_t frameSize = static_cast<size_t>(frameSizeSigned);
  const uint8_t* rest = buffer->GetData();
  size_t restLength = buffer->GetLength();
  auto append = [&] {
    const size_t n = std::min(m_accumulation.size() - m_accumulated, restLength);
    std::memcpy(m_accumulation.data() + m_accumulated, rest, n);
    m_accumulated += n;
    rest += n;
    restLength -= n;
  };
  append();
  while (m_accumulated >= frameSize) {
    avcore::AudioProcessBuffer io{
        m_accumulation.data(), frameSizeSigned, 0, m_output, static_cast<int32_t>(sizeof(m_output)), 0};
    const HRESULT hr = m_pAudioProc->Process(&io);
    std::memmove(m_accumulation.data(), m_accumulation.data() + frameSize, m_accumulated - frameSize);
    m_accumulated -= frameSize;
    append();
    if (hr >= 0 && io.output_length > 0 && io.output_length <= static_cast<int32_t>(sizeof(m_output))) {
      m_sinks.ForEach([&](avcore::IAudioDataSink& sink) {
        (void)sink.OnAudioData(m_output, io.output_length, SinkContext(&sink));
      });
    }
  }
}

}  // namespace kiv_core
