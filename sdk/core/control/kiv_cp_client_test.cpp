// The control-plane client against a scripted connection; no framework is loaded.
#include "core/control/kiv_cp_client.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/control/http_client.h"
#include "core/control/testing/scripted_connection.h"
#include "core/engine_event_handler.h"
#include "core/env/core_env.h"

using kiv_core::KivCpClient;
using kiv_core::MediaRecord;

namespace {

// One log of everything the two handlers see, in order.
struct Journal {
  std::vector<std::string> lines;
};

struct EngineEvents : kiv_core::EngineEventHandler {
  explicit EngineEvents(Journal* j) : journal(j) {}
  void OnEvent(int type, int code) override {
    journal->lines.push_back("event " + std::to_string(type) + " " + std::to_string(code));
  }
  void OnRemoteVideoEvent(const std::string&, const std::string&, int) override {}
  void OnRemoteAudioEvent(const std::string&, const std::string&, int) override {}
  void OnRemoteControl(const std::string&, int) override {}
  void OnGroupListSync(const avcore::FwVector<avcore::FwString>& ids) override {
    std::string line = "users";
    for (const avcore::FwString& id : ids) line += std::string(" ") + id.c_str();
    journal->lines.push_back(line);
  }
  void OnRemoteUserJoined(const char*) override {}
  void OnRemoteUserLeft(const char*) override {}
  void OnCoreNotice(int, int) override {}
  void PostTask(const std::function<void()>&) override {}
  HWND GetPreviewRenderWindow(HWND window) override { return window; }
  void ReleasePreviewRenderWindow(HWND) override {}
  Journal* journal;
};

struct CoreReports : kiv_core::KivCpClientEventHandler {
  explicit CoreReports(Journal* j) : journal(j) {}
  void OnMediaChanged(const std::vector<MediaRecord>& list, bool full) override {
    records = list;
    journal->lines.push_back("media " + std::to_string(list.size()) + (full ? " full" : ""));
  }
  void OnScreenShareRemoteControlEvent(const std::string&, int) override {}
  void OnRemoteUser(const std::string& userId, bool joined) override {
    journal->lines.push_back("user " + userId + (joined ? " joined" : " left"));
  }
  void OnConnectionLost() override { journal->lines.push_back("lost"); }
  Journal* journal;
  std::vector<MediaRecord> records;
};

struct CannedHttp : kiv_core::IHttpClient {
  std::string Post(const std::string& url, const std::string& body) override {
    requests.push_back("POST " + url + " " + body);
    return answer;
  }
  std::string Get(const std::string& url) override {
    requests.push_back("GET " + url);
    return answer;
  }
  void Close() override { ++closes; }
  std::string answer;
  std::vector<std::string> requests;
  int closes = 0;
};

struct KivCpClientTest : ::testing::Test {
  KivCpClientTest() {
    env.m_connection.Attach(&connection);
    env.m_baseCoreInited = true;
    env.m_config.eventHandler = &events;
    env.m_config.httpClient = &http;
    env.m_config.appId = "App01";
    env.m_config.serverAddress = "127.0.0.1:8080";
  }
  ~KivCpClientTest() override {
    (void)env.m_connection.Detach();
    env.m_baseCoreInited = false;
  }

  Journal journal;
  EngineEvents events{&journal};
  CoreReports reports{&journal};
  CannedHttp http;
  kiv_test::ScriptedConnection connection;
  kiv_core::CoreEnv env;
  KivCpClient client{&reports};
};

avcore::GroupMediaEntry Entry(const char* user, int type, const char* id, const char* name, const char* owner) {
  avcore::GroupMediaEntry entry;
  entry.user_id = user;
  entry.media_type = type;
  entry.media_id = id;
  entry.media_name = name;
  entry.media_owner = owner;
  return entry;
}

}  // namespace

// Init and Uninit register and unregister the client as listener and business handler.
TEST_F(KivCpClientTest, RegistersWithTheConnection) {
  client.Init();
  EXPECT_EQ(connection.listener, static_cast<avcore::IKivConnectionListener*>(&client));
  EXPECT_EQ(connection.business, static_cast<avcore::IKivBusinessBase*>(&client));
  client.Uninit();
  EXPECT_EQ(connection.Calls(),
            (std::vector<std::string>{"SetListener", "AddBusiness", "RemoveListener", "RemoveBusiness"}));
  EXPECT_EQ(connection.listener, nullptr);

  (void)env.m_connection.Detach();
  connection.ClearCalls();
  client.Init();
  client.Uninit();
  EXPECT_TRUE(connection.Calls().empty());
}

// Login hands the connection its eleven arguments in order and lends this client as the
// HTTP client; the outcome comes later.
TEST_F(KivCpClientTest, LoginArguments) {
  EXPECT_EQ(client.Login("{DEV-1}", "001abc", "user_1", true, "nick"), 0);
  EXPECT_EQ(connection.Calls(),
            std::vector<std::string>{"Login 127.0.0.1:8080|App01|001abc|{DEV-1}||user_1|windows|nick|1|1"});
  EXPECT_EQ(connection.http, static_cast<avcore::IKivHttpClient*>(&client));
  EXPECT_EQ(client.GetUserId(), "user_1");
  EXPECT_TRUE(journal.lines.empty());

  connection.ClearCalls();
  EXPECT_EQ(client.Login("d", "t", "u", false, ""), 0);
  EXPECT_EQ(connection.Calls(), std::vector<std::string>{"Login 127.0.0.1:8080|App01|t|d||u|windows||0|1"});
}

// Empty token or user id gives 1 and a framework that is not up gives 2, without touching
// the connection; a refused call gives 302 but keeps the user id.
TEST_F(KivCpClientTest, LoginRefusals) {
  EXPECT_EQ(client.Login("d", "", "u", true, ""), 1);
  EXPECT_EQ(client.Login("d", "t", "", true, ""), 1);
  env.m_baseCoreInited = false;
  EXPECT_EQ(client.Login("d", "t", "u", true, ""), 2);
  EXPECT_TRUE(connection.Calls().empty());
  EXPECT_EQ(client.GetUserId(), "");

  env.m_baseCoreInited = true;
  connection.loginResult = E_FAIL;
  EXPECT_EQ(client.Login("d", "t", "refused", true, ""), 302);
  EXPECT_EQ(client.GetUserId(), "refused");
}

// Login, join and leave results become events 3, 0 and 4 with every code mapped.
TEST_F(KivCpClientTest, ResultsMapped) {
  const std::vector<std::pair<int, int>> table = {{0, 0},
                                                  {1, 1},
                                                  {2, 2},
                                                  {30, 30},
                                                  {31, 31},
                                                  {32, 32},
                                                  {33, 33},
                                                  {34, 34},
                                                  {35, 35},
                                                  {70, 70},
                                                  {301, 301},
                                                  {36, 34},
                                                  {5, 302},
                                                  {37, 302},
                                                  {300, 302},
                                                  {-1, 302},
                                                  {static_cast<int>(E_FAIL), 302}};
  for (const auto& [result, code] : table) {
    journal.lines.clear();
    client.OnLoginResult(result, "u", nullptr);
    client.OnJoinGroupResult(result, "g");
    client.OnLeaveGroupResult(result, nullptr);
    const std::string c = std::to_string(code);
    EXPECT_EQ(journal.lines, (std::vector<std::string>{"event 3 " + c, "event 0 " + c, "event 4 " + c}))
        << "connection result " << result;
  }
}

// A server-side logout and the start of a reconnection tell the core first, then raise
// event 1; a failed reconnection raises only the event; a successful one nothing.
TEST_F(KivCpClientTest, ConnectionLoss) {
  EXPECT_EQ(client.OnReconnectStart(), 2);
  client.OnLogouted(32);
  client.OnLogouted(36);
  client.OnReconnectFail(34, nullptr);
  client.OnReconnectFail(99, "{OTHER}");
  client.OnReconnectSucess();
  EXPECT_EQ(journal.lines, (std::vector<std::string>{"lost", "event 1 30", "lost", "event 1 32", "lost", "event 1 34",
                                                     "event 1 34", "event 1 302"}));
}

// Without an engine event handler results are dropped; the core still hears of the loss.
TEST_F(KivCpClientTest, NoEventHandler) {
  env.m_config.eventHandler = nullptr;
  client.OnLoginResult(0, nullptr, nullptr);
  client.OnGroupMediaList(nullptr, nullptr, nullptr);
  EXPECT_EQ(client.OnReconnectStart(), 2);
  EXPECT_EQ(journal.lines, (std::vector<std::string>{"media 0 full", "lost"}));
}

// A join is remembered only once the connection accepts it; a refusal is mapped; leaving
// forgets the group.
TEST_F(KivCpClientTest, JoinAndLeave) {
  EXPECT_EQ(client.JoinGroup(""), 1);
  EXPECT_TRUE(connection.Calls().empty());

  EXPECT_EQ(client.JoinGroup("room-1"), 0);
  EXPECT_EQ(client.GetGroupId(), "room-1");
  connection.joinResult = 31;
  EXPECT_EQ(client.JoinGroup("room-2"), 31);
  connection.joinResult = 36;
  EXPECT_EQ(client.JoinGroup("room-2"), 34);
  connection.joinResult = E_FAIL;
  EXPECT_EQ(client.JoinGroup("room-2"), 302);
  EXPECT_EQ(client.GetGroupId(), "room-1");

  EXPECT_EQ(client.LeaveGroup(), 0);
  EXPECT_EQ(client.GetGroupId(), "");
  EXPECT_EQ(connection.Calls().back(), "LeaveGroup");

  env.m_baseCoreInited = false;
  connection.ClearCalls();
  EXPECT_EQ(client.JoinGroup("room-1"), 2);
  EXPECT_EQ(client.LeaveGroup(), 2);
  EXPECT_TRUE(connection.Calls().empty());
}

// Logout needs only a connection object.
TEST_F(KivCpClientTest, Logout) {
  env.m_baseCoreInited = false;
  EXPECT_EQ(client.Logout(), 0);
  EXPECT_EQ(connection.Calls(), std::vector<std::string>{"Logout"});
  (void)env.m_connection.Detach();
  EXPECT_EQ(client.Logout(), 2);
}

// Remote users go to the core; the group media list gives the application the user ids and
// the core a full list of records, owner and name in their places.
TEST_F(KivCpClientTest, UsersAndMediaList) {
  client.OnRemoteUserJoined("alice");
  client.OnRemoteUserLeft("alice");

  avcore::FwVector<avcore::FwString> users;
  users.push_back("bob");
  users.push_back("alice");
  avcore::FwVector<avcore::GroupMediaEntry> media;
  media.push_back(Entry("bob", 2, "cam1", "Front", "bob-owner"));
  media.push_back(Entry("", 4, "board-7", "Plan", ""));
  client.OnGroupMediaList(&users, &media, "room-1");

  EXPECT_EQ(journal.lines,
            (std::vector<std::string>{"user alice joined", "user alice left", "users bob alice", "media 2 full"}));
  ASSERT_EQ(reports.records.size(), 2u);
  const MediaRecord& video = reports.records[0];
  EXPECT_EQ(video.userId, "bob");
  EXPECT_EQ(video.mediaId, "cam1");
  EXPECT_EQ(video.mediaName, "Front");
  EXPECT_EQ(video.mediaOwner, "bob-owner");
  EXPECT_EQ(video.mediaType, 2);
  EXPECT_TRUE(video.published);
  EXPECT_EQ(reports.records[1].mediaType, 4);
  EXPECT_EQ(reports.records[1].userId, "");

  journal.lines.clear();
  avcore::FwVector<avcore::GroupMediaEntry> none;
  client.OnGroupMediaList(&users, &none, nullptr);
  EXPECT_EQ(journal.lines, (std::vector<std::string>{"users bob alice", "media 0 full"}));
  EXPECT_TRUE(reports.records.empty());
}

// The connection's HTTP requests run through the engine's client; cancel closes it.
TEST_F(KivCpClientTest, HttpRequests) {
  http.answer = "{\"code\":0}";
  avcore::FwString response("old");
  EXPECT_EQ(client.HttpGet(&response, "http://h:1/a?b=c"), &response);
  EXPECT_STREQ(response.c_str(), "{\"code\":0}");
  http.answer = "";
  EXPECT_EQ(client.HttpPost(&response, "http://h:1/p", "<x/>"), &response);
  EXPECT_STREQ(response.c_str(), "");
  EXPECT_EQ(client.HttpCancel(7), S_OK);
  EXPECT_EQ(http.requests, (std::vector<std::string>{"GET http://h:1/a?b=c", "POST http://h:1/p <x/>"}));
  EXPECT_EQ(http.closes, 1);

  env.m_config.httpClient = nullptr;
  http.answer = "unused";
  EXPECT_STREQ(client.HttpGet(&response, "http://h:1/a")->c_str(), "");
  EXPECT_EQ(client.HttpCancel(0), S_OK);
}
