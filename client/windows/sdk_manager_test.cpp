#include "sdk_glue/sdk_manager.h"

#include <gtest/gtest.h>

#include <thread>

#include "config/app_config.h"
#include "sdk_glue/testing/fake_sdk_state.h"
#include "testing/client_test_support.h"
#include "text_codec.h"
#include "windows/info_wnd.h"
#include "windows/meeting_main_wnd.h"
#include "windows/meeting_windows.h"
#include "windows/testing/box_answer.h"
#include "windows/testing/fresh_manager.h"
#include "windows/testing/guarded_allocations.h"

namespace {

using namespace DuiLib;

class SdkManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CWndShadow::Initialize(::GetModuleHandleW(nullptr));  // as the program's start-up does
    StartFromFreshManager();
    AppConfig& config = AppConfig::Instance();
    UseDemoApplication(config);
    config.UserAppId = "user1";
    config.UserAppSecret = "fedcba9876543210";
    config.UserServerAddr = "10.0.0.1:80";
  }
  void TearDown() override {
    CSdkManager::GetInstance().Shutdown();
    PumpFor(20);
  }

  CSdkManager& sdk() { return CSdkManager::GetInstance(); }
  HWND MainWindow() { return sdk().GetMainWnd() ? sdk().GetMainWnd()->GetHWND() : nullptr; }
  CControlUI* MainControl(const wchar_t* name) { return sdk().GetMainWnd()->GetPaintManager().FindControl(name); }

  // Init and Start with a login that the fake accepts.
  void StartLoggedOut(const wchar_t* commandLine = L"x;alice;room1") {
    ASSERT_TRUE(sdk().Init(commandLine));
    ASSERT_TRUE(sdk().Start());
  }
};

// Verifies that both windows show the program's icon (resource 130) in both sizes.
TEST_F(SdkManagerTest, BothWindowsShowTheProgramIcon) {
  StartLoggedOut();
  const HINSTANCE instance = CPaintManagerUI::GetInstance();
  const std::pair<WPARAM, int> sizes[] = {{ICON_BIG, SM_CXICON}, {ICON_SMALL, SM_CXSMICON}};
  for (const auto& size : sizes) {
    const int px = ::GetSystemMetrics(size.second);
    const auto icon = reinterpret_cast<LRESULT>(
        ::LoadImageW(instance, MAKEINTRESOURCEW(130), IMAGE_ICON, px, px, LR_DEFAULTCOLOR | LR_SHARED));
    ASSERT_NE(icon, 0) << "no icon 130 of " << px << " pixels";
    EXPECT_EQ(::SendMessageW(MainWindow(), WM_GETICON, size.first, 0), icon) << "main window, " << px << " pixels";
    EXPECT_EQ(::SendMessageW(sdk().GetInfoWnd()->GetHWND(), WM_GETICON, size.first, 0), icon)
        << "information window, " << px << " pixels";
  }
}

// Verifies an information window that cannot be made, refused before its first message
// and failing after WM_CREATE (as with a broken skin): Start fails and says which window,
// the window object is deleted, and no quit message ends a message loop in silence.
TEST_F(SdkManagerTest, StartFailsWhenTheInformationWindowCannotBeMade) {
  ASSERT_TRUE(sdk().Init(L"x;alice;room1"));
  {
    ScopedWindowRefusal refusal(L"CInfoWnd");
    ASSERT_TRUE(refusal.installed());
    ScopedGuardedAllocations guarded(sizeof(CInfoWnd));
    EXPECT_FALSE(sdk().Start());
    EXPECT_EQ(guarded.made(), 1);
    EXPECT_EQ(guarded.deleted(), 1) << "the refused information window was left behind";
  }
  EXPECT_NE(sdk().StartFailure().find(L"InfoWnd.xml"), std::wstring::npos);
  {
    ScopedCreationFailure failure(L"CInfoWnd");
    ASSERT_TRUE(failure.installed());
    EXPECT_FALSE(sdk().Start());
  }
  EXPECT_EQ(sdk().GetInfoWnd(), nullptr);
  MSG quit{};
  EXPECT_FALSE(::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "a quit message was posted";
  EXPECT_TRUE(sdk().Start()) << "the windows cannot be made once the cause is gone";
  EXPECT_NE(sdk().GetInfoWnd(), nullptr);
}

// Verifies that Init hands the effective configuration to the engine, reads the launch
// ids, sets the device indices from the device counts and registers the signaling handler.
TEST_F(SdkManagerTest, InitPassesConfigurationAndDevices) {
  FakeSdk()->microphones = 2;
  FakeSdk()->speakers = 3;
  ASSERT_TRUE(sdk().Init(L"x;alice;room1"));
  FakeSdkState* fake = FakeSdk();
  EXPECT_EQ(fake->init_app_id, "demo1");
  EXPECT_EQ(fake->init_server, "127.0.0.1:5000");
  EXPECT_EQ(fake->init_work_dir, "./");
  EXPECT_EQ(fake->handler, static_cast<kiv::IKivEngineEventHandler*>(&sdk()));
  EXPECT_EQ(fake->signaling_handler, static_cast<kiv::IKivSignalingEventHandler*>(&sdk()));
  EXPECT_EQ(sdk().GetLaunchUserId(), "alice");
  EXPECT_EQ(sdk().GetLaunchGroupId(), "room1");
  EXPECT_EQ(sdk().MicIndex(), 0);
  EXPECT_EQ(sdk().SpeakerIndex(), 2);
  EXPECT_NE(std::find(fake->audio_params.begin(), fake->audio_params.end(), std::make_pair(2, 50)),
            fake->audio_params.end());
  EXPECT_NE(std::find(fake->audio_params.begin(), fake->audio_params.end(), std::make_pair(1, 50)),
            fake->audio_params.end());
}

// Verifies the alternative ids and server under the two switches, and the defaults of a
// two-piece and an empty command line.
TEST_F(SdkManagerTest, InitUsesUserDefinedValuesAndDefaults) {
  AppConfig::Instance().AppUserDefine = true;
  AppConfig::Instance().ServerUserDefine = true;
  ASSERT_TRUE(sdk().Init(L"x;bob"));
  EXPECT_EQ(FakeSdk()->init_app_id, "user1");
  EXPECT_EQ(FakeSdk()->init_server, "10.0.0.1:80");
  EXPECT_EQ(sdk().GetLaunchUserId(), "bob");
  EXPECT_EQ(sdk().GetLaunchGroupId(), "Zandrovias");
  sdk().Shutdown();
  ASSERT_TRUE(sdk().Init(L""));
  EXPECT_EQ(sdk().GetLaunchUserId().rfind("Default", 0), 0u);
  EXPECT_GT(sdk().GetLaunchUserId().size(), 7u);
  EXPECT_EQ(sdk().GetLaunchGroupId(), "Zandrovias");
}

// Verifies that no engine or a refused Init fails, and that no devices leave both
// indices at -1.
TEST_F(SdkManagerTest, InitFailuresAndNoDevices) {
  FakeSdk()->no_engine = true;
  EXPECT_FALSE(sdk().Init(L"x;alice;room1"));
  FakeSdk()->no_engine = false;
  FakeSdk()->init_result = 1;
  EXPECT_FALSE(sdk().Init(L"x;alice;room1"));
  FakeSdk()->init_result = 0;
  FakeSdk()->microphones = 0;
  FakeSdk()->speakers = 0;
  ASSERT_TRUE(sdk().Init(L"x;alice;room1"));
  EXPECT_EQ(sdk().MicIndex(), -1);
  EXPECT_EQ(sdk().SpeakerIndex(), -1);
}

// Verifies that the online users are requested every 5 seconds from Init on, before
// any login.
TEST_F(SdkManagerTest, RefreshesOnlineUsersEveryFiveSeconds) {
  ASSERT_TRUE(sdk().Init(L"x;alice;room1"));
  const DWORD start = ::GetTickCount();
  PumpFor(3000);
  EXPECT_EQ(FakeSdk()->status_refreshes, 0);
  ASSERT_TRUE(PumpUntil([] { return FakeSdk()->status_refreshes == 1; }, 6000));
  EXPECT_GE(::GetTickCount() - start, 4900u);
}

// Verifies Start: login with the launch user, a forced login and a token of version
// "001"; both windows stay hidden until a join succeeds.
TEST_F(SdkManagerTest, StartLogsInAndKeepsWindowsHidden) {
  StartLoggedOut();
  EXPECT_EQ(FakeSdk()->login_calls, 1);
  EXPECT_EQ(FakeSdk()->login_user, "alice");
  EXPECT_TRUE(FakeSdk()->login_force);
  EXPECT_EQ(FakeSdk()->login_token.substr(0, 3), "001");
  EXPECT_GT(FakeSdk()->login_token.size(), 3u);
  EXPECT_EQ(sdk().GetUserId(), "alice");
  ASSERT_NE(MainWindow(), nullptr);
  EXPECT_FALSE(::IsWindowVisible(MainWindow()));
  ASSERT_NE(sdk().GetInfoWnd(), nullptr);
  EXPECT_FALSE(::IsWindowVisible(sdk().GetInfoWnd()->GetHWND()));
}

// Verifies that a refused login call shows the client's message box and the program
// carries on with hidden windows.
TEST_F(SdkManagerTest, RefusedLoginShowsTheMessageBox) {
  FakeSdk()->login_result = 1;
  ASSERT_TRUE(sdk().Init(L"x;;room1"));
  std::thread closer([] { EXPECT_TRUE(CloseNextMessageBox()); });
  ASSERT_TRUE(sdk().Start());
  closer.join();
  EXPECT_EQ(FakeSdk()->login_user, "");
  EXPECT_FALSE(::IsWindowVisible(MainWindow()));
}

// Verifies the road of a join: a login result of 0 from an SDK thread leads to joining
// the launch group; a join result of 0 shows the main window with the group id.
TEST_F(SdkManagerTest, LoginResultJoinsAndJoinResultShowsTheWindow) {
  StartLoggedOut();
  std::thread([] { FakeSdk()->handler->OnEvent(kiv::EVENT_LOGIN_RESULT, 0); }).join();
  ASSERT_TRUE(PumpUntil([] { return FakeSdk()->joined_groups.size() == 1; }));
  EXPECT_EQ(FakeSdk()->joined_groups[0], "room1");
  EXPECT_TRUE(sdk().IsLogined());
  EXPECT_EQ(sdk().GetGroupId(), "room1");
  EXPECT_GE(FakeSdk()->status_refreshes, 1);
  EXPECT_FALSE(::IsWindowVisible(MainWindow()));

  std::thread([] { FakeSdk()->handler->OnEvent(kiv::EVENT_JOIN_GROUP_RESULT, 0); }).join();
  ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(MainWindow()) != FALSE; }));
  EXPECT_EQ(MainControl(L"label_group_info")->GetText(), CDuiString(L"分组ID：room1"));
}

// Verifies that a refused login result shows the login failure box and joins nothing,
// and that a failed join result leaves the main window hidden.
TEST_F(SdkManagerTest, FailedResults) {
  StartLoggedOut();
  std::thread closer([] { EXPECT_TRUE(CloseNextMessageBox()); });
  std::thread([] { FakeSdk()->handler->OnEvent(kiv::EVENT_LOGIN_RESULT, 32); }).join();
  PumpFor(200);
  closer.join();
  EXPECT_FALSE(sdk().IsLogined());
  EXPECT_TRUE(FakeSdk()->joined_groups.empty());
  std::thread([] { FakeSdk()->handler->OnEvent(kiv::EVENT_JOIN_GROUP_RESULT, 35); }).join();
  PumpFor(200);
  EXPECT_FALSE(::IsWindowVisible(MainWindow()));
}

// Verifies that SDK-thread events reach the main window's controls on this thread: the
// group's user list, a user joining and leaving, and a group chat line.
TEST_F(SdkManagerTest, SdkThreadEventsReachTheMainWindow) {
  StartLoggedOut();
  std::thread([] {
    kiv::Vector<kiv::String> users;
    users.push_back(kiv::String("bob"));
    users.push_back(kiv::String("carol"));
    FakeSdk()->handler->OnGroupUsersRefreshed(users);
  }).join();
  auto* list = static_cast<CListUI*>(MainControl(L"list_users"));
  auto* targets = static_cast<CComboUI*>(MainControl(L"main_msg_selectuser"));
  ASSERT_TRUE(PumpUntil([&] { return list->GetCount() == 3; }));
  ASSERT_EQ(targets->GetCount(), 3);
  EXPECT_EQ(targets->GetItemAt(0)->GetText(), CDuiString(L"所有人"));
  EXPECT_EQ(targets->GetCurSel(), 0);

  std::thread([] { FakeSdk()->handler->OnRemoteUserEvent("dave", 0); }).join();
  ASSERT_TRUE(PumpUntil([&] { return list->GetCount() == 4; }));
  std::thread([] { FakeSdk()->handler->OnRemoteUserEvent("bob", 1); }).join();
  ASSERT_TRUE(PumpUntil([&] { return list->GetCount() == 3; }));

  std::thread([] { FakeSdk()->signaling_handler->OnGroupMsgReceived("carol", 7, "你好"); }).join();
  auto* chat = static_cast<CRichEditUI*>(MainControl(L"main_re_msgs"));
  ASSERT_TRUE(PumpUntil([&] { return chat->GetText().Find(L"你好") >= 0; }));
  EXPECT_GE(chat->GetText().Find(L"carol 对 所有人 说："), 0);
}

// Verifies that a joined meeting shows a complete main window (kept as a screenshot):
// users with media icons, chat lines of the group, a private line and a system line.
TEST_F(SdkManagerTest, JoinedMeetingWindowScreenshot) {
  // A plain desktop behind the window: the virtual display's own is black.
  HWND desktop = ::CreateWindowExW(WS_EX_NOACTIVATE, L"STATIC", L"", WS_POPUP | WS_VISIBLE | SS_GRAYRECT, 0, 0,
                                   ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr,
                                   nullptr, nullptr);
  StartLoggedOut();
  std::thread([] {
    FakeSdk()->handler->OnEvent(kiv::EVENT_LOGIN_RESULT, 0);
    FakeSdk()->handler->OnEvent(kiv::EVENT_JOIN_GROUP_RESULT, 0);
    kiv::Vector<kiv::String> users;
    users.push_back(kiv::String("bob"));
    users.push_back(kiv::String("carol"));
    FakeSdk()->handler->OnGroupUsersRefreshed(users);
    FakeSdk()->handler->OnRemoteAudioEvent(kiv::String("bob"), kiv::String("appdef_mic"), 0);
    FakeSdk()->signaling_handler->OnGroupMsgReceived("bob", 1, "大家好，开始谈判吧。");
    FakeSdk()->signaling_handler->OnUserMsgReceived("carol", 2, "报价清单已准备好。");
    FakeSdk()->signaling_handler->OnInviteAccepted("dave", 3);
  }).join();
  auto* chat = static_cast<CRichEditUI*>(MainControl(L"main_re_msgs"));
  ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(MainWindow()) && chat->GetText().Find(L"dave") >= 0; }));
  EXPECT_GE(chat->GetText().Find(L"carol 对 我 说："), 0);
  EXPECT_GE(chat->GetText().Find(L"dave 已同意加入组"), 0);
  EXPECT_EQ(static_cast<CListUI*>(MainControl(L"list_users"))->GetCount(), 3);
  PumpFor(300);
  EXPECT_FALSE(SaveScreenshot(L"meeting_main_window.png").empty());
  if (desktop) ::DestroyWindow(desktop);
}

// Verifies the error texts, including one for a code the table does not list.
TEST_F(SdkManagerTest, ErrorTexts) {
  EXPECT_EQ(CSdkManager::GetErrorText(30), L"连接服务器失败！");
  EXPECT_EQ(CSdkManager::GetErrorText(32), L"认证失败！");
  EXPECT_EQ(CSdkManager::GetErrorText(33), L"应用不存在！");
  EXPECT_EQ(CSdkManager::GetErrorText(34), L"用户已登录！");
  EXPECT_EQ(CSdkManager::GetErrorText(70), L"账户余额不足！");
  EXPECT_EQ(CSdkManager::GetErrorText(35), L"未知错误:35");
  EXPECT_EQ(CSdkManager::GetErrorText(-2147483647 - 1), L"未知错误:-2147483648");
}

// Verifies that Shutdown forgets what the session chose: a later Init starts from the
// defaults and hands the engine the default volumes.
TEST_F(SdkManagerTest, ShutdownForgetsTheSession) {
  StartLoggedOut();
  sdk().MicVolume() = 70;
  sdk().SpeakerVolume() = 30;
  sdk().FrameRate() = 25;
  sdk().ScreenShare() = ScreenShareSettings{1, 10, 20, 330, 260};
  sdk().SetChatTarget("bob");
  ASSERT_EQ(sdk().StartPublishVideo("appdef_cam0", 0), 0);
  sdk().Shutdown();
  FakeSdkReset();
  ASSERT_TRUE(sdk().Init(L"x;carol;room2"));
  EXPECT_EQ(sdk().MicVolume(), 50);
  EXPECT_EQ(sdk().SpeakerVolume(), 50);
  EXPECT_EQ(sdk().FrameRate(), 15);
  EXPECT_EQ(sdk().ScreenShare().bias, 0);
  EXPECT_EQ(sdk().ScreenShare().right, 0);
  EXPECT_EQ(std::string(sdk().ChatTarget().c_str()), "所有人");
  EXPECT_TRUE(sdk().PublishedVideoIds().empty());
  EXPECT_TRUE(sdk().GetUserId().empty());
  EXPECT_FALSE(sdk().IsLogined());
  EXPECT_NE(std::find(FakeSdk()->audio_params.begin(), FakeSdk()->audio_params.end(), std::make_pair(1, 50)),
            FakeSdk()->audio_params.end());
}

// Verifies that Shutdown releases the engine once and can be repeated.
TEST_F(SdkManagerTest, ShutdownReleasesTheEngineOnce) {
  StartLoggedOut();
  sdk().Shutdown();
  EXPECT_EQ(FakeSdk()->engines_released, 1);
  EXPECT_EQ(sdk().GetMainWnd(), nullptr);
  EXPECT_EQ(sdk().GetInfoWnd(), nullptr);
  sdk().Shutdown();
  EXPECT_EQ(FakeSdk()->engines_released, 1);
}

}  // namespace
