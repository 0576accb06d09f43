// The main window's buttons: microphone, camera menu, screen share, recording, speaker
// and settings popups, call-in, chat, closing the meeting, the negotiation-stage panels
// and the companion program.
#include <shlobj.h>

#include <ctime>
#include <memory>
#include <string>

#include "config/media_settings.h"
#include "sdk_glue/sdk_manager.h"
#include "text_codec.h"
#include "video/video_panel.h"
#include "video/video_panel_layout.h"
#include "windows/info_wnd.h"
#include "windows/meeting_main_wnd.h"
#include "windows/setting_wnd.h"
#include "windows/window_stacking.h"

using namespace DuiLib;

namespace {

constexpr char kMicAudioId[] = "appdef_mic";
constexpr char kCompanionProgram[] = "Accordane.exe";
constexpr int kSpeakerPopupWidth = 80;
constexpr int kSpeakerPopupHeight = 160;
constexpr size_t kTargetIdBuffer = 260;

struct InfoPanel {
  const wchar_t* button;
  const wchar_t* title;
  const wchar_t* image;
};

const InfoPanel kInfoPanels[] = {
    {L"btn_FZB", L"赋值表", L"img\\InfoImg\\fzb.png"},
    {L"btn_ZBQD", L"准备清单", L"img\\InfoImg\\zbqd.png"},
    {L"btn_CLFA", L"策略方案", L"img\\InfoImg\\clfa.png"},
    {L"btn_DCXY1", L"达成协议", L"img\\InfoImg\\dcxy.png"},
    {L"btn_kaiju", L"开局", L"img\\InfoImg\\开局.png"},
    {L"btn_xgyp", L"性格预判", L"img\\InfoImg\\性格预判.png"},
    {L"btn_xxjh", L"信息交换", L"img\\InfoImg\\信息交换.png"},
    {L"btn_baojia", L"报价", L"img\\InfoImg\\报价.png"},
    {L"btn_csrb", L"磋商和让步", L"img\\InfoImg\\磋商和让步.png"},
    {L"btn_shouju", L"收局", L"img\\InfoImg\\收局.png"},
    {L"btn_dcxy", L"达成一致", L"img\\InfoImg\\达成一致.png"},
};

std::string DesktopFolderUtf8() {
  PWSTR path = nullptr;
  std::string folder;
  if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_Desktop, 0, nullptr, &path)) && path) folder = WideToUtf8(path);
  ::CoTaskMemFree(path);
  return folder;
}

}  // namespace

void CMeetingMainWnd::OnClick(TNotifyUI& msg) {
  if (!msg.pSender) return;
  const CDuiString name = msg.pSender->GetName();
  if (name == L"btn_mic") return ToggleMicrophone();
  if (name == L"btn_cam") return ShowCameraMenu(msg);
  if (name == L"btn_screenshare") return ToggleScreenShare();
  if (name == L"btn_record") return ToggleRecording();
  if (name == L"btn_speaker") return ShowSpeakerPopup(msg);
  if (name == L"btn_setting") return RunSettingsDialog();
  if (name == L"btn_CallIn") return ShowCallIn();
  if (name == L"main_msg_send") return SendChatMessage();
  if (name == L"closebtn") return CloseMeeting();
  for (const InfoPanel& panel : kInfoPanels) {
    if (name == panel.button) return ShowInfoPanel(panel.title, panel.image);
  }
  if (name == L"btn_cjbz") return StartCompanion();
  WindowImplBase::OnClick(msg);
}

void CMeetingMainWnd::ToggleMicrophone() {
  CSdkManager& sdk = CSdkManager::GetInstance();
  if (sdk.MicIndex() == -1) {
    m_bMicPublishing = false;
    return;
  }
  if (kiv::IKivEngine* engine = sdk.GetEngine()) {
    if (!m_bMicPublishing) {
      if (engine->StartPublishAudio(kMicAudioId) == 0) m_bMicPublishing = true;
    } else if (engine->StopPublishAudio(kMicAudioId) == 0) {
      m_bMicPublishing = false;
    }
  }
  SetUserMediaIcon(sdk.GetUserId(), 1, m_bMicPublishing);
  SetMicButtonImages(m_bMicPublishing);
}

void CMeetingMainWnd::ToggleScreenShare() {
  CSdkManager& sdk = CSdkManager::GetInstance();
  kiv::IKivEngine* engine = sdk.GetEngine();
  if (!m_bScreenSharing) {
    const ScreenShareSettings& s = sdk.ScreenShare();
    if (engine) engine->StartPublishScreenShare(s.left, s.top, s.right, s.bottom, s.bias);
    m_bScreenSharing = true;
  } else {
    if (engine) engine->StopPublishScreenShare();
    m_bScreenSharing = false;
  }
  SetUserMediaIcon(sdk.GetUserId(), 3, m_bScreenSharing);
}

void CMeetingMainWnd::ToggleRecording() {
  if (m_bRecording) {
    StopRecording();
  } else {
    StartRecording();
  }
}

// The button shows a recording only while one runs: a refused start says why in the chat
// and leaves the button as it was.
void CMeetingMainWnd::StartRecording() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_s(&local, &now);
  const auto path = media_settings::RecordFilePath(DesktopFolderUtf8(), local);
  if (!path) {
    AppendChatText(L"录制失败：桌面文件夹路径过长", true, L"", L"");
    return;
  }
  kiv::IKivEngine* engine = CSdkManager::GetInstance().GetEngine();
  const int result = engine ? engine->StartScreenRecord(path->c_str(), 0, 0, 0, 0, true) : kiv_core::ERR_INVALID_STATE;
  if (result != 0) {
    AppendChatText(L"录制失败 错误码" + std::to_wstring(result), true, L"", L"");
    return;
  }
  m_bRecording = true;
  SetButtonImagesOf(L"btn_record", L"img\\LawIcon\\录制视频_Press.png", L"img\\LawIcon\\录制视频_HL.png",
                    L"img\\LawIcon\\录制视频.png");
}

void CMeetingMainWnd::StopRecording() {
  if (kiv::IKivEngine* engine = CSdkManager::GetInstance().GetEngine()) engine->StopScreenRecord();
  m_bRecording = false;
  SetButtonImagesOf(L"btn_record", L"img\\LawIcon\\录制视频.png", L"img\\LawIcon\\录制视频_HL.png",
                    L"img\\LawIcon\\录制视频_Press.png");
}

void CMeetingMainWnd::SetButtonImagesOf(LPCTSTR button, LPCTSTR normal, LPCTSTR hot, LPCTSTR pushed) {
  CControlUI* control = m_pm.FindControl(button);
  if (!control) return;
  control->SetAttribute(L"normalimage", normal);
  control->SetAttribute(L"hotimage", hot);
  control->SetAttribute(L"pushedimage", pushed);
}

void CMeetingMainWnd::ShowSpeakerPopup(TNotifyUI& msg) {
  const RECT sender = msg.pSender->GetPos();
  POINT corner{sender.left, sender.top - 150};
  if (!m_speakerPopup.GetHWND()) {
    m_speakerPopup.Create(m_hWnd, L"", UI_WNDSTYLE_DIALOG, 0, 0, 0, 0, 0);
  }
  if (!m_speakerPopup.GetHWND()) return;
  ::ClientToScreen(m_hWnd, &corner);
  ::SetWindowPos(m_speakerPopup.GetHWND(), nullptr, corner.x, corner.y, kSpeakerPopupWidth, kSpeakerPopupHeight, 0);
  m_speakerPopup.ShowWindow(true, true);
  RaiseAboveOwner(m_speakerPopup.GetHWND());
}

void CMeetingMainWnd::RunSettingsDialog() {
  const auto dialog = std::make_unique<CSettingWnd>();
  m_pSettingWnd = dialog.get();  // reachable while the dialog runs
  if (m_pSettingWnd->Create(m_hWnd, L"CDuiSettingWnd", UI_WNDSTYLE_DIALOG, WS_EX_WINDOWEDGE, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT)) {
    m_pSettingWnd->CenterWindow();
    m_pSettingWnd->ShowModal();
    if (m_bScreenSharing) {
      CSdkManager& sdk = CSdkManager::GetInstance();
      const ScreenShareSettings& s = sdk.ScreenShare();
      if (kiv::IKivEngine* engine = sdk.GetEngine()) {
        engine->StartPublishScreenShare(s.left, s.top, s.right, s.bottom, s.bias);
      }
    }
  }
  m_pSettingWnd = nullptr;
}

void CMeetingMainWnd::ShowCallIn() {
  CInfoWnd* info = CSdkManager::GetInstance().GetInfoWnd();
  if (!info || !::IsWindow(info->GetHWND())) return;
  info->ShowCallIn();
}

void CMeetingMainWnd::SendChatMessage() {
  CControlUI* edit = m_pm.FindControl(L"main_msg_input");
  auto* combo = static_cast<CComboUI*>(m_pm.FindControl(L"main_msg_selectuser"));
  if (!edit || edit->GetText().IsEmpty() || !combo || combo->GetCurSel() < 0) return;
  CControlUI* item = combo->GetItemAt(combo->GetCurSel());
  if (!item) return;
  kiv::IKivSignaling* signaling = CSdkManager::GetInstance().GetSignaling();
  if (!signaling) return;
  const std::wstring text = edit->GetText().GetData();
  const std::string utf8 = WideToUtf8(text);
  int result;
  if (item->GetTag() == 0) {
    result = signaling->SendGroupMsg(utf8.c_str(), nullptr);
  } else {
    std::string target = WideToUtf8(item->GetText().GetData());
    if (target.size() + 1 > kTargetIdBuffer) target.clear();
    result = signaling->SendUserMsg(target.c_str(), utf8.c_str(), nullptr);
  }
  if (result != 0) return;  // the line stays in the input
  AppendChatText(text, false, L"我", item->GetText().GetData());
  edit->SetText(L"");
  edit->SetFocus();
}

void CMeetingMainWnd::CloseMeeting() {
  CSdkManager& sdk = CSdkManager::GetInstance();
  ClearAllPanels();
  sdk.ClearGroupId();
  if (CMeetingMainWnd* main = sdk.GetMainWnd()) main->ShowWindow(false, true);
  kiv::IKivEngine* engine = sdk.GetEngine();
  if (engine) engine->LeaveGroup();
  if (auto* users = static_cast<CListUI*>(m_pm.FindControl(L"list_users"))) users->RemoveAll();
  SetCameraButtonImages(false);
  SetMicButtonImages(false);
  if (engine) engine->Logout();
  PostMessage(WM_CLOSE);
}

void CMeetingMainWnd::ShowInfoPanel(LPCTSTR title, LPCTSTR image) {
  CInfoWnd* info = CSdkManager::GetInstance().GetInfoWnd();
  if (!info || !::IsWindow(info->GetHWND())) return;
  info->ShowInfoPanel(title, image);
}

void CMeetingMainWnd::StartCompanion() {
  // The companion program lies beside the client; its result is not looked at.
  ::WinExec(kCompanionProgram, SW_SHOWMAXIMIZED);
}
