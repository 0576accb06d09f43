// Parleywright's buttons driven through its real windows (mouse messages at the controls
// that the window library's UI probe names), against the native meeting server, with a
// participant of the test's own through kiv_sdk as a witness.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "testing/meeting_actions.h"
#include "testing/meeting_fixture.h"
#include "testing/ui_driver.h"

namespace {

using namespace meeting_test;
using MeetingCommandsTest = MeetingFixture;

bool Contains(const std::wstring& text, const std::wstring& part) { return text.find(part) != std::wstring::npos; }

bool Listed(const std::vector<std::wstring>& items, const std::wstring& item) {
  return std::find(items.begin(), items.end(), item) != items.end();
}

// A client of the meeting with its main window shown.
struct Participant {
  Participant(const std::wstring& install, const std::wstring& user, const std::wstring& group)
      : client(install, L"x;" + user + L";" + group) {}
  bool WaitShown() {
    return PumpUntil([&] { return (main = client.VisibleWindow(L"CDuiFrameWnd")) != nullptr; }, 40000);
  }
  Client client;
  HWND main = nullptr;
};

class Meeting : public MeetingActions {
 public:
  explicit Meeting(UiDriver& ui) : MeetingActions(ui) {}
  bool ChooseChatTarget(Participant& p, const std::wstring& target) {
    return MeetingActions::ChooseChatTarget(p.main, target);
  }
};

// Verifies the chat: a line to all reaches the other client and the witness, a private
// line in Chinese reaches only its addressee, an empty line sends nothing and a line of
// 10 000 characters arrives whole. Screenshot: both windows with the lines both ways.
TEST_F(MeetingCommandsTest, ChatToAllAndToOneThroughTheWindow) {
  JoinAsObserver("room3");
  const std::wstring install = MakeInstall(L"room3", m_server.address(), kSecret);
  UiDriver ui;
  Meeting meeting(ui);
  Participant alice(install, L"alice", L"room3");
  ASSERT_TRUE(alice.WaitShown());
  Participant bob(install, L"bob", L"room3");
  ASSERT_TRUE(bob.WaitShown());
  ASSERT_TRUE(PumpUntil([&] { return Listed(ui.Items(alice.main, L"main_msg_selectuser"), L"bob"); }, 20000));
  ASSERT_TRUE(PumpUntil([&] { return Listed(ui.Items(bob.main, L"main_msg_selectuser"), L"alice"); }, 20000));

  ASSERT_TRUE(meeting.SendChat(alice.main, L"hello everyone"));
  ASSERT_TRUE(PumpUntil([&] { return Contains(meeting.Chat(bob.main), L"hello everyone"); }, 15000));
  EXPECT_TRUE(Contains(meeting.Chat(bob.main), L"alice 对 所有人 说："));
  EXPECT_TRUE(Contains(meeting.Chat(alice.main), L"我 对 所有人 说："));
  ASSERT_TRUE(PumpUntil([&] { return !m_observer.Messages().empty(); }, 10000));
  EXPECT_EQ(m_observer.Messages()[0].sender, "alice");
  EXPECT_TRUE(m_observer.Messages()[0].group);

  const std::wstring privateLine = L"你好，爱丽丝！这是一条私信。";
  ASSERT_TRUE(meeting.ChooseChatTarget(bob, L"alice"));
  ASSERT_TRUE(meeting.SendChat(bob.main, privateLine));
  ASSERT_TRUE(PumpUntil([&] { return Contains(meeting.Chat(alice.main), privateLine); }, 15000));
  EXPECT_TRUE(Contains(meeting.Chat(alice.main), L"bob 对 我 说："));
  EXPECT_TRUE(Contains(meeting.Chat(bob.main), L"我 对 alice 说："));

  // Both windows side by side for the screenshot.
  ::MoveWindow(alice.main, 0, 0, 640, 800, TRUE);
  ::MoveWindow(bob.main, 640, 0, 640, 800, TRUE);
  PumpFor(1000);
  EXPECT_FALSE(SaveScreenshot(L"meeting_chat_both_ways.png").empty());

  // An empty line sends nothing.
  const std::wstring before = meeting.Chat(alice.main);
  ASSERT_TRUE(ui.Click(alice.main, L"main_msg_send"));
  PumpFor(1500);
  EXPECT_EQ(meeting.Chat(alice.main), before);
  EXPECT_EQ(m_observer.Messages().size(), 1u) << "the private line or an empty one reached the witness";

  // A line of 10 000 characters arrives whole.
  const std::wstring longLine(10000, L'x');
  ASSERT_TRUE(meeting.SendChat(alice.main, longLine));
  ASSERT_TRUE(PumpUntil([&] { return m_observer.Messages().size() == 2; }, 20000));
  EXPECT_EQ(m_observer.Messages()[1].text.size(), 10000u);
  ASSERT_TRUE(PumpUntil([&] { return Contains(meeting.Chat(bob.main), longLine); }, 15000));

  EXPECT_TRUE(alice.client.running());
  EXPECT_TRUE(bob.client.running());
}

// Verifies the buttons: every stage button shows its panel in the information window, the
// companion button starts the stand-in, the microphone and a camera are published (the
// own and the peer's icons open), the settings list the Wine devices and keep a share
// rectangle as typed, the information window shows its call-in section without users of
// the client's making, and closing leaves the group.
TEST_F(MeetingCommandsTest, ButtonsThroughTheWindow) {
  JoinAsObserver("room4");
  const std::wstring install = MakeInstall(L"room4", m_server.address(), kSecret);
  UiDriver ui;
  Meeting meeting(ui);
  Participant alice(install, L"alice", L"room4");
  ASSERT_TRUE(alice.WaitShown());
  Participant bob(install, L"bob", L"room4");
  ASSERT_TRUE(bob.WaitShown());
  ASSERT_TRUE(PumpUntil([&] { return Listed(meeting.Users(bob.main), L"alice"); }, 20000));

  // Stage and material buttons.
  const std::pair<const wchar_t*, const wchar_t*> panels[] = {
      {L"btn_kaiju", L"开局"},      {L"btn_xgyp", L"性格预判"}, {L"btn_xxjh", L"信息交换"}, {L"btn_baojia", L"报价"},
      {L"btn_csrb", L"磋商和让步"}, {L"btn_shouju", L"收局"},   {L"btn_dcxy", L"达成一致"}, {L"btn_FZB", L"赋值表"},
      {L"btn_ZBQD", L"准备清单"},   {L"btn_CLFA", L"策略方案"}, {L"btn_DCXY1", L"达成协议"}};
  HWND info = nullptr;
  for (const auto& panel : panels) {
    ASSERT_TRUE(ui.Click(alice.main, panel.first)) << "no button " << panel.first;
    ASSERT_TRUE(PumpUntil(
        [&] {
          info = alice.client.VisibleWindow(L"CInfoWnd");
          return info && ui.Ask(info, {L"text", L"InfoTitle"}) == panel.second;
        },
        8000));
    EXPECT_TRUE(Contains(ui.Ask(info, {L"bkimage", L"InfoContent"}), std::wstring(L"img\\InfoImg\\")));
    RECT rc{};
    EXPECT_TRUE(PumpUntil([&] { return ui.VisibleRect(info, L"InfoContent", &rc); }, 5000));
  }
  PumpFor(500);
  EXPECT_FALSE(SaveScreenshot(L"meeting_stage_panel.png").empty());

  // The companion program.
  ASSERT_TRUE(ui.Click(alice.main, L"btn_cjbz"));
  std::vector<HWND> companion;
  ASSERT_TRUE(PumpUntil([&] { return !(companion = VisibleWindows(0, L"AccordaneStandIn")).empty(); }, 15000));
  PumpFor(500);
  EXPECT_FALSE(SaveScreenshot(L"meeting_companion.png").empty());
  for (HWND w : companion) ::PostMessageW(w, WM_CLOSE, 0, 0);

  // Microphone: the session's PulseAudio microphone is published; the own icon and the
  // peer's icon open, and a second click closes both.
  ASSERT_TRUE(ui.Click(alice.main, L"btn_mic"));
  EXPECT_TRUE(
      PumpUntil([&] { return Contains(meeting.Icon(alice.main, L"alice", L"icon_user_audio"), L"_open"); }, 10000))
      << "the microphone was not published";
  EXPECT_EQ(ui.Ask(alice.main, {L"normalimage", L"btn_mic"}), L"img\\LawIcon\\麦克风_Press.png");
  EXPECT_TRUE(
      PumpUntil([&] { return Contains(meeting.Icon(bob.main, L"alice", L"icon_user_audio"), L"_open"); }, 15000))
      << "the peer never saw the microphone";
  ASSERT_TRUE(ui.Click(alice.main, L"btn_mic"));
  EXPECT_TRUE(
      PumpUntil([&] { return Contains(meeting.Icon(bob.main, L"alice", L"icon_user_audio"), L"_closed"); }, 15000));
  EXPECT_TRUE(Contains(meeting.Icon(alice.main, L"alice", L"icon_user_audio"), L"_closed"));

  // Camera: the menu lists the synthetic cameras; choosing one previews and publishes it,
  // and the peer's icon opens.
  ASSERT_TRUE(ui.Click(alice.main, L"btn_cam"));
  HWND menu = nullptr;
  ASSERT_TRUE(PumpUntil([&] { return (menu = alice.client.VisibleWindow(L"MenuWnd")) != nullptr; }, 8000));
  RECT item{};
  ASSERT_TRUE(PumpUntil([&] { return ui.VisibleRect(menu, L"cam_0", &item); }, 5000));
  EXPECT_FALSE(SaveScreenshot(L"meeting_camera_menu.png").empty());
  ASSERT_TRUE(ui.Click(menu, L"cam_0"));
  EXPECT_TRUE(PumpUntil([&] { return alice.client.VisibleWindow(L"MenuWnd") == nullptr; }, 5000));
  EXPECT_TRUE(
      PumpUntil([&] { return Contains(meeting.Icon(alice.main, L"alice", L"icon_user_video"), L"_open"); }, 10000))
      << "the camera was not previewed";
  EXPECT_EQ(ui.Ask(alice.main, {L"normalimage", L"btn_cam"}), L"img\\LawIcon\\摄像头_Press.png");
  EXPECT_TRUE(
      PumpUntil([&] { return Contains(meeting.Icon(bob.main, L"alice", L"icon_user_video"), L"_open"); }, 15000))
      << "the peer never saw the camera";
  EXPECT_FALSE(Contains(meeting.Chat(alice.main), L"广播摄像头失败")) << "the camera was previewed but not published";

  // Settings: the Wine devices; OK keeps the share rectangle as typed (the SDK judges it
  // when a share starts), shows no message and closes; the dialog opens again with it.
  ASSERT_TRUE(ui.Click(alice.main, L"btn_setting"));
  HWND settings = nullptr;
  ASSERT_TRUE(PumpUntil([&] { return (settings = alice.client.VisibleWindow(L"CDuiSettingWnd")) != nullptr; }, 8000));
  PumpFor(500);
  const std::vector<std::wstring> mics = ui.Items(settings, L"combo_mic");
  const std::vector<std::wstring> speakers = ui.Items(settings, L"combo_aud");
  EXPECT_TRUE(Listed(mics, L"PulseAudio")) << "microphones: " << mics.size();
  EXPECT_TRUE(Listed(mics, L"Monitor of Null Output"));
  EXPECT_TRUE(Listed(speakers, L"PulseAudio"));
  EXPECT_TRUE(Listed(speakers, L"Null Output"));
  EXPECT_EQ(ui.Items(settings, L"combo_resolution").size(), 5u);
  EXPECT_FALSE(SaveScreenshot(L"meeting_settings_audio.png").empty());
  ASSERT_TRUE(ui.Click(settings, L"tabopt_screenshare"));
  PumpFor(300);
  for (const auto& edge :
       {std::make_pair(L"share_left_edit", L"1400"), std::make_pair(L"share_top_edit", L"100"),
        std::make_pair(L"share_right_edit", L"2000"), std::make_pair(L"share_bottom_edit", L"400")}) {
    // The focus moves to this entry's own edit window, not the one typed into before.
    const HWND previous = UiDriver::FocusOf(settings);
    ASSERT_TRUE(ui.Click(settings, edge.first));
    HWND edit = nullptr;
    ASSERT_TRUE(PumpUntil(
        [&] {
          edit = UiDriver::FocusOf(settings);
          wchar_t cls[16] = {};
          if (edit) ::GetClassNameW(edit, cls, 16);
          return edit != previous && _wcsicmp(cls, L"Edit") == 0;
        },
        5000));
    ::SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(edge.second));
  }
  ASSERT_TRUE(ui.Click(settings, L"setting_ok"));
  EXPECT_TRUE(PumpUntil([&] { return alice.client.VisibleWindow(L"CDuiSettingWnd") == nullptr; }, 5000))
      << "OK did not close the settings";
  EXPECT_EQ(alice.client.VisibleWindow(L"CMessageBox"), nullptr) << "OK showed a message";
  ASSERT_TRUE(ui.Click(alice.main, L"btn_setting"));
  ASSERT_TRUE(PumpUntil([&] { return (settings = alice.client.VisibleWindow(L"CDuiSettingWnd")) != nullptr; }, 8000));
  ASSERT_TRUE(ui.Click(settings, L"tabopt_screenshare"));
  EXPECT_TRUE(PumpUntil([&] { return ui.Ask(settings, {L"text", L"share_left_edit"}) == L"1400"; }, 5000));
  EXPECT_EQ(ui.Ask(settings, {L"text", L"share_top_edit"}), L"100");
  EXPECT_EQ(ui.Ask(settings, {L"text", L"share_right_edit"}), L"2000");
  EXPECT_EQ(ui.Ask(settings, {L"text", L"share_bottom_edit"}), L"400");
  PumpFor(300);
  EXPECT_FALSE(SaveScreenshot(L"meeting_settings_share.png").empty());
  ASSERT_TRUE(ui.Click(settings, L"setting_cancel"));
  ASSERT_TRUE(PumpUntil([&] { return alice.client.VisibleWindow(L"CDuiSettingWnd") == nullptr; }, 5000));

  // Information window: its call-in section shows; the client lists no users in it.
  ASSERT_TRUE(ui.Click(alice.main, L"btn_CallIn"));
  ASSERT_TRUE(PumpUntil([&] { return (info = alice.client.VisibleWindow(L"CInfoWnd")) != nullptr; }, 8000));
  RECT callIn{};
  EXPECT_TRUE(PumpUntil([&] { return ui.VisibleRect(info, L"user_stat_CallIn", &callIn); }, 5000));
  PumpFor(500);
  EXPECT_TRUE(ui.Items(info, L"list_users", L"label_userid").empty());
  EXPECT_FALSE(SaveScreenshot(L"meeting_information_window.png").empty());
  ASSERT_TRUE(ui.Click(info, L"CloseBtn"));

  // Closing leaves the group: the peer and the witness see the departure.
  ASSERT_TRUE(ui.Click(bob.main, L"closebtn"));
  EXPECT_TRUE(bob.client.WaitExit(15000)) << "closing the main window did not end the program";
  EXPECT_TRUE(PumpUntil([&] { return !m_observer.Sees("bob"); }, 15000));
  EXPECT_TRUE(PumpUntil([&] { return !Listed(meeting.Users(alice.main), L"bob"); }, 15000));
  EXPECT_TRUE(alice.client.running());
}

// Verifies a lost connection: with the server killed the client's main window returns to
// no media (its camera preview gone, camera and microphone buttons off) and does nothing
// more: the user list and the chat stay as they were, and the window keeps answering.
TEST_F(MeetingCommandsTest, ConnectionLostReturnsToNoMedia) {
  const std::wstring install = MakeInstall(L"room5", m_server.address(), kSecret);
  UiDriver ui;
  Meeting meeting(ui);
  Participant alice(install, L"alice", L"room5");
  ASSERT_TRUE(alice.WaitShown());
  Participant bob(install, L"bob", L"room5");
  ASSERT_TRUE(bob.WaitShown());
  ASSERT_TRUE(PumpUntil([&] { return Listed(meeting.Users(alice.main), L"bob"); }, 20000));
  ASSERT_TRUE(meeting.ChooseCamera(alice.main, 0));
  ASSERT_TRUE(PumpUntil(
      [&] {
        return ui.Ask(alice.main, {L"normalimage", L"btn_cam"}) != L"img\\LawIcon\\摄像头.png";
      },
      10000));
  ASSERT_TRUE(ui.Click(alice.main, L"btn_mic"));
  ASSERT_TRUE(PumpUntil(
      [&] {
        return ui.Ask(alice.main, {L"normalimage", L"btn_mic"}) != L"img\\LawIcon\\麦克风.png";
      },
      10000));
  const std::vector<std::wstring> users = meeting.Users(alice.main);
  const std::wstring chat = meeting.Chat(alice.main);

  ASSERT_TRUE(m_server.Kill());
  ASSERT_TRUE(PumpUntil(
      [&] {
        return ui.Ask(alice.main, {L"normalimage", L"btn_mic"}) == L"img\\LawIcon\\麦克风.png";
      },
      30000))
      << "the lost connection did not reach the window";
  EXPECT_EQ(ui.Ask(alice.main, {L"normalimage", L"btn_cam"}), L"img\\LawIcon\\摄像头.png");
  EXPECT_EQ(meeting.Users(alice.main), users);
  EXPECT_EQ(meeting.Chat(alice.main), chat);
  // Still responsive: a stage button shows its panel while the server is away.
  ASSERT_TRUE(ui.Click(alice.main, L"btn_kaiju"));
  EXPECT_TRUE(PumpUntil([&] { return alice.client.VisibleWindow(L"CInfoWnd") != nullptr; }, 8000));
  PumpFor(500);
  EXPECT_FALSE(SaveScreenshot(L"meeting_connection_lost.png").empty());
  EXPECT_TRUE(alice.client.running());
  EXPECT_TRUE(bob.client.running());
}

}  // namespace
