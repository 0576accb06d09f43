// The main window's commands and SDK messages against the stand-in kiv_sdk, clicked
// through the window as a person would.
#include <gtest/gtest.h>

#include <algorithm>

#include "config/app_config.h"
#include "menu/menu_item_list.h"
#include "menu/menu_wnd.h"
#include "sdk_glue/sdk_manager.h"
#include "sdk_glue/sdk_messages.h"
#include "sdk_glue/testing/fake_sdk_state.h"
#include "testing/client_test_support.h"
#include "text_codec.h"
#include "video/video_panel.h"
#include "video/video_panel_layout.h"
#include "video/video_render_control.h"
#include "video/video_render_window_class.h"
#include "windows/meeting_main_wnd.h"
#include "windows/meeting_windows.h"
#include "windows/message_box.h"
#include "windows/testing/box_answer.h"
#include "windows/testing/fresh_manager.h"
#include "windows/testing/guarded_allocations.h"
#include "windows/testing/manual_timer_clock.h"

namespace {

using namespace DuiLib;

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CWndShadow::Initialize(::GetModuleHandleW(nullptr));
    ASSERT_TRUE(RegisterVideoRenderClass(::GetModuleHandleW(nullptr)));  // as the program's start-up does
    StartFromFreshManager();
    UseDemoApplication(AppConfig::Instance());
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
  // Posts a remote-control event from `user` and answers the box it opens as `answer` says.
  void RemoteControlEvent(const char* user, int operation, BoxAnswer& answer) {
    ScopedBoxAnswer answering(answer);
    Post(WM_SDK_REMOTE_CONTROL, new RemoteControlRecord{kiv::String(user), operation});
  }
  // Clicks the item `name` of the more menu of `control`, as the menu reports it.
  void ChooseMoreMenuItem(CVideoRenderControlUI* control, const wchar_t* name) {
    CMenuElementUI item;
    item.SetName(name);
    TNotifyUI note;
    note.sType = DUI_MSGTYPE_ITEMCLICK;
    note.pSender = &item;
    control->Notify(note);
  }
  // Clicks the item `name` of the camera menu, as the menu reports it.
  void ChooseCameraMenuItem(const wchar_t* name) {
    CMenuElementUI item;
    item.SetName(name);
    TNotifyUI note;
    note.sType = DUI_MSGTYPE_ITEMCLICK;
    note.pSender = &item;
    main().OnCameraMenuItem(note);
  }
  std::wstring MoreMenuTexts(CVideoRenderControlUI* control) {
    CMenuUI root;
    control->BuildMoreMenu(&root);
    std::wstring texts;
    for (int i = 0; i < root.GetCount(); ++i) texts += (i ? L"|" : L"") + std::wstring(root.GetItemAt(i)->GetText());
    return texts;
  }
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
// input sends nothing; a refused line stays in the input and nothing is shown.
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
  const std::wstring before = Chat();
  input->SetText(L"lost");
  Click(L"main_msg_send");
  EXPECT_EQ(input->GetText(), L"lost");
  EXPECT_EQ(Chat(), before) << "a refused line showed something in the chat";
}

// Verifies that the chat target's drop-down goes when a user joins while it is open: the
// row that showed "carol" would now stand for dave, who joined before the last entry, so a
// click on it must not make dave the target of the next private line.
TEST_F(MainWindowTest, ChatTargetDropDownGoesWhenAUserJoins) {
  StartMeeting();
  main().RefreshChatTargets({"alice", "bob", "carol"});
  auto* combo = static_cast<CComboUI*>(Find(L"main_msg_selectuser"));
  ASSERT_EQ(combo->GetCount(), 3);
  Click(L"main_msg_selectuser");
  HWND popup = nullptr;
  ASSERT_TRUE(PumpUntil([&] { return (popup = ::FindWindowW(L"ComboWnd", nullptr)) != nullptr; }, 3000));
  Post(WM_SDK_USER_JOINED, new UserRecord{"dave"});
  ASSERT_EQ(combo->GetCount(), 4);
  RECT rc{};
  ::GetClientRect(popup, &rc);
  const LPARAM carol = MAKELPARAM(10, 1 + (rc.bottom - 2) * 5 / 6);  // the third of three rows
  ::PostMessageW(popup, WM_LBUTTONDOWN, MK_LBUTTON, carol);
  ::PostMessageW(popup, WM_LBUTTONUP, 0, carol);
  PumpFor(100);
  EXPECT_TRUE(PumpUntil([] { return ::FindWindowW(L"ComboWnd", nullptr) == nullptr; }, 3000))
      << "the drop-down stayed open over the changed list";
  EXPECT_NE(std::string(sdk().ChatTarget().c_str()), "dave") << "the click on carol's row chose dave";
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
  ChooseCameraMenuItem(L"cam_1");
  EXPECT_TRUE(main().PublishedCameras().empty());
  EXPECT_EQ(FakeSdk()->stopped_videos, std::vector<std::string>{"LocalCam_1"});
  EXPECT_FALSE(main().GetVideoLayout()->GetPanel(0)->IsBusy());
  EXPECT_EQ(Icon("alice", L"icon_user_video"), L"img\\main_user_video_closed.png");
}

// Verifies the camera switch of a previewing panel's more menu: with two cameras and
// camera 0 previewed, choosing the menu's second camera item republishes the panel's video
// from camera 1 and previews camera 1; the same item from a menu built before a lost
// connection reset the panel switches nothing.
TEST_F(MainWindowTest, MoreMenuSwitchesThePreviewedCamera) {
  StartMeeting();
  FakeSdk()->cameras = 2;
  ChooseCameraMenuItem(L"cam_0");
  CVideoPanelUI* panel = main().GetVideoLayout()->GetPanel(0);
  ASSERT_EQ(panel->GetCameraIndex(), 0);
  CVideoRenderControlUI* control = panel->GetForegroundControl();
  auto secondCameraItem = [&] {
    CMenuUI root;
    control->BuildMoreMenu(&root);
    for (int i = 0; i < root.GetCount(); ++i) {
      auto* element = static_cast<CMenuElementUI*>(root.GetItemAt(i));
      if (element->GetName() == L"cam_switch" && element->GetCount() == 2) {
        return std::wstring(element->GetItemAt(1)->GetName().GetData());
      }
    }
    return std::wstring();
  };
  const std::wstring item = secondCameraItem();
  ASSERT_FALSE(item.empty()) << "no camera switch with two cameras";
  ChooseMoreMenuItem(control, item.c_str());
  EXPECT_EQ(panel->GetCameraIndex(), 1) << "the item " << WideToUtf8(item) << " switched nothing";
  EXPECT_EQ(panel->GetVideoId(), "LocalCam_0");
  EXPECT_EQ(FakeSdk()->published_videos, (std::vector<std::string>{"LocalCam_0", "LocalCam_0"}));

  // The menu of a later look, left open while the connection goes: camera 0 of it.
  std::wstring first = item;
  first.back() = L'0';
  sdk().OnEvent(kiv::EVENT_CONNECTION_LOST, 0);
  PumpFor(50);
  ASSERT_EQ(panel->GetCameraIndex(), -1);
  const size_t published = FakeSdk()->published_videos.size();
  ChooseMoreMenuItem(control, first.c_str());
  EXPECT_EQ(FakeSdk()->published_videos.size(), published) << "a reset panel published a camera";
  EXPECT_EQ(panel->GetCameraIndex(), -1);
}

// Verifies that a menu whose window cannot be made is left alone once it deleted itself:
// the camera menu and a video panel's more menu both return without touching it.
TEST_F(MainWindowTest, MenusThatCannotOpenAreNotTouchedAgain) {
  StartMeeting();
  FakeSdk()->cameras = 2;
  Post(WM_SDK_REMOTE_VIDEO_ADDED, new RemoteVideoRecord{kiv::String("bob"), kiv::String("cam1")});
  CVideoRenderControlUI* overlay = main().GetVideoLayout()->GetPanel(0)->GetForegroundControl();
  ASSERT_NE(overlay, nullptr);
  ScopedWindowRefusal refusal(L"MenuWnd");
  ASSERT_TRUE(refusal.installed());
  ScopedGuardedAllocations guarded(sizeof(CMenuWnd));  // a read after the delete faults
  Click(L"btn_cam");
  CButtonUI more;
  more.SetName(L"btn_video_more");
  TNotifyUI click;
  click.sType = DUI_MSGTYPE_CLICK;
  click.pSender = &more;
  click.ptMouse = POINT{10, 10};
  overlay->Notify(click);
  EXPECT_EQ(guarded.made(), 2);
  EXPECT_EQ(guarded.deleted(), 2) << "a menu that did not open stayed behind";
  EXPECT_EQ(::FindWindowW(L"MenuWnd", nullptr), nullptr);
}

// Verifies windows whose creation fails once their object has handled WM_CREATE: the
// window goes inside Create and its object deletes itself there; the camera menu's Init
// and the chat target combo's drop-down report the failure without touching the object.
TEST_F(MainWindowTest, WindowsThatFailInsideCreateAreNotTouchedAgain) {
  StartMeeting();
  FakeSdk()->cameras = 2;
  {
    ScopedCreationFailure failure(L"MenuWnd");
    ASSERT_TRUE(failure.installed());
    ScopedGuardedAllocations guarded(sizeof(CMenuWnd));  // a read after the delete faults
    Click(L"btn_cam");
    EXPECT_EQ(guarded.made(), 1);
    EXPECT_EQ(guarded.deleted(), 1);
  }
  EXPECT_EQ(::FindWindowW(L"MenuWnd", nullptr), nullptr);
  auto* combo = static_cast<CComboUI*>(Find(L"main_msg_selectuser"));
  {
    ScopedCreationFailure failure(L"ComboWnd");
    EXPECT_FALSE(combo->Activate()) << "a drop-down that could not open was reported open";
  }
  EXPECT_EQ(::FindWindowW(L"ComboWnd", nullptr), nullptr);
  EXPECT_TRUE(combo->Activate()) << "the combo still thinks its drop-down is open";
  combo->CloseDropDown();
  PumpFor(50);
}

// Verifies a top-level menu's size: the estimate of its root as it opens, and the estimate
// with the root's top and bottom insets added to the height once its items are placed.
TEST_F(MainWindowTest, MenuSizeIsTheEstimateWithInsetsInTheHeightOnly) {
  StartMeeting();
  auto estimate = [](CMenuWnd* menu) {
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    ::GetMonitorInfoW(::MonitorFromWindow(menu->GetHWND(), MONITOR_DEFAULTTONEAREST), &info);
    const RECT& work = info.rcWork;
    return menu->GetRoot()->EstimateSize(SIZE{work.right - work.left, work.bottom - work.top});
  };
  auto* bare = new CMenuWnd(main().GetHWND());  // deletes itself when closed
  ASSERT_TRUE(bare->Init(nullptr, nullptr, L"popup_menu.xml", L"xml", 6, 100, 120));
  HWND bareWindow = bare->GetHWND();
  const SIZE opened = estimate(bare);
  RECT rc{};
  ::GetWindowRect(bareWindow, &rc);
  EXPECT_EQ(rc.left, 100);
  EXPECT_EQ(rc.top, 120);
  EXPECT_EQ(rc.right - rc.left, opened.cx);
  EXPECT_EQ(rc.bottom - rc.top, opened.cy);
  bare->Close(1);
  ASSERT_TRUE(PumpUntil([&] { return !::IsWindow(bareWindow); }, 3000));

  FakeSdk()->cameras = 2;
  Click(L"btn_cam");
  HWND menu = nullptr;
  ASSERT_TRUE(PumpUntil([&] { return (menu = ::FindWindowW(L"MenuWnd", nullptr)) != nullptr; }, 3000));
  auto* window = static_cast<CMenuWnd*>(reinterpret_cast<CWindowWnd*>(::GetWindowLongPtrW(menu, GWLP_USERDATA)));
  const SIZE filled = estimate(window);
  const RECT inset = static_cast<CContainerUI*>(window->GetRoot()->GetInterface(L"Container"))->GetInset();
  ASSERT_GT(inset.left + inset.top, 0) << "the skin's menu has no insets to tell the sizes apart";
  ::GetWindowRect(menu, &rc);
  EXPECT_EQ(rc.right - rc.left, filled.cx);
  EXPECT_EQ(rc.bottom - rc.top, filled.cy + inset.top + inset.bottom);
  window->Close(1);
  EXPECT_TRUE(PumpUntil([&] { return !::IsWindow(menu); }, 3000));
}

// Verifies a lost connection: both layouts' remote videos cleared and previews stopped,
// camera and microphone buttons off, and nothing more: the published sets, the users, the
// chat and the group stay, the SDK (which leaves and logs out by itself) is asked nothing,
// also once every timer of the client has had a minute, and a later refused login is
// reported like any other.
TEST_F(MainWindowTest, ConnectionLostReturnsToNoMediaAndNothingMore) {
  ManualTimerClock clock;
  StartMeeting();
  FakeSdk()->cameras = 1;
  Post(WM_SDK_REMOTE_VIDEO_ADDED, new RemoteVideoRecord{kiv::String("bob"), kiv::String("cam1")});
  Post(WM_SDK_REMOTE_VIDEO_ADDED,
       new RemoteVideoRecord{kiv::String("bob"), kiv::String("reserved_videoid_screenshare")});
  ChooseCameraMenuItem(L"cam_0");
  CVideoPanelLayoutUI* videos = main().GetVideoLayout();
  ASSERT_EQ(videos->GetPanel(1)->GetCameraIndex(), 0);
  ASSERT_TRUE(main().GetScreenShareLayout()->GetPanel(0)->IsBusy());
  main().SetMicButtonImages(true);
  const std::wstring chat = Chat();
  const FakeSdkState before = *FakeSdk();

  sdk().OnEvent(kiv::EVENT_CONNECTION_LOST, 0);
  PumpFor(50);
  const int fired = clock.Fired();
  clock.Advance(60 * 1000);
  EXPECT_GT(clock.Fired(), fired) << "no timer of the client ran on the test's clock";
  EXPECT_FALSE(videos->GetPanel(0)->IsBusy());
  EXPECT_FALSE(videos->GetPanel(1)->IsBusy());
  EXPECT_EQ(videos->GetPanel(1)->GetCameraIndex(), -1);
  EXPECT_FALSE(main().GetScreenShareLayout()->GetPanel(0)->IsBusy());
  const std::vector<int>& removals = FakeSdk()->preview_removals;
  EXPECT_NE(std::find(removals.begin() + before.preview_removals.size(), removals.end(), 0), removals.end())
      << "the camera's preview was not stopped";
  const auto& renders = FakeSdk()->remote_renders;
  EXPECT_NE(
      std::find(renders.begin(), renders.end(), std::make_tuple(std::string("bob"), std::string("cam1"), false, 3)),
      renders.end());
  EXPECT_EQ(static_cast<CButtonUI*>(Find(L"btn_cam"))->GetNormalImage(), std::wstring(L"img\\LawIcon\\摄像头.png"));
  EXPECT_EQ(static_cast<CButtonUI*>(Find(L"btn_mic"))->GetNormalImage(), std::wstring(L"img\\LawIcon\\麦克风.png"));
  EXPECT_EQ(main().PublishedCameras(), std::set<int>{0});
  EXPECT_EQ(sdk().PublishedVideoIds(), std::set<std::string>{"LocalCam_0"});
  EXPECT_EQ(static_cast<CListUI*>(Find(L"list_users"))->GetCount(), 2) << "the users were taken away";
  EXPECT_EQ(Chat(), chat) << "the chat was written to";
  EXPECT_EQ(sdk().GetGroupId(), "room1");
  EXPECT_TRUE(::IsWindowVisible(main().GetHWND()));
  EXPECT_EQ(FakeSdk()->login_calls, before.login_calls);
  EXPECT_EQ(FakeSdk()->joined_groups, before.joined_groups);
  EXPECT_EQ(FakeSdk()->leave_calls, before.leave_calls);
  EXPECT_EQ(FakeSdk()->logout_calls, before.logout_calls);
  EXPECT_EQ(FakeSdk()->stopped_videos, before.stopped_videos);

  BoxAnswer refused;
  {
    ScopedBoxAnswer answering(refused);
    sdk().OnEvent(kiv::EVENT_LOGIN_RESULT, 32);
    PumpUntil([&] { return refused.seen; }, 3000);
  }
  EXPECT_TRUE(refused.seen) << "a refused login after the loss was not shown";
  EXPECT_EQ(refused.text, L"登陆失败");
  EXPECT_EQ(FakeSdk()->login_calls, before.login_calls);
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

// Verifies the answer to a remote-control request: "btn_ok" ("接受") accepts (2); "btn_cancel"
// ("拒绝") and closing the box any other way refuse (3); the box shows who asks.
TEST_F(MainWindowTest, RemoteControlRequestIsAcceptedOnlyByOk) {
  StartMeeting();
  BoxAnswer ok;
  ok.button = L"btn_ok";
  RemoteControlEvent("bob", 0, ok);
  ASSERT_TRUE(ok.seen) << "no box was shown";
  EXPECT_EQ(ok.text, L"bob 请求远程控制");
  EXPECT_EQ(ok.ok, L"接受");
  EXPECT_EQ(ok.cancel, L"拒绝");
  BoxAnswer cancel;
  cancel.button = L"btn_cancel";
  RemoteControlEvent("bob", 0, cancel);
  BoxAnswer closed;
  RemoteControlEvent("carol", 0, closed);
  EXPECT_TRUE(cancel.seen && closed.seen);
  EXPECT_EQ(FakeSdk()->remote_control_ops,
            (std::vector<std::pair<std::string, int>>{{"bob", 2}, {"bob", 3}, {"carol", 3}}));
}

// Verifies that a request whose box cannot open is refused (3) rather than left unanswered.
TEST_F(MainWindowTest, RemoteControlRequestWithoutABoxIsRefused) {
  StartMeeting();
  BoxAnswer none;
  {
    ScopedWindowRefusal refusal(L"CMessageBox");
    ASSERT_TRUE(refusal.installed());
    ScopedGuardedAllocations guarded(sizeof(CMessageBox));
    RemoteControlEvent("bob", 0, none);
    EXPECT_EQ(guarded.made(), 1);
    EXPECT_EQ(guarded.deleted(), 1) << "the refused box was left behind";
  }
  EXPECT_FALSE(none.seen) << "the box opened although its window was refused";
  EXPECT_EQ(FakeSdk()->remote_control_ops, (std::vector<std::pair<std::string, int>>{{"bob", 3}}));
}

// Verifies the other remote-control events: each shows its line and calls nothing; an
// unknown operation shows nothing; an id of 128 characters or more is shown as empty text.
TEST_F(MainWindowTest, RemoteControlAnswersAreShown) {
  StartMeeting();
  const std::pair<int, const wchar_t*> lines[] = {
      {1, L"bob 取消了远程控制"}, {2, L"bob 接受了远程控制"}, {3, L"bob 拒绝了远程控制"}};
  for (const auto& line : lines) {
    BoxAnswer answer;
    RemoteControlEvent("bob", line.first, answer);
    EXPECT_TRUE(answer.seen);
    EXPECT_EQ(answer.text, line.second);
  }
  BoxAnswer unknown;
  RemoteControlEvent("bob", 7, unknown);
  EXPECT_FALSE(unknown.seen);
  BoxAnswer longId;
  RemoteControlEvent(std::string(128, 'u').c_str(), 3, longId);
  EXPECT_EQ(longId.text, L" 拒绝了远程控制");
  EXPECT_TRUE(FakeSdk()->remote_control_ops.empty());
}

// Verifies the remote-control item of a screen share's more menu: 0 "远程控制桌面" asks (a
// refused request stays at 0), 1 "等待共享端接受", any click then 2 "取消控制" without a call,
// a cancel the SDK refuses stays at 2, an accepted one goes back to 0; the sharer's answer
// leaves the state alone and clearing the panel resets it.
TEST_F(MainWindowTest, RemoteControlMenuStates) {
  StartMeeting();
  Post(WM_SDK_REMOTE_VIDEO_ADDED,
       new RemoteVideoRecord{kiv::String("bob"), kiv::String("reserved_videoid_screenshare")});
  CVideoPanelUI* panel = main().GetScreenShareLayout()->GetPanel(0);
  ASSERT_TRUE(panel->IsBusy());
  CVideoRenderControlUI* control = panel->GetForegroundControl();
  ASSERT_NE(control, nullptr);
  const wchar_t* item = L"video_operate_remotecontrol";
  EXPECT_EQ(MoreMenuTexts(control), L"远程控制桌面");
  FakeSdk()->remote_control_result = 302;
  ChooseMoreMenuItem(control, item);
  EXPECT_EQ(control->GetRemoteControlState(), 0);
  FakeSdk()->remote_control_result = 0;
  ChooseMoreMenuItem(control, item);
  EXPECT_EQ(control->GetRemoteControlState(), 1);
  EXPECT_EQ(MoreMenuTexts(control), L"等待共享端接受");
  BoxAnswer refused;
  RemoteControlEvent("bob", 3, refused);
  EXPECT_EQ(control->GetRemoteControlState(), 1);
  ChooseMoreMenuItem(control, item);
  EXPECT_EQ(control->GetRemoteControlState(), 2);
  EXPECT_EQ(MoreMenuTexts(control), L"取消控制");
  FakeSdk()->remote_control_result = 302;
  ChooseMoreMenuItem(control, item);
  EXPECT_EQ(control->GetRemoteControlState(), 2);
  FakeSdk()->remote_control_result = 0;
  ChooseMoreMenuItem(control, item);
  EXPECT_EQ(control->GetRemoteControlState(), 0);
  EXPECT_EQ(FakeSdk()->remote_control_ops,
            (std::vector<std::pair<std::string, int>>{{"bob", 0}, {"bob", 0}, {"bob", 1}, {"bob", 1}}));
  ChooseMoreMenuItem(control, item);
  ASSERT_EQ(control->GetRemoteControlState(), 1);
  Post(WM_SDK_REMOTE_VIDEO_REMOVED,
       new RemoteVideoRecord{kiv::String("bob"), kiv::String("reserved_videoid_screenshare")});
  EXPECT_EQ(control->GetRemoteControlState(), 0);
}

// Verifies that the window changes nothing before its skin is loaded: the maximised size
// asked for during creation is left to the library, and set to the work area afterwards.
TEST_F(MainWindowTest, NothingHappensBeforeTheWindowIsInitialised) {
  CMeetingMainWnd early;
  MINMAXINFO info{};
  info.ptMaxSize = POINT{123, 456};
  BOOL handled = FALSE;
  early.HandleCustomMessage(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info), handled);
  EXPECT_EQ(info.ptMaxSize.y, 456);
  EXPECT_FALSE(handled);
  StartMeeting();
  RECT work{};
  ASSERT_TRUE(::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
  info.ptMaxSize = POINT{123, 456};
  main().HandleCustomMessage(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info), handled);
  EXPECT_EQ(info.ptMaxSize.y, work.bottom - work.top);
}

// Verifies a menu item: its class name, and that only a fixed height overrides its
// measured size (a fixed width does not).
TEST(PopupMenuTest, MenuElementClassAndMeasuredSize) {
  CMenuUI menu;
  auto* fixed = new CMenuElementUI;
  fixed->SetText(L"x");
  fixed->SetAttribute(L"width", L"180");
  fixed->SetAttribute(L"height", L"36");
  auto* free = new CMenuElementUI;
  free->SetText(L"x");
  free->SetFixedHeight(0);
  ASSERT_TRUE(menu.Add(fixed));
  ASSERT_TRUE(menu.Add(free));
  EXPECT_STREQ(fixed->GetClass(), L"MenuElement");
  const SIZE available{1000, 1000};
  const SIZE a = fixed->EstimateSize(available);
  const SIZE b = free->EstimateSize(available);
  EXPECT_EQ(a.cy, 36);
  EXPECT_EQ(a.cx, b.cx);
  EXPECT_LT(a.cx, 180);
  EXPECT_EQ(CMenuElementUI().EstimateSize(available).cy, 25) << "a new item is 25 high";
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
