// Parleywright against the native meeting server: clients started as real processes log
// in and join a group, seen by a participant of this test that uses kiv_sdk itself.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "testing/meeting_fixture.h"

namespace {

using namespace meeting_test;
using MeetingTest = MeetingFixture;

// Verifies the road of a join: two clients started with "x;alice;room1" and
// "x;bob;room1" log in with their tokens, join room1 and show their main windows, and
// another participant of room1 sees both arrive. The screen is kept as a screenshot.
TEST_F(MeetingTest, TwoClientsJoinTheGroupOfTheirCommandLine) {
  JoinAsObserver("room1");
  const std::wstring install = MakeInstall(L"room1", m_server.address(), kSecret);
  Client alice(install, L"x;alice;room1");
  ASSERT_TRUE(alice.started());
  ASSERT_TRUE(PumpUntil([&] { return m_observer.Sees("alice"); }, 40000)) << "the observer never saw alice join";
  ASSERT_TRUE(PumpUntil([&] { return alice.VisibleWindow(L"CDuiFrameWnd") != nullptr; }, 20000));
  Client bob(install, L"x;bob;room1");
  ASSERT_TRUE(PumpUntil([&] { return m_observer.Sees("bob"); }, 40000)) << "the observer never saw bob join";
  ASSERT_TRUE(PumpUntil([&] { return bob.VisibleWindow(L"CDuiFrameWnd") != nullptr; }, 20000));
  PumpFor(1500);  // let both windows draw their user lists
  EXPECT_FALSE(SaveScreenshot(L"meeting_two_clients.png").empty());
  EXPECT_TRUE(alice.running());
  EXPECT_TRUE(bob.running());
}

// Verifies that a client whose secret does not match the server's is refused: it never
// joins, and its login failure box is shown (kept as a screenshot).
TEST_F(MeetingTest, WrongSecretIsRefusedWithTheLoginFailureBox) {
  JoinAsObserver("room2");
  const std::wstring install = MakeInstall(L"wrong_secret", m_server.address(), "fedcba9876543210");
  Client mallory(install, L"x;mallory;room2");
  ASSERT_TRUE(mallory.started());
  HWND box = nullptr;
  ASSERT_TRUE(PumpUntil([&] { return (box = mallory.VisibleWindow(L"CMessageBox")) != nullptr; }, 40000));
  PumpFor(500);
  EXPECT_FALSE(SaveScreenshot(L"login_refused.png").empty());
  EXPECT_FALSE(m_observer.Sees("mallory"));
  EXPECT_EQ(mallory.VisibleWindow(L"CDuiFrameWnd"), nullptr);
  ::PostMessageW(box, WM_CLOSE, 0, 0);
}

}  // namespace
