// A meeting server per test and a participant of the test's own through kiv_sdk.
#pragma once

#include <gtest/gtest.h>

#include "config/access_token.h"
#include "testing/client_test_support.h"
#include "meeting_server_control.h"
#include "testing/meeting_support.h"

namespace meeting_test {

class MeetingFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    ASSERT_TRUE(server_.Start(0, 0, &why)) << why;
  }
  void TearDown() override {
    if (engine_) KivReleaseEngine();
  }

  // Joins `group` as "observer" and waits until in it.
  void JoinAsObserver(const char* group) {
    engine_ = KivGetEngine();
    ASSERT_NE(engine_, nullptr);
    kiv::EngineContext context;
    context.handler = &observer_;
    context.appId = kAppId;
    context.serverAddress = server_.address().c_str();
    ASSERT_EQ(engine_->Init(&context), 0);
    engine_->GetSignaling()->AddEventHandler(&observer_);
    TokenInfo info{kAppId, "observer", 0, kSecret, kTokenVersion};
    ASSERT_EQ(engine_->Login(BuildAccessToken(info).c_str(), "observer", true, ""), 0);
    ASSERT_TRUE(PumpUntil([&] { return observer_.login != -1; }, 20000));
    ASSERT_EQ(observer_.login, 0);
    ASSERT_EQ(engine_->JoinGroup(group), 0);
    ASSERT_TRUE(PumpUntil([&] { return observer_.join != -1; }, 20000));
    ASSERT_EQ(observer_.join, 0);
  }

  connection_test::MeetingServerControl server_{"client_meeting"};
  Observer observer_;
  kiv::IKivEngine* engine_ = nullptr;
};

}  // namespace meeting_test
