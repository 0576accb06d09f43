// The signaling facade through the core's businesses to scripted framework businesses,
// and the framework's events back to the application's handlers.
#include "engine/kiv_signaling_impl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "base/system/testing/slot_wait_probe.h"
#include "base/system/w_lock.h"
#include "core/core_engine.h"
#include "core/env/testing/fake_framework.h"
#include "core/testing/thread_latch.h"

using kiv_fake::Joined;

namespace {

// "你好，世界" in UTF-8.
const char kChinese[] = "\xE4\xBD\xA0\xE5\xA5\xBD\xEF\xBC\x8C\xE4\xB8\x96\xE7\x95\x8C";

struct AppHandler : kiv::IKivSignalingEventHandler {
  std::string name;
  std::vector<std::string>* events;
  AppHandler(const char* n, std::vector<std::string>* e) : name(n), events(e) {}
  // No lock of the SDK is held while a handler runs.
  void Add(const std::string& text) {
    EXPECT_EQ(ZORVANTE::HeldLockCount(), 0) << text;
    events->push_back(name + ":" + text);
  }

  void OnUsersStateRefreshed(int result, unsigned requestId, kiv::Vector<kiv::UserStatus> statuses) override {
    std::string text = "refreshed " + std::to_string(result) + " " + std::to_string(requestId);
    for (const kiv::UserStatus& s : statuses)
      text += std::string(" ") + s.userId.c_str() + "=" + std::to_string(s.status) + "/" + s.data.c_str();
    Add(text);
  }
  void OnUserStateChanged(const kiv::UserStatus& s) override {
    Add(std::string("changed ") + s.userId.c_str() + "=" + std::to_string(s.status) + "/" + s.data.c_str());
  }
  void OnInviteReceived(const char* inviter, int id, const char* group, const char* msg) override {
    Add(std::string("invite ") + inviter + " " + std::to_string(id) + " " + group + " " + msg);
  }
  void OnInviteAccepted(const char* user, int id) override {
    Add(std::string("accepted ") + user + " " + std::to_string(id));
  }
  void OnInviteRefused(const char* user, int id) override {
    Add(std::string("refused ") + user + " " + std::to_string(id));
  }
  void OnUserMsgReceived(const char* sender, unsigned id, const char* text) override {
    Add(std::string("user ") + sender + " " + std::to_string(id) + " " + text);
  }
  void OnGroupMsgReceived(const char* sender, unsigned id, const char* text) override {
    Add(std::string("group ") + sender + " " + std::to_string(id) + " " + text);
  }
};

kiv::Vector<kiv::String> Ids(std::initializer_list<const char*> ids) {
  kiv::Vector<kiv::String> list;
  for (const char* id : ids) list.push_back(kiv::String(id));
  return list;
}

avcore::UserStatusItem Item(int32_t status, const char* data) {
  avcore::UserStatusItem item;
  item.device_id = "dev";
  item.status = status;
  item.platform = "windows";
  item.data = data;
  return item;
}

struct SignalingTest : ::testing::Test {
  void SetUp() override {
    fw.Install(kiv_core::CoreEnv::Instance());
    core.GetOnlineBusiness()->Init();
    core.GetTMsgBusiness()->Init();
  }
  void TearDown() override {
    core.GetOnlineBusiness()->Uninit();
    core.GetTMsgBusiness()->Uninit();
  }
  kiv_fake::Framework fw;
  kiv_core::CoreEngine core;
  kiv::KivSignalingImpl signaling{&core};
  std::vector<std::string> events;
  AppHandler first{"A", &events};
  AppHandler second{"B", &events};
};

}  // namespace

// Requests reach the framework's businesses with the user lists copied in order; an
// invitation without users answers 1 and reaches nothing.
TEST_F(SignalingTest, RequestsReachTheFramework) {
  unsigned id = 0;
  EXPECT_EQ(signaling.UserStatusRefresh(kiv::Vector<kiv::String>(), &id), 0);
  EXPECT_EQ(id, 7u);
  EXPECT_EQ(signaling.UserStatusRefresh(Ids({"b", kChinese, ""}), &id), 0);
  EXPECT_EQ(fw.online.ids, (std::vector<std::string>{"b", kChinese, ""}));
  EXPECT_EQ(signaling.Invite(kiv::Vector<kiv::String>(), "g", "m", &id), 1);
  EXPECT_EQ(signaling.Invite(Ids({"b", "c"}), "room", kChinese, &id), 0);
  EXPECT_EQ(Joined(fw.online.ids), "b, c");
  EXPECT_EQ(fw.online.group, "room");
  EXPECT_EQ(fw.online.message, kChinese);
  EXPECT_EQ(signaling.AcceptInvite("a", 11), 0);
  EXPECT_EQ(signaling.RefuseInvite("a", 12), 0);
  EXPECT_EQ(Joined(fw.online.calls), "SetListener, RefreshAll, Refresh, Invite, Accept a 11, Refuse a 12");

  EXPECT_EQ(signaling.SendUserMsg("b", kChinese, &id), 0);
  EXPECT_EQ(fw.tmsg.to, "b");
  EXPECT_EQ(fw.tmsg.text, kChinese);
  EXPECT_EQ(signaling.SendGroupMsg("all", nullptr), 0);
  EXPECT_EQ(signaling.SendUsersMsg(Ids({"b", "c"}), "two", &id), 0);
  EXPECT_EQ(Joined(fw.tmsg.ids), "b, c");
  EXPECT_EQ(signaling.SendUsersMsgEx(Ids({"c"}), "one", &id), 0);
  EXPECT_EQ(Joined(fw.tmsg.ids), "c");
  EXPECT_EQ(Joined(fw.tmsg.calls), "SetListener, User, Group, Users, UsersEx");
  fw.tmsg.result = 36;
  EXPECT_EQ(signaling.SendGroupMsg("x", nullptr), 34);
}

// A status answer becomes public records (first status item of each user; none: 0 and
// "") with its result mapped, delivered once to each handler; without handlers it is
// dropped.
TEST_F(SignalingTest, StatusResultsBecomeRecords) {
  avcore::FwVector<avcore::UserStatusEntry> entries;
  avcore::UserStatusEntry b;
  b.user_id = "b";
  b.items.push_back(Item(1, kChinese));
  b.items.push_back(Item(0, "second"));
  avcore::UserStatusEntry c;
  c.user_id = "c";
  entries.push_back(b);
  entries.push_back(c);
  avcore::IKivOnlineListener* framework = fw.online.listener;
  ASSERT_NE(framework, nullptr);
  framework->OnUserStatusResult(0, 5, &entries, 2, 0);
  EXPECT_TRUE(events.empty());

  signaling.AddEventHandler(&first);
  signaling.AddEventHandler(&second);
  signaling.AddEventHandler(&first);
  signaling.AddEventHandler(nullptr);
  framework->OnUserStatusResult(0, 5, &entries, 2, 0);
  ASSERT_EQ(events.size(), 2u);
  const std::string expected = std::string("refreshed 0 5 b=1/") + kChinese + " c=0/";
  EXPECT_NE(std::find(events.begin(), events.end(), "A:" + expected), events.end());
  EXPECT_NE(std::find(events.begin(), events.end(), "B:" + expected), events.end());

  events.clear();
  signaling.RemoveEventHandler(&second);
  framework->OnUserStatusResult(36, 6, nullptr, 0, 0);
  framework->OnUserStatusResult(-1, 7, &entries, 0, 0);
  EXPECT_EQ(Joined(events), "A:refreshed 34 6, A:" + std::string("refreshed 302 7 b=1/") + kChinese + " c=0/");
}

// Invitations and state changes reach the handlers; a cancelled invitation reaches none.
TEST_F(SignalingTest, InvitationAndStateEvents) {
  signaling.AddEventHandler(&first);
  avcore::IKivOnlineListener* framework = fw.online.listener;
  framework->OnInviteCome("a", 3, "room", kChinese);
  framework->OnInviteAccepted("b", 3, "x");
  framework->OnInviteRefused("c", 3, "x", 1);
  framework->OnInviteCanceled("a", 3, "x");
  const avcore::UserStatusItem item = Item(1, "busy");
  framework->OnOnlineNotify("b", &item);
  framework->OnOnlineNotify("c", nullptr);
  EXPECT_EQ(Joined(events), std::string("A:invite a 3 room ") + kChinese +
                                ", A:accepted b 3, A:refused c 3, A:changed b=1/busy, "
                                "A:changed c=0/");
}

// Received messages reach every handler with sender, id and text unchanged.
TEST_F(SignalingTest, MessagesFanOut) {
  signaling.AddEventHandler(&first);
  signaling.AddEventHandler(&second);
  fw.tmsg.listener->OnUserMessage("a", 9, kChinese);
  fw.tmsg.listener->OnGroupMessage("a", 10, "to all");
  std::sort(events.begin(), events.end());
  EXPECT_EQ(Joined(events), std::string("A:group a 10 to all, A:user a 9 ") + kChinese +
                                ", B:group a 10 to all, B:user a 9 " + kChinese);
}

// A handler removed while a message is in it: the removal waits for that call, and the
// handler is called no more; one added meanwhile neither waits nor joins the running event.
TEST_F(SignalingTest, RemovedHandlerFinishesItsEventFirst) {
  struct Held : AppHandler {
    using AppHandler::AppHandler;
    kiv_test::ThreadLatch latch;
    std::atomic<bool> inside{false};
    void OnUserMsgReceived(const char* sender, unsigned id, const char* text) override {
      inside = true;
      latch.Arrive();
      AppHandler::OnUserMsgReceived(sender, id, text);
      inside = false;
    }
  } held{"H", &events};
  signaling.AddEventHandler(&held);
  std::thread framework([&] { fw.tmsg.listener->OnUserMessage("a", 1, "hi"); });
  held.latch.WaitArrived();

  kiv_test::SlotWaitProbe add([&] { signaling.AddEventHandler(&first); });
  EXPECT_FALSE(add.WaitsForCall()) << "adding waited for a running event";
  add.Join();
  bool insideWhenRemoved = true;
  kiv_test::SlotWaitProbe remove([&] {
    signaling.RemoveEventHandler(&held);
    insideWhenRemoved = held.inside.load();
  });
  EXPECT_TRUE(remove.WaitsForCall()) << "removed under a running event";
  held.latch.Release();
  framework.join();
  remove.Join();
  EXPECT_FALSE(insideWhenRemoved);
  fw.tmsg.listener->OnUserMessage("a", 2, "again");
  EXPECT_EQ(Joined(events), "H:user a 1 hi, A:user a 2 again");
}

// A handler that removes another inside its event (and may then free it): the removed one
// is not called for that event or any later one; one that removes itself is called no more.
TEST_F(SignalingTest, HandlerRemovedInsideAnEventIsCalledNoMore) {
  struct Remover : AppHandler {
    using AppHandler::AppHandler;
    kiv::IKivSignaling* signaling = nullptr;
    kiv::IKivSignalingEventHandler* victim = nullptr;
    void OnGroupMsgReceived(const char* sender, unsigned id, const char* text) override {
      AppHandler::OnGroupMsgReceived(sender, id, text);
      signaling->RemoveEventHandler(victim);
    }
  } remover{"R", &events};
  remover.signaling = &signaling;
  remover.victim = &second;
  signaling.AddEventHandler(&remover);
  signaling.AddEventHandler(&second);
  fw.tmsg.listener->OnGroupMessage("a", 1, "one");
  fw.tmsg.listener->OnGroupMessage("a", 2, "two");
  EXPECT_EQ(Joined(events), "R:group a 1 one, R:group a 2 two");

  events.clear();
  remover.victim = &remover;
  signaling.AddEventHandler(&first);
  fw.tmsg.listener->OnGroupMessage("a", 3, "three");
  fw.tmsg.listener->OnGroupMessage("a", 4, "four");
  EXPECT_EQ(Joined(events), "R:group a 3 three, A:group a 3 three, A:group a 4 four");
}
