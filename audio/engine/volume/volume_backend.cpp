#include "volume/volume_backend.h"

#include <cmath>

#include "audio_lib_log.h"
#include "device/device_quirks.h"
#include "device/dsound_device_table.h"
#include "vorax_mutex.h"

namespace {

// Event context of the library's own level changes.
const Guid kLevelChangeContext = {0x4E5EA27F, 0x4422, 0x4758, {0x87, 0x62, 0xC5, 0x83, 0xCF, 0x19, 0x85, 0x01}};

bool CaptureDeviceName(LevelDeviceLayer* layer, const Guid& device, std::wstring* name) {
  DSoundDeviceTable table;
  if (Failed(table.Build(layer, 0))) return false;
  return table.NameOf(device, name);
}

}  // namespace

VolumeBackend::VolumeBackend(LevelDeviceLayer* layer, HResult* result, const Guid* device) : layer_(layer) {
  *result = kE_FAIL;
  int major = 0, minor = 0;
  if (layer_->GetSystemVersion(&major, &minor)) {
    system_kind_ = major >= 6 ? kVistaOrLater : (major == 5 && minor == 1 ? kWindowsXp : kOther);
  }
  Guid id = {};
  if (device) {
    id = *device;
  } else if (Failed(layer_->GetDefaultVoiceDevice(DeviceKind::kCapture, &id))) {
    return;
  }
  std::wstring name;
  const bool named = CaptureDeviceName(layer_, id, &name);
  if (system_kind_ == kVistaOrLater) {
    vista_.reset(new CVistaAudio(layer_, id, capture_, minor != 0));
    if (named && QuirksForCaptureName(name).boost_only) {
      AudioLibLog("Found %ws, disable microphone volume control, only use boost volume control.\n", name.c_str());
      boost_only_ = true;
    }
    if (!vista_->has_endpoint()) {
      AudioLibLog("warning, m_pVistaAudio init error!!  \n");
      return;
    }
    *result = kS_OK;
    return;
  }
  if (!named) return;
  HResult made = kE_FAIL;
  mixer_.reset(new CAudioMixerSrc(layer_, name, &made, this));
  if (Failed(made)) {
    mixer_.reset();
    return;
  }
  *result = kS_OK;
}

VolumeBackend::~VolumeBackend() {
  mixer_.reset();
  vista_.reset();
}

HResult VolumeBackend::SelectMicSource() {
  if (Succeeded(mixer_->SelectRecordingSource(L"Mic"))) return kS_OK;
  return mixer_->SelectRecordingSource(L"Line In");
}

HResult VolumeBackend::SetMicLevel(uint32_t level) {
  if (level > 0xffff) level = 0xffff;
  if (mixer_) {
    VORAX::AutoLock lock(MixerLock());
    (void)SelectMicSource();
    if (Succeeded(mixer_->SetSourceVolume(level))) return kS_OK;
    return mixer_->SetDestinationVolume(level);
  }
  if (!vista_) return kE_FAIL;
  if (boost_only_) {
    AudioLibLog("for device which only have boost mic level, don't set mic volume.");
    return kS_OK;
  }
  const HResult hr = vista_->SetMasterVolume(static_cast<float>(level) / 65535.0f, kLevelChangeContext);
  layer_->Sleep(10);
  return Failed(hr) ? hr : kS_OK;
}

HResult VolumeBackend::GetMicLevel(uint32_t* level) {
  if (mixer_) {
    VORAX::AutoLock lock(MixerLock());
    (void)SelectMicSource();
    if (Succeeded(mixer_->GetSourceVolume(level))) return kS_OK;
    return mixer_->GetDestinationVolume(level);
  }
  if (!vista_) return kE_FAIL;
  float scalar = 0.0f;
  const HResult hr = vista_->GetMasterVolume(&scalar);
  if (Failed(hr)) return hr;
  // Rounded: a level set as level / 65535 must read back as itself, and truncating the
  // float product loses one step (35 % would read back as 34 %).
  *level = static_cast<uint32_t>(std::lround(scalar * 65535.0));
  return kS_OK;
}
