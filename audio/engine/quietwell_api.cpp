// The library's exports: the device objects, the callbacks and the options.
#include "quietwell_api.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "audio_lib_log.h"
#include "capture/mic_capture.h"
#include "core/audio_core.h"
#include "core/library_state.h"
#include "platform/system_access.h"
#include "playback/was_playback.h"

namespace {

struct Devices {
  std::unique_ptr<MicCapture> mic;
  std::unique_ptr<MicCapture> second_mic;
  std::unique_ptr<WASPlayback> playback;
  FILE* dumps[5] = {};
};

Devices& Engine() {
  static Devices devices;
  return devices;
}

bool LowByte(int value) { return (value & 0xFF) != 0; }
const char* OnOff(bool v) { return v ? "on" : "off"; }

const char kBuildDate[] = __DATE__;
const char kBuildTime[] = __TIME__;

constexpr char kMicArrayGbk[] = "\xC2\xF3\xBF\xCB\xB7\xE7\xD5\xF3\xC1\xD0";    // 麦克风阵列
constexpr char kBuiltInMicGbk[] = "\xC4\xDA\xD7\xB0\xC2\xF3\xBF\xCB\xB7\xE7";  // 内装麦克风
constexpr char kCaptureDevicesKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\MMDevices\\Audio\\Capture";
constexpr char kDescriptionValue[] = "{a45c254e-df1c-4efd-8020-67d146a850e0},2";
constexpr char kSystemEffectsValue[] = "{1da5d803-d492-4edd-8c23-e0c0ffee7f0e},5";

// KEY_WOW64_64KEY on a 64-bit Windows, else KEY_WOW64_32KEY, with its log line.
uint32_t RegistryView(const char* caller) {
  const bool wide = ActiveSystemAccess()->Is64BitWindows();
  AudioLibLog(wide ? "%s this is 64 bit OS.\n." : "%s this is 32 bit OS.\n.", caller);
  const uint32_t view = wide ? kKeyWow64_64 : kKeyWow64_32;
  Library().registry_view = view;
  return view;
}

void ReadPcModel() {
  const uint32_t view = RegistryView("GetPCModel");
  std::unique_ptr<RegistryKey> key;
  if (ActiveSystemAccess()->OpenLocalMachineKey("HARDWARE\\DESCRIPTION\\System\\BIOS", view | kKeyQueryValue, &key) !=
      kRegistryOk) {
    return;
  }
  std::string model;
  if (key->QueryString("SystemFamily", &model, 260) != kRegistryOk) model.clear();
  Library().set_pc_model(model);
  AudioLibLog("%s, get pc model name is %s .\n", "GetPCModel", model.c_str());
}

// Starts a second microphone when headset enhance is on and there is more than one
// capture device.
void OpenSecondMic(int capture_count) {
  Devices& d = Engine();
  if (!Library().headset_enhance.load() || capture_count < 2 || !d.mic) return;
  if (d.second_mic) d.second_mic->Stop();
  d.second_mic.reset();
  std::wstring found;
  if (Failed(d.mic->Find2ndMic(MicCapture::MainDeviceId(), &found))) return;
  std::unique_ptr<MicCapture> mic(new MicCapture(ActiveDeviceLayer(), true));
  Guid guid;
  ParseGuidText(found, &guid);
  mic->SetDevice(guid);
  mic->Init(found.c_str());
  mic->Start();
  d.second_mic = std::move(mic);
}

// Copies the clamped device's name into `name`; -1 without devices.
int DeviceName(const std::vector<DeviceRecord>& devices, int index, char* name, const char* format) {
  const int count = static_cast<int>(devices.size());
  if (count == 0) {
    AudioLibLog(format, index, "");
    return -1;
  }
  if (index >= count) index = count - 1;
  if (index < 0) index = 0;
  const std::wstring& wide = devices[index].name;
  const std::string narrow = NarrowText(wide, (wide.size() + 1) * 2);
  if (name != nullptr) std::memcpy(name, narrow.c_str(), narrow.size() + 1);
  AudioLibLog(format, index, narrow.c_str());
  return 0;
}

int Clamp(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

}  // namespace

extern "C" {

int QUIETWELL_CALL OpenRealAudioEngine(RealAudioCaptureCallback capture, RealAudioRenderCallback render) {
  Devices& d = Engine();
  Library().capture_callback = capture;
  AudioLibLog("AudioLib API: OpenRealAudioEngine, version %s %s.\n", kBuildDate, kBuildTime);
  d.second_mic.reset();
  d.mic.reset(new MicCapture(ActiveDeviceLayer(), false));
  d.mic->EnumDevices();
  d.mic->Init(nullptr);
  Library().render_callback = render;
  d.playback.reset(new WASPlayback(ActiveDeviceLayer()));
  d.playback->EnumPlayoutDevices(true);
  d.playback->Init(nullptr);

  std::wstring documents;
  if (ActiveSystemAccess()->DocumentsFolder(&documents)) {
    Library().set_data_folder(documents + L"\\Qel\\Pomelane\\");
  } else {
    Library().set_data_folder(L".\\");
  }
  ReadPcModel();
  return 0;
}

void QUIETWELL_CALL CloseRealAudioEngine(void) {
  AudioLibLog("AudioLib API: CloseRealAudioEngine\n");
  Devices& d = Engine();
  d.playback.reset();
  d.mic.reset();
  d.second_mic.reset();
}

void QUIETWELL_CALL ResetRealAudioEngine(void) {
  AudioLibLog("AudioLib API: ResetRealAudioEngine, version %s %s.\n", kBuildDate, kBuildTime);
  Devices& d = Engine();
  if (d.playback) {
    d.playback->EnumPlayoutDevices(false);
    const int count = static_cast<int>(d.playback->devices().size());
    AudioLibLog("AudioLib API: ResetRealAudioEngine, playout devices %d\n", count);
    if (count > 0) d.playback->Start();
  }
  if (d.mic) {
    d.mic->EnumDevices();
    const int count = static_cast<int>(d.mic->devices().size());
    AudioLibLog("AudioLib API: ResetRealAudioEngine, capture devices %d\n", count);
    if (count > 0) {
      d.mic->Start();
      OpenSecondMic(count);
    }
  }
  AudioCore::Instance().Reset();
}

void QUIETWELL_CALL PauseRealAudioEngine(void) {
  AudioLibLog("AudioLib API: PauseRealAudioEngine\n");
  Devices& d = Engine();
  if (d.mic) d.mic->Stop();
  if (d.second_mic) d.second_mic->Stop();
  if (d.playback) d.playback->Stop();
}

void QUIETWELL_CALL SetRealAudioConfig(int aec, int ans) {
  AudioCore& core = AudioCore::Instance();
  const bool aec_on = LowByte(aec);
  const bool ans_on = LowByte(ans);
  core.set_processing_off(!aec_on);
  if (aec_on && core.echo_canceller()) Library().noise_suppression = ans_on;
  AudioLibLog("AudioLib API: SetRealAudioConfig AEC %s   ANS %s \n", OnOff(aec_on), OnOff(ans_on));
}

void QUIETWELL_CALL RealAudioSetDumpFile(int enable, const char* folder) {
  const bool on = LowByte(enable);
  AudioLibLog("AudioLib API: RealAudioSetDumpFile %s \n", on ? "true" : "false");
  AudioCore& core = AudioCore::Instance();
  EchoCancellerPort* echo = core.echo_canceller();
  if (!echo || !echo->HasCoreState()) return;
  Devices& d = Engine();
  FILE* const none[5] = {};
  // The echo canceller lets go of the old files before they are closed.
  core.SetEchoDumpFiles(none);
  for (FILE*& f : d.dumps) {
    if (f) std::fclose(f);
    f = nullptr;
  }
  if (!on) return;
  static const char* const kNames[5] = {"%s\\MicData.pcm", "%s\\MicData2.pcm", "%s\\RefData.pcm", "%s\\OutData.pcm",
                                        "%s\\RNNData.pcm"};
  for (int i = 0; i < 5; ++i) {
    char path[256];
    std::snprintf(path, sizeof path, kNames[i], folder ? folder : ".");
    d.dumps[i] = std::fopen(path, "wb");
  }
  core.SetEchoDumpFiles(d.dumps);
}

// Kept for callers of the interface; both do nothing and log nothing.
void QUIETWELL_CALL RealAudioSetAppPath(void) {}

void QUIETWELL_CALL RealAudioSetStatusChangeCallback(void) {}

int QUIETWELL_CALL RealAudioSetCaptureDevID(int index) {
  AudioLibLog("AudioLib API: RealAudioSetCaptureDevID to %d\n", index);
  Devices& d = Engine();
  if (!d.mic) return -1;
  d.mic->EnumDevices();
  // One snapshot: the capture thread may rewrite the list meanwhile.
  const std::vector<DeviceRecord> devices = d.mic->devices();
  const int count = static_cast<int>(devices.size());
  if (count == 0) return -1;
  const Guid guid = devices[Clamp(index, 0, count - 1)].id;
  d.mic->ResetDevice(guid);
  OpenSecondMic(count);
  AudioCore::Instance().Reset();
  return 0;
}

int QUIETWELL_CALL RealAudioSetPlayoutDevID(int index) {
  AudioLibLog("AudioLib API: RealAudioSetPlayoutDevID to %d\n", index);
  Devices& d = Engine();
  if (!d.playback) return -1;
  d.playback->EnumPlayoutDevices(false);
  const int count = static_cast<int>(d.playback->devices().size());
  if (count == 0) return -1;
  const Guid guid = d.playback->devices()[Clamp(index, 0, count - 1)].id;
  d.playback->ResetDevice(guid);
  AudioCore::Instance().Reset();
  return 0;
}

int QUIETWELL_CALL RealAudioGetCaptureDevsCount(void) {
  Devices& d = Engine();
  int count = 0;
  if (d.mic) {
    d.mic->EnumDevices();
    count = static_cast<int>(d.mic->devices().size());
  }
  AudioLibLog("AudioLib API: RealAudioGetCaptureDevsCount is %d\n", count);
  return count;
}

int QUIETWELL_CALL RealAudioGetPlayoutDevsCount(void) {
  Devices& d = Engine();
  int count = 0;
  if (d.playback) {
    d.playback->EnumPlayoutDevices(false);
    count = static_cast<int>(d.playback->devices().size());
  }
  AudioLibLog("AudioLib API: RealAudioGetPlayoutDevsCount is %d\n", count);
  return count;
}

int QUIETWELL_CALL RealAudioGetCaptureDevsName(int index, char* name) {
  static const char kFormat[] = "AudioLib API: RealAudioGetCaptureDevsName id %d, name %s \n";
  Devices& d = Engine();
  if (!d.mic) {
    AudioLibLog(kFormat, index, "");
    return -1;
  }
  d.mic->EnumDevices();
  return DeviceName(d.mic->devices(), index, name, kFormat);
}

int QUIETWELL_CALL RealAudioGetPlayoutDevsName(int index, char* name) {
  static const char kFormat[] = "AudioLib API: RealAudioGetPlayoutDevsName id %d, name %s \n";
  Devices& d = Engine();
  if (!d.playback) {
    AudioLibLog(kFormat, index, "");
    return -1;
  }
  d.playback->EnumPlayoutDevices(false);
  return DeviceName(d.playback->devices(), index, name, kFormat);
}

int QUIETWELL_CALL RealAudioGetCaptureVolume(void) {
  AudioLibLog("AudioLib API:RealAudioGetCaptureVolume. \n");
  Devices& d = Engine();
  if (!d.mic) return 0;
  int value = 0;
  float boost = -1.0f;
  if (!d.mic->GetVolume(&value, &boost)) {
    AudioLibLog("MicCapture::GetVolume failed! \n");
    return 0;
  }
  AudioLibLog("MicCapture::GetVolume value is %d    boost %f \n", value, boost);
  return value;
}

int QUIETWELL_CALL RealAudioSetCaptureVolume(int volume) {
  AudioLibLog("AudioLib API:RealAudioSetCaptureVolume. \n");
  Devices& d = Engine();
  if (d.mic) d.mic->SetVolume(volume);
  return 0;
}

int QUIETWELL_CALL RealAudioGetPlayoutVolume(void) {
  AudioLibLog("AudioLib API:RealAudioGetPlayoutVolume. \n");
  Devices& d = Engine();
  if (!d.playback) return 0;
  float level = 0.0f;
  if (!d.playback->GetVolume(&level)) {
    AudioLibLog("WASPlayback::GetVolume failed! \n");
    return 0;
  }
  const int value = static_cast<int>(level * 100.0f);
  AudioLibLog("WASPlayback::GetVolume value is %d \n", value);
  return value;
}

int QUIETWELL_CALL RealAudioSetPlayoutVolume(int volume) {
  AudioLibLog("AudioLib API:RealAudioSetPlayoutVolume. \n");
  Devices& d = Engine();
  if (!d.playback) return 0;
  AudioLibLog("WASPlayback::SetVolume value %d \n", volume);
  const int clamped = Clamp(volume, 0, 100);
  if (!d.playback->SetVolume(static_cast<float>(clamped) / 100.0f)) {
    AudioLibLog("WASPlayback::SetVolume failed! \n");
  }
  return 0;
}

bool QUIETWELL_CALL RealAudioGetMicEnhance(void) {
  static const char kName[] = "RealAudioGetMicEnhance";
  AudioLibLog("AudioLib API: %s\n", kName);
  SystemAccess* system = ActiveSystemAccess();
  const uint32_t view = RegistryView(kName);
  std::unique_ptr<RegistryKey> devices;
  if (system->OpenLocalMachineKey(kCaptureDevicesKey, view | kKeyRead, &devices) != kRegistryOk) {
    AudioLibLog("%s open audio capture device key failed.\n.", kName);
    return false;
  }
  std::string found;
  std::string subkey;
  for (uint32_t i = 0; found.empty() && devices->EnumSubKey(i, &subkey) == kRegistryOk; ++i) {
    std::unique_ptr<RegistryKey> properties;
    const std::string path = std::string(kCaptureDevicesKey) + "\\" + subkey + "\\Properties";
    if (system->OpenLocalMachineKey(path, view | kKeyQueryValue, &properties) != kRegistryOk) continue;
    std::string description;
    if (properties->QueryString(kDescriptionValue, &description, 260) != kRegistryOk) continue;
    AudioLibLog("%s, get mic name is %s .\n", kName, description.c_str());
    if (description.find(kMicArrayGbk) != std::string::npos || description.find(kBuiltInMicGbk) != std::string::npos ||
        description.find("Microphone Array") != std::string::npos) {
      AudioLibLog("%s, Found built-in microphone array\n.", kName);
      found = std::string(kCaptureDevicesKey) + "\\" + subkey + "\\FxProperties";
    }
  }
  if (found.empty()) return false;
  Library().set_mic_array_key(found);
  std::unique_ptr<RegistryKey> effects;
  long r = system->OpenLocalMachineKey(found, view | kKeyQueryValue, &effects);
  if (r != kRegistryOk) {
    AudioLibLog("%s, open mic array enhance control failed, ret value is %d \n", kName, static_cast<int>(r));
    return false;
  }
  uint32_t value = 0;
  r = effects->QueryDword(kSystemEffectsValue, &value);
  if (r != kRegistryOk) {
    AudioLibLog("%s read mic enhance value failed, ret value is %d \n", kName, static_cast<int>(r));
    return false;
  }
  AudioLibLog("%s get mic array enhance success,  value is %d \n", kName, static_cast<int>(value));
  return value == 0;
}

void QUIETWELL_CALL RealAudioSetMicEnhance(int enable) {
  static const char kName[] = "RealAudioSetMicEnhance";
  AudioLibLog("AudioLib API: %s %s\n", kName, OnOff(LowByte(enable)));
  const std::string path = Library().mic_array_key();
  std::unique_ptr<RegistryKey> effects;
  // No device found yet: there is no key to open (an empty path would open the hive's root).
  const long r = path.empty() ? kRegistryNotFound
                              : ActiveSystemAccess()->OpenLocalMachineKey(path, kKeyWow64_64 | kKeySetValue, &effects);
  if (r != kRegistryOk) {
    AudioLibLog("%s, open mic array enhance control failed, ret value is %d \n", kName, static_cast<int>(r));
    return;
  }
  const long written = effects->SetDword(kSystemEffectsValue, LowByte(enable) ? 0u : 1u);
  AudioLibLog("%s, set mic array enhance false, ret value is %d \n", kName, static_cast<int>(written));
}

int QUIETWELL_CALL RealAudioSetLogCallback(RealAudioLogCallback callback) {
  SetAudioLibLogCallback(callback);
  return static_cast<int>(reinterpret_cast<intptr_t>(callback));
}

int QUIETWELL_CALL RealAudioSetHeadsetEnhance(int enable) {
  const bool on = LowByte(enable);
  AudioLibLog("AudioLib API: RealAudioSetHeadsetEnhance %s \n", OnOff(on));
  Library().headset_enhance = on;
  return on ? 1 : 0;
}

void QUIETWELL_CALL RealAudioSetMusicMode(int music) {
  const bool on = LowByte(music);
  AudioCore& core = AudioCore::Instance();
  AudioLibLog("AudioLib API: RealAudioSetMusicMode %s   loop back as ref data %s \n", OnOff(on), "off");
  core.set_music_mode(on);
  if (core.SetEchoMusicMode(on)) AudioLibLog("set music mode to %s \n", on ? "true" : "false");
}

int QUIETWELL_CALL RealAudioSetMicVolumeControl(int enable) {
  const bool on = LowByte(enable);
  Library().mic_volume_control = on;
  AudioLibLog("AudioLib API: RealAudioSetMicVolumeControl %s \n", OnOff(on));
  return on ? 1 : 0;
}

}  // extern "C"
