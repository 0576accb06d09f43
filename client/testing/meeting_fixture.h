// A meeting server per test and a participant of the test's own through kiv_sdk.
#pragma once

#include <gtest/gtest.h>

#include "config/access_token.h"
#include "meeting_server_control.h"
#include "testing/client_test_support.h"
#include "testing/meeting_support.h"

namespace meeting_test {

class MeetingFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    ASSERT_TRUE(m_server.Start(0, 0, &why)) << why;
  }
  void TearDown() override {
    if (m_engine) KivReleaseEngine();
  }

  // Joins `group` as "observer" and waits until in it.
  void JoinAsObserver(const char* group) {
    m_engine = KivGetEngine();
    ASSERT_NE(m_engine, nullptr);
    kiv::EngineContext context;
    context.handler = &m_observer;
    context.appId = kAppId;
    context.serverAddress = m_server.address().c_str();
    ASSERT_EQ(m_engine->Init(&context), 0);
    m_engine->GetSignaling()->AddEventHandler(&m_observer);
    TokenInfo info{kAppId, "observer", 0, kSecret, kTokenVersion};
    ASSERT_EQ(m_engine->Login(BuildAccessToken(info).c_str(), "observer", true, ""), 0);
    ASSERT_TRUE(PumpUntil([&] { return m_observer.login != -1; }, 20000));
    ASSERT_EQ(m_observer.login, 0);
    ASSERT_EQ(m_engine->JoinGroup(group), 0);
    ASSERT_TRUE(PumpUntil([&] { return m_observer.join != -1; }, 20000));
    ASSERT_EQ(m_observer.join, 0);
  }

  connection_test::MeetingServerControl m_server{"client_meeting"};
  Observer m_observer;
  kiv::IKivEngine* m_engine = nullptr;
};

}  // namespace meeting_test
