// The information window against the stand-in kiv_sdk: the group-id entry with its join
// button, the invitation buttons and the list of users with check boxes.
#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "config/app_config.h"
#include "sdk_glue/sdk_manager.h"
#include "sdk_glue/sdk_messages.h"
#include "sdk_glue/testing/fake_sdk_state.h"
#include "testing/client_test_support.h"
#include "video/video_render_window_class.h"
#include "windows/info_wnd.h"
#include "windows/meeting_main_wnd.h"
#include "windows/meeting_windows.h"
#include "windows/testing/box_answer.h"
#include "windows/testing/fresh_manager.h"

namespace {

using namespace DuiLib;

class InfoWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CWndShadow::Initialize(::GetModuleHandleW(nullptr));
    ASSERT_TRUE(RegisterVideoRenderClass(::GetModuleHandleW(nullptr)));
    StartFromFreshManager();
    AppConfig::Instance().AppId = "demo1";
    AppConfig::Instance().AppSecret = "0123456789abcdef";
    ASSERT_TRUE(sdk().Init(L"x;alice;room1"));
    ASSERT_TRUE(sdk().Start());
    ASSERT_NE(sdk().GetInfoWnd(), nullptr);
    info().ShowWindow(true, false);
    PumpFor(50);
  }
  void TearDown() override {
    CSdkManager::GetInstance().Shutdown();
    PumpFor(20);
  }

  CSdkManager& sdk() { return CSdkManager::GetInstance(); }
  CInfoWnd& info() { return *sdk().GetInfoWnd(); }
  CControlUI* Find(const wchar_t* name) { return info().GetPaintManager().FindControl(name); }
  CListUI* Users() { return static_cast<CListUI*>(Find(L"list_users")); }
  void Click(const wchar_t* name) {
    CControlUI* c = Find(name);
    ASSERT_NE(c, nullptr) << "no control";
    PumpFor(30);
    const RECT& rc = c->GetPos();
    const POINT centre{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    ASSERT_EQ(info().GetPaintManager().FindControl(centre), c) << "the control is not where a click lands";
    const LPARAM at = MAKELPARAM(centre.x, centre.y);
    ::SendMessageW(info().GetHWND(), WM_MOUSEMOVE, 0, at);
    ::SendMessageW(info().GetHWND(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::SendMessageW(info().GetHWND(), WM_LBUTTONUP, 0, at);
    PumpFor(30);
  }
  // Clicks the join button with `group` typed; returns the message box it showed, if any.
  BoxAnswer JoinWith(const std::wstring& group) {
    Find(L"edit_groupid")->SetText(group.c_str());
    BoxAnswer answer;
    answer.button = L"btn_ok";
    ScopedBoxAnswer answering(answer);
    Click(L"btn_joingroup");
    return answer;
  }
  // A user row as the skin describes it; the client itself never adds one.
  CCheckBoxUI* AddRow(const wchar_t* user) {
    CDialogBuilder builder;
    CControlUI* item = builder.Create(L"info_useritem.xml", nullptr, nullptr, &info().GetPaintManager());
    if (!item) return nullptr;
    CControlUI* label = info().GetPaintManager().FindSubControlByName(item, L"label_userid");
    label->SetText(user);
    label->SetUserData(user);
    Users()->Add(item);
    return static_cast<CCheckBoxUI*>(info().GetPaintManager().FindSubControlByName(item, L"check_user_select"));
  }
};

// Verifies the group-id rule: 32 characters join; 33 characters or none show the rule and
// join nothing; a join under way disables the button and says so.
TEST_F(InfoWindowTest, GroupIdOfAtMost32CharactersJoins) {
  const std::wstring rule = L"GroupId不能为空且长度不超过32";
  BoxAnswer tooLong = JoinWith(std::wstring(33, L'g'));
  EXPECT_TRUE(tooLong.seen);
  EXPECT_EQ(tooLong.text, rule);
  BoxAnswer empty = JoinWith(L"");
  EXPECT_TRUE(empty.seen);
  EXPECT_EQ(empty.text, rule);
  EXPECT_TRUE(FakeSdk()->joined_groups.empty());

  BoxAnswer exact = JoinWith(std::wstring(32, L'g'));
  EXPECT_FALSE(exact.seen) << "32 characters were refused: " << exact.text.size();
  ASSERT_EQ(FakeSdk()->joined_groups.size(), 1u);
  EXPECT_EQ(FakeSdk()->joined_groups[0], std::string(32, 'g'));
  EXPECT_FALSE(Find(L"btn_joingroup")->IsEnabled());
  EXPECT_EQ(Find(L"btn_joingroup")->GetText(), L"正在加入组...");
}

// Verifies a join the SDK refuses at once: the message names the error and the button
// stays usable.
TEST_F(InfoWindowTest, RefusedJoinShowsTheError) {
  FakeSdk()->join_result = 2;
  BoxAnswer refused = JoinWith(L"room2");
  EXPECT_TRUE(refused.seen);
  EXPECT_EQ(refused.text.rfind(L"加入组失败：", 0), 0u) << refused.text.size();
  EXPECT_TRUE(Find(L"btn_joingroup")->IsEnabled());
}

// Verifies that the client puts no users into the list (not even when the online users
// arrive) and that the invitation buttons send no invitation and show nothing.
TEST_F(InfoWindowTest, NoUsersListedAndNoInvitationSent) {
  ASSERT_NE(FakeSdk()->signaling_handler, nullptr);
  kiv::Vector<kiv::UserStatus> online;
  kiv::UserStatus bob;
  bob.userId = "bob";
  bob.status = 1;
  online.push_back(bob);
  FakeSdk()->signaling_handler->OnUsersStateRefreshed(0, 1, online);
  PumpFor(100);
  EXPECT_EQ(Users()->GetCount(), 0);

  sdk().JoinGroup(L"room1");
  ASSERT_NE(AddRow(L"bob"), nullptr);
  static_cast<CCheckBoxUI*>(info().GetPaintManager().FindSubControlByName(Users()->GetItemAt(0), L"check_user_select"))
      ->SetCheck(true, true);
  const std::wstring chat = sdk().GetMainWnd()->GetPaintManager().FindControl(L"main_re_msgs")->GetText().GetData();
  for (const wchar_t* button : {L"btn_bottom_invite", L"btn_online_callIn"}) {
    if (wcscmp(button, L"btn_online_callIn") == 0) info().ShowCallIn();
    Find(button)->SetEnabled(true);
    BoxAnswer answer;
    {
      ScopedBoxAnswer answering(answer);
      Click(button);
      PumpFor(100);
    }
    EXPECT_FALSE(answer.seen) << "a message box was shown";
  }
  EXPECT_TRUE(FakeSdk()->invites.empty());
  EXPECT_EQ(sdk().GetMainWnd()->GetPaintManager().FindControl(L"main_re_msgs")->GetText(), chat.c_str());
}

// Verifies the call-in view: the join section hidden, the call-in section shown and the
// window shown; the title and a panel that was on show stay as they were.
TEST_F(InfoWindowTest, CallInShowsItsSectionAndChangesNothingElse) {
  info().ShowInfoPanel(L"开局", L"img\\InfoImg\\开局.png");
  info().ShowWindow(false);
  info().ShowCallIn();
  EXPECT_TRUE(::IsWindowVisible(info().GetHWND()));
  EXPECT_FALSE(Find(L"User_stat_jornGroup")->IsVisible());
  EXPECT_TRUE(Find(L"user_stat_CallIn")->IsVisible());
  EXPECT_EQ(Find(L"InfoTitle")->GetText(), L"开局");
  EXPECT_TRUE(Find(L"InfoContent")->IsVisible());
}

// Verifies the check boxes: a click on a row toggles its box, "btn_selectAll" sets every
// box, and checking changes nothing else; the join button's caption follows the checks
// only when it is refreshed ("加入组" with none, "邀请并加入组" with one or more).
TEST_F(InfoWindowTest, CheckBoxesChangeNothingElse) {
  CCheckBoxUI* bob = AddRow(L"bob");
  CCheckBoxUI* carol = AddRow(L"carol");
  ASSERT_TRUE(bob && carol);
  CControlUI* join = Find(L"btn_joingroup");
  EXPECT_EQ(join->GetText(), L"加入组");

  TNotifyUI click;
  click.sType = DUI_MSGTYPE_ITEMCLICK;
  click.pSender = Users()->GetItemAt(0);
  info().Notify(click);
  EXPECT_TRUE(bob->GetCheck());
  EXPECT_FALSE(carol->GetCheck());
  EXPECT_EQ(join->GetText(), L"加入组") << "a check box changed the join button";

  auto* all = static_cast<COptionUI*>(Find(L"btn_selectAll"));
  ASSERT_NE(all, nullptr);
  all->Selected(true);
  PumpFor(30);
  EXPECT_TRUE(bob->GetCheck());
  EXPECT_TRUE(carol->GetCheck());
  EXPECT_EQ(join->GetText(), L"加入组");
  EXPECT_EQ(info().GetCheckedUsers().size(), 2u);

  BoxAnswer failed;
  {
    ScopedBoxAnswer answering(failed);
    info().OnJoinFailed(L"wrong state");
  }
  EXPECT_EQ(failed.text, L"加入组失败：wrong state");
  EXPECT_EQ(join->GetText(), L"邀请并加入组");
  EXPECT_TRUE(join->IsEnabled());
  all->Selected(false);
  PumpFor(30);
  EXPECT_FALSE(bob->GetCheck());
  EXPECT_EQ(join->GetText(), L"邀请并加入组");
  info().UpdateJoinButtons();
  EXPECT_EQ(join->GetText(), L"加入组");
}

}  // namespace
