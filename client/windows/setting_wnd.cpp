#include "windows/setting_wnd.h"

#include <string>

#include "config/media_settings.h"
#include "sdk_glue/sdk_manager.h"
#include "sdk_glue/video_profile_record.h"
#include "text_codec.h"
#include "video/video_panel.h"

using namespace DuiLib;

namespace {

kiv::IKivEngine* Engine() { return CSdkManager::GetInstance().GetEngine(); }
kiv::IAudioEngine* Audio() {
  kiv::IKivEngine* engine = Engine();
  return engine ? engine->GetAudioEngine() : nullptr;
}
kiv::IDeviceManager* Devices() {
  kiv::IKivEngine* engine = Engine();
  return engine ? engine->GetDeviceManager() : nullptr;
}

std::wstring DeviceName(const kiv::DeviceInfo& device) {
  std::wstring name = Utf8ToWide(device.name.c_str());
  if (name.size() > 127) name.resize(127);
  return name;
}

void FillCombo(CComboUI* combo, const kiv::Vector<kiv::DeviceInfo>& devices) {
  combo->RemoveAll();
  for (const kiv::DeviceInfo& device : devices) {
    auto* item = new CListLabelElementUI;
    item->SetAttribute(L"text", DeviceName(device).c_str());
    combo->Add(item);
  }
}

CSliderUI* Slider(CPaintManagerUI& pm, LPCTSTR name) { return static_cast<CSliderUI*>(pm.FindControl(name)); }

}  // namespace

DUI_BEGIN_MESSAGE_MAP(CSettingWnd, WindowImplBase)
DUI_ON_MSGTYPE(DUI_MSGTYPE_CLICK, OnClick)
DUI_ON_MSGTYPE(DUI_MSGTYPE_VALUECHANGED, OnValueChanged)
DUI_ON_MSGTYPE(DUI_MSGTYPE_ITEMSELECT, OnItemSelect)
DUI_ON_MSGTYPE(DUI_MSGTYPE_SELECTCHANGED, OnTabSelect)
DUI_END_MESSAGE_MAP()

CControlUI* CSettingWnd::CreateControl(LPCTSTR pstrClass) {
  if (_wcsicmp(pstrClass, L"VideoPanel") == 0) return new CVideoPanelUI;
  return nullptr;
}

void CSettingWnd::InitWindow() {
  m_shadow.Create(m_hWnd);
  m_shadow.SetImage(L"img\\wnd_bg.png");
  m_shadow.SetShadowCorner(RECT{6, 6, 6, 6});
  m_shadow.SetHoleOffset(RECT{7, 7, 7, 7});
  CSdkManager& sdk = CSdkManager::GetInstance();
  CControlUI* preview = m_pm.FindControl(L"vrender_previewer");
  m_pPreview = preview ? static_cast<CVideoPanelUI*>(preview->GetInterface(L"VideoPanel")) : nullptr;

  if (auto* resolutions = static_cast<CComboUI*>(m_pm.FindControl(L"combo_resolution"))) {
    for (int i = 0; i < media_settings::kResolutionCount; ++i) {
      const media_settings::Resolution r = media_settings::ResolutionAt(i);
      wchar_t text[32] = {};
      swprintf(text, 32, L"%d * %d", r.width, r.height);
      auto* item = new CListLabelElementUI;
      item->SetAttribute(L"text", text);
      resolutions->Add(item);
    }
    resolutions->SelectItem(sdk.ResolutionIndex(), false, true);
  }
  if (CSliderUI* frameRate = Slider(m_pm, L"slider_frame_rate")) frameRate->SetValue(sdk.FrameRate());
  if (CControlUI* label = m_pm.FindControl(L"label_frame_rate")) {
    wchar_t text[32] = {};
    swprintf(text, 32, L"%d 帧/秒", sdk.FrameRate());
    label->SetText(text);
  }
  if (CControlUI* meterOwner = m_pm.FindControl(L"combo_mic"))
    m_pm.SetTimer(meterOwner, TIMER_LEVEL_METER, kLevelMeterMs);
  m_pTab = static_cast<CTabLayoutUI*>(m_pm.FindControl(L"setting_tab"));

  const ScreenShareSettings& share = sdk.ScreenShare();
  auto* speed = static_cast<COptionUI*>(m_pm.FindControl(L"qos_mode_speed"));
  auto* quality = static_cast<COptionUI*>(m_pm.FindControl(L"qos_mode_quality"));
  if (share.bias == 1) {
    if (speed) speed->Selected(true);
  } else if (quality) {
    quality->Selected(true);
  }
  const std::pair<LPCTSTR, int> edges[] = {{L"share_left_edit", share.left},
                                           {L"share_top_edit", share.top},
                                           {L"share_right_edit", share.right},
                                           {L"share_bottom_edit", share.bottom}};
  for (const auto& edge : edges) {
    if (CControlUI* edit = m_pm.FindControl(edge.first)) edit->SetText(std::to_wstring(edge.second).c_str());
  }
  RefreshDevices();
}

void CSettingWnd::RefreshDevices() {
  kiv::IDeviceManager* devices = Devices();
  if (!devices) return;
  CSdkManager& sdk = CSdkManager::GetInstance();
  if (auto* mic = static_cast<CComboUI*>(m_pm.FindControl(L"combo_mic"))) {
    FillCombo(mic, devices->GetMicrophoneDevices());
    mic->SelectItem(sdk.MicIndex(), false, true);
  }
  if (auto* speaker = static_cast<CComboUI*>(m_pm.FindControl(L"combo_aud"))) {
    FillCombo(speaker, devices->GetSpeakerDevices());
    speaker->SelectItem(sdk.SpeakerIndex(), false, true);
  }
  if (auto* cam = static_cast<CComboUI*>(m_pm.FindControl(L"combo_cam"))) {
    kiv::Vector<kiv::DeviceInfo> cameras = devices->GetCameraDevices();
    FillCombo(cam, cameras);
    int select = 0;
    for (int i = 0; i < static_cast<int>(cameras.size()); ++i) {
      if (cameras[i].id == m_previewedCamera) select = i;
    }
    // Selecting the entry already selected sends nothing: start from none.
    cam->SelectItem(-1, false, false);
    cam->SelectItem(select, false, true);
  }
}

void CSettingWnd::OnItemSelect(TNotifyUI& msg) {
  if (!msg.pSender) return;
  const CDuiString name = msg.pSender->GetName();
  CSdkManager& sdk = CSdkManager::GetInstance();
  auto* combo = static_cast<CComboUI*>(msg.pSender->GetInterface(L"Combo"));
  if (!combo) return;
  const int sel = combo->GetCurSel();
  if (name == L"combo_cam") {
    kiv::IKivEngine* engine = Engine();
    kiv::IDeviceManager* devices = Devices();
    if (!engine || !devices || !m_pPreview) return;
    // The panel adds and removes its camera's preview itself: it takes a new camera only
    // once the old one is stopped.
    if (m_pPreview->GetCameraIndex() != -1) {
      m_pPreview->StopLocalPreview();
    } else if (m_previewedCamera != -1) {
      engine->RemoveVideoPreview(m_previewedCamera, m_pPreview->GetRenderWindow());
    }
    kiv::Vector<kiv::DeviceInfo> cameras = devices->GetCameraDevices();
    if (sel < 0 || sel >= static_cast<int>(cameras.size())) return;
    const int deviceId = cameras[sel].id;
    m_previewedCamera = deviceId;
    m_pPreview->StartLocalPreview(deviceId);
  } else if (name == L"combo_mic" || name == L"combo_aud") {
    const bool mic = name == L"combo_mic";
    CSliderUI* slider = Slider(m_pm, mic ? L"slider_mic" : L"slider_aud");
    if (sel != -1) {
      (mic ? sdk.MicIndex() : sdk.SpeakerIndex()) = sel;
      if (kiv::IAudioEngine* audio = Audio()) {
        if (mic) {
          audio->SetMicrophoneDevice(sel);
        } else {
          audio->SetSpeakerDevice(sel);
        }
      }
      if (slider) {
        slider->SetEnabled(true);
        slider->SetValue(mic ? sdk.MicVolume() : sdk.SpeakerVolume());
      }
    } else if (slider) {
      slider->SetEnabled(false);
      slider->SetValue(0);
    }
  } else if (name == L"combo_resolution") {
    if (sel < 0 || sel >= media_settings::kResolutionCount || sel == sdk.ResolutionIndex()) return;
    sdk.ResolutionIndex() = sel;
    ApplyVideoProfileToPublished();
  }
}

void CSettingWnd::ApplyVideoProfileToPublished() {
  CSdkManager& sdk = CSdkManager::GetInstance();
  kiv::IKivEngine* engine = Engine();
  if (!engine) return;
  const media_settings::Resolution r = media_settings::ResolutionAt(sdk.ResolutionIndex());
  ClientVideoProfile record;
  record.profile.width = r.width;
  record.profile.height = r.height;
  record.profile.frameRate = sdk.FrameRate();
  for (const std::string& videoId : sdk.PublishedVideoIds()) {
    engine->SetVideoProfile(videoId.c_str(), &record.profile);
  }
}

void CSettingWnd::OnValueChanged(TNotifyUI& msg) {
  if (!msg.pSender) return;
  const CDuiString name = msg.pSender->GetName();
  auto* slider = static_cast<CSliderUI*>(msg.pSender->GetInterface(L"Slider"));
  if (!slider) return;
  CSdkManager& sdk = CSdkManager::GetInstance();
  if (name == L"slider_mic" || name == L"slider_aud") {
    const bool mic = name == L"slider_mic";
    const int value = media_settings::Clamp(slider->GetValue(), 0, media_settings::kMaxVolume);
    if (kiv::IAudioEngine* audio = Audio()) {
      audio->SetAudioParam(mic ? kiv::AUDIOPARAM_MIC_VOLUME : kiv::AUDIOPARAM_SPEAKER_VOLUME, value);
    }
    (mic ? sdk.MicVolume() : sdk.SpeakerVolume()) = value;
  } else if (name == L"slider_frame_rate") {
    const int value =
        media_settings::Clamp(slider->GetValue(), media_settings::kMinFrameRate, media_settings::kMaxFrameRate);
    if (CControlUI* label = m_pm.FindControl(L"label_frame_rate")) {
      wchar_t text[32] = {};
      swprintf(text, 32, L"%d 帧/秒", value);
      label->SetText(text);
    }
    if (value == sdk.FrameRate()) return;
    sdk.FrameRate() = value;
    ApplyVideoProfileToPublished();
  }
}

void CSettingWnd::OnTabSelect(TNotifyUI& msg) {
  if (!msg.pSender || !m_pTab) return;
  const CDuiString name = msg.pSender->GetName();
  CSdkManager& sdk = CSdkManager::GetInstance();
  if (name == L"tabopt_audio") {
    m_pTab->SelectItem(0);
    if (sdk.MicIndex() != -1) {
      if (auto* mic = static_cast<CComboUI*>(m_pm.FindControl(L"combo_mic")))
        mic->SelectItem(sdk.MicIndex(), false, true);
    }
    if (sdk.SpeakerIndex() != -1) {
      if (auto* aud = static_cast<CComboUI*>(m_pm.FindControl(L"combo_aud"))) {
        aud->SelectItem(sdk.SpeakerIndex(), false, true);
      }
    }
  } else if (name == L"tabopt_video") {
    m_pTab->SelectItem(1);
    if (m_pPreview) m_pPreview->StartLocalPreview(m_previewedCamera);
  } else if (name == L"tabopt_screenshare") {
    m_pTab->SelectItem(2);
  }
}

void CSettingWnd::SaveScreenShareSettings() {
  auto readEdge = [this](LPCTSTR name) {
    CControlUI* edit = m_pm.FindControl(name);
    return edit ? media_settings::ReadInt(edit->GetText().GetData()) : 0;
  };
  ScreenShareSettings next;
  auto* speed = static_cast<COptionUI*>(m_pm.FindControl(L"qos_mode_speed"));
  next.bias = (speed && speed->IsSelected()) ? 1 : 0;
  next.left = readEdge(L"share_left_edit");
  next.top = readEdge(L"share_top_edit");
  next.right = readEdge(L"share_right_edit");
  next.bottom = readEdge(L"share_bottom_edit");
  // The SDK judges the rectangle against the virtual screen when the share starts.
  CSdkManager::GetInstance().ScreenShare() = next;
}

void CSettingWnd::OnClick(TNotifyUI& msg) {
  WindowImplBase::OnClick(msg);
  if (!msg.pSender) return;
  const CDuiString name = msg.pSender->GetName();
  if (name == L"setting_ok") {
    SaveScreenShareSettings();
    Close(1);
  } else if (name == L"setting_cancel") {
    Close(1);
  }
}

LRESULT CSettingWnd::OnClose(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
  if (m_pPreview) m_pPreview->StopLocalPreview();
  return WindowImplBase::OnClose(uMsg, wParam, lParam, bHandled);
}

void CSettingWnd::UpdateLevelMeters() {
  CSdkManager& sdk = CSdkManager::GetInstance();
  kiv::IAudioEngine* audio = Audio();
  if (!audio) return;
  if (sdk.MicIndex() != -1) {
    if (auto* meter = static_cast<CProgressUI*>(m_pm.FindControl(L"progres_mic_energy"))) {
      meter->SetValue(audio->GetAudioParam(kiv::AUDIOPARAM_MIC_ENERGY));
    }
  }
  if (sdk.SpeakerIndex() != -1) {
    if (auto* meter = static_cast<CProgressUI*>(m_pm.FindControl(L"progres_aud_energy"))) {
      meter->SetValue(audio->GetAudioParam(kiv::AUDIOPARAM_SPEAKER_ENERGY));
    }
  }
}

LRESULT CSettingWnd::HandleCustomMessage(UINT uMsg, WPARAM, LPARAM, BOOL& bHandled) {
  bHandled = FALSE;
  if ((uMsg == WM_MOVE || uMsg == WM_SIZE) && m_pTab && m_pTab->GetCurSel() == 0 && m_pPreview) {
    m_pPreview->PlaceWindows();
  } else if (uMsg == WM_TIMER) {
    UpdateLevelMeters();
  }
  return 0;
}
