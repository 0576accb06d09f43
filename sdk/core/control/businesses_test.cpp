// The online and text-message businesses against scripted framework businesses.
#include <gtest/gtest.h>

#include "core/control/online_business.h"
#include "core/control/tmsg_business.h"
#include "core/env/testing/fake_framework.h"

using kiv_fake::Joined;

namespace {

avcore::FwVector<avcore::FwString> List(std::initializer_list<const char*> ids) {
  avcore::FwVector<avcore::FwString> list;
  for (const char* id : ids) list.push_back(avcore::FwString(id));
  return list;
}

// Records what the businesses pass on.
struct Listener : avcore::IKivOnlineListener, avcore::IKivTMsgListener {
  std::vector<std::string> events;
  const avcore::FwVector<avcore::UserStatusEntry>* entries = nullptr;
  const avcore::UserStatusItem* item = nullptr;
  void AVCORE_CALL OnUserStatusResult(int32_t r, uint32_t id, const avcore::FwVector<avcore::UserStatusEntry>* e,
                                      int32_t total, int32_t reserved) override {
    entries = e;
    events.push_back("status " + std::to_string(r) + " " + std::to_string(id) + " " + std::to_string(total) + " " +
                     std::to_string(reserved));
  }
  void AVCORE_CALL OnInviteCome(const char* a, int32_t id, const char* g, const char* m) override {
    events.push_back(std::string("come ") + a + " " + std::to_string(id) + " " + g + " " + m);
  }
  void AVCORE_CALL OnInviteAccepted(const char* a, int32_t id, const char* x) override {
    events.push_back(std::string("accepted ") + a + " " + std::to_string(id) + " " + x);
  }
  void AVCORE_CALL OnInviteRefused(const char* a, int32_t id, const char* x, int32_t r) override {
    events.push_back(std::string("refused ") + a + " " + std::to_string(id) + " " + x + " " + std::to_string(r));
  }
  void AVCORE_CALL OnInviteCanceled(const char* a, int32_t id, const char* x) override {
    events.push_back(std::string("canceled ") + a + " " + std::to_string(id) + " " + x);
  }
  void AVCORE_CALL OnOnlineNotify(const char* u, const avcore::UserStatusItem* i) override {
    item = i;
    events.push_back(std::string("notify ") + u);
  }
  void AVCORE_CALL OnUserMessage(const char* s, uint32_t id, const char* t) override {
    events.push_back(std::string("user ") + s + " " + std::to_string(id) + " " + t);
  }
  void AVCORE_CALL OnGroupMessage(const char* s, uint32_t id, const char* t) override {
    events.push_back(std::string("group ") + s + " " + std::to_string(id) + " " + t);
  }
};

struct BusinessesTest : ::testing::Test {
  void SetUp() override { fw.Install(&env); }
  kiv_fake::Framework fw;
  kiv_core::CoreEnv env;
  kiv_core::OnlineBusiness online;
  kiv_core::TMsgBusiness tmsg;
  Listener listener;
};

}  // namespace

// Before the framework is up, and without a framework business, requests answer 302;
// an invitation with no user answers 1 before anything else.
TEST_F(BusinessesTest, MissingBusinessesAnswer302) {
  fw.connection.online = nullptr;
  fw.connection.tmsg = nullptr;
  online.Init();
  tmsg.Init();
  env.m_baseCoreInited = false;
  unsigned request = 0;
  EXPECT_EQ(online.UserStatusRefresh(List({"b"}), &request), 302);
  EXPECT_EQ(online.Invite(List({}), "g", "m", &request), 1);
  EXPECT_EQ(online.RefuseInvite("a", 1), 302);
  EXPECT_EQ(tmsg.SendUsersMsgEx(List({"b"}), "hi", &request), 302);
  env.m_baseCoreInited = true;
  ASSERT_EQ(fw.connection.queried.size(), 2u);
  EXPECT_TRUE(fw.connection.queried[0] == avcore::IID_IKivOnline);
  EXPECT_TRUE(fw.connection.queried[1] == avcore::IID_IKivTMsg);
  unsigned id = 0;
  EXPECT_EQ(online.UserStatusRefresh(List({}), &id), 302);
  EXPECT_TRUE(fw.log.Has("m_pKivOnline is null"));
  EXPECT_EQ(online.Invite(List({}), "g", "m", &id), 1);
  EXPECT_EQ(online.Invite(List({"b"}), "g", "m", &id), 302);
  EXPECT_EQ(online.AcceptInvite("a", 1), 302);
  EXPECT_EQ(online.RefuseInvite("a", 1), 302);
  EXPECT_EQ(tmsg.SendUserMsg("b", "hi", &id), 302);
  EXPECT_EQ(tmsg.SendGroupMsg("hi", &id), 302);
  EXPECT_EQ(tmsg.SendUsersMsg(List({"b"}), "hi", &id), 302);
  EXPECT_EQ(tmsg.SendUsersMsgEx(List({"b"}), "hi", &id), 302);
  EXPECT_TRUE(fw.log.Has("m_pKivMsg is null"));
  online.Uninit();
  tmsg.Uninit();
}

// Init listens to the framework's businesses; Uninit stops listening and gives back the
// reference that the connection handed out; requests then answer 302.
TEST_F(BusinessesTest, InitAndUninit) {
  online.Init();
  tmsg.Init();
  EXPECT_EQ(fw.online.listener, &online);
  EXPECT_EQ(fw.tmsg.listener, &tmsg);
  EXPECT_EQ(fw.online.refs, 1);
  EXPECT_EQ(fw.tmsg.refs, 1);
  online.Init();  // a second Init takes no further reference
  EXPECT_EQ(fw.online.refs, 1);
  online.Uninit();
  tmsg.Uninit();
  EXPECT_EQ(Joined(fw.online.calls), "SetListener, RemoveListener");
  EXPECT_EQ(Joined(fw.tmsg.calls), "SetListener, RemoveListener");
  EXPECT_EQ(fw.online.refs, 0);
  EXPECT_EQ(fw.tmsg.refs, 0);
  unsigned id = 0;
  EXPECT_EQ(online.AcceptInvite("a", 1), 302);
  EXPECT_EQ(tmsg.SendGroupMsg("hi", &id), 302);
}

// Status refresh: an empty list asks for every user, a list for those users in order; the
// request id comes back through the caller's pointer; framework failures are 302, any
// other result 0.
TEST_F(BusinessesTest, OnlineRequests) {
  online.Init();
  unsigned id = 0;
  EXPECT_EQ(online.UserStatusRefresh(List({}), &id), 0);
  EXPECT_EQ(id, 7u);
  EXPECT_EQ(online.UserStatusRefresh(List({"b", "c"}), &id), 0);
  EXPECT_EQ(Joined(fw.online.ids), "b, c");
  EXPECT_EQ(fw.online.requestIdOut, &id);

  EXPECT_EQ(online.Invite(List({"b"}), "room1", "join us", &id), 0);
  EXPECT_EQ(Joined(fw.online.ids), "b");
  EXPECT_EQ(fw.online.attributeCount, 0);
  EXPECT_EQ(fw.online.group, "room1");
  EXPECT_EQ(fw.online.message, "join us");
  EXPECT_EQ(online.AcceptInvite("a", 4), 0);
  EXPECT_EQ(fw.online.extra, "");
  EXPECT_EQ(online.RefuseInvite("a", 5), 0);
  EXPECT_EQ(fw.online.extra, "");
  EXPECT_EQ(Joined(fw.online.calls), "SetListener, RefreshAll, Refresh, Invite, Accept a 4, Refuse a 5");

  fw.online.result = 36;  // not a failure here: results are never mapped
  EXPECT_EQ(online.AcceptInvite("a", 4), 0);
  fw.online.result = E_FAIL;
  EXPECT_EQ(online.UserStatusRefresh(List({}), &id), 302);
  EXPECT_TRUE(fw.log.Has("UserStatusRefresh return fail 80004005"));
  EXPECT_EQ(online.Invite(List({"b"}), "g", "", nullptr), 302);
  EXPECT_EQ(online.RefuseInvite("a", 5), 302);
  EXPECT_TRUE(fw.log.Has("InviteUsers return fail 80004005"));
  online.Uninit();
}

// Every online event reaches the listener unchanged; without a listener it is dropped.
TEST_F(BusinessesTest, OnlineEventsPassedOn) {
  online.Init();
  avcore::IKivOnlineListener* framework = fw.online.listener;
  avcore::FwVector<avcore::UserStatusEntry> entries;
  avcore::UserStatusItem item;
  framework->OnUserStatusResult(0, 7, &entries, 2, 0);  // no listener yet: dropped
  online.SetEventHandler(&listener);
  framework->OnUserStatusResult(31, 7, &entries, 2, 9);
  framework->OnInviteCome("a", 3, "g", "m");
  framework->OnInviteAccepted("b", 3, "x");
  framework->OnInviteRefused("b", 3, "x", 4);
  framework->OnInviteCanceled("a", 3, "x");
  framework->OnOnlineNotify("c", &item);
  EXPECT_EQ(Joined(listener.events),
            "status 31 7 2 9, come a 3 g m, accepted b 3 x, "
            "refused b 3 x 4, canceled a 3 x, notify c");
  EXPECT_EQ(listener.entries, &entries);
  EXPECT_EQ(listener.item, &item);
  online.Uninit();
}

// Each sender reaches its own business operation with its arguments unchanged; results
// are mapped: 36 becomes 34, an unlisted code or a failure 302.
TEST_F(BusinessesTest, TextMessages) {
  tmsg.Init();
  unsigned id = 0;
  EXPECT_EQ(tmsg.SendUserMsg("b", "\xE4\xBD\xA0\xE5\xA5\xBD", &id), 0);
  EXPECT_EQ(fw.tmsg.to, "b");
  EXPECT_EQ(fw.tmsg.text, "\xE4\xBD\xA0\xE5\xA5\xBD");
  EXPECT_EQ(fw.tmsg.messageIdOut, &id);
  EXPECT_EQ(tmsg.SendGroupMsg("all", nullptr), 0);
  EXPECT_EQ(fw.tmsg.messageIdOut, nullptr);
  EXPECT_EQ(tmsg.SendUsersMsg(List({"b", "c"}), "two", &id), 0);
  EXPECT_EQ(Joined(fw.tmsg.ids), "b, c");
  EXPECT_EQ(tmsg.SendUsersMsgEx(List({"c"}), "one", &id), 0);
  EXPECT_EQ(Joined(fw.tmsg.ids), "c");
  EXPECT_EQ(Joined(fw.tmsg.calls), "SetListener, User, Group, Users, UsersEx");

  fw.tmsg.result = 36;
  EXPECT_EQ(tmsg.SendUserMsg("b", "x", &id), 34);
  fw.tmsg.result = 31;
  EXPECT_EQ(tmsg.SendGroupMsg("x", &id), 31);
  fw.tmsg.result = 99;
  EXPECT_EQ(tmsg.SendUsersMsg(List({"b"}), "x", &id), 302);
  fw.tmsg.result = E_FAIL;
  EXPECT_EQ(tmsg.SendUsersMsgEx(List({"b"}), "x", &id), 302);

  avcore::IKivTMsgListener* framework = fw.tmsg.listener;
  framework->OnUserMessage("a", 1, "dropped");
  tmsg.SetEventHandler(&listener);
  framework->OnUserMessage("a", 2, "hello");
  framework->OnGroupMessage("a", 3, "everyone");
  EXPECT_EQ(Joined(listener.events), "user a 2 hello, group a 3 everyone");
  tmsg.Uninit();
}
