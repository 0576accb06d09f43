#include "core/streams/local_audio_custom_stream.h"

#include <cwchar>

#include "avcore/av_net.h"
#include "avcore/ids.h"
#include "core/control/kiv_cp_client.h"
#include "core/env/core_env.h"
#include "core/env/log_record.h"
#include "kiv_error.h"

namespace kiv_core {

namespace {

constexpr const wchar_t* kPluginName = L"Encoded Audio Plugin";
constexpr int32_t kNameUnits = 64;

}  // namespace

LocalAudioCustomStream::LocalAudioCustomStream(const std::string& audioId)
    : m_audioId(audioId), m_plugin(std::make_unique<EncodedAudioPlugin>()) {
  CoreEnv* env = CoreEnv::Instance();
  void* object = nullptr;
  if (!env || !env->m_basecore ||
      env->m_basecore->CreateComponent(avcore::CLSID_AudioDevice, avcore::IID_IAudioDevice, nullptr, &object) < 0 ||
      !object) {
    KIV_LOG("Create audio devie failed!");
    return;
  }
  m_device.Attach(static_cast<avcore::IAudioDevice*>(object));
  (void)m_device->StartCapture(0);
}

LocalAudioCustomStream::~LocalAudioCustomStream() {
  (void)StopPublish();
  CoreEnv* env = CoreEnv::Instance();
  if (m_device) {
    (void)m_device->StopCapture();
    m_device.Reset();
  }
  // The device manager must not keep the plug-in past its life.
  if (m_pluginAdded && env && env->m_devmanager) (void)env->m_devmanager->RemoveAudioPlugin(m_plugin.get());
}

int LocalAudioCustomStream::FindCaptureDeviceIndex(const wchar_t* name) {
  CoreEnv* env = CoreEnv::Instance();
  avcore::IAVDevManager* devices = env ? env->m_devmanager.get() : nullptr;
  const int32_t count = devices ? devices->GetAudioCaptureDeviceCount() : 0;
  if (count <= 0) {
    KIV_LOG("Invalid audio count: %d", static_cast<int>(count));
    return -1;
  }
  for (int32_t i = 0; i < count; ++i) {
    wchar_t device[kNameUnits] = {};
    if (devices->GetAudioCaptureDeviceInfo(i, device, kNameUnits) < 0) {
      KIV_LOG("Get audio capture device info failed, i = %d", static_cast<int>(i));
      return -1;
    }
    device[kNameUnits - 1] = L'\0';
    if (std::wcscmp(device, name) == 0) return i;
  }
  return -1;
}

int LocalAudioCustomStream::StartPublish() {
  if (!CoreEnv::IsConnected()) {
    KIV_LOG("StartPublish fail notJoinGroup");
    return ERR_NOT_LOGINED;
  }
  CoreEnv* env = CoreEnv::Instance();
  avcore::IAVDevManager* devices = env->m_devmanager.get();
  if (!devices) return ERR_FAILED;
  HRESULT hr = devices->AddAudioPlugin(m_plugin.get(), kPluginName);
  if (hr < 0) {
    KIV_LOG("Add audio plugin failed, hr = %d", static_cast<int>(hr));
    return ERR_FAILED;
  }
  m_pluginAdded = true;
  const int index = FindCaptureDeviceIndex(kPluginName);
  if (index < 0) {
    KIV_LOG("Invalid audio plugin index.");
    (void)devices->RemoveAudioPlugin(m_plugin.get());
    m_pluginAdded = false;
    return ERR_FAILED;
  }
  hr = m_device ? m_device->StartCapture(index) : E_POINTER;
  if (hr < 0) {
    KIV_LOG("Start capure audio device failed, hr = %d", static_cast<int>(hr));
    return ERR_FAILED;
  }
  hr = env->m_avnet ? env->m_avnet->AddSource(avcore::kMediaAudio, m_audioId.c_str(), m_device.get()) : E_POINTER;
  if (hr < 0) {
    KIV_LOG("Add audio source failed, hr = %d", static_cast<int>(hr));
    return ERR_FAILED;
  }
  if (!env->m_cpclient || env->m_cpclient->PublishAudioNotify(m_audioId) != 0) {
    KIV_LOG("Send publish audio failed, audio_id = %s", m_audioId.c_str());
    return ERR_FAILED;
  }
  return ERR_OK;
}

int LocalAudioCustomStream::StopPublish() {
  CoreEnv* env = CoreEnv::Instance();
  if (!env || !env->m_avnet || env->m_avnet->RemoveSource(avcore::kMediaAudio, m_audioId.c_str()) < 0) {
    KIV_LOG("Remove audio source failed, audio id = %s", m_audioId.c_str());
    return ERR_FAILED;
  }
  if (!env->m_cpclient || env->m_cpclient->UnpublishAudioNotify(m_audioId) < 0) {
    KIV_LOG("Send stop publish audio failed, audio id = %s", m_audioId.c_str());
    return ERR_FAILED;
  }
  return ERR_OK;
}

}  // namespace kiv_core
