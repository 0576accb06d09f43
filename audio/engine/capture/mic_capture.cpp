#include "capture/mic_capture.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "audio_lib_log.h"
#include "core/audio_core.h"
#include "core/library_state.h"
#include "device/device_quirks.h"
#include "platform/debug_output.h"
#include "stream/endpoint_opener.h"
#include "stream/endpoint_selection.h"

namespace {

constexpr uint32_t kBufferFlagSilent = 0x2;  // AUDCLNT_BUFFERFLAGS_SILENT

const char* TrueFalse(bool v) { return v ? "true" : "false"; }

// Process-wide: the main microphone's endpoint id and the second microphones tried.
VORAX::Mutex g_process_mutex;
std::wstring g_main_device_id;
Guid g_tried_second_mics[3] = {};

bool IsEmpty(const Guid& g) { return g == Guid{}; }

}  // namespace

MicCapture::MicCapture(AudioDeviceLayer* layer, bool second_mic, AudioCore* core, MicLevelControlFactory level_factory)
    : layer_(layer),
      core_(core),
      level_factory_(level_factory ? level_factory : &CreateMicLevelControl),
      second_mic_(second_mic),
      restart_(layer, "MicCapture::RestartCaptureThreadProc") {}

MicCapture::~MicCapture() {
  restart_.BeginClose();
  Stop();
  restart_.JoinAll();
  if (thread_.running()) Stop();  // a restart that was already under way
  {
    VORAX::AutoLock lock(level_mutex_);
    level_control_.reset();
  }
  selected_.endpoint.reset();
}

AudioCore& MicCapture::Core() { return core_ ? *core_ : AudioCore::Instance(); }

std::wstring MicCapture::MainDeviceId() {
  VORAX::AutoLock lock(g_process_mutex);
  return g_main_device_id;
}

void MicCapture::ClearTriedSecondMics() {
  VORAX::AutoLock lock(g_process_mutex);
  for (Guid& g : g_tried_second_mics) g = Guid{};
}

std::wstring MicCapture::device_id() const { return device_id_; }

Guid MicCapture::device_guid() const { return device_guid_; }

HResult MicCapture::EnumDevices() {
  ThreadComScope com(layer_);
  std::vector<EndpointInfo> endpoints;
  HResult hr = layer_->EnumEndpoints(EndpointFlow::kCapture, &endpoints);
  if (Failed(hr)) return hr;
  if (endpoints.empty()) {
    AudioLibLog(" m_uDevCount = 0, No device has been found\n");
    return kS_OK;
  }
  std::vector<DeviceRecord> devices;
  std::wstring default_id;
  const HResult def = layer_->GetDefaultEndpointId(EndpointFlow::kCapture, &default_id);
  if (Failed(def)) {
    AudioLibLog("spEnumerator->GetDefaultAudioEndpoint Failed hr=0x%x\n", HrBits(def));
    default_id.clear();
  }
  for (size_t i = 0; i < endpoints.size(); ++i) {
    DeviceRecord record;
    ParseGuidText(endpoints[i].id, &record.id);
    record.name = endpoints[i].name.substr(0, 255);
    devices.push_back(record);
    if (i > 0 && !default_id.empty() && endpoints[i].id.find(default_id) != std::wstring::npos) {
      std::swap(devices[0], devices[i]);
    }
  }
  VORAX::AutoLock lock(devices_mutex_);
  devices_.swap(devices);
  return kS_OK;
}

std::vector<DeviceRecord> MicCapture::devices() const {
  VORAX::AutoLock lock(devices_mutex_);
  return devices_;
}

HResult MicCapture::Init(const wchar_t* id) {
  VORAX::AutoLock lock(control_);
  AudioLibLog("%s, enter, 2nd mic %s.\n", "MicCapture::Init", TrueFalse(second_mic_));
  ThreadComScope com(layer_);

  thread_class_registered_ = false;
  selected_.Clear();
  format_ = WaveFormat{};
  sample_type_ = SampleType::kUnknown;
  rate_ = channels_ = chunk_ = 0;

  HResult hr =
      ResolveEndpointId(layer_, EndpointFlow::kCapture, id, "PKEY_AudioEndpoint_GUID Failed hr=0x%x\n", &device_id_);
  if (Failed(hr)) return hr;
  if (!second_mic_) {
    VORAX::AutoLock process_lock(g_process_mutex);
    g_main_device_id = device_id_;
  }
  hr = SelectEndpoint(layer_, EndpointFlow::kCapture, device_id_, &selected_);
  if (Failed(hr) || !selected_.endpoint) return hr;
  AudioLibLog("Matched device found: index=%d Name=%s \n", selected_.index, selected_.ansi_name.c_str());
  if (!second_mic_) Core().set_mic_name(selected_.ansi_name);

  if (Succeeded(selected_.endpoint->DisableSystemAgc())) AudioLibLog("System AGC successfully disabled.");

  const bool built_in = QuirksForCaptureName(selected_.friendly_name).built_in_mic;
  exclusive_ = false;
  if (built_in && !second_mic_) {
    AudioLibLog("found built-in mic, use exclusive mode.\n");
    exclusive_ = true;
  } else if (built_in) {
    AudioLibLog("built-in mic exclusive mode disabled.\n");
  } else {
    AudioLibLog("not built-in mic, exclusive mode false.\n");
  }

  hr = CheckFormat(exclusive_);
  if (Failed(hr)) {
    AudioLibLog("CheckFormat() %s Failed hr=0x%x\n", exclusive_ ? "EXCLUSIVE MODE" : "SHARED MODE", HrBits(hr));
    if (exclusive_) {
      AudioLibLog("Check format for SHARED MODE\n");
      hr = CheckFormat(false);
      if (Failed(hr)) {
        AudioLibLog("CheckFormat() Failed for SHARED MODE hr=0x%x\n", HrBits(hr));
        return hr;
      }
      exclusive_ = false;
    }
  }

  channels_ = format_.channels;
  rate_ = static_cast<int>(format_.samples_per_sec);
  conversion_.assign(static_cast<size_t>(rate_ / 10) * (channels_ > 0 ? channels_ : 1), 0);
  mono_ring_.assign(static_cast<size_t>(rate_ / 100) * 10, 0);
  read_index_ = write_index_ = stored_ = 0;
  chunk_ = rate_ / 100 * 2;
  return kS_OK;
}

HResult MicCapture::CheckFormat(bool exclusive) {
  std::unique_ptr<AudioClient> client;
  HResult hr = selected_.endpoint->Activate(&client);
  if (Failed(hr)) {
    AudioLibLog("Unexpected m_spDevice->Activate()| Failed hr=0x%x\n", HrBits(hr));
    return hr;
  }
  WaveFormat format = {};
  hr = client->GetMixFormat(&format);
  if (Failed(hr)) {
    AudioLibLog("Unexpected spAudioClient->GetMixFormat() Failed hr=0x%x\n", HrBits(hr));
    return hr;
  }
  AudioLibLog("wFormatTag: %d nChannels: %d nSamplesPerSec: %d nBlockAlign: %d wBitsPerSample: %d\n", format.format_tag,
              format.channels, static_cast<int>(format.samples_per_sec), format.block_align, format.bits_per_sample);
  if (exclusive) {
    hr = selected_.endpoint->GetDeviceFormat(&format);
    if (Failed(hr)) {
      AudioLibLog("Unexpected spProperties->GetValue(PKEY_AudioEngine_DeviceFormat,..) Failed hr=0x%x\n", HrBits(hr));
      return hr;
    }
  }
  const SampleType type = ClassifyFormat(format);
  if (format.format_tag == kWaveFormatPcm) {
    AudioLibLog("pWfx->wFormatTag == WAVE_FORMAT_PCM\n");
  } else if (format.format_tag == kWaveFormatIeeeFloat) {
    AudioLibLog("pWfx->wFormatTag == WAVE_FORMAT_IEEE_FLOAT\n");
  } else if (format.format_tag == kWaveFormatExtensible && type == SampleType::kInteger) {
    AudioLibLog("pWfx->wFormatTag == WAVE_FORMAT_EXTENSIBLE, subtype is PCM\n");
  } else if (format.format_tag == kWaveFormatExtensible && type == SampleType::kFloat) {
    AudioLibLog("pWfx->wFormatTag == WAVE_FORMAT_EXTENSIBLE, subtype is FLOAT\n");
  } else {
    AudioLibLog("Unsupported pWfx->wFormatTag == 0x%x\n", format.format_tag);
  }
  format_ = format;
  sample_type_ = type;
  if (type == SampleType::kUnknown) {
    AudioLibLog("CheckFormat() | Failed to find supported audio format\n");
    return kE_FAIL;
  }
  const int bits = format.bits_per_sample;
  if (bits != 8 && bits != 16 && bits != 24 && bits != 32) {
    AudioLibLog("CheckFormat() | Failed, unsupported BitsPerSample wBitsPerSample = %d\n", bits);
    return kE_FAIL;
  }
  for (int rate : {48000, 44100, 32000, 16000, 8000}) {
    WaveFormat candidate = format;
    candidate.samples_per_sec = static_cast<uint32_t>(rate);
    candidate.avg_bytes_per_sec = candidate.block_align * candidate.samples_per_sec;
    if (client->IsFormatSupported(exclusive, candidate) != kS_OK) continue;
    format_ = candidate;
    AudioLibLog("CheckFormat(), IsFormatSupported() - pWfx->nSamplesPerSec = %d\n", rate);
    char line[96];
    std::snprintf(line, sizeof line, "CheckFormat() %s mode succeeded. Smapling rate: %d\n",
                  exclusive ? "EXCLUSIVE" : "SHARED", rate);
    AudioLibLog("%s", line);
    DebugOutput(line);
    return kS_OK;
  }
  return kE_FAIL;
}

void MicCapture::ReplaceLevelControl(const Guid& guid) {
  std::unique_ptr<MicLevelControl> fresh;
  {
    ThreadComScope com(layer_);  // the level control reaches the endpoint through COM
    fresh = level_factory_(guid);
  }
  VORAX::AutoLock lock(level_mutex_);
  level_control_ = std::move(fresh);
}

void MicCapture::Start() {
  VORAX::AutoLock lock(control_);
  AudioLibLog("MicCapture %s enter. \n", "Start");
  if (thread_.running()) {
    AudioLibLog("MicCapture %s thread is exist, stop it. \n", "Start");
    Stop();
  }
  ParseGuidText(device_id_, &device_guid_);
  ReplaceLevelControl(device_guid_);
  digital_gain_ = DigitalGain{};
  extra_gain_on_ = false;
  stop_ = false;
  if (!thread_.Start([this] { CaptureProc(); }, true)) stop_ = true;
}

void MicCapture::Stop() {
  VORAX::AutoLock lock(control_);
  AudioLibLog("%s, m_hThread : %p, enter.\n", "MicCapture::Stop", thread_.id());
  stop_ = true;
  restart_.Cancel();
  if (!thread_.running()) return;
  const void* id = thread_.id();
  if (thread_.Join(2000)) {
    AudioLibLog("%s, m_hThread : %p, success stopped.\n", "MicCapture::Stop", id);
  } else {
    AudioLibLog("%s, m_hThread : %p, Stop Failed dwRet = %x, the last error: %x .\n", "MicCapture::Stop", id, 0x102u,
                0u);
  }
}

void MicCapture::SetDevice(const Guid& guid) {
  device_guid_ = guid;
  ReplaceLevelControl(guid);
}

void MicCapture::ResetDevice(const Guid& guid) {
  VORAX::AutoLock lock(control_);
  Stop();
  SetDevice(guid);
  const std::wstring text = FormatGuidText(guid);
  Init(text.c_str());
  Start();
}

void MicCapture::SetVolume(int level) {
  AudioLibLog("MicCapture::SetVolume value %d \n", level);
  VORAX::AutoLock lock(level_mutex_);
  if (!level_control_) {
    AudioLibLog("MicCapture::SetVolume failed! \n");
    return;
  }
  const int clamped = std::min(100, std::max(0, level));
  (void)level_control_->SetLevel(static_cast<uint32_t>(clamped * 65535 / 100));
}

bool MicCapture::GetVolume(int* percent, float* boost_db) {
  VORAX::AutoLock lock(level_mutex_);
  if (!level_control_) return false;
  uint32_t level = 0;
  if (Failed(level_control_->GetLevel(&level))) level = 0;
  // To the nearest percent: a level set as percent x 65535 / 100 reads back as that percent.
  *percent = static_cast<int>((level * 100 + 32767) / 65535);
  *boost_db = level_control_->GetBoostDb();
  return true;
}

HResult MicCapture::Find2ndMic(const std::wstring& main_id, std::wstring* out) {
  ThreadComScope com(layer_);
  std::vector<EndpointInfo> endpoints;
  if (Failed(layer_->EnumEndpoints(EndpointFlow::kCapture, &endpoints)) || endpoints.size() < 2) {
    return kE_FAIL;
  }
  VORAX::AutoLock lock(g_process_mutex);
  bool any_tried = false;
  for (const Guid& g : g_tried_second_mics) any_tried = any_tried || !IsEmpty(g);
  for (const EndpointInfo& e : endpoints) {
    if (SameDeviceId(e.id, main_id)) continue;
    if (QuirksForCaptureName(e.name).never_second_mic) {
      AudioLibLog("found unsupported 2nd mic. \n");
      continue;
    }
    if (any_tried) {
      Guid g;
      ParseGuidText(e.id, &g);
      if (std::find(std::begin(g_tried_second_mics), std::end(g_tried_second_mics), g) !=
          std::end(g_tried_second_mics)) {
        continue;
      }
    }
    *out = e.id;
    return kS_OK;
  }
  return kE_FAIL;
}

void MicCapture::CaptureProc() {
  const StreamThread thread = EnterCaptureThread();
  CaptureStream stream;
  if (OpenCaptureStream(&stream)) RunCaptureLoop(&stream);
  LeaveCaptureThread(thread, &stream);
}

MicCapture::StreamThread MicCapture::EnterCaptureThread() {
  StreamThread thread;
  thread.com = layer_->InitializeThread();
  restart_requested_ = false;
  restart_.ClearPending();
  wait_timeouts_ = 0;
  Core();
  if (!thread_class_registered_ && layer_->RegisterProAudioThread(&thread.task)) {
    AudioLibLog("m_pAvSetMmThreadPriority() to AVRT_PRIORITY_CRITICAL Succeeded\n");
    thread_class_registered_ = true;
  }
  AudioLibLog("%s, enter, 2nd mic %s.\n", "MicCapture::CaptureProc", TrueFalse(second_mic_));
  return thread;
}

void MicCapture::LeaveCaptureThread(const StreamThread& thread, CaptureStream* stream) {
  stream->capture.reset();
  stream->client.reset();
  if (thread.task) layer_->RevertProAudioThread(thread.task);
  stop_ = true;
  if (thread.com) layer_->UninitializeThread();
  if (restart_requested_) StartRestartThread();
}

bool MicCapture::OpenCaptureStream(CaptureStream* stream) {
  if (!selected_.endpoint) {
    AudioLibLog("Unexpected: m_spDevice NULL\n");
    return false;
  }
  EndpointOpener opener(selected_.endpoint.get(),
                        {"AudioClient->Initialize, Failed hr=0x%x\n",
                         "AudioClient->Initialize, Failed hr=0x%x --- AUDCLNT_E_BUFFER_SIZE_NOT_ALIGNED\n",
                         "AudioClient->Initialize, Failed hr=0x%x\n"});
  if (Failed(opener.Activate())) return false;
  int64_t default_period = 0, minimum_period = 0;
  const HResult hr = opener.client()->GetDevicePeriod(&default_period, &minimum_period);
  if (Failed(hr)) {
    AudioLibLog("spAudioClient->GetDevicePeriod() Failed, hr=0x%x\n", HrBits(hr));
    return false;
  }
  AudioLibLog("hnsDefaultDevicePeriod: %d ms, hnsMinimumDevicePeriod: %d ms\n", static_cast<int>(default_period),
              static_cast<int>(minimum_period));
  ChooseShareMode();
  if (rate_ <= 0 || chunk_ <= 0 || conversion_.empty()) {
    AudioLibLog("CheckFormat() | Failed to find supported audio format\n");
    return false;
  }
  const CaptureBufferChoice buffer = ChooseBufferDuration(default_period);
  if (Failed(opener.Initialize(exclusive_, buffer.duration, exclusive_, format_, rate_))) return false;
  stream->client = opener.TakeClient();
  return StartCaptureStream(stream);
}

// A PC model that forces exclusive mode; otherwise exclusive mode stays only in music mode.
void MicCapture::ChooseShareMode() {
  const PcModelQuirks model = QuirksForPcModel(Library().pc_model());
  const bool forced = model.force_exclusive_mic != nullptr;
  if (forced) {
    AudioLibLog("%s, Found device %s, always use exclusive mode for built-in mic.\n.", "MicCapture::CaptureProc",
                model.force_exclusive_mic);
    if (second_mic_) {
      SetVolume(100);
    } else {
      exclusive_ = true;
    }
  }
  if (!(Core().music_mode() || forced)) exclusive_ = false;
}

CaptureBufferChoice MicCapture::ChooseBufferDuration(int64_t default_period) {
  const CaptureNameQuirks quirks = QuirksForCaptureName(selected_.friendly_name);
  const CaptureBufferChoice buffer = ChooseCaptureBuffer(exclusive_, rate_, default_period, quirks);
  const int duration = static_cast<int>(buffer.duration);
  switch (buffer.reason) {
    case CaptureBufferChoice::kExclusive:
      AudioLibLog("for exclusive mode, set hnsRequestedDuration to  %d \n", duration);
      break;
    case CaptureBufferChoice::kLowRate:
      AudioLibLog("sample rate %d, set hnsRequestedDuration to  %d \n", rate_, duration);
      break;
    case CaptureBufferChoice::kNamedDevice:
      if (quirks.two_channel_sum) two_channel_sum_ = true;
      AudioLibLog("special device %ws, set hnsRequestedDuration to  %d \n", selected_.friendly_name.c_str(), duration);
      break;
    case CaptureBufferChoice::kShortPeriod:
      AudioLibLog("too small, set hnsRequestedDuration to  %d \n", duration);
      break;
    case CaptureBufferChoice::kDevicePeriod:
      break;
  }
  return buffer;
}

bool MicCapture::StartCaptureStream(CaptureStream* stream) {
  AudioClient* client = stream->client.get();
  uint32_t buffer_frames = 0;
  HResult hr;
  if (Failed(hr = client->SetEventHandle(&stream->event)) || Failed(hr = client->GetCaptureClient(&stream->capture)) ||
      Failed(hr = client->GetBufferSize(&buffer_frames))) {
    AudioLibLog("error on line %d, hr = 0x%x \n", __LINE__, HrBits(hr));
    return false;
  }
  hr = client->Start();
  if (Failed(hr)) {
    AudioLibLog("%s, start up mic failed, hr=0x%x\n", "MicCapture::CaptureProc", HrBits(hr));
    return false;
  }
  AudioLibLog("mic capture buffer size %d \n", static_cast<int>(buffer_frames));
  first_position_ = -1;
  device_position_ = relative_position_ = 0;
  read_index_ = write_index_ = stored_ = 0;
  AudioLibLog("MicCapture::CaptureProc loop start.\n");
  return true;
}

void MicCapture::RunCaptureLoop(CaptureStream* stream) {
  const MicSampleFormat sample_format = {sample_type_, format_.bits_per_sample, channels_, two_channel_sum_};
  std::vector<uint8_t> silence;
  while (!stop_) {
    const PlatformEvent::WaitResult wait = layer_->WaitForEvent(&stream->event, 1000);
    if (wait == PlatformEvent::kSignalled) {
      wait_timeouts_ = 0;
      // Every packet the device holds: one wake-up may find several (a late thread, or a
      // driver that signals less often than once per packet); those left behind would be
      // overwritten and the stream would skip.
      PacketResult read = PacketResult::kRead;
      for (bool first = true; read == PacketResult::kRead && !stop_; first = false) {
        read = ReadPacket(stream->capture.get(), first, sample_format, &silence);
      }
      if (read == PacketResult::kReleaseFailed) break;
      continue;
    }
    if (wait == PlatformEvent::kTimeout) {
      ++wait_timeouts_;
      AudioLibLog("Unexpected, WaitForSingleObject time out, count %d.\n", wait_timeouts_);
    }
    if (wait_timeouts_ > 2 && !stop_) {
      restart_requested_ = true;
      wait_timeouts_ = 0;
      break;
    }
  }
  if (stop_) {
    AudioLibLog("MicCapture::CaptureProc loop end.\n");
    stream->client->Stop();
  }
}

MicCapture::PacketResult MicCapture::ReadPacket(CaptureClient* capture, bool first,
                                                const MicSampleFormat& sample_format, std::vector<uint8_t>* silence) {
  uint8_t* data = nullptr;
  uint32_t frames = 0, flags = 0;
  uint64_t position = 0;
  HResult hr = capture->GetBuffer(&data, &frames, &flags, &position);
  if (Failed(hr)) {
    AudioLibLog("Unexpected, spCaptureClient->GetBuffer failed, lost device control. hr = 0x%x\n", HrBits(hr));
    return PacketResult::kGetFailed;
  }
  // No packet handed out: nothing to release (Windows answers a release without a packet
  // with AUDCLNT_E_OUT_OF_ORDER).
  if (hr == kAUDCLNT_S_BUFFER_EMPTY) return PacketResult::kEmpty;
  if (first_position_ < 0) first_position_ = static_cast<int64_t>(position);
  device_position_ = static_cast<int64_t>(position);
  relative_position_ = device_position_ - first_position_;
  if (first && frames < 10) AudioLibLog("mic capture get data lenth too small %d \n", static_cast<int>(frames));
  const int block_align = format_.block_align;
  if ((flags & kBufferFlagSilent) != 0 && frames > 0) {
    silence->assign(static_cast<size_t>(frames) * block_align, 0);
    data = silence->data();
  }
  // Convert in pieces the size of the conversion buffer.
  const int conversion_frames = static_cast<int>(conversion_.size()) / (channels_ > 0 ? channels_ : 1);
  for (uint32_t done = 0; data != nullptr && done < frames;) {
    const int piece = static_cast<int>(std::min<uint32_t>(frames - done, conversion_frames));
    if (!ConvertToMono(data + static_cast<size_t>(done) * block_align, piece, sample_format, conversion_.data())) {
      if (sample_type_ == SampleType::kUnknown) {
        AudioLibLog("Unexpected m_eFormatType: EN_WAVE_FORMAT_UNKNOWN\n");
      } else {
        AudioLibLog("Unexpected nBitsPerSample: %d\n", format_.bits_per_sample);
      }
      AudioLibLog("Unexpected, ParseMicAudio() failed\n");
      break;
    }
    DeliverSamples(conversion_.data(), piece, relative_position_);
    done += static_cast<uint32_t>(piece);
  }
  hr = capture->ReleaseBuffer(frames);
  if (Failed(hr)) {
    AudioLibLog("error on line %d, hr = 0x%x \n", __LINE__, HrBits(hr));
    return PacketResult::kReleaseFailed;
  }
  return frames > 0 ? PacketResult::kRead : PacketResult::kEmpty;
}

void MicCapture::DeliverSamples(const int16_t* mono, int count, int64_t position) {
  const int size = static_cast<int>(mono_ring_.size());
  for (int i = 0; i < count; ++i) {
    mono_ring_[write_index_] = mono[i];
    write_index_ = write_index_ + 1 == size ? 0 : write_index_ + 1;
    if (++stored_ < chunk_) continue;
    OnCapturedData(&mono_ring_[read_index_], chunk_ * 2, rate_, position);
    read_index_ += chunk_;
    if (read_index_ >= size) read_index_ = 0;
    stored_ -= chunk_;
  }
}

void MicCapture::OnCapturedData(int16_t* chunk, int bytes, int rate, int64_t) {
  AudioCore& core = Core();
  const int samples = bytes / 2;
  VORAX::AutoLock lock(level_mutex_);
  ApplyDigitalGain(chunk, samples);
  uint8_t raise = 0;
  float energy = 0.0f;
  if (!second_mic_) {
    core.CaptureFrame(chunk, bytes, rate, &raise, &energy);
  } else {
    DeliverSecondMicChunk(chunk, bytes, rate);  // may move to another device
  }
  MicLevelControl* control = level_control_.get();
  if (control && Library().mic_volume_control.load()) AutoMicLevel(chunk, samples, raise, energy);
  // The level saved with the echo state, once restored.
  if (!second_mic_ && core.TakeRestorePending() && control && core.saved_mic_level() <= 100) {
    (void)control->SetLevel(static_cast<uint32_t>(core.saved_mic_level() * 65535 / 100));
  }
  if (control) SaveLevelForEchoState(control);
}

// In exclusive mode the gain follows the mic level; in shared mode the extra virtual gain
// of a main microphone with headset enhance. The level lock is held.
void MicCapture::ApplyDigitalGain(int16_t* chunk, int samples) {
  MicLevelControl* control = level_control_.get();
  if (!control) return;
  if (exclusive_) {
    uint32_t level = 0;
    if (Failed(control->GetLevel(&level))) level = 0;
    digital_gain_.gain_index = static_cast<int32_t>(std::min<uint32_t>(level >> 8, 255));
    control->ApplyDigitalGain(&digital_gain_, chunk, samples);
  } else if (extra_gain_on_ && Library().headset_enhance.load() && !second_mic_) {
    digital_gain_.gain_index = kExtraGainIndex;
    control->ApplyDigitalGain(&digital_gain_, chunk, samples);
  }
}

// A second microphone's chunk, at 48 kHz, into the core's ring; a microphone the core has
// declared dead moves to the next device. The level lock is held.
void MicCapture::DeliverSecondMicChunk(const int16_t* chunk, int bytes, int rate) {
  AudioCore& core = Core();
  int16_t converted[Resampler::kMaxOutput];
  const int16_t* frame = chunk;
  int count = bytes / 2;
  if (rate != AudioCore::kSampleRate) {
    count = core.ResampleCapture(chunk, bytes, rate, converted, AudioCore::Slot::kSecondMic);
    if (count != AudioCore::kFrameSamples) AudioLibLog("resample result error, %d return! \n", count);
    frame = converted;
  }
  RingBuffer& ring = core.second_mic_ring();
  if (count != AudioCore::kFrameSamples || ring.Write(frame, AudioCore::kFrameBytes) != RingBuffer::kOk) {
    AudioLibLog("Write 2nd mic data to ring buffer failed %lld.", static_cast<long long>(ring.Filled()));
    ring.Clear();
  }
  if (core.second_mic_dead()) HandleDeadSecondMic();
}

// The current level (percent) and boost, to be saved with the echo state.
void MicCapture::SaveLevelForEchoState(MicLevelControl* control) {
  uint32_t level = 0;
  if (Failed(control->GetLevel(&level))) level = 0;
  Core().set_saved_mic_level(static_cast<int>(level * 100 / 65535));
  Core().set_saved_mic_boost(control->GetBoostDb());
}

void MicCapture::AutoMicLevel(const int16_t* chunk, int samples, uint8_t raise, float energy) {
  MicLevelControl* control = level_control_.get();
  if (!control) return;
  const char* second = TrueFalse(second_mic_);
  if (control->increase_hold > 0) --control->increase_hold;
  if (control->decrease_hold <= 0) {
    for (int i = 0; i < samples; ++i) {
      if (chunk[i] >= 30000 || chunk[i] <= -30000) ++control->clip_count;
    }
    if (control->clip_count > 10) {
      if (energy > 3000.0f) {
        control->DecreaseStep(8000.0f);
        if (energy > 5000.0f) extra_gain_on_ = false;
        AudioLibLog("detected clip, reduce mic volume, voice eng is %f , 2nd mic %s \n", energy, second);
      } else if (second_mic_) {
        control->DecreaseStep(8000.0f);
        AudioLibLog("detected clip, reduce mic volume , 2nd mic %s \n", second);
      }
      return;
    }
  } else {
    --control->decrease_hold;
  }
  if (energy > 9000.0f || (second_mic_ && energy > 6000.0f)) {
    const bool stepped = control->DecreaseStep(energy);
    extra_gain_on_ = false;
    if (stepped) AudioLibLog("decrease mic vol because voice eng is %f , 2nd mic %s \n", energy, second);
  } else if (raise) {
    if (control->IncreaseStep(500.0f) == 2 && !extra_gain_on_) {
      AudioLibLog(" mic volume is 100,  add extra virtual gain  \n");
      extra_gain_on_ = true;
    }
  }
}

void MicCapture::HandleDeadSecondMic() {
  EnumDevices();
  // This device joins the tried list once; a full list means no further move.
  bool recorded = false;
  {
    VORAX::AutoLock lock(g_process_mutex);
    recorded = std::find(std::begin(g_tried_second_mics), std::end(g_tried_second_mics), device_guid_) !=
               std::end(g_tried_second_mics);
    for (Guid& slot : g_tried_second_mics) {
      if (recorded) break;
      if (IsEmpty(slot)) {
        slot = device_guid_;
        recorded = true;
      }
    }
  }
  std::wstring next;
  if (!recorded || devices().size() < 3 || Failed(Find2ndMic(MainDeviceId(), &next))) return;
  Guid guid;
  ParseGuidText(next, &guid);
  device_guid_ = guid;
  level_control_ = level_factory_(guid);  // the level lock is held by the caller
  restart_requested_ = true;
  stop_ = true;
  Core().ClearSecondMicCheck();
  Core().second_mic_ring().Clear();
  AudioLibLog("reset 2nd mic \n");
}

void MicCapture::StartRestartThread() {
  restart_.Schedule([this] {
    if (stop_) {
      ResetDevice(device_guid_);
    } else {
      AudioLibLog("%s, capture is started, return.\n", "MicCapture::RestartCaptureThreadProc");
    }
  });
}
