#include "windows/speaker_setting_wnd.h"

#include "config/media_settings.h"
#include "sdk_glue/sdk_manager.h"

using namespace DuiLib;

LRESULT CSpeakerSettingWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  if (uMsg == WM_KILLFOCUS) ShowWindow(false, true);
  return WindowImplBase::HandleMessage(uMsg, wParam, lParam);
}

void CSpeakerSettingWnd::Notify(TNotifyUI& msg) {
  CSdkManager& sdk = CSdkManager::GetInstance();
  if (msg.sType == DUI_MSGTYPE_WINDOWINIT) {
    auto* slider = static_cast<CSliderUI*>(m_pm.FindControl(L"speakervalue_slider"));
    if (slider) slider->SetValue(sdk.SpeakerVolume());
  } else if (msg.sType == DUI_MSGTYPE_VALUECHANGED && msg.pSender && msg.pSender->GetName() == L"speakervalue_slider") {
    const int value =
        media_settings::Clamp(static_cast<CSliderUI*>(msg.pSender)->GetValue(), 0, media_settings::kMaxVolume);
    if (kiv::IKivEngine* engine = sdk.GetEngine()) {
      if (kiv::IAudioEngine* audio = engine->GetAudioEngine())
        audio->SetAudioParam(kiv::AUDIOPARAM_SPEAKER_VOLUME, value);
    }
    sdk.SpeakerVolume() = value;
  }
  WindowImplBase::Notify(msg);
}
