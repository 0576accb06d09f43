// Online states, invitations and text messages between hosts, each a process of its own
// with its own engine, through the public API and a meeting server. This program is host
// A ("alice"); it runs itself again as host B ("bob") and host C ("carol").
//
// Environment (set by run_with_meeting_server.sh): KIV_HOSTS_SERVER "host:http port",
// KIV_HOSTS_APP, KIV_HOSTS_TOKEN_<user>. A started host also gets KIV_HOSTS_ROLE,
// KIV_HOSTS_USER, KIV_HOSTS_RUN (A's process id, naming the events the hosts share) and,
// for an invitee, KIV_HOSTS_ANSWER ("accept" or "refuse").
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "common/win/unique_handle.h"
#include "testing/event_log.h"
#include "testing/sdk_library.h"
#include "testing/ui_thread.h"

namespace {

constexpr int kWaitMs = 20000;
constexpr char kRoom[] = "chat1";
// "请来开会" (please come to the meeting).
constexpr char kInviteText[] = "\xE8\xAF\xB7\xE6\x9D\xA5\xE5\xBC\x80\xE4\xBC\x9A";
// "私聊 bob", "列表群聊", "列表私聊", "大家好，群聊" (to bob; list as group; list as private;
// hello everyone, group).
constexpr char kToBob[] = "\xE7\xA7\x81\xE8\x81\x8A bob";
constexpr char kToListAsGroup[] = "\xE5\x88\x97\xE8\xA1\xA8\xE7\xBE\xA4\xE8\x81\x8A";
constexpr char kToListPrivately[] = "\xE5\x88\x97\xE8\xA1\xA8\xE7\xA7\x81\xE8\x81\x8A";
constexpr char kToGroup[] = "\xE5\xA4\xA7\xE5\xAE\xB6\xE5\xA5\xBD\xEF\xBC\x8C\xE7\xBE\xA4\xE8\x81\x8A";
constexpr char kEnd[] = "end";

std::string Env(const char* name) {
  char value[4096] = {0};
  const DWORD n = GetEnvironmentVariableA(name, value, sizeof(value));
  return (n > 0 && n < sizeof(value)) ? std::string(value, n) : std::string();
}

// A named event shared by the hosts of one run.
HANDLE SharedEvent(const std::string& name) {
  const std::string full = "Local\\kiv_hosts_" + Env("KIV_HOSTS_RUN") + "_" + name;
  return CreateEventA(nullptr, TRUE, FALSE, full.c_str());
}

bool Signal(const std::string& name) {
  const kiv_common::UniqueHandle event(SharedEvent(name));
  return event && SetEvent(event.get());
}

bool WaitSignal(const std::string& name, int ms) {
  const kiv_common::UniqueHandle event(SharedEvent(name));
  return event && WaitForSingleObject(event.get(), ms) == WAIT_OBJECT_0;
}

// Engine and signaling events as text lines:
//   "login <code>", "join <code>", "status <result> <request> <user>=<status>/<data>...",
//   "changed <user>=<status>", "invite <inviter> <id> <group> <text>",
//   "accepted <user> <id>", "refused <user> <id>", "user <sender> <text>",
//   "group <sender> <text>".
class Events : public kiv::IKivEngineEventHandler, public kiv::IKivSignalingEventHandler {
 public:
  kiv_test::EventLog log;

  void OnDeviceChange(int) override {}
  void OnEvent(int type, int code) override {
    if (type == kiv::EVENT_LOGIN_RESULT) log.Add("login " + std::to_string(code));
    if (type == kiv::EVENT_JOIN_GROUP_RESULT) log.Add("join " + std::to_string(code));
  }
  void OnRemoteVideoEvent(const kiv::String&, const kiv::String&, int) override {}
  void OnRemoteAudioEvent(const kiv::String&, const kiv::String&, int) override {}
  void OnRemoteControlEvent(const kiv::String&, int) override {}
  void OnGroupUsersRefreshed(const kiv::Vector<kiv::String>&) override {}
  void OnRemoteUserEvent(const char*, int) override {}

  void OnUsersStateRefreshed(int result, unsigned requestId, kiv::Vector<kiv::UserStatus> statuses) override {
    std::string line = "status " + std::to_string(result) + " " + std::to_string(requestId);
    for (const kiv::UserStatus& s : statuses)
      line += std::string(" ") + s.userId.c_str() + "=" + std::to_string(s.status) + "/" + s.data.c_str();
    log.Add(line);
  }
  void OnUserStateChanged(const kiv::UserStatus& s) override {
    log.Add(std::string("changed ") + s.userId.c_str() + "=" + std::to_string(s.status));
  }
  void OnInviteReceived(const char* inviter, int id, const char* group, const char* text) override {
    log.Add(std::string("invite ") + inviter + " " + std::to_string(id) + " " + group + " " + text);
  }
  void OnInviteAccepted(const char* user, int id) override {
    log.Add(std::string("accepted ") + user + " " + std::to_string(id));
  }
  void OnInviteRefused(const char* user, int id) override {
    log.Add(std::string("refused ") + user + " " + std::to_string(id));
  }
  void OnUserMsgReceived(const char* sender, unsigned, const char* text) override {
    log.Add(std::string("user ") + sender + " " + text);
  }
  void OnGroupMsgReceived(const char* sender, unsigned, const char* text) override {
    log.Add(std::string("group ") + sender + " " + text);
  }

  // The received messages, in order of arrival.
  std::vector<std::string> Messages() {
    std::vector<std::string> messages;
    for (const std::string& line : log.Lines()) {
      if (line.rfind("user ", 0) == 0 || line.rfind("group ", 0) == 0) messages.push_back(line);
    }
    return messages;
  }
};

// One participant: the engine of this process, logged in as `user`.
class Host {
 public:
  explicit Host(std::string user) : m_user(std::move(user)) {}
  ~Host() {
    if (m_engine) {
      (void)m_engine->LeaveGroup();
      (void)m_engine->Logout();
    }
    m_ui.Run([] { kiv_test::Sdk().releaseEngine(); });
  }
  Host(const Host&) = delete;
  Host& operator=(const Host&) = delete;

  // Init, login and, with a group, join. "" on success, else what failed. `loginRefused`
  // is set when the framework refused the login at once (no control-plane connection).
  std::string Start(const char* group, bool* loginRefused = nullptr) {
    if (!kiv_test::Sdk().getEngine) return "kiv_sdk.dll not loaded";
    m_engine = kiv_test::Sdk().getEngine();
    const std::string server = Env("KIV_HOSTS_SERVER");
    const std::string app = Env("KIV_HOSTS_APP");
    kiv::EngineContext context;
    context.handler = &events;
    context.appId = app.c_str();
    context.serverAddress = server.c_str();
    int result = -1;
    m_ui.Run([&] { result = m_engine->Init(&context); });
    if (result != 0) return "Init " + std::to_string(result);
    m_engine->GetSignaling()->AddEventHandler(&events);
    const std::string token = Env(("KIV_HOSTS_TOKEN_" + m_user).c_str());
    result = m_engine->Login(token.c_str(), m_user.c_str(), true, "");
    if (result != 0) {
      if (loginRefused) *loginRefused = true;
      return "Login " + std::to_string(result);
    }
    const std::string login = events.log.WaitForPrefix("login ", kWaitMs);
    if (login != "login 0") return "login result: " + (login.empty() ? "none" : login);
    if (!group) return "";
    result = m_engine->JoinGroup(group);
    if (result != 0) return "JoinGroup " + std::to_string(result);
    const std::string join = events.log.WaitForPrefix("join ", kWaitMs);
    if (join != "join 0") return "join result: " + (join.empty() ? "none" : join);
    return "";
  }

  kiv::IKivSignaling* Signaling() { return m_engine->GetSignaling(); }
  Events events;

 private:
  std::string m_user;
  kiv_test::UiThread m_ui;
  kiv::IKivEngine* m_engine = nullptr;
};

kiv::Vector<kiv::String> Users(std::initializer_list<const char*> ids) {
  kiv::Vector<kiv::String> list;
  for (const char* id : ids) list.push_back(kiv::String(id));
  return list;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& l : lines) text += (text.empty() ? "" : " | ") + l;
  return text;
}

// The messages alice's script leaves at a receiver of the room, in order.
std::vector<std::string> ExpectedAt(const std::string& user) {
  std::vector<std::string> expected;
  if (user == "bob") expected.push_back(std::string("user alice ") + kToBob);
  expected.push_back(std::string("group alice ") + kToListAsGroup);
  expected.push_back(std::string("user alice ") + kToListPrivately);
  expected.push_back(std::string("group alice ") + kToGroup);
  expected.push_back(std::string("group alice ") + kEnd);
  return expected;
}

// Another host: this program again, running HostRole.Run with the role in its environment.
class HostProcess {
 public:
  HostProcess(const char* role, const char* user, const char* answer = "") {
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    SetEnvironmentVariableA("KIV_HOSTS_ROLE", role);
    SetEnvironmentVariableA("KIV_HOSTS_USER", user);
    SetEnvironmentVariableA("KIV_HOSTS_ANSWER", answer);
    std::wstring command = L"\"" + std::wstring(exe) + L"\" --gtest_filter=HostRole.Run";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    m_started = CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &m_process) != FALSE;
    SetEnvironmentVariableA("KIV_HOSTS_ROLE", nullptr);
    SetEnvironmentVariableA("KIV_HOSTS_USER", nullptr);
    SetEnvironmentVariableA("KIV_HOSTS_ANSWER", nullptr);
  }
  ~HostProcess() {
    if (!m_started) return;
    const kiv_common::UniqueHandle thread(m_process.hThread);
    const kiv_common::UniqueHandle process(m_process.hProcess);
    if (WaitForSingleObject(m_process.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(m_process.hProcess, 9);
  }
  HostProcess(const HostProcess&) = delete;
  HostProcess& operator=(const HostProcess&) = delete;

  bool Started() const { return m_started; }
  // The exit code, or -1 when the host did not end in time.
  int Wait(int ms) {
    if (!m_started || WaitForSingleObject(m_process.hProcess, ms) != WAIT_OBJECT_0) return -1;
    DWORD code = 1;
    GetExitCodeProcess(m_process.hProcess, &code);
    return static_cast<int>(code);
  }

 private:
  PROCESS_INFORMATION m_process = {};
  bool m_started = false;
};

struct HostsTest : ::testing::Test {
  void SetUp() override {
    if (Env("KIV_HOSTS_SERVER").empty())
      GTEST_SKIP() << "needs a meeting server: run through run_with_meeting_server.sh";
    SetEnvironmentVariableA("KIV_HOSTS_RUN", std::to_string(GetCurrentProcessId()).c_str());
    // A named event lives only while someone holds it: keep every event of the run, so
    // that a host's signal is not lost before this side waits for it.
    for (const char* name : {"bob_ready", "carol_ready", "finish"}) events.emplace_back(SharedEvent(name));
  }
  void TearDown() override { events.clear(); }
  std::vector<kiv_common::UniqueHandle> events;
  // Starts alice; skips the test when the framework has no control-plane connection.
  void StartAlice(const char* group) {
    bool refused = false;
    const std::string error = alice.Start(group, &refused);
    if (refused)
      GTEST_SKIP() << "the framework refused the login at once (" << error
                   << "): its control-plane connection is not there yet";
    ASSERT_EQ(error, "");
  }
  // A's invitation of B, answered as `answer`: B's online state first, then the invitation.
  void InviteBob(const char* answer) {
    StartAlice(nullptr);
    if (IsSkipped() || HasFatalFailure()) return;
    HostProcess bob("invitee", "bob", answer);
    ASSERT_TRUE(bob.Started());
    ASSERT_TRUE(WaitSignal("bob_ready", kWaitMs)) << "bob did not log in";

    unsigned request = 0;
    ASSERT_EQ(alice.Signaling()->UserStatusRefresh(Users({"bob", "nobody1"}), &request), 0);
    const std::string status = alice.events.log.WaitForPrefix("status 0 " + std::to_string(request) + " ", kWaitMs);
    EXPECT_NE(status.find(" bob=1/"), std::string::npos) << status;
    EXPECT_NE(status.find(" nobody1=0/"), std::string::npos) << status;
    ASSERT_EQ(alice.Signaling()->UserStatusRefresh(kiv::Vector<kiv::String>(), &request), 0);
    const std::string all = alice.events.log.WaitForPrefix("status 0 " + std::to_string(request) + " ", kWaitMs);
    EXPECT_NE(all.find(" bob=1/"), std::string::npos) << all;

    unsigned inviteRequest = 0;
    ASSERT_EQ(alice.Signaling()->Invite(Users({"bob"}), "room1", kInviteText, &inviteRequest), 0);
    const std::string outcome = std::string(answer) == "accept" ? "accepted bob " : "refused bob ";
    EXPECT_NE(alice.events.log.WaitForPrefix(outcome, kWaitMs), "") << Joined(alice.events.log.Lines());
    Signal("finish");
    EXPECT_EQ(bob.Wait(kWaitMs), 0) << "bob's side failed (see its output)";
  }
  Host alice{"alice"};
};

}  // namespace

// A asks for B's online state (and an unknown user's), then invites B; B accepts.
TEST_F(HostsTest, OnlineStateAndInvitationAccepted) { InviteBob("accept"); }

// The same invitation refused by B.
TEST_F(HostsTest, InvitationRefused) { InviteBob("refuse"); }

// A's messages to B, to {B, C} (as a group message and as a private one) and to the group
// reach exactly their addressees, with sender and text intact; none comes back to A.
TEST_F(HostsTest, TextMessagesRouted) {
  StartAlice(kRoom);
  if (IsSkipped() || HasFatalFailure()) return;
  HostProcess bob("receiver", "bob");
  HostProcess carol("receiver", "carol");
  ASSERT_TRUE(bob.Started() && carol.Started());
  ASSERT_TRUE(WaitSignal("bob_ready", kWaitMs)) << "bob did not join";
  ASSERT_TRUE(WaitSignal("carol_ready", kWaitMs)) << "carol did not join";

  kiv::IKivSignaling* signaling = alice.Signaling();
  EXPECT_EQ(signaling->SendUserMsg("bob", kToBob, nullptr), 0);
  EXPECT_EQ(signaling->SendUsersMsg(Users({"bob", "carol"}), kToListAsGroup, nullptr), 0);
  EXPECT_EQ(signaling->SendUsersMsgEx(Users({"bob", "carol"}), kToListPrivately, nullptr), 0);
  EXPECT_EQ(signaling->SendGroupMsg(kToGroup, nullptr), 0);
  EXPECT_EQ(signaling->SendGroupMsg(kEnd, nullptr), 0);

  // Each receiver answers "done <user>" once it has every message.
  EXPECT_NE(alice.events.log.WaitFor([](const std::string& l) { return l == "user bob done bob"; }, kWaitMs), "");
  EXPECT_NE(alice.events.log.WaitFor([](const std::string& l) { return l == "user carol done carol"; }, kWaitMs), "");
  std::vector<std::string> atAlice = alice.events.Messages();
  std::sort(atAlice.begin(), atAlice.end());
  EXPECT_EQ(Joined(atAlice), "user bob done bob | user carol done carol");
  Signal("finish");
  EXPECT_EQ(bob.Wait(kWaitMs), 0) << "bob's side failed (see its output)";
  EXPECT_EQ(carol.Wait(kWaitMs), 0) << "carol's side failed (see its output)";
}

// The other hosts' side; skipped unless this program was started as one.
TEST(HostRole, Run) {
  const std::string role = Env("KIV_HOSTS_ROLE");
  const std::string user = Env("KIV_HOSTS_USER");
  if (role.empty()) GTEST_SKIP() << "run by HostsTest as host B or C";
  Host host(user);
  if (role == "invitee") {
    ASSERT_EQ(host.Start(nullptr), "") << user;
    ASSERT_TRUE(Signal(user + "_ready"));
    const std::string invite = host.events.log.WaitForPrefix("invite ", kWaitMs);
    ASSERT_NE(invite, "") << user << " got no invitation";
    const std::string prefix = "invite alice ";
    ASSERT_EQ(invite.rfind(prefix, 0), 0u) << invite;
    const int id = std::atoi(invite.c_str() + prefix.size());
    EXPECT_EQ(invite, prefix + std::to_string(id) + " room1 " + kInviteText);
    const int result = Env("KIV_HOSTS_ANSWER") == "accept" ? host.Signaling()->AcceptInvite("alice", id)
                                                           : host.Signaling()->RefuseInvite("alice", id);
    EXPECT_EQ(result, 0);
  } else {
    ASSERT_EQ(host.Start(kRoom), "") << user;
    ASSERT_TRUE(Signal(user + "_ready"));
    EXPECT_NE(
        host.events.log.WaitFor([](const std::string& l) { return l == std::string("group alice ") + kEnd; }, kWaitMs),
        "")
        << user << " missed the last message";
    EXPECT_EQ(Joined(host.events.Messages()), Joined(ExpectedAt(user))) << user;
    EXPECT_EQ(host.Signaling()->SendUserMsg("alice", ("done " + user).c_str(), nullptr), 0);
  }
  EXPECT_TRUE(WaitSignal("finish", kWaitMs)) << user;
}
