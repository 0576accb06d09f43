#include "server/control/meeting_core.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>

#include "protocol/messages/business_messages.h"
#include "protocol/wire/frame_codec.h"
#include "protocol/wire/result_codes.h"
#include "protocol/wire/wire_message.h"
#include "server/businesses/gs_business.h"
#include "server/businesses/online_business.h"
#include "server/businesses/text_message_business.h"
#include "server/control/access_token.h"
#include "server/control/server_limits.h"

namespace kiv_server {
namespace {

using kiv_proto::Message;
using ::testing::ElementsAre;

constexpr char kApp[] = "demo1";
constexpr char kSecret[] = "0123456789abcdef";

class FakeOutbox : public IClientOutbox {
 public:
  void Send(ClientId c, std::string payload) override { sent[c].push_back(std::move(payload)); }
  void Close(ClientId c) override { closed.push_back(c); }
  std::map<ClientId, std::vector<std::string>> sent;
  std::vector<ClientId> closed;
};

std::string Token(const std::string& user, const std::string& app = kApp) {
  return SealAccessToken(R"({"aid":")" + app + R"(","uid":")" + user + R"(","ts":1,"r":2})", kSecret);
}

ServerConfig Config() {
  ServerConfig c;
  c.app_secrets[kApp] = kSecret;
  return c;
}

class MeetingCoreTest : public ::testing::Test {
 protected:
  MeetingCoreTest() : core_(Config(), out_, [] { return uint64_t{1000}; }) {
    EXPECT_TRUE(core_.router().Add(std::make_unique<GsBusiness>(core_)));
    EXPECT_TRUE(core_.router().Add(std::make_unique<OnlineBusiness>(core_)));
    EXPECT_TRUE(core_.router().Add(std::make_unique<TextMessageBusiness>(core_)));
    core_.set_log([this](const std::string& line) { log_.push_back(line); });
  }

  ClientId Connect() {
    core_.OnConnected(next_);
    return next_++;
  }

  // Messages sent to a client since the last call, parsed.
  std::vector<std::shared_ptr<Message>> Take(ClientId c) {
    std::vector<std::shared_ptr<Message>> out;
    for (const auto& p : out_.sent[c]) {
      auto m = std::make_shared<Message>();
      EXPECT_EQ(kiv_proto::ParseMessage(p, m.get()), kiv_proto::ParseError::kNone) << p;
      out.push_back(m);
    }
    out_.sent[c].clear();
    return out;
  }

  // "type" of each message, "biz:<id>" for business messages.
  std::vector<std::string> Types(ClientId c) {
    std::vector<std::string> out;
    for (const auto& m : Take(c)) {
      std::string name;
      int id = 0;
      if (kiv_proto::BusinessBody(*m, &name, &id) != nullptr) {
        out.push_back("biz:" + std::to_string(id));
      } else {
        out.push_back(kiv_proto::MsgTypeName(m->type));
      }
    }
    return out;
  }

  int Code(ClientId c) {
    auto msgs = Take(c);
    if (msgs.empty()) return -1;
    int code = -1;
    EXPECT_TRUE(kiv_proto::GetInt(msgs.back()->doc, "code", &code));
    return code;
  }

  int Login(ClientId c, const std::string& user, const std::string& device = "{DEV-1}", const std::string& token = "",
            bool reconnect = false, const std::string& app = kApp, bool force = false) {
    kiv_proto::LoginRequest req;
    req.seq = 1;
    req.app_id = app;
    req.token = token.empty() ? Token(user) : token;
    req.device_id = device;
    req.user_id = user;
    req.platform = "windows";
    req.reconnect = reconnect;
    req.force = force;
    core_.OnPayload(c, kiv_proto::EncodeLogin(req));
    auto msgs = Take(c);
    for (const auto& m : msgs) {
      kiv_proto::LoginResult r;
      if (kiv_proto::DecodeLoginResult(*m, &r)) {
        last_device_ = r.device_id;
        return r.code;
      }
    }
    return -1;
  }

  int Join(ClientId c, const std::string& group) {
    core_.OnPayload(c, kiv_proto::EncodeJoin({2, group}));
    int code = -1;
    for (const auto& m : Take(c)) {
      kiv_proto::JoinResult r;
      if (kiv_proto::DecodeJoinResult(*m, &r)) code = r.code;
      if (m->type == kiv_proto::MsgType::kMediaList) {
        EXPECT_TRUE(kiv_proto::DecodeMediaList(*m, &last_list_));
      }
    }
    return code;
  }

  void Biz(ClientId c, const std::string& json) {
    rapidjson::Document d;
    d.Parse(json.c_str());
    ASSERT_TRUE(d.IsObject()) << json;
    core_.OnPayload(c, kiv_proto::EncodeBusiness(d));
  }

  void Publish(ClientId c, int type, const std::string& id, int op = 1) {
    Biz(c, R"({"business":"GS","id":14104,"source_type":0,"media_type":)" + std::to_string(type) + R"(,"media_id":")" +
               id + R"(","operation":)" + std::to_string(op) + "}");
  }

  kiv_proto::MediaList LastMediaList(ClientId c) {
    kiv_proto::MediaList list;
    for (const auto& m : Take(c)) {
      if (m->type == kiv_proto::MsgType::kMediaList) {
        EXPECT_TRUE(kiv_proto::DecodeMediaList(*m, &list));
      }
    }
    return list;
  }

  FakeOutbox out_;
  MeetingCore core_;
  ClientId next_ = 1;
  std::string last_device_;
  kiv_proto::MediaList last_list_;  // from the last Join
  std::vector<std::string> log_;
};

// Login answers: 0, 32 for a bad or foreign token, 33 for an unknown app, 34 while the
// user is logged in elsewhere (with that device), 1 for bad ids, 2 on a second login.
TEST_F(MeetingCoreTest, LoginAnswersWithResultCodes) {
  const ClientId a = Connect();
  EXPECT_EQ(Login(a, "alice", "{DEV-A}"), 0);
  EXPECT_EQ(Login(a, "alice", "{DEV-A}"), 2);

  EXPECT_EQ(Login(Connect(), "bob", "{D}", "001AAAA"), 32);
  EXPECT_EQ(Login(Connect(), "bob", "{D}", Token("carol")), 32);
  EXPECT_EQ(Login(Connect(), "bob", "{D}", "not-a-token"), 32);
  EXPECT_EQ(Login(Connect(), "bob", "{D}", Token("bob", "nosuchapp"), false, "nosuchapp"), 33);
  EXPECT_EQ(Login(Connect(), "bob", "{D}", "", false, "bad_app"), 33);
  EXPECT_EQ(Login(Connect(), "bo b", "{D}", Token("bo b")), 1);
  EXPECT_EQ(Login(Connect(), "bob", "", Token("bob")), 1);

  EXPECT_EQ(Login(Connect(), "alice", "{DEV-B}"), 34);
  EXPECT_EQ(last_device_, "{DEV-A}");
  // A second login from the same device is refused, with force too; only a resuming
  // session replaces the link of its own device.
  EXPECT_EQ(Login(Connect(), "alice", "{DEV-A}"), 34);
  EXPECT_EQ(Login(Connect(), "alice", "{DEV-A}", "", false, kApp, true), 34);
}

// A forced login from another device takes the login over: the old link is told,
// closed and leaves its group.
TEST_F(MeetingCoreTest, ForcedLoginTakesOverFromAnotherDevice) {
  const ClientId a = Connect();
  const ClientId b = Connect();
  ASSERT_EQ(Login(a, "alice", "{DEV-A}"), 0);
  ASSERT_EQ(Login(b, "bob"), 0);
  ASSERT_EQ(Join(a, "room"), 0);
  ASSERT_EQ(Join(b, "room"), 0);
  Take(a);
  Take(b);
  const ClientId a2 = Connect();
  EXPECT_EQ(Login(a2, "alice", "{DEV-B}", "", false, kApp, true), 0);
  EXPECT_THAT(Types(a), ElementsAre("logouted"));
  EXPECT_THAT(out_.closed, ElementsAre(a));
  EXPECT_THAT(Types(b), ElementsAre("user_left", "biz:15002", "biz:15002"));
  // A resuming session of the device that lost the login does not take it back.
  EXPECT_EQ(Login(Connect(), "alice", "{DEV-A}", "", true, kApp, true), 34);
  EXPECT_EQ(last_device_, "{DEV-B}");
}

// A resuming session from the same device replaces the old link (which is told and
// closed, its group hearing it leave); from another device it gets 34.
TEST_F(MeetingCoreTest, ReconnectReplacesStaleLoginOfSameDevice) {
  const ClientId a = Connect();
  const ClientId b = Connect();
  ASSERT_EQ(Login(a, "alice", "{DEV-A}"), 0);
  ASSERT_EQ(Login(b, "bob"), 0);
  ASSERT_EQ(Join(a, "room"), 0);
  ASSERT_EQ(Join(b, "room"), 0);
  Take(a);
  Take(b);

  const ClientId a2 = Connect();
  EXPECT_EQ(Login(a2, "alice", "{DEV-X}", "", true), 34);
  EXPECT_EQ(last_device_, "{DEV-A}");
  EXPECT_EQ(Login(a2, "alice", "{DEV-A}", "", true), 0);
  EXPECT_THAT(Types(a), ElementsAre("logouted"));
  EXPECT_THAT(out_.closed, ElementsAre(a));
  EXPECT_THAT(Types(b), ElementsAre("user_left", "biz:15002", "biz:15002"));
  core_.OnDisconnected(a);  // the old link's close arrives later: nothing more happens
  EXPECT_TRUE(Types(b).empty());
  EXPECT_EQ(Join(a2, "room"), 0);
}

// Joining sends the joiner its result and the full list; the others hear of the
// arrival. A member's own audio, video and screen share are left out of its list.
TEST_F(MeetingCoreTest, JoinSendsFullMediaListAndTellsOthers) {
  const ClientId a = Connect();
  const ClientId b = Connect();
  ASSERT_EQ(Login(a, "alice"), 0);
  ASSERT_EQ(Login(b, "bob"), 0);
  ASSERT_EQ(Join(a, "room"), 0);
  Publish(a, 2, "cam0");
  Publish(a, 1, "appdef_mic");
  Publish(a, 4, "board-1");
  Take(a);
  Take(b);

  core_.OnPayload(b, kiv_proto::EncodeJoin({5, "room"}));
  auto msgs = Take(b);
  ASSERT_EQ(msgs.size(), 2u);
  kiv_proto::JoinResult jr;
  ASSERT_TRUE(kiv_proto::DecodeJoinResult(*msgs[0], &jr));
  EXPECT_EQ(jr.seq, 5u);
  EXPECT_EQ(jr.code, 0);
  kiv_proto::MediaList list;
  ASSERT_TRUE(kiv_proto::DecodeMediaList(*msgs[1], &list));
  EXPECT_THAT(list.users, ElementsAre("alice", "bob"));
  ASSERT_EQ(list.media.size(), 3u);
  EXPECT_EQ(list.media[0], (kiv_proto::MediaEntry{"alice", 2, "cam0", "", "alice"}));
  EXPECT_THAT(Types(a), ElementsAre("user_joined"));

  // Joining the same group again repeats the list (without alice's own media 0-2).
  core_.OnPayload(a, kiv_proto::EncodeJoin({6, "room"}));
  list = LastMediaList(a);
  ASSERT_EQ(list.media.size(), 1u);
  EXPECT_EQ(list.media[0].media_id, "board-1");
  EXPECT_TRUE(Types(b).empty());

  EXPECT_EQ(Join(a, "other"), 2);
  EXPECT_EQ(Join(a, "bad group"), 1);
  EXPECT_EQ(Join(Connect(), "room"), 31);
}

// Leaving or losing the link withdraws the member's media, then tells the others;
// the media list of a later joiner no longer holds it.
TEST_F(MeetingCoreTest, LeaveAndLostLinkWithdrawMediaFirst) {
  const ClientId a = Connect();
  const ClientId b = Connect();
  const ClientId c = Connect();
  ASSERT_EQ(Login(a, "alice"), 0);
  ASSERT_EQ(Login(b, "bob"), 0);
  ASSERT_EQ(Login(c, "carol"), 0);
  ASSERT_EQ(Join(a, "room"), 0);
  ASSERT_EQ(Join(b, "room"), 0);
  Publish(a, 2, "cam0");
  Publish(b, 1, "appdef_mic");
  Take(a);
  Take(b);

  core_.OnPayload(a, kiv_proto::EncodeLeave({9}));
  EXPECT_THAT(Types(b), ElementsAre("biz:14106", "user_left"));
  kiv_proto::LeaveResult lr;
  auto msgs = Take(a);
  ASSERT_EQ(msgs.size(), 1u);
  ASSERT_TRUE(kiv_proto::DecodeLeaveResult(*msgs[0], &lr));
  EXPECT_EQ(lr.code, 0);
  core_.OnPayload(a, kiv_proto::EncodeLeave({10}));
  EXPECT_EQ(Code(a), 2);

  ASSERT_EQ(Join(c, "room"), 0);
  Take(b);
  core_.OnDisconnected(b);
  EXPECT_THAT(Types(c), ElementsAre("biz:14106", "user_left", "biz:15002"));
  ASSERT_EQ(Join(a, "room"), 0);
  EXPECT_THAT(last_list_.users, ElementsAre("carol", "alice"));
  EXPECT_TRUE(last_list_.media.empty());
  // The user who lost its link can log in again at once.
  EXPECT_EQ(Login(Connect(), "bob"), 0);
}

// 14104 is relayed as 14106 to every member, the sender included; 14108 only to its addressee.
TEST_F(MeetingCoreTest, RelaysGsMessages) {
  const ClientId a = Connect();
  const ClientId b = Connect();
  const ClientId c = Connect();
  ASSERT_EQ(Login(a, "alice"), 0);
  ASSERT_EQ(Login(b, "bob"), 0);
  ASSERT_EQ(Login(c, "carol"), 0);
  ASSERT_EQ(Join(a, "room"), 0);
  ASSERT_EQ(Join(b, "room"), 0);
  ASSERT_EQ(Join(c, "room"), 0);
  Take(a);
  Take(b);
  Take(c);

  Publish(a, 0, "0");
  for (ClientId who : {a, b, c}) {
    auto msgs = Take(who);
    ASSERT_EQ(msgs.size(), 1u);
    std::string name, user, owner;
    int id = 0, op = -1, type = -1;
    const rapidjson::Value* body = kiv_proto::BusinessBody(*msgs[0], &name, &id);
    ASSERT_NE(body, nullptr);
    EXPECT_EQ(id, 14106);
    EXPECT_TRUE(kiv_proto::GetString(*body, "user_id", &user) && user == "alice");
    EXPECT_TRUE(kiv_proto::GetString(*body, "media_owner", &owner) && owner == "alice");
    EXPECT_TRUE(kiv_proto::GetInt(*body, "operation", &op) && op == 1);
    EXPECT_TRUE(kiv_proto::GetInt(*body, "media_type", &type) && type == 0);
  }

  Biz(b, R"({"business":"GS","id":14108,"operation":0,"src_user_id":"mallory","dst_user_id":"alice"})");
  auto msgs = Take(a);
  ASSERT_EQ(msgs.size(), 1u);
  std::string name, src;
  int id = 0;
  const rapidjson::Value* body = kiv_proto::BusinessBody(*msgs[0], &name, &id);
  ASSERT_NE(body, nullptr);
  EXPECT_EQ(id, 14108);
  EXPECT_TRUE(kiv_proto::GetString(*body, "src_user_id", &src) && src == "bob");
  EXPECT_TRUE(Types(b).empty());
  EXPECT_TRUE(Types(c).empty());

  Biz(a, R"({"business":"GS","id":14104,"media_type":3,"media_id":"x","operation":1})");
  EXPECT_THAT(Types(a), ElementsAre("error"));
  Biz(a, R"({"business":"GS","id":14104,"media_type":2,"media_id":"x","operation":"1"})");
  EXPECT_THAT(Types(a), ElementsAre("error"));
  Biz(a, R"({"business":"GS","id":14108,"operation":0,"dst_user_id":"nobody"})");
  EXPECT_THAT(Types(a), ElementsAre("error"));
  EXPECT_TRUE(Types(b).empty());
}

// Text messages reach their addressees and never come back to the sender.
TEST_F(MeetingCoreTest, RoutesTextMessages) {
  const ClientId a = Connect();
  const ClientId b = Connect();
  const ClientId c = Connect();
  ASSERT_EQ(Login(a, "alice"), 0);
  ASSERT_EQ(Login(b, "bob"), 0);
  ASSERT_EQ(Login(c, "carol"), 0);
  ASSERT_EQ(Join(a, "room"), 0);
  ASSERT_EQ(Join(b, "room"), 0);
  Take(a);
  Take(b);
  Take(c);

  Biz(a, R"({"business":"TMSG","id":16000,"to":"carol","text":"hi \u4f60","msg_id":7})");
  auto msgs = Take(c);
  ASSERT_EQ(msgs.size(), 1u);
  std::string name, from, text;
  int id = 0;
  uint32_t msg_id = 0;
  const rapidjson::Value* body = kiv_proto::BusinessBody(*msgs[0], &name, &id);
  ASSERT_NE(body, nullptr);
  EXPECT_EQ(id, 16001);
  EXPECT_TRUE(kiv_proto::GetString(*body, "from", &from) && from == "alice");
  EXPECT_TRUE(kiv_proto::GetString(*body, "text", &text) && text == "hi \xe4\xbd\xa0");
  EXPECT_TRUE(kiv_proto::GetUint(*body, "msg_id", &msg_id) && msg_id == 7);

  Biz(a, R"({"business":"TMSG","id":16002,"text":"all"})");
  EXPECT_THAT(Types(b), ElementsAre("biz:16003"));
  EXPECT_TRUE(Types(a).empty());
  EXPECT_TRUE(Types(c).empty());

  Biz(a, R"({"business":"TMSG","id":16004,"to":["bob","carol","bob","alice","ghost"],"text":"list"})");
  EXPECT_THAT(Types(b), ElementsAre("biz:16001"));
  EXPECT_THAT(Types(c), ElementsAre("biz:16001"));
  EXPECT_TRUE(Types(a).empty());
  Biz(a, R"({"business":"TMSG","id":16004,"to":["carol"],"as_group":true,"text":"as group"})");
  EXPECT_THAT(Types(c), ElementsAre("biz:16003"));
  Biz(a, R"({"business":"TMSG","id":16004,"to":"carol","text":"not a list"})");
  EXPECT_THAT(Types(a), ElementsAre("error"));

  Biz(c, R"({"business":"TMSG","id":16002,"text":"nobody hears"})");
  EXPECT_THAT(Types(c), ElementsAre("error"));
}

// Online status: the whole app or a list, and notices when logins start and end.
TEST_F(MeetingCoreTest, ReportsOnlineStatus) {
  const ClientId a = Connect();
  const ClientId b = Connect();
  ASSERT_EQ(Login(a, "alice"), 0);
  ASSERT_EQ(Login(b, "bob"), 0);
  EXPECT_THAT(Types(a), ElementsAre("biz:15002"));

  Biz(a, R"({"business":"ONLINE","id":15000,"req_id":3,"users":["bob","ghost"]})");
  auto msgs = Take(a);
  ASSERT_EQ(msgs.size(), 1u);
  std::string name;
  int id = 0;
  const rapidjson::Value* body = kiv_proto::BusinessBody(*msgs[0], &name, &id);
  ASSERT_NE(body, nullptr);
  EXPECT_EQ(kiv_proto::ToJson(*body),
            R"({"business":"ONLINE","id":15001,"req_id":3,"result":0,"all":false,"users":[)"
            R"({"user_id":"bob","status":1,"device_id":"{DEV-1}","platform":"windows","group_id":""},)"
            R"({"user_id":"ghost","status":0,"device_id":"","platform":"","group_id":""}]})");

  Biz(a, R"({"business":"ONLINE","id":15000,"req_id":4})");
  msgs = Take(a);
  ASSERT_EQ(msgs.size(), 1u);
  body = kiv_proto::BusinessBody(*msgs[0], &name, &id);
  ASSERT_NE(body, nullptr);
  EXPECT_EQ((*body)["users"].Size(), 2u);

  core_.OnDisconnected(b);
  EXPECT_THAT(Types(a), ElementsAre("biz:15002"));
}

// An invitation reaches the online invitees; each answer reaches the inviter once;
// answers to unknown invitations are refused; the inviter leaving cancels the rest.
TEST_F(MeetingCoreTest, RoutesInvitations) {
  const ClientId a = Connect();
  const ClientId b = Connect();
  const ClientId c = Connect();
  ASSERT_EQ(Login(a, "alice"), 0);
  ASSERT_EQ(Login(b, "bob"), 0);
  ASSERT_EQ(Login(c, "carol"), 0);
  Take(a);
  Take(b);
  Take(c);

  Biz(a,
      R"({"business":"ONLINE","id":15010,"req_id":1,"users":["bob","carol","ghost","alice"],"group_id":"room","message":"come"})");
  EXPECT_TRUE(Types(a).empty());
  auto msgs = Take(b);
  ASSERT_EQ(msgs.size(), 1u);
  std::string name;
  int id = 0;
  const rapidjson::Value* body = kiv_proto::BusinessBody(*msgs[0], &name, &id);
  ASSERT_NE(body, nullptr);
  kiv_proto::InviteNotice notice;
  ASSERT_TRUE(kiv_proto::DecodeInviteNotice(*body, &notice));
  EXPECT_EQ(notice.inviter, "alice");
  EXPECT_EQ(notice.group_id, "room");
  EXPECT_EQ(notice.message, "come");
  EXPECT_THAT(Types(c), ElementsAre("biz:15011"));

  const std::string answer = R"(,"inviter":"alice","invite_id":)" + std::to_string(notice.invite_id) + "}";
  Biz(b, R"({"business":"ONLINE","id":15012)" + answer);
  EXPECT_THAT(Types(a), ElementsAre("biz:15013"));
  Biz(b, R"({"business":"ONLINE","id":15014)" + answer);  // answered already
  EXPECT_THAT(Types(b), ElementsAre("error"));
  Biz(c, R"({"business":"ONLINE","id":15012,"inviter":"bob","invite_id":)" + std::to_string(notice.invite_id) + "}");
  EXPECT_THAT(Types(c), ElementsAre("error"));
  Biz(b, R"({"business":"ONLINE","id":15010,"req_id":2,"users":["carol"],"group_id":"bad group"})");
  EXPECT_THAT(Types(b), ElementsAre("error"));

  core_.OnDisconnected(a);  // carol has not answered: her invitation is withdrawn
  EXPECT_THAT(Types(c), ElementsAre("biz:15002", "biz:15016"));
  Biz(c, R"({"business":"ONLINE","id":15014)" + answer);
  EXPECT_THAT(Types(c), ElementsAre("error"));
}

// Unreadable or misplaced messages get an error answer and change nothing.
TEST_F(MeetingCoreTest, AnswersBadMessagesWithErrors) {
  const ClientId a = Connect();
  core_.OnPayload(a, "not json");
  core_.OnPayload(a, R"({"type":"media_list","group_id":"g","users":[],"media":[]})");
  core_.OnPayload(a, R"({"type":"biz","body":{"business":"GS","id":14104}})");
  EXPECT_THAT(Types(a), ElementsAre("error", "error", "error"));
  core_.OnPayload(a, R"({"type":"login","seq":4})");
  EXPECT_EQ(Code(a), 1);
  ASSERT_EQ(Login(a, "alice"), 0);
  core_.OnPayload(a, R"({"type":"biz","body":{"business":"NOPE","id":1}})");
  core_.OnPayload(a, R"({"type":"biz","body":{"id":1}})");
  EXPECT_THAT(Types(a), ElementsAre("error", "error"));
  core_.OnPayload(a, R"({"type":"ping"})");
  EXPECT_THAT(Types(a), ElementsAre("pong"));
  core_.OnPayload(a, kiv_proto::EncodeLogout({1}));
  EXPECT_THAT(out_.closed, ElementsAre(a));
  EXPECT_EQ(Login(Connect(), "alice"), 0);
  core_.OnPayload(999, R"({"type":"ping"})");  // unknown connection: ignored
}

// A member's GS entries are bounded (its 33rd is refused with 45, logged once) and so
// are a group's; ids are printable ASCII without spaces, so that no list outgrows a frame.
TEST_F(MeetingCoreTest, BoundsGsMediaEntriesPerMemberAndGroup) {
  const ClientId a = Connect();
  ASSERT_EQ(Login(a, "alice"), 0);
  ASSERT_EQ(Join(a, "room"), 0);
  Take(a);
  for (const char* bad : {"\\u0001\\u0002", "two words", "caf\\u00e9", ""}) {
    Publish(a, 2, bad);
    EXPECT_EQ(Code(a), kiv_proto::kResultInvalidArgument) << bad;
  }
  for (size_t i = 0; i < kMaxMediaPerMember; ++i) Publish(a, 2, "cam-" + std::to_string(i));
  Take(a);
  for (int attempt = 0; attempt < 3; ++attempt) {
    Publish(a, 1, "mic-" + std::to_string(attempt));
    EXPECT_EQ(Code(a), kResultLimitReached);
  }
  EXPECT_EQ(log_.size(), 1u) << "one line per member and bound";
  Publish(a, 2, "cam-0");  // announced again: no new entry
  EXPECT_THAT(Types(a), ElementsAre("biz:14106"));
  Publish(a, 2, "cam-0", 0);
  Publish(a, 1, "mic-0");
  EXPECT_THAT(Types(a), ElementsAre("biz:14106", "biz:14106"));

  // Members with the longest ids fill the group up to its bound.
  std::vector<ClientId> members;
  const size_t needed = kMaxMediaPerGroup / kMaxMediaPerMember;
  for (size_t m = 0; m < needed; ++m) {
    const ClientId c = Connect();
    const std::string user = std::string(120, 'u') + std::to_string(1000 + m);
    ASSERT_EQ(Login(c, user), 0);
    ASSERT_EQ(Join(c, "room"), 0);
    for (size_t i = 0; i < kMaxMediaPerMember && m * kMaxMediaPerMember + i < kMaxMediaPerGroup - kMaxMediaPerMember;
         ++i) {
      Publish(c, 2, std::string(120, '~') + std::to_string(1000 + i));
    }
    members.push_back(c);
  }
  for (auto& [client, queue] : out_.sent) queue.clear();
  Publish(members.back(), 2, "one-more");
  EXPECT_EQ(Code(members.back()), kResultLimitReached);
  EXPECT_TRUE(Types(a).empty());
  const ClientId late = Connect();
  ASSERT_EQ(Login(late, "late"), 0);
  core_.OnPayload(late, kiv_proto::EncodeJoin({2, "room"}));
  ASSERT_EQ(out_.sent[late].size(), 2u);
  EXPECT_LT(out_.sent[late][1].size(), kiv_proto::kMaxFramePayload / 2) << "the media list of a full group";
}

// A message larger than a frame is never queued (the peer would fail on it and reconnect);
// the member whose request caused it is logged once.
TEST_F(MeetingCoreTest, NeverSendsAFrameTheClientRefuses) {
  // A business answering with whatever size it is asked for, to the group.
  class Echo : public IBusinessModule {
   public:
    explicit Echo(IServerContext& server) : server_(server) {}
    std::vector<std::string> Businesses() const override { return {"ECHO"}; }
    void OnBusiness(ClientInfo& from, const std::string&, int id, const rapidjson::Value&) override {
      for (ClientId m : server_.State().GroupOf(from)->members) {
        server_.SendEncoded(m, std::string(static_cast<size_t>(id), ' '));
      }
    }

   private:
    IServerContext& server_;
  };
  ASSERT_TRUE(core_.router().Add(std::make_unique<Echo>(core_)));
  const ClientId a = Connect();
  const ClientId b = Connect();
  ASSERT_EQ(Login(a, "alice"), 0);
  ASSERT_EQ(Login(b, "bob"), 0);
  ASSERT_EQ(Join(a, "room"), 0);
  ASSERT_EQ(Join(b, "room"), 0);
  Take(a);
  Take(b);
  const int too_large = static_cast<int>(kiv_proto::kMaxFramePayload) + 1;
  Biz(a, R"({"business":"ECHO","id":)" + std::to_string(too_large) + "}");
  Biz(a, R"({"business":"ECHO","id":)" + std::to_string(too_large) + "}");
  EXPECT_TRUE(out_.sent[a].empty());
  EXPECT_TRUE(out_.sent[b].empty());
  ASSERT_EQ(log_.size(), 1u);
  EXPECT_NE(log_[0].find("alice"), std::string::npos) << log_[0];
  Biz(a, R"({"business":"ECHO","id":)" + std::to_string(kiv_proto::kMaxFramePayload) + "}");
  ASSERT_EQ(out_.sent[b].size(), 1u);
  EXPECT_EQ(out_.sent[b][0].size(), kiv_proto::kMaxFramePayload);
}

// A business message that cannot be written (a number JSON cannot carry) is not sent as an
// empty frame; the member whose request caused it is logged.
TEST_F(MeetingCoreTest, UnwritableBusinessMessageIsNotSent) {
  class Broken : public IBusinessModule {
   public:
    explicit Broken(IServerContext& server) : server_(server) {}
    std::vector<std::string> Businesses() const override { return {"BROKEN"}; }
    void OnBusiness(ClientInfo& from, const std::string&, int, const rapidjson::Value&) override {
      rapidjson::Document d(rapidjson::kObjectType);
      d.AddMember("business", "BROKEN", d.GetAllocator());
      d.AddMember("id", 5, d.GetAllocator());
      d.AddMember("x", std::numeric_limits<double>::infinity(), d.GetAllocator());
      server_.SendBusiness(from.id, d);
      d["x"].SetDouble(1.5);
      server_.SendBusiness(from.id, d);
    }

   private:
    IServerContext& server_;
  };
  ASSERT_TRUE(core_.router().Add(std::make_unique<Broken>(core_)));
  const ClientId a = Connect();
  ASSERT_EQ(Login(a, "alice"), 0);
  Biz(a, R"({"business":"BROKEN","id":1})");
  ASSERT_EQ(out_.sent[a].size(), 1u) << "only the message that could be written";
  EXPECT_FALSE(out_.sent[a][0].empty());
  EXPECT_THAT(Types(a), ElementsAre("biz:5"));
  ASSERT_EQ(log_.size(), 1u);
  EXPECT_NE(log_[0].find("alice"), std::string::npos) << log_[0];
}

}  // namespace
}  // namespace kiv_server
