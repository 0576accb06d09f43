#include "volume/audio_mixer_src.h"

#include <algorithm>
#include <cwctype>

namespace {

constexpr uint32_t kListTypeBase = 0x6FFFFFFF;
constexpr uint32_t kSingleSelect = 0x70010000;  // MIXERCONTROL_CONTROLTYPE_SINGLESELECT
constexpr uint32_t kMux = 0x70010001;           // MIXERCONTROL_CONTROLTYPE_MUX

std::wstring UpperCut(const std::wstring& text) {
  std::wstring out = text.substr(0, 256);
  for (wchar_t& c : out) c = static_cast<wchar_t>(std::towupper(c));
  return out;
}

uint32_t ChannelsFor(const MixerControlInfo& control, uint32_t line_channels) {
  if ((control.flags & kMixerControlUniform) != 0 || line_channels == 0) return 1;
  return line_channels;
}

}  // namespace

VORAX::Mutex& MixerLock() {
  static VORAX::Mutex lock;
  return lock;
}

CMixerCtrlWnd::CMixerCtrlWnd(std::unique_ptr<MixerNotifyWindow> window, CAudioMixerBase* mixer)
    : window_(std::move(window)), mixer_(mixer) {
  if (window_) window_->set_sink(this);
}

CMixerCtrlWnd::~CMixerCtrlWnd() {
  if (window_) window_->set_sink(nullptr);
  window_.reset();
}

void CMixerCtrlWnd::Unlink() {
  VORAX::AutoLock lock(MixerLock());
  mixer_ = nullptr;
}

void CMixerCtrlWnd::OnControlChange(uint32_t control_id) {
  VORAX::AutoLock lock(MixerLock());
  if (mixer_) mixer_->ReadChangedControl(control_id);
}

CAudioMixerBase::CAudioMixerBase(LevelDeviceLayer* layer, const std::wstring& device_name, uint32_t component_type,
                                 HResult* result)
    : layer_(layer) {
  VORAX::AutoLock mixers(MixerLock());
  for (int i = 0; i < 2; ++i) {
    std::unique_ptr<MixerNotifyWindow> window;
    (void)layer_->CreateNotifyWindow(&window);
    windows_[i].reset(new CMixerCtrlWnd(std::move(window), i == 0 ? this : nullptr));
  }
  *result = kE_FAIL;
  const int count = layer_->MixerCount();
  for (int i = 0; i < count; ++i) {
    std::wstring name;
    if (Failed(layer_->GetMixerName(i, &name))) return;
    const size_t n = std::min<size_t>(32, std::min(name.size(), device_name.size()));
    if (name.compare(0, n, device_name, 0, n) != 0) continue;
    if (Failed(layer_->OpenMixer(i, windows_[0]->window(), &mixer_))) {
      mixer_.reset();
      return;
    }
    break;
  }
  if (!mixer_) return;
  if (Failed(mixer_->GetDestinationLine(component_type, &destination_))) {
    mixer_.reset();
    return;
  }
  *result = kS_OK;
  if (destination_.controls == 0) return;
  destination_volume_.present =
      Succeeded(mixer_->GetControlByType(destination_.line_id, kMixerControlVolume, &destination_volume_.info));
  destination_mute_.present =
      Succeeded(mixer_->GetControlByType(destination_.line_id, kMixerControlMute, &destination_mute_.info));
  ReadSourceLines();
}

void CAudioMixerBase::ReadSourceLines() {
  bool have_line_in = false;
  MixerLineInfo line_in;
  for (uint32_t i = 0; i < destination_.connections; ++i) {
    MixerLineInfo source;
    if (Failed(mixer_->GetSourceLine(destination_, i, &source)) || source.controls == 0) continue;
    if (source.component_type == kMixerSrcMicrophone) {
      line_in = source;
      have_line_in = true;
      break;
    }
    if (source.component_type == kMixerSrcLine && !have_line_in) {
      line_in = source;
      have_line_in = true;
    }
  }
  if (!have_line_in) return;
  source_channels_ = line_in.channels;
  source_volume_.present =
      Succeeded(mixer_->GetControlByType(line_in.line_id, kMixerControlVolume, &source_volume_.info));
  source_mute_.present = Succeeded(mixer_->GetControlByType(line_in.line_id, kMixerControlMute, &source_mute_.info));
}

CAudioMixerBase::~CAudioMixerBase() { DestroyMixer(); }

void CAudioMixerBase::DestroyMixer() {
  VORAX::AutoLock mixers(MixerLock());
  mixer_.reset();
  for (std::unique_ptr<CMixerCtrlWnd>& w : windows_) {
    if (!w) continue;
    w->Unlink();
    w.reset();
  }
}

int CAudioMixerBase::notify_windows() const {
  int n = 0;
  for (const std::unique_ptr<CMixerCtrlWnd>& w : windows_)
    n += w && const_cast<CMixerCtrlWnd*>(w.get())->window() ? 1 : 0;
  return n;
}

HResult CAudioMixerBase::SetSourceMute(bool mute) {
  VORAX::AutoLock lock(lock_);
  return WriteFlag(&source_mute_, source_channels_, mute);
}

int CAudioMixerBase::SetUserContext(intptr_t) { return 0; }

void CAudioMixerBase::RememberEarlierValue(Control* control, uint32_t channels) {
  if (control->earlier_read) return;
  control->earlier_read = true;
  (void)mixer_->GetValues(control->info, channels, &control->earlier);
}

HResult CAudioMixerBase::WriteLevel(Control* control, uint32_t line_channels, uint32_t level) {
  if (!mixer_ || !control->present) return kE_FAIL;
  if (level > full_scale_) level = full_scale_;
  const uint32_t channels = ChannelsFor(control->info, line_channels);
  RememberEarlierValue(control, channels);
  const int64_t span = static_cast<int64_t>(control->info.maximum) - control->info.minimum;
  const int32_t value = static_cast<int32_t>(control->info.minimum + span * level / full_scale_);
  return Failed(mixer_->SetValues(control->info, channels, std::vector<int32_t>(channels, value))) ? kE_FAIL : kS_OK;
}

HResult CAudioMixerBase::WriteFlag(Control* control, uint32_t line_channels, bool on) {
  if (!mixer_ || !control->present) return kE_FAIL;
  const uint32_t channels = ChannelsFor(control->info, line_channels);
  RememberEarlierValue(control, channels);
  return Failed(mixer_->SetValues(control->info, channels, std::vector<int32_t>(channels, on ? 1 : 0))) ? kE_FAIL
                                                                                                        : kS_OK;
}

HResult CAudioMixerBase::Read(const Control& control, uint32_t line_channels, uint32_t* value) {
  if (!mixer_ || !control.present) return kE_FAIL;
  std::vector<int32_t> values;
  if (Failed(mixer_->GetValues(control.info, ChannelsFor(control.info, line_channels), &values)) || values.empty()) {
    return kE_FAIL;
  }
  *value = static_cast<uint32_t>(values[0]);
  return kS_OK;
}

HResult CAudioMixerBase::SetDestinationVolume(uint32_t level) {
  VORAX::AutoLock lock(lock_);
  return WriteLevel(&destination_volume_, destination_.channels, level);
}

HResult CAudioMixerBase::SetSourceVolume(uint32_t level) {
  VORAX::AutoLock lock(lock_);
  return WriteLevel(&source_volume_, source_channels_, level);
}

HResult CAudioMixerBase::GetDestinationVolume(uint32_t* value) {
  return Read(destination_volume_, destination_.channels, value);
}

HResult CAudioMixerBase::GetSourceVolume(uint32_t* value) { return Read(source_volume_, source_channels_, value); }

HResult CAudioMixerBase::GetDestinationMute(uint32_t* value) {
  return Read(destination_mute_, destination_.channels, value);
}

HResult CAudioMixerBase::GetSourceMute(uint32_t* value) { return Read(source_mute_, source_channels_, value); }

void CAudioMixerBase::ReadChangedControl(uint32_t control_id) {
  if (!mixer_) return;
  for (const Control* c : {&destination_volume_, &destination_mute_, &source_volume_, &source_mute_}) {
    if (!c->present || c->info.id != control_id) continue;
    uint32_t value = 0;
    (void)Read(*c, c == &source_volume_ || c == &source_mute_ ? source_channels_ : destination_.channels, &value);
    return;
  }
}

CAudioMixerSrc::CAudioMixerSrc(LevelDeviceLayer* layer, const std::wstring& device_name, HResult* result,
                               VolumeBackend* owner)
    : CAudioMixerBase(layer, device_name, kMixerDstWaveIn, result), owner_(owner) {}

CAudioMixerSrc::~CAudioMixerSrc() {
  VORAX::AutoLock mixers(MixerLock());
  if (has_remembered_) (void)SelectRecordingSource(remembered_);
  DestroyMixer();
}

int CAudioMixerSrc::SetUserContext(intptr_t context) {
  user_context_ = context;
  return 0;
}

HResult CAudioMixerSrc::SetVolume(uint32_t level) {
  VORAX::AutoLock lock(lock_);
  (void)WriteLevel(&destination_volume_, destination_.channels, level);
  return WriteLevel(&source_volume_, source_channels_, level);
}

HResult CAudioMixerSrc::SetMute(bool mute) {
  VORAX::AutoLock lock(lock_);
  (void)WriteFlag(&destination_mute_, destination_.channels, mute);
  return WriteFlag(&source_mute_, source_channels_, mute);
}

HResult CAudioMixerSrc::SelectRecordingSource(const std::wstring& name) {
  if (!mixer_) return kE_FAIL;
  std::vector<MixerControlInfo> controls;
  if (Failed(mixer_->GetAllControls(destination_, &controls))) return kE_FAIL;
  const MixerControlInfo* list = nullptr;
  for (const MixerControlInfo& c : controls) {
    if (c.type > kListTypeBase) {
      list = &c;
      break;
    }
  }
  if (!list || list->items == 0) return kE_FAIL;
  const bool single = list->type == kSingleSelect || list->type == kMux;
  const uint32_t channels = ChannelsFor(*list, destination_.channels);
  std::vector<std::wstring> texts;
  std::vector<int32_t> values;
  if (Failed(mixer_->GetItemTexts(*list, channels, &texts)) || Failed(mixer_->GetValues(*list, channels, &values)) ||
      texts.size() < list->items || values.size() < list->items) {
    return kE_FAIL;
  }
  const std::wstring wanted = UpperCut(name);
  HResult result = kE_FAIL;
  for (uint32_t i = 0; i < list->items; ++i) {
    if (values[i] != 0 && !has_remembered_) {
      has_remembered_ = true;
      remembered_ = texts[i];
    }
  }
  for (uint32_t i = 0; i < list->items; ++i) {
    if (UpperCut(texts[i]).find(wanted) != std::wstring::npos) {
      values[i] = 1;
      result = kS_OK;
    } else if (single) {
      values[i] = 0;
    }
  }
  // Without a match nothing is written: a single-select list would lose every source.
  if (Failed(result) || Failed(mixer_->SetValues(*list, channels, values))) return kE_FAIL;
  return kS_OK;
}
