#include "device/dsound_device_table.h"

#include <utility>

namespace {

constexpr wchar_t kFamily[] = L"Orvex Talvey";
constexpr wchar_t kHandsFree[] = L"Orvex Talvey Hands-Free";
constexpr wchar_t kStereo[] = L"Orvex Talvey Stereo";
constexpr wchar_t kParlance[] = L"Orvex Parlance";
constexpr wchar_t kBluetoothHeadphones[] = L"Bluetooth Headphones (Bluetooth Audio)";

bool Contains(const std::wstring& text, const wchar_t* part) { return text.find(part) != std::wstring::npos; }

// Entries that are never kept: the stereo profile of the speakerphone and Bluetooth headphones.
bool IsRemovedKind(const std::wstring& name) { return Contains(name, kStereo) || Contains(name, kBluetoothHeadphones); }

}  // namespace

int FindBluetoothSpeakerphone(LevelDeviceLayer* layer) {
  layer->Sleep(20);
  std::vector<std::wstring> names;
  if (Failed(layer->FindConnectedBluetoothDevices(&names))) return 0;
  for (const std::wstring& name : names) {
    if (Contains(name, kFamily)) return 1;
  }
  return 0;
}

HResult DSoundDeviceTable::Build(LevelDeviceLayer* layer, int kind) {
  Free();
  layer_ = layer;
  speakerphone_index_ = -1;
  first_index_ = -1;
  seen_ = 0;
  if (kind != 0 && kind != 1) return kE_INVALIDARG;
  for (int k = 0; k < 2; ++k) {
    has_default_voice_[k] = Succeeded(layer->GetDefaultVoiceDevice(static_cast<DeviceKind>(k), &default_voice_[k]));
  }
  std::vector<DirectSoundDevice> devices;
  if (Succeeded(layer->EnumDirectSound(static_cast<DeviceKind>(kind), &devices))) {
    for (const DirectSoundDevice& d : devices) OnDevice(d);
  }
  Order();
  return kS_OK;
}

void DSoundDeviceTable::Free() { entries_.clear(); }

void DSoundDeviceTable::OnDevice(const DirectSoundDevice& device) {
  if (!device.has_guid || count() >= kMaxDevices) return;
  ++seen_;
  const std::wstring& d = device.description;
  if (IsRemovedKind(d)) return;
  if (Contains(d, kHandsFree) || (!Contains(d, kFamily) && FindBluetoothSpeakerphone(layer_))) {
    if (speakerphone_index_ >= 0) return;
    speakerphone_index_ = count();
    Add(device);
  } else if (Contains(d, kFamily)) {
    if (speakerphone_index_ >= 0) {
      entries_[speakerphone_index_] = Entry{d, device.id};
      return;
    }
    speakerphone_index_ = count();
    Add(device);
  } else {
    Add(device);
  }
}

void DSoundDeviceTable::Add(const DirectSoundDevice& device) {
  for (int k = 0; k < 2; ++k) {
    if (has_default_voice_[k] && device.id == default_voice_[k]) first_index_ = count();
  }
  entries_.push_back(Entry{device.description, device.id});
}

void DSoundDeviceTable::Order() {
  for (int i = 0; i < count();) {
    if (!IsRemovedKind(entries_[i].name)) {
      ++i;
      continue;
    }
    const int last = count() - 1;
    std::swap(entries_[i], entries_[last]);
    if (first_index_ == last)
      first_index_ = i;
    else if (first_index_ == i)
      first_index_ = -1;
    entries_.pop_back();
  }
  for (int i = 0; i < count(); ++i) {
    const std::wstring& name = entries_[i].name;
    if (Contains(name, kParlance) || Contains(name, L"Headset") || Contains(name, L"headset")) {
      std::swap(entries_[0], entries_[i]);
      first_index_ = 0;
      return;
    }
  }
  if (first_index_ >= 1 && first_index_ < count() && !IsRemovedKind(entries_[first_index_].name)) {
    std::swap(entries_[0], entries_[first_index_]);
    first_index_ = 0;
  }
}

bool DSoundDeviceTable::NameOf(const Guid& id, std::wstring* name) const {
  for (const Entry& e : entries_) {
    if (e.id == id) {
      *name = e.name;
      return true;
    }
  }
  return false;
}
