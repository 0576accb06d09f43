#include "volume/vista_audio.h"

#include <cmath>
#include <cstdio>
#include <cwchar>

#include "audio_lib_log.h"
#include "core/library_state.h"
#include "device/device_quirks.h"

namespace {

const Guid kKsNodeTypeVolume = {0x3A5ACC00, 0xC557, 0x11D0, {0x8A, 0x2B, 0x00, 0xA0, 0xC9, 0x25, 0x5A, 0xC1}};

// "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", all upper case.
std::wstring UpperGuidText(const Guid& g) {
  wchar_t text[40];
  std::swprintf(text, 40, L"{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.data1, g.data2, g.data3, g.data4[0],
                g.data4[1], g.data4[2], g.data4[3], g.data4[4], g.data4[5], g.data4[6], g.data4[7]);
  return text;
}

}  // namespace

void CMyAudioEndpointVolumeCallback::OnNotify(const VolumeNotification& data) {
  const int mute = data.muted ? 1 : 0;
  if (mute != last_mute_) {
    last_mute_ = mute;
    if (mute != owner_->mute()) {
      owner_->set_mute(mute);
      layer_->Sleep(1);
    }
  }
  const int level = static_cast<int>(data.master_volume * 65535.0f);
  if (std::abs(level - last_level_) > 10) {
    last_level_ = level;
    layer_->Sleep(1);
  }
  owner_->clear_change_pending();
}

CVistaAudio::CVistaAudio(LevelDeviceLayer* layer, const Guid& device, bool capture, bool)
    : layer_(layer), capture_(capture) {
  std::vector<EndpointInfo> endpoints;
  if (Failed(layer_->EnumCaptureEndpoints(&endpoints)) || endpoints.empty()) return;
  endpoint_count_ = static_cast<int>(endpoints.size());

  notification_client_.reset(new CMyNotificationClient);
  notification_registered_ = Succeeded(layer_->RegisterDeviceNotifications(notification_client_.get()));

  const std::wstring wanted = UpperGuidText(device);
  std::unique_ptr<LevelEndpoint> endpoint;
  for (int i = 0; i < endpoint_count_; ++i) {
    if (endpoints[i].id != wanted) continue;
    if (Failed(layer_->OpenCaptureEndpoint(endpoints[i].id, &endpoint))) return;
    endpoint_index_ = i;
    (void)endpoint->GetId(&endpoint_id_);
    if (Failed(endpoint->ActivateEndpointVolume(&volume_))) return;
    callback_.reset(new CMyAudioEndpointVolumeCallback(this, layer_));
    callback_registered_ = Succeeded(volume_->RegisterControlChangeNotify(callback_.get()));
    if (Failed(endpoint->ActivateAudioClient(&client_))) return;
    WaveFormat mix = {};
    if (Failed(client_->GetMixFormat(&mix))) return;
    break;
  }
  if (!endpoint) return;

  ProbeExclusiveRates();
  FindBoost(endpoint.get());
  bool muted = false;
  VORAX::AutoLock lock(lock_);
  if (Succeeded(volume_->GetMute(&muted))) mute_ = muted ? 1 : 0;
}

CVistaAudio::~CVistaAudio() {
  if (notification_registered_) layer_->UnregisterDeviceNotifications(notification_client_.get());
  if (callback_registered_) volume_->UnregisterControlChangeNotify(callback_.get());
  boost_.reset();
  client_.reset();
  volume_.reset();
}

void CVistaAudio::ProbeExclusiveRates() {
  int highest = 0;
  for (int channels : {1, 2}) {
    for (int rate : {48000, 44100, 32000, 22050, 16000, 11025, 8000}) {
      if (rate > highest && client_->IsFormatSupported(true, Int16Format(rate, channels)) == kS_OK) highest = rate;
    }
  }
  narrow_band_ = highest == 16000 || highest == 8000;
}

void CVistaAudio::FindBoost(LevelEndpoint* endpoint) {
  std::unique_ptr<TopologyPart> part;
  if (Failed(endpoint->GetConnectedPart(&part))) return;
  boost_ = SearchMicBoostIVol(part.get(), true);
  if (!boost_) boost_ = SearchMicBoostIVol(part.get(), false);
  if (!boost_) return;
  if (Failed(boost_->GetLevelRange(0, &boost_min_, &boost_max_, &boost_step_))) return;
  const bool few_steps = boost_step_ <= 0.0f || (boost_max_ - boost_min_) / boost_step_ < 3.0f;
  float start = few_steps ? boost_max_ : boost_max_ - boost_step_;
  const std::string model = Library().pc_model();
  if (QuirksForPcModel(model).small_boost_start) {
    AudioLibLog("%s, Found device %s, set init DB to small one.\n.", "CVistaAudio::CVistaAudio", model.c_str());
    start = boost_min_ + boost_step_;
  }
  float current = 0.0f;
  (void)boost_->GetLevel(0, &current);
  AudioLibLog(
      "Mic Boost channel %u volume is %.3f dB init value %.3f DB (range is %.3f dB to %.3f dB in increments of "
      "%.3f dB)\n",
      0u, current, start, boost_min_, boost_max_, boost_step_);
  if (static_cast<int>(start) > 0) (void)boost_->SetLevelUniform(start);
}

std::unique_ptr<VolumeLevel> CVistaAudio::SearchMicBoostIVol(TopologyPart* part, bool by_name) {
  std::unique_ptr<VolumeLevel> level;
  std::wstring name;
  (void)part->GetName(&name);
  if (by_name) {
    if (name.find(L"Mic") != std::wstring::npos && name.find(L"Boost") != std::wstring::npos &&
        Succeeded(part->ActivateVolumeLevel(&level))) {
      return level;
    }
  } else {
    Guid subtype = {};
    if (Succeeded(part->GetSubType(&subtype)) && subtype == kKsNodeTypeVolume &&
        Succeeded(part->ActivateVolumeLevel(&level))) {
      uint32_t channels = 0;
      float lo = 0, hi = 0, step = 0;
      if (Failed(level->GetChannelCount(&channels))) {
        AudioLibLog("%s get channel count failed\n", "CVistaAudio::SearchMicBoostIVol");
      } else if (Failed(level->GetLevelRange(0, &lo, &hi, &step))) {
        AudioLibLog("%s nChannels: %d, %d channel, get level range failed \n", "CVistaAudio::SearchMicBoostIVol",
                    static_cast<int>(channels), 0);
      } else {
        AudioLibLog("Found KSNODETYPE_VOLUME: Range is %.3f dB to %.3f dB in increments of %.3f dB\n", lo, hi, step);
        if (lo >= 0.0f && step >= 1.0f) {
          AudioLibLog("Found Mic Boost Part name: %ws\n", name.c_str());
          AudioLibLog("Found Mic Boost: Range is %.3f dB to %.3f dB in increments of %.3f dB\n", lo, hi, step);
          return level;
        }
      }
      level.reset();
    }
  }
  std::vector<std::unique_ptr<TopologyPart>> outgoing;
  if (Failed(part->EnumPartsOutgoing(&outgoing))) return nullptr;
  for (std::unique_ptr<TopologyPart>& next : outgoing) {
    level = SearchMicBoostIVol(next.get(), by_name);
    if (level) return level;
  }
  return nullptr;
}

HResult CVistaAudio::GetMasterVolume(float* level) {
  VORAX::AutoLock lock(lock_);
  if (!volume_) return kE_FAIL;
  return volume_->GetMasterVolumeLevelScalar(level);
}

HResult CVistaAudio::SetMasterVolume(float level, const Guid& event_context) {
  VORAX::AutoLock lock(lock_);
  if (!volume_) return kE_FAIL;
  change_pending_ = 1;
  return volume_->SetMasterVolumeLevelScalar(level, event_context);
}

HResult CVistaAudio::GetBoost(float* db) {
  VORAX::AutoLock lock(lock_);
  if (!boost_) return kE_FAIL;
  return boost_->GetLevel(0, db);
}

HResult CVistaAudio::SetBoost(float db) {
  VORAX::AutoLock lock(lock_);
  if (!boost_) return kE_FAIL;
  return boost_->SetLevelUniform(db);
}

void CVistaAudio::RegisterController(VolumeController* controller) {
  if (callback_) callback_->set_controller(controller);
}
