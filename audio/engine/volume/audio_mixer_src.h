// The microphone level through the winmm mixer: the mixer named like the capture device, its
// recording destination and, on it, the microphone source (or the line-in source); their
// volume and mute controls; the recording source selected by name and selected back on
// destruction. Control changes arrive at a hidden notification window.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "device/level_device_layer.h"
#include "vorax_mutex.h"

class CAudioMixerBase;
class VolumeBackend;

// The process-wide lock of all mixer objects and their windows' links to them.
VORAX::Mutex& MixerLock();

// A notification window that reports control changes to a mixer object.
class CMixerCtrlWnd : public MixerWindowSink {
 public:
  CMixerCtrlWnd(std::unique_ptr<MixerNotifyWindow> window, CAudioMixerBase* mixer);
  ~CMixerCtrlWnd() override;
  void OnControlChange(uint32_t control_id) override;
  MixerNotifyWindow* window() { return window_.get(); }
  void Unlink();

 private:
  std::unique_ptr<MixerNotifyWindow> window_;
  CAudioMixerBase* mixer_;
};

class CAudioMixerBase {
 public:
  struct Control {
    bool present = false;
    MixerControlInfo info;
    bool earlier_read = false;  // the value before the first change
    std::vector<int32_t> earlier;
  };

  CAudioMixerBase(LevelDeviceLayer* layer, const std::wstring& device_name, uint32_t component_type, HResult* result);
  virtual ~CAudioMixerBase();
  CAudioMixerBase(const CAudioMixerBase&) = delete;
  CAudioMixerBase& operator=(const CAudioMixerBase&) = delete;

  virtual HResult SetSourceMute(bool mute);
  virtual int SetUserContext(intptr_t context);
  virtual HResult SetVolume(uint32_t level) = 0;
  virtual HResult SetMute(bool mute) = 0;

  HResult SetDestinationVolume(uint32_t level);
  HResult SetSourceVolume(uint32_t level);
  HResult GetDestinationVolume(uint32_t* value);
  HResult GetSourceVolume(uint32_t* value);
  HResult GetDestinationMute(uint32_t* value);
  HResult GetSourceMute(uint32_t* value);
  // Reads a control after a change notification (the value goes nowhere).
  void ReadChangedControl(uint32_t control_id);

  bool has_mixer() const { return mixer_ != nullptr; }
  int notify_windows() const;

 protected:
  HResult WriteLevel(Control* control, uint32_t channels, uint32_t level);
  HResult WriteFlag(Control* control, uint32_t channels, bool on);
  HResult Read(const Control& control, uint32_t channels, uint32_t* value);
  void DestroyMixer();

  LevelDeviceLayer* layer_;
  std::unique_ptr<CMixerCtrlWnd> windows_[2];
  std::unique_ptr<Mixer> mixer_;
  MixerLineInfo destination_;
  Control destination_volume_;
  Control destination_mute_;
  uint32_t source_channels_ = 0;
  Control source_volume_;
  Control source_mute_;
  const uint32_t full_scale_ = 0xffff;
  VORAX::Mutex lock_;

 private:
  void ReadSourceLines();
  void RememberEarlierValue(Control* control, uint32_t channels);
};

class CAudioMixerSrc : public CAudioMixerBase {
 public:
  CAudioMixerSrc(LevelDeviceLayer* layer, const std::wstring& device_name, HResult* result, VolumeBackend* owner);
  ~CAudioMixerSrc() override;

  int SetUserContext(intptr_t context) override;
  HResult SetVolume(uint32_t level) override;
  HResult SetMute(bool mute) override;
  // Selects the recording-source item whose text contains `name`; S_OK when one matched.
  HResult SelectRecordingSource(const std::wstring& name);

  intptr_t user_context() const { return user_context_; }
  const std::wstring& remembered_source() const { return remembered_; }

 private:
  VolumeBackend* owner_;
  intptr_t user_context_ = 0;
  bool has_remembered_ = false;
  std::wstring remembered_;
};
