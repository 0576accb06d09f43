// The main window's commands and SDK messages against the stand-in kiv_sdk, clicked
// through the window as a person would.
#include <gtest/gtest.h>

#include <algorithm>

#include "app_config.h"
#include "client_test_support.h"
#include "fake_sdk_state.h"
#include "meeting_main_wnd.h"
#include "menu/menu_item_list.h"
#include "menu/menu_wnd.h"
#include "sdk_manager.h"
#include "sdk_messages.h"
#include "text_codec.h"
#include "video/video_panel.h"
#include "video/video_panel_layout.h"
#include "video/video_render_control.h"
#include "video/video_render_window_class.h"

namespace {

using namespace DuiLib;

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CWndShadow::Initialize(::GetModuleHandleW(nullptr));
    ASSERT_TRUE(RegisterVideoRenderClass(::GetModuleHandleW(nullptr)));  // as the program's start-up does
    CSdkManager::GetInstance().Shutdown();
    PumpFor(20);
    FakeSdkReset();
    AppConfig& config = AppConfig::Instance();
    config.AppUserDefine = false;
    config.AppId = "demo1";
    config.AppSecret = "0123456789abcdef";
    config.ServerUserDefine = false;
    config.ServerAddr = "127.0.0.1:5000";
  }
  void TearDown() override {
    CSdkManager::GetInstance().Shutdown();
    PumpFor(20);
  }

  // A logged-in alice whose main window shows room1 with bob in it.
  void StartMeeting() {
    ASSERT_TRUE(sdk().Init(L"x;alice;room1"));
    ASSERT_TRUE(sdk().Start());
    sdk().JoinGroup(L"room1");
    main().ShowWindow(true, false);
    main().SyncUserList({"bob"});
    main().RefreshChatTargets({"alice", "bob"});
    PumpFor(50);
  }

  CSdkManager& sdk() { return CSdkManager::GetInstance(); }
  CMeetingMainWnd& main() { return *sdk().GetMainWnd(); }
  CControlUI* Find(const wchar_t* name) { return main().GetPaintManager().FindControl(name); }
  // Presses and releases the mouse in the middle of a control of the main window.
  void Click(const wchar_t* name) {
    CControlUI* c = Find(name);
    ASSERT_NE(c, nullptr) << "no control";
    const RECT& rc = c->GetPos();
    const LPARAM at = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    ::SendMessageW(main().GetHWND(), WM_MOUSEMOVE, 0, at);
    ::SendMessageW(main().GetHWND(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::SendMessageW(main().GetHWND(), WM_LBUTTONUP, 0, at);
    PumpFor(20);
  }
  std::wstring Icon(const char* user, const wchar_t* icon) {
    auto* list = static_cast<CListUI*>(Find(L"list_users"));
    for (int i = 0; list && i < list->GetCount(); ++i) {
      CControlUI* label = main().GetPaintManager().FindSubControlByName(list->GetItemAt(i), L"label_userid");
      if (label && label->GetUserData() == Utf8ToWide(user).c_str()) {
        return main().GetPaintManager().FindSubControlByName(list->GetItemAt(i), icon)->GetBkImage();
      }
    }
    return L"";
  }
  std::wstring Chat() { return Find(L"main_re_msgs")->GetText().GetData(); }
  void Post(UINT message, void* record) {
    ::PostMessageW(main().GetHWND(), message, reinterpret_cast<WPARAM>(record), 0);
    PumpFor(50);
  }
};

// Verifies the microphone button: no microphone makes no SDK call; a refused start
// leaves the flag and the icon off; an accepted one turns both on and the next click stops.
TEST_F(MainWindowTest, MicrophoneButtonFollowsTheSdkAnswer) {
  StartMeeting();
  sdk().MicIndex() = -1;
  Click(L"btn_mic");
  EXPECT_TRUE(FakeSdk()->audio_publish_calls.empty());
  sdk().MicIndex() = 0;
  FakeSdk()->publish_audio_result = 302;
  Click(L"btn_mic");
  EXPECT_FALSE(main().IsMicPublishing());
  EXPECT_EQ(Icon("alice", L"icon_user_audio"), L"img\\main_user_audio_closed.png");
  FakeSdk()->publish_audio_result = 0;
  Click(L"btn_mic");
  EXPECT_TRUE(main().IsMicPublishing());
  EXPECT_EQ(Icon("alice", L"icon_user_audio"), L"img\\main_user_audio_open.png");
  Click(L"btn_mic");
  EXPECT_FALSE(main().IsMicPublishing());
  EXPECT_EQ(FakeSdk()->audio_publish_calls,
            (std::vector<std::string>{"start:appdef_mic", "start:appdef_mic", "stop:appdef_mic"}));
}

// Verifies the screen share: the saved rectangle and bias go to the SDK, the flag turns on
// even when the SDK refuses, and the next click stops the share.
TEST_F(MainWindowTest, ScreenShareUsesTheSavedRectangleAndTogglesWhateverTheAnswer) {
  StartMeeting();
  sdk().ScreenShare() = ScreenShareSettings{1, 10, 20, 330, 260};
  FakeSdk()->screen_share_result = 1;
  Click(L"btn_screenshare");
  EXPECT_TRUE(main().IsScreenSharing());
  ASSERT_EQ(FakeSdk()->screen_shares.size(), 1u);
  EXPECT_EQ(FakeSdk()->screen_shares[0], (std::vector<int>{10, 20, 330, 260, 1}));
  EXPECT_EQ(Icon("alice", L"icon_user_screenshare"), L"img\\main_user_screenshare_open.png");
  Click(L"btn_screenshare");
  EXPECT_FALSE(main().IsScreenSharing());
  EXPECT_EQ(FakeSdk()->screen_share_stops, 1);
}

// Verifies the recording: a file Record<14 digits>.mp4 in the desktop folder, the running
// look of the button, and the stop.
TEST_F(MainWindowTest, RecordingWritesToTheDesktopFolder) {
  StartMeeting();
  Click(L"btn_record");
  ASSERT_EQ(FakeSdk()->record_paths.size(), 1u);
  const std::string path = FakeSdk()->record_paths[0];
  const size_t name = path.rfind("\\Record");
  ASSERT_NE(name, std::string::npos);
  EXPECT_NE(path.find("Desktop"), std::string::npos) << path;
  EXPECT_EQ(path.size() - name, std::string("\\Record20240131235959.mp4").size());
  EXPECT_EQ(static_cast<CButtonUI*>(Find(L"btn_record"))->GetNormalImage(),
            std::wstring(L"img\\LawIcon\\录制视频_Press.png"));
  Click(L"btn_record");
  EXPECT_EQ(FakeSdk()->record_stops, 1);
  EXPECT_FALSE(main().IsRecording());
}

// Verifies a refused recording: the chat says so with the SDK's code, the button keeps
// its idle look and the next click starts again rather than stopping.
TEST_F(MainWindowTest, RefusedRecordingLeavesTheButtonIdle) {
  StartMeeting();
  FakeSdk()->record_result = 302;
  Click(L"btn_record");
  EXPECT_FALSE(main().IsRecording());
  EXPECT_NE(Chat().find(L"录制失败 错误码302"), std::wstring::npos) << Chat();
  EXPECT_EQ(static_cast<CButtonUI*>(Find(L"btn_record"))->GetNormalImage(),
            std::wstring(L"img\\LawIcon\\录制视频.png"));
  FakeSdk()->record_result = 0;
  Click(L"btn_record");
  EXPECT_EQ(FakeSdk()->record_paths.size(), 2u);
  EXPECT_EQ(FakeSdk()->record_stops, 0);
  EXPECT_TRUE(main().IsRecording());
}

// Verifies the chat: "所有人" goes to the group, a user entry to that user only; an empty
// input sends nothing; a refused line stays in the input with a system line.
TEST_F(MainWindowTest, ChatGoesToTheGroupOrToTheChosenUser) {
  StartMeeting();
  Click(L"main_msg_send");
  EXPECT_TRUE(FakeSdk()->group_msgs.empty());
  auto* input = Find(L"main_msg_input");
  auto* combo = static_cast<CComboUI*>(Find(L"main_msg_selectuser"));
  ASSERT_EQ(combo->GetCount(), 2);
  input->SetText(L"大家好");
  Click(L"main_msg_send");
  EXPECT_EQ(FakeSdk()->group_msgs, std::vector<std::string>{WideToUtf8(L"大家好")});
  EXPECT_NE(Chat().find(L"我 对 所有人 说："), std::wstring::npos);
  EXPECT_TRUE(input->GetText().IsEmpty());
  combo->SelectItem(1);
  EXPECT_EQ(std::string(sdk().ChatTarget().c_str()), "bob");
  input->SetText(L"private");
  Click(L"main_msg_send");
  ASSERT_EQ(FakeSdk()->user_msgs.size(), 1u);
  EXPECT_EQ(FakeSdk()->user_msgs[0], std::make_pair(std::string("bob"), std::string("private")));
  EXPECT_NE(Chat().find(L"我 对 bob 说："), std::wstring::npos);
  FakeSdk()->send_msg_result = 302;
  input->SetText(L"lost");
  Click(L"main_msg_send");
  EXPECT_EQ(input->GetText(), L"lost");
  EXPECT_NE(Chat().find(L"消息发送失败"), std::wstring::npos);
}

// Verifies remote videos: two fill the two panels, a third is not shown yet turns the
// icon on (the layout answers 0), a refused render leaves a system line, and removing
// clears only the panel of exactly that pair.
TEST_F(MainWindowTest, RemoteVideosFillThePanels) {
  StartMeeting();
  main().SyncUserList({"bob", "carol", "dave"});
  Post(WM_SDK_REMOTE_VIDEO_ADDED, new RemoteVideoRecord{kiv::String("bob"), kiv::String("cam1")});
  Post(WM_SDK_REMOTE_VIDEO_ADDED, new RemoteVideoRecord{kiv::String("carol"), kiv::String("cam1")});
  Post(WM_SDK_REMOTE_VIDEO_ADDED, new RemoteVideoRecord{kiv::String("dave"), kiv::String("cam1")});
  CVideoPanelLayoutUI* layout = main().GetVideoLayout();
  ASSERT_NE(layout, nullptr);
  EXPECT_EQ(layout->GetPanel(0)->GetUserId(), "bob");
  EXPECT_EQ(layout->GetPanel(1)->GetUserId(), "carol");
  EXPECT_EQ(Icon("dave", L"icon_user_video"), L"img\\main_user_video_open.png");
  EXPECT_TRUE(::IsWindowVisible(layout->GetPanel(0)->GetRenderWindow()));
  Post(WM_SDK_REMOTE_VIDEO_REMOVED, new RemoteVideoRecord{kiv::String("bob"), kiv::String("cam2")});
  EXPECT_EQ(layout->GetPanel(0)->GetUserId(), "bob");
  Post(WM_SDK_REMOTE_VIDEO_REMOVED, new RemoteVideoRecord{kiv::String("bob"), kiv::String("cam1")});
  EXPECT_FALSE(layout->GetPanel(0)->IsBusy());
  EXPECT_EQ(layout->GetPanel(1)->GetUserId(), "carol");
  EXPECT_EQ(Icon("bob", L"icon_user_video"), L"img\\main_user_video_closed.png");
  FakeSdk()->remote_render_result = 1001;
  Post(WM_SDK_REMOTE_VIDEO_ADDED,
       new RemoteVideoRecord{kiv::String("dave"), kiv::String("reserved_videoid_screenshare")});
  EXPECT_NE(Chat().find(L"查看屏幕共享失败:(dave) Errcode:1001"), std::wstring::npos);
}

// Verifies the statistics line of a busy panel and that a failed statistics call keeps it.
TEST_F(MainWindowTest, StatisticsLineOfABusyPanel) {
  StartMeeting();
  Post(WM_SDK_REMOTE_VIDEO_ADDED, new RemoteVideoRecord{kiv::String("bob"), kiv::String("cam1")});
  FakeSdk()->stats_result = 0;
  FakeSdk()->stats = kiv::VideoStats{640, 480, 15, 1536000};
  main().GetVideoLayout()->UpdateVideoInfo();
  CVideoRenderControlUI* overlay = main().GetVideoLayout()->GetPanel(0)->GetForegroundControl();
  CControlUI* line = overlay->GetPaintManager().FindControl(L"label_video_info");
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(line->GetText(), L"1500K 15F 640*480");
  EXPECT_TRUE(::IsWindowVisible(overlay->GetHWND()));
  PumpFor(300);
  EXPECT_FALSE(SaveScreenshot(L"main_window_statistics_line.png").empty());
  FakeSdk()->stats_result = 1;
  main().GetVideoLayout()->UpdateVideoInfo();
  EXPECT_EQ(line->GetText(), L"1500K 15F 640*480");
}

// Verifies the camera menu choice: a preview in the first idle panel, publication as
// LocalCam_<n>, the icon and button on; the same choice again stops everything.
TEST_F(MainWindowTest, CameraMenuChoicePublishesAndStops) {
  StartMeeting();
  FakeSdk()->cameras = 2;
  Click(L"btn_cam");
  HWND menu = nullptr;
  ASSERT_TRUE(PumpUntil([&] { return (menu = ::FindWindowW(L"MenuWnd", nullptr)) != nullptr; }, 3000));
  auto* window = static_cast<CMenuWnd*>(reinterpret_cast<CWindowWnd*>(::GetWindowLongPtrW(menu, GWLP_USERDATA)));
  ASSERT_NE(window, nullptr);
  CControlUI* item = window->GetPaintManager().FindControl(L"cam_1");
  ASSERT_NE(item, nullptr);
  PumpFor(50);
  const RECT rc = item->GetPos();
  ::SendMessageW(menu, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2));
  PumpFor(100);
  EXPECT_EQ(main().PublishedCameras(), std::set<int>{1});
  EXPECT_EQ(FakeSdk()->published_videos, std::vector<std::string>{"LocalCam_1"});
  EXPECT_EQ(main().GetVideoLayout()->GetPanel(0)->GetCameraIndex(), 1);
  EXPECT_EQ(main().GetVideoLayout()->GetPanel(0)->GetVideoId(), "LocalCam_1");
  EXPECT_EQ(Icon("alice", L"icon_user_video"), L"img\\main_user_video_open.png");
  EXPECT_TRUE(PumpUntil([] { return ::FindWindowW(L"MenuWnd", nullptr) == nullptr; }, 3000)) << "menu stayed open";
  // The same camera again.
  TNotifyUI note;
  note.sType = DUI_MSGTYPE_ITEMCLICK;
  CMenuElementUI element;
  element.SetName(L"cam_1");
  note.pSender = &element;
  main().OnCameraMenuItem(note);
  EXPECT_TRUE(main().PublishedCameras().empty());
  EXPECT_EQ(FakeSdk()->stopped_videos, std::vector<std::string>{"LocalCam_1"});
  EXPECT_FALSE(main().GetVideoLayout()->GetPanel(0)->IsBusy());
  EXPECT_EQ(Icon("alice", L"icon_user_video"), L"img\\main_user_video_closed.png");
}

// Verifies a lost connection: remote videos cleared, previews stopped, other users gone,
// buttons off, and a new login tried until the server answers.
TEST_F(MainWindowTest, ConnectionLostClearsThePanels) {
  StartMeeting();
  Post(WM_SDK_REMOTE_VIDEO_ADDED, new RemoteVideoRecord{kiv::String("bob"), kiv::String("cam1")});
  main().SetMicButtonImages(true);
  const int logins = FakeSdk()->login_calls;
  sdk().OnEvent(kiv::EVENT_CONNECTION_LOST, 0);
  PumpFor(50);
  EXPECT_FALSE(main().GetVideoLayout()->GetPanel(0)->IsBusy());
  const auto& renders = FakeSdk()->remote_renders;
  EXPECT_NE(
      std::find(renders.begin(), renders.end(), std::make_tuple(std::string("bob"), std::string("cam1"), false, 3)),
      renders.end());
  EXPECT_EQ(static_cast<CButtonUI*>(Find(L"btn_mic"))->GetNormalImage(), std::wstring(L"img\\LawIcon\\麦克风.png"));
  EXPECT_EQ(static_cast<CListUI*>(Find(L"list_users"))->GetCount(), 1);
  EXPECT_TRUE(PumpUntil([&] { return FakeSdk()->login_calls > logins; }, 5000)) << "no new login";
  sdk().OnEvent(kiv::EVENT_LOGIN_RESULT, 0);
  PumpFor(50);
  EXPECT_EQ(FakeSdk()->joined_groups.back(), "room1");
}

// Verifies closing the meeting: panels cleared, leave, list emptied, logout, window gone.
TEST_F(MainWindowTest, CloseLeavesTheGroupAndEndsTheWindow) {
  StartMeeting();
  Click(L"closebtn");
  PumpFor(100);
  EXPECT_EQ(FakeSdk()->leave_calls, 1);
  EXPECT_EQ(FakeSdk()->logout_calls, 1);
  EXPECT_TRUE(sdk().GetGroupId().empty());
  EXPECT_FALSE(::IsWindow(main().GetHWND()));
}

// Verifies the popup menu's list: only menu elements are taken, and an item list adds one
// item per key.
TEST(PopupMenuTest, MenuListTakesOnlyMenuElementsAndKeysAreUnique) {
  CMenuUI menu;
  auto* label = new CLabelUI;
  EXPECT_FALSE(menu.Add(label));
  EXPECT_EQ(menu.GetCount(), 0);
  delete label;
  EXPECT_TRUE(menu.Add(new CMenuElementUI));
  EXPECT_EQ(menu.GetCount(), 1);
  MenuItemList items;
  items.AddItem(L"cam_menu_0", L"cam_0", L"Camera", false);
  items.AddItem(L"cam_menu_0", L"cam_0", L"Camera again", true);
  items.AddItem(L"cam_menu_1", L"cam_1", L"Other", true);
  ASSERT_EQ(items.items.size(), 2u);
  EXPECT_EQ(items.items[0].text, L"Camera");
}

}  // namespace
