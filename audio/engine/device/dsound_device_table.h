// The DirectSound capture or playback devices of the machine, at most 100, ordered so that
// a headset (or the default voice device) comes first; the speakerphone family is
// recognised by name and through the Bluetooth device search.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device/level_device_layer.h"

// 1 when a connected Bluetooth device's name contains "Orvex Talvey", else 0 (after a
// 20 ms wait).
int FindBluetoothSpeakerphone(LevelDeviceLayer* layer);

class DSoundDeviceTable {
 public:
  static constexpr int kMaxDevices = 100;

  struct Entry {
    std::wstring name;
    Guid id;
  };

  // kind 0 capture, 1 playback; kE_INVALIDARG (and an empty table) for another kind.
  HResult Build(LevelDeviceLayer* layer, int kind);
  void Free();

  // Offers one enumerated device to the table.
  void OnDevice(const DirectSoundDevice& device);

  int count() const { return static_cast<int>(entries_.size()); }
  const Entry& entry(int i) const { return entries_[i]; }
  int speakerphone_index() const { return speakerphone_index_; }
  int first_index() const { return first_index_; }
  int seen() const { return seen_; }
  // The name of the device with this identifier; false when none.
  bool NameOf(const Guid& id, std::wstring* name) const;

 private:
  void Add(const DirectSoundDevice& device);
  void Order();

  LevelDeviceLayer* layer_ = nullptr;
  std::vector<Entry> entries_;
  int speakerphone_index_ = -1;
  int seen_ = 0;
  int first_index_ = -1;
  Guid default_voice_[2] = {};
  bool has_default_voice_[2] = {};
};
