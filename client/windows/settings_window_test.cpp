// The settings dialog against the stand-in kiv_sdk: device lists, volumes, profile changes
// and the share rectangle, with the controls used as a person would.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <thread>

#include "config/app_config.h"
#include "sdk_glue/sdk_manager.h"
#include "sdk_glue/testing/fake_sdk_state.h"
#include "testing/client_test_support.h"
#include "video/video_panel.h"
#include "video/video_render_window_class.h"
#include "windows/setting_wnd.h"

namespace {

using namespace DuiLib;

class SettingsWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CWndShadow::Initialize(::GetModuleHandleW(nullptr));
    ASSERT_TRUE(RegisterVideoRenderClass(::GetModuleHandleW(nullptr)));
    CSdkManager::GetInstance().Shutdown();
    PumpFor(20);
    FakeSdkReset();
    FakeSdk()->microphones = 2;
    FakeSdk()->speakers = 2;
    FakeSdk()->cameras = 2;
    AppConfig::Instance().AppId = "demo1";
    AppConfig::Instance().AppSecret = "0123456789abcdef";
    ASSERT_TRUE(sdk().Init(L"x;alice;room1"));
    sdk().ScreenShare() = ScreenShareSettings{};
    sdk().FrameRate() = 15;
    sdk().ResolutionIndex() = 0;
    m_wnd = new CSettingWnd;
    ASSERT_TRUE(m_wnd->Create(nullptr, L"CDuiSettingWnd", UI_WNDSTYLE_DIALOG, WS_EX_WINDOWEDGE));
    PumpFor(50);
  }
  void TearDown() override {
    if (m_wnd && ::IsWindow(m_wnd->GetHWND())) ::DestroyWindow(m_wnd->GetHWND());
    delete m_wnd;
    CSdkManager::GetInstance().Shutdown();
    PumpFor(20);
  }

  CSdkManager& sdk() { return CSdkManager::GetInstance(); }
  CControlUI* Find(const wchar_t* name) { return m_wnd->GetPaintManager().FindControl(name); }
  void Click(const wchar_t* name) {
    CControlUI* c = Find(name);
    ASSERT_NE(c, nullptr);
    const RECT& rc = c->GetPos();
    const LPARAM at = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    ::SendMessageW(m_wnd->GetHWND(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::SendMessageW(m_wnd->GetHWND(), WM_LBUTTONUP, 0, at);
    PumpFor(20);
  }
  void SetSlider(const wchar_t* name, int value) {
    auto* slider = static_cast<CSliderUI*>(Find(name));
    slider->SetValue(value);
    m_wnd->GetPaintManager().SendNotify(slider, DUI_MSGTYPE_VALUECHANGED);
  }

  CSettingWnd* m_wnd = nullptr;
};

// Verifies that opening lists the SDK's devices, selects the stored choices and previews
// the first camera of the list.
TEST_F(SettingsWindowTest, OpeningListsDevicesAndPreviewsTheFirstCamera) {
  auto* mic = static_cast<CComboUI*>(Find(L"combo_mic"));
  auto* cam = static_cast<CComboUI*>(Find(L"combo_cam"));
  EXPECT_EQ(mic->GetCount(), 2);
  EXPECT_EQ(mic->GetCurSel(), sdk().MicIndex());
  EXPECT_EQ(static_cast<CComboUI*>(Find(L"combo_aud"))->GetCurSel(), 1);
  EXPECT_EQ(cam->GetCurSel(), 0);
  EXPECT_EQ(m_wnd->GetPreviewedCamera(), 0);
  EXPECT_EQ(static_cast<CComboUI*>(Find(L"combo_resolution"))->GetCount(), 5);
  EXPECT_EQ(Find(L"label_frame_rate")->GetText(), L"15 帧/秒");
}

// Verifies choosing the second camera: the preview panel shows it, and closing the dialog
// removes that camera's preview from the panel's render window (none stays registered).
TEST_F(SettingsWindowTest, SwitchingCamerasLeavesNoPreviewBehind) {
  CVideoPanelUI* panel = static_cast<CVideoPanelUI*>(Find(L"vrender_previewer")->GetInterface(L"VideoPanel"));
  ASSERT_NE(panel, nullptr);
  ASSERT_EQ(panel->GetCameraIndex(), 0);
  static_cast<CComboUI*>(Find(L"combo_cam"))->SelectItem(1);
  EXPECT_EQ(m_wnd->GetPreviewedCamera(), 1);
  EXPECT_EQ(panel->GetCameraIndex(), 1) << "the panel still previews the first camera";
  Click(L"setting_cancel");
  ASSERT_TRUE(PumpUntil([&] { return !::IsWindow(m_wnd->GetHWND()); }, 3000));
  std::map<int, int> registered;  // camera -> previews added minus removed
  for (const auto& added : FakeSdk()->previews) ++registered[added.first];
  for (int removed : FakeSdk()->preview_removals) --registered[removed];
  for (const auto& camera : registered) EXPECT_LE(camera.second, 0) << "camera " << camera.first << " still previews";
}

// Verifies that a device change while a device list's drop-down is open closes it: its
// rows were copied from the list before the change.
TEST_F(SettingsWindowTest, DeviceChangeClosesAnOpenDeviceList) {
  Click(L"tabopt_audio");
  auto* mic = static_cast<CComboUI*>(Find(L"combo_mic"));
  ASSERT_TRUE(mic->Activate());
  ASSERT_TRUE(PumpUntil([] { return ::FindWindowW(L"ComboWnd", nullptr) != nullptr; }, 3000));
  FakeSdk()->microphones = 3;
  m_wnd->RefreshDevices();
  EXPECT_EQ(mic->GetCount(), 3);
  EXPECT_TRUE(PumpUntil([] { return ::FindWindowW(L"ComboWnd", nullptr) == nullptr; }, 3000))
      << "the microphone list's drop-down stayed open over the new devices";
}

// Verifies profiles: the stored frame rate again sends nothing, a new one goes to every
// published video, and a resolution change without published videos is only stored.
TEST_F(SettingsWindowTest, ProfileChangesReachPublishedVideosOnly) {
  SetSlider(L"slider_frame_rate", 15);
  EXPECT_TRUE(FakeSdk()->profiles.empty());
  static_cast<CComboUI*>(Find(L"combo_resolution"))->SelectItem(2);
  EXPECT_EQ(sdk().ResolutionIndex(), 2);
  EXPECT_TRUE(FakeSdk()->profiles.empty());
  sdk().StartPublishVideo("LocalCam_0", 0);
  SetSlider(L"slider_frame_rate", 25);
  ASSERT_EQ(FakeSdk()->profiles.size(), 1u);
  EXPECT_EQ(FakeSdk()->profiles[0].first, "LocalCam_0");
  EXPECT_EQ(FakeSdk()->profiles[0].second.width, 640);
  EXPECT_EQ(FakeSdk()->profiles[0].second.height, 480);
  EXPECT_EQ(FakeSdk()->profiles[0].second.frameRate, 25);
  EXPECT_EQ(FakeSdk()->profile_fourth_words, std::vector<int>{1});
  EXPECT_EQ(Find(L"label_frame_rate")->GetText(), L"25 帧/秒");
}

// Verifies volumes: a slider sets its audio parameter and the stored volume; a value
// beyond the range is held at 100.
TEST_F(SettingsWindowTest, VolumeSlidersSetTheAudioParameters) {
  FakeSdk()->audio_params.clear();
  SetSlider(L"slider_mic", 70);
  SetSlider(L"slider_aud", 30);
  EXPECT_EQ(sdk().MicVolume(), 70);
  EXPECT_EQ(sdk().SpeakerVolume(), 30);
  EXPECT_EQ(FakeSdk()->audio_params, (std::vector<std::pair<int, int>>{{2, 70}, {1, 30}}));
  SetSlider(L"slider_mic", 1000);
  EXPECT_EQ(sdk().MicVolume(), 100);
}

// Verifies the share page: OK takes the four edits as they are (a rectangle beyond this
// screen, as on a second monitor, included; text that is no number gives 0), shows no
// message and closes the dialog.
TEST_F(SettingsWindowTest, OkSavesTheFourEditsAndCloses) {
  Click(L"tabopt_screenshare");
  static_cast<COptionUI*>(Find(L"qos_mode_speed"))->Selected(true);
  const int width = ::GetSystemMetrics(SM_CXSCREEN);
  Find(L"share_left_edit")->SetText(std::to_wstring(width + 10).c_str());
  Find(L"share_top_edit")->SetText(L"abc");
  Find(L"share_right_edit")->SetText(std::to_wstring(width + 650).c_str());
  Find(L"share_bottom_edit")->SetText(L"480");
  bool boxShown = true;
  std::thread watcher([&] { boxShown = CloseNextMessageBox(1500); });
  Click(L"setting_ok");
  watcher.join();
  EXPECT_FALSE(boxShown) << "OK showed a message box";
  EXPECT_EQ(sdk().ScreenShare().bias, 1);
  EXPECT_EQ(sdk().ScreenShare().left, width + 10);
  EXPECT_EQ(sdk().ScreenShare().top, 0);
  EXPECT_EQ(sdk().ScreenShare().right, width + 650);
  EXPECT_EQ(sdk().ScreenShare().bottom, 480);
  EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(m_wnd->GetHWND()); }, 3000)) << "OK left the dialog open";
}

// Verifies that Cancel closes the dialog and leaves the saved rectangle and bias as they were.
TEST_F(SettingsWindowTest, CancelKeepsTheSavedRectangle) {
  Click(L"tabopt_screenshare");
  static_cast<COptionUI*>(Find(L"qos_mode_speed"))->Selected(true);
  Find(L"share_left_edit")->SetText(L"100");
  Find(L"share_right_edit")->SetText(L"400");
  Click(L"setting_cancel");
  EXPECT_EQ(sdk().ScreenShare().bias, 0);
  EXPECT_EQ(sdk().ScreenShare().left, 0);
  EXPECT_EQ(sdk().ScreenShare().right, 0);
  EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(m_wnd->GetHWND()); }, 3000)) << "Cancel left the dialog open";
}

}  // namespace
