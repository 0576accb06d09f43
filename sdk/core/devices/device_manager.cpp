#include "core/devices/device_manager.h"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"  // std::iterator inside RapidJSON
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#pragma GCC diagnostic pop

#include <memory>
#include <new>

#include "avcore/ids.h"
#include "base/text/code_page.h"
#include "base/text/text_holders.h"
#include "core/env/core_env.h"
#include "core/env/log_record.h"

namespace kiv_core {

namespace {

std::string Utf8Of(const wchar_t* name) {
  WideToUtf8 text(name);
  return text.Get() ? std::string(text.Get()) : std::string();
}

typedef int32_t (AVCORE_CALL avcore::IAudioDevice::*DeviceCount)();
typedef HRESULT (AVCORE_CALL avcore::IAudioDevice::*DeviceName)(int32_t, wchar_t*, int32_t);

std::vector<CoreDeviceInfo> AudioDevices(DeviceCount count, DeviceName name) {
  std::vector<CoreDeviceInfo> list;
  if (!CoreEnv::IsBaseCoreInited()) return list;
  avcore::IAudioDevice* device = CoreEnv::Instance()->m_audiodevice.get();
  if (!device) return list;
  const int32_t n = (device->*count)();
  for (int32_t i = 0; i < n; ++i) {
    wchar_t buffer[DeviceManager::kNameCapacity] = {0};
    (void)(device->*name)(i, buffer, DeviceManager::kNameCapacity);
    buffer[DeviceManager::kNameCapacity - 1] = 0;
    CoreDeviceInfo info;
    info.id = i;
    info.name = Utf8Of(buffer);
    list.push_back(info);
  }
  return list;
}

}  // namespace

DeviceManager::~DeviceManager() { Uninit(); }

bool DeviceManager::Init() {
  if (m_videoDevice) return true;
  CoreEnv* env = CoreEnv::Instance();
  avcore::IBaseCore* root = env ? env->m_basecore.get() : nullptr;
  avcore::IVideoDevice* device = nullptr;
  const HRESULT hr = root ? root->CreateComponent(avcore::CLSID_VideoDevice, avcore::IID_IVideoDevice, nullptr,
                                                  reinterpret_cast<void**>(&device))
                          : E_POINTER;
  if (FAILED(hr) || !device) {
    KIV_LOG("Create video device failed, hr = %lx", static_cast<unsigned long>(hr));
    Uninit();
    return false;
  }
  m_videoDevice.Attach(device);
  (void)m_videoDevice->ReEnumerate();
  return true;
}

void DeviceManager::Uninit() { CoreEnv::ReleaseFrameworkRef(m_videoDevice); }

void DeviceManager::Refresh() {
  if (!CoreEnv::IsBaseCoreInited()) return;
  if (m_videoDevice) (void)m_videoDevice->ReEnumerate();
  avcore::IAudioDevice* audio = CoreEnv::Instance()->m_audiodevice.get();
  if (audio) (void)audio->Open();
}

bool DeviceManager::IsCameraValid(int cameraId) {
  if (!m_videoDevice) return false;
  wchar_t name[kNameCapacity] = {0};
  return m_videoDevice->GetDeviceName(cameraId, name, kNameCapacity) >= 0;
}

std::vector<CoreDeviceInfo> DeviceManager::GetMicrophoneDevices() {
  return AudioDevices(&avcore::IAudioDevice::GetCaptureDeviceCount, &avcore::IAudioDevice::GetCaptureDeviceName);
}

std::vector<CoreDeviceInfo> DeviceManager::GetSpeakerDevices() {
  return AudioDevices(&avcore::IAudioDevice::GetPlayDeviceCount, &avcore::IAudioDevice::GetPlayDeviceName);
}

std::vector<CoreDeviceInfo> DeviceManager::GetCameraDevices() {
  ZORVANTE::WAutoLock guard(&m_cameraLock);
  std::vector<CoreDeviceInfo> list;
  if (!m_videoDevice) return list;
  std::unique_ptr<avcore::VideoDeviceEntry[]> entries(new (std::nothrow) avcore::VideoDeviceEntry[kMaxCameras]());
  if (!entries) return list;
  int32_t n = m_videoDevice->EnumDevices(entries.get(), kMaxCameras);
  if (n > kMaxCameras) n = kMaxCameras;
  const int32_t nameUnits = static_cast<int32_t>(sizeof(entries[0].name) / sizeof(wchar_t));
  for (int32_t i = 0; i < n; ++i) {
    avcore::VideoDeviceEntry& entry = entries[i];
    entry.name[nameUnits - 1] = 0;
    CoreDeviceInfo info;
    info.id = entry.id;
    info.name = Utf8Of(entry.name);
    list.push_back(info);
  }
  return list;
}

std::string DeviceManager::RtspParamText(const CoreRtspParam& param) {
  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
  writer.StartObject();
  writer.Key("url");
  writer.String(param.url.c_str(), static_cast<rapidjson::SizeType>(param.url.size()));
  writer.Key("use_udp");
  writer.Bool(param.udp);
  writer.Key("use_vbuf");
  writer.Bool(param.vbuf);
  writer.EndObject();
  return std::string(buffer.GetString(), buffer.GetSize());
}

bool DeviceManager::AddRtspPlugin(const CoreRtspParam& param) {
  KIV_LOG(
      "Add rtsp plugin, url:%s, audio_name:%s, video_name:%s, has_audio:%d, has_video:%d, "
      "udp:%d, vbuf:%d, timeout:%d",
      param.url.c_str(), param.audioName.c_str(), param.videoName.c_str(), param.hasAudio ? 1 : 0,
      param.hasVideo ? 1 : 0, param.udp ? 1 : 0, param.vbuf ? 1 : 0, param.timeout);
  const std::string text = RtspParamText(param);
  wchar_t wide[kNameCapacity] = {0};
  const int ret = ZORVANTE::Utf8ToUnicode(text.c_str(), wide, kNameCapacity);
  if (ret <= 0) {
    KIV_LOG("Convert json string to unicode failed, ret = %d", ret);
    return false;
  }
  return true;
}

}  // namespace kiv_core
