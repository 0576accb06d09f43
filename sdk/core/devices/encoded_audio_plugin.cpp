#include "core/devices/encoded_audio_plugin.h"

#include "core/env/log_record.h"
#include "kiv_error.h"

namespace kiv_core {

int32_t AVCORE_CALL EncodedAudioPlugin::GetType() {
  KIV_LOG("EncodedAudioPlugin::GetType");
  return 0;
}

int32_t AVCORE_CALL EncodedAudioPlugin::GetCapa() {
  KIV_LOG("EncodedAudioPlugin::GetCapa");
  return 0;
}

HRESULT AVCORE_CALL EncodedAudioPlugin::SetLanCode(int32_t languageCode) {
  KIV_LOG("EncodedAudioPlugin::SetLanCode, nLanCode: %d", static_cast<int>(languageCode));
  return 0;
}

HRESULT AVCORE_CALL EncodedAudioPlugin::Config(HWND parent) {
  KIV_LOG("EncodedAudioPlugin::Config, hWndParant: %d", static_cast<int>(reinterpret_cast<intptr_t>(parent)));
  return 0;
}

HRESULT AVCORE_CALL EncodedAudioPlugin::EnableOutput(int32_t mediaType, int32_t enable) {
  KIV_LOG("EncodedAudioPlugin::EnableOutput, dwMediaType: %d, bEnable: %d", static_cast<int>(mediaType),
          static_cast<int>(enable));
  return 0;
}

HRESULT AVCORE_CALL EncodedAudioPlugin::SetOutputCallback(int32_t mediaType, avcore::PluginOutputCallback callback,
                                                          void* context) {
  KIV_LOG("EncodedAudioPlugin::SetOutputCallback");
  if (mediaType != avcore::kPluginAudio) {
    KIV_LOG("Invalide media type: %d", static_cast<int>(mediaType));
    return E_FAIL;
  }
  m_callback = callback;
  m_context = context;
  return 0;
}

HRESULT AVCORE_CALL EncodedAudioPlugin::EnableInput(int32_t mediaType, int32_t enable) {
  KIV_LOG("EncodedAudioPlugin::EnableInput, dwMediaType: %d, bEnable: %d", static_cast<int>(mediaType),
          static_cast<int>(enable));
  if (mediaType != avcore::kPluginAudio) {
    KIV_LOG("Invalide media type: %d", static_cast<int>(mediaType));
    return E_FAIL;
  }
  return 0;
}

HRESULT AVCORE_CALL EncodedAudioPlugin::PushOutput(const void* data) {
  if (!m_callback) return ERR_FAILED;
  (void)m_callback(data, m_context);
  return 0;
}

HRESULT AVCORE_CALL EncodedAudioPlugin::QueryOutputFormat(int32_t, int32_t, void*, int32_t*) {
  KIV_LOG("EncodedAudioPlugin::QueryOutputFormat");
  return 0;
}

HRESULT AVCORE_CALL EncodedAudioPlugin::SetOutputFormat(int32_t, const void*, int32_t) {
  KIV_LOG("EncodedAudioPlugin::SetOutputFormat");
  return 0;
}

HRESULT AVCORE_CALL EncodedAudioPlugin::GetOutputFormat(int32_t, void*, int32_t*) {
  KIV_LOG("EncodedAudioPlugin::GetOutputFormat");
  return 0;
}

HRESULT AVCORE_CALL EncodedAudioPlugin::Config2(int32_t, void*, int32_t) {
  KIV_LOG("EncodedAudioPlugin::Config2");
  return 0;
}

}  // namespace kiv_core
