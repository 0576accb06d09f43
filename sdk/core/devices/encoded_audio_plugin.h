// The SDK's audio plug-in for audio the application supplies: a passive source of media
// type 1 whose output leaves through the callback the framework registers.
#pragma once

#include "avcore/dev_manager.h"

namespace kiv_core {

class EncodedAudioPlugin : public avcore::IAVPlugin {
 public:
  EncodedAudioPlugin() = default;
  EncodedAudioPlugin(const EncodedAudioPlugin&) = delete;
  EncodedAudioPlugin& operator=(const EncodedAudioPlugin&) = delete;

  int32_t AVCORE_CALL GetType() override;
  int32_t AVCORE_CALL GetCapa() override;
  HRESULT AVCORE_CALL SetLanCode(int32_t languageCode) override;
  HRESULT AVCORE_CALL Config(HWND parent) override;
  HRESULT AVCORE_CALL EnableOutput(int32_t mediaType, int32_t enable) override;
  // Media type 1 only; another type keeps the stored callback.
  HRESULT AVCORE_CALL SetOutputCallback(int32_t mediaType, avcore::PluginOutputCallback callback,
                                        void* context) override;
  HRESULT AVCORE_CALL EnableInput(int32_t mediaType, int32_t enable) override;
  // 302 before the framework set its callback.
  HRESULT AVCORE_CALL PushOutput(const void* data) override;
  HRESULT AVCORE_CALL QueryOutputFormat(int32_t mediaType, int32_t index, void* format, int32_t* size) override;
  HRESULT AVCORE_CALL SetOutputFormat(int32_t mediaType, const void* format, int32_t size) override;
  HRESULT AVCORE_CALL GetOutputFormat(int32_t mediaType, void* format, int32_t* size) override;
  HRESULT AVCORE_CALL Config2(int32_t key, void* value, int32_t size) override;

 private:
  avcore::PluginOutputCallback m_callback = nullptr;
  void* m_context = nullptr;
};

}  // namespace kiv_core
