// Remote-control input at the server: it reaches a sharer only from the one viewer the
// sharer granted control, and stops after a refusal, a cancel, the end of the share or
// when either leaves.
#include "server/businesses/remote_input_business.h"

#include <gtest/gtest.h>

#include "protocol/messages/business_messages.h"
#include "protocol/wire/wire_message.h"
#include "server/businesses/gs_business.h"
#include "server/control/access_token.h"
#include "server/control/meeting_core.h"

namespace kiv_server {
namespace {

constexpr char kApp[] = "demo1";
constexpr char kSecret[] = "0123456789abcdef";

class Outbox : public IClientOutbox {
 public:
  void Send(ClientId c, std::string payload) override { sent[c].push_back(std::move(payload)); }
  void Close(ClientId) override {}
  std::map<ClientId, std::vector<std::string>> sent;
};

ServerConfig Config() {
  ServerConfig c;
  c.app_secrets[kApp] = kSecret;
  return c;
}

class RemoteInputTest : public ::testing::Test {
 protected:
  RemoteInputTest() : core_(Config(), out_, [] { return uint64_t{1000}; }) {
    auto input = std::make_unique<RemoteInputBusiness>(core_);
    input_ = input.get();
    EXPECT_TRUE(core_.router().Add(std::move(input)));
    EXPECT_TRUE(core_.router().Add(std::make_unique<GsBusiness>(core_, nullptr, &input_->grants())));
    alice_ = Member("alice");
    bob_ = Member("bob");
    carol_ = Member("carol");
    Biz(alice_, R"({"business":"GS","id":14104,"source_type":0,"media_type":0,"media_id":"0","operation":1})");
    Clear();
  }

  ClientId Member(const std::string& user, const std::string& group = "room") {
    const ClientId c = next_++;
    core_.OnConnected(c);
    kiv_proto::LoginRequest req;
    req.seq = 1;
    req.app_id = kApp;
    req.token =
        SealAccessToken(R"({"aid":")" + std::string(kApp) + R"(","uid":")" + user + R"(","ts":1,"r":2})", kSecret);
    req.device_id = "{DEV-" + user + "}";
    req.user_id = user;
    req.platform = "windows";
    core_.OnPayload(c, kiv_proto::EncodeLogin(req));
    core_.OnPayload(c, kiv_proto::EncodeJoin({2, group}));
    return c;
  }

  void Biz(ClientId c, const std::string& json) {
    rapidjson::Document d;
    d.Parse(json.c_str());
    ASSERT_TRUE(d.IsObject()) << json;
    core_.OnPayload(c, kiv_proto::EncodeBusiness(d));
  }
  void Control(ClientId from, const std::string& to, int operation) {
    Biz(from, R"({"business":"GS","id":14108,"operation":)" + std::to_string(operation) + R"(,"dst_user_id":")" + to +
                  R"("})");
  }
  void Input(ClientId from, const std::string& to, int key) {
    Biz(from, R"({"business":"RINPUT","id":14300,"dst_user_id":")" + to + R"(","events":[{"k":)" + std::to_string(key) +
                  "}]}");
  }
  void Clear() { out_.sent.clear(); }

  // "src:key" of each input delivered to the client since the last call.
  std::vector<std::string> Inputs(ClientId c) {
    std::vector<std::string> out;
    for (const auto& payload : out_.sent[c]) {
      kiv_proto::Message m;
      EXPECT_EQ(kiv_proto::ParseMessage(payload, &m), kiv_proto::ParseError::kNone);
      std::string name, src;
      int id = 0;
      const rapidjson::Value* body = kiv_proto::BusinessBody(m, &name, &id);
      if (body == nullptr || id != kiv_proto::kRemoteInputDelivered) continue;
      EXPECT_TRUE(kiv_proto::GetString(*body, "src_user_id", &src));
      out.push_back(src + ":" + std::to_string((*body)["events"][0]["k"].GetInt()));
    }
    out_.sent[c].clear();
    return out;
  }

  Outbox out_;
  MeetingCore core_;
  RemoteInputBusiness* input_ = nullptr;
  ClientId next_ = 1;
  ClientId alice_ = 0, bob_ = 0, carol_ = 0;
};

using Seen = std::vector<std::string>;

// Only the granted viewer's input reaches the sharer; a request alone or another
// viewer's input is dropped, as is input addressed to a viewer.
TEST_F(RemoteInputTest, OnlyTheGrantedViewerReachesTheSharer) {
  Input(bob_, "alice", 1);
  Control(bob_, "alice", 0);  // request
  Input(bob_, "alice", 2);
  EXPECT_EQ(Inputs(alice_), Seen{});
  Control(alice_, "bob", 2);  // accept
  Input(bob_, "alice", 3);
  Input(carol_, "alice", 4);
  Input(alice_, "bob", 5);
  EXPECT_EQ(Inputs(alice_), Seen{"bob:3"});
  EXPECT_EQ(Inputs(bob_), Seen{});
  EXPECT_EQ(input_->dropped(), 4u);
}

// A refusal by the sharer, a cancel by the viewer and the end of the share each stop it;
// a new accept grants again and moves control to the new viewer.
TEST_F(RemoteInputTest, RefuseCancelAndStopEndTheGrant) {
  Control(alice_, "bob", 2);
  Control(alice_, "bob", 3);
  Input(bob_, "alice", 1);
  Control(alice_, "bob", 2);
  Control(bob_, "alice", 1);
  Input(bob_, "alice", 2);
  Control(alice_, "bob", 2);
  Biz(alice_, R"({"business":"GS","id":14104,"source_type":0,"media_type":0,"media_id":"0","operation":0})");
  Input(bob_, "alice", 3);
  EXPECT_EQ(Inputs(alice_), Seen{});
  Control(alice_, "bob", 2);
  Control(alice_, "carol", 2);
  Input(bob_, "alice", 4);
  Input(carol_, "alice", 5);
  EXPECT_EQ(Inputs(alice_), Seen{"carol:5"});
}

// Leaving ends the grant: a viewer that leaves and comes back is not granted any more,
// and a sharer's new login starts with no grant.
TEST_F(RemoteInputTest, LeavingEndsTheGrant) {
  Control(alice_, "bob", 2);
  core_.OnDisconnected(bob_);
  bob_ = Member("bob");
  Input(bob_, "alice", 1);
  EXPECT_EQ(Inputs(alice_), Seen{});

  Control(alice_, "bob", 2);
  core_.OnDisconnected(alice_);
  alice_ = Member("alice");
  Input(bob_, "alice", 2);
  EXPECT_EQ(Inputs(alice_), Seen{});
}

// A viewer in another group never reaches the sharer; malformed input is refused.
TEST_F(RemoteInputTest, OtherGroupsAndMalformedInput) {
  const ClientId dave = Member("dave", "elsewhere");
  Control(alice_, "bob", 2);
  Input(dave, "alice", 1);
  EXPECT_EQ(Inputs(alice_), Seen{});
  Clear();
  Biz(bob_, R"({"business":"RINPUT","id":14300,"dst_user_id":"alice","events":7})");
  Biz(bob_, R"({"business":"RINPUT","id":14300,"events":[]})");
  Biz(bob_, R"({"business":"RINPUT","id":14399,"dst_user_id":"alice","events":[]})");
  EXPECT_EQ(out_.sent[bob_].size(), 3u) << "three error answers";
  EXPECT_EQ(Inputs(alice_), Seen{});
}

}  // namespace
}  // namespace kiv_server
