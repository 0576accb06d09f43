#include "server/media/media_relay.h"

#include <gtest/gtest.h>

#include "protocol/media/media_messages.h"
#include "protocol/media/rtcp_packet.h"
#include "protocol/media/rtp_packet.h"
#include "protocol/wire/wire_message.h"
#include "server/control/server_limits.h"
#include "server/media/media_business.h"

namespace kiv_server {
namespace {

using kiv_media::Ticket;

struct Sent {
  PeerAddress to;
  std::vector<uint8_t> data;
};

class Recorder : public IDatagramOut {
 public:
  void SendTo(const PeerAddress& to, const uint8_t* data, size_t size) override {
    sent.push_back({to, std::vector<uint8_t>(data, data + size)});
  }
  size_t CountTo(const PeerAddress& a, bool rtp_only = true) const {
    size_t n = 0;
    for (const auto& s : sent)
      n += s.to == a && (!rtp_only || !kiv_media::LooksLikeRegistration(s.data.data(), s.data.size()));
    return n;
  }
  std::vector<Sent> sent;
};

const std::string kGroup = "app\x1froom";
const PeerAddress kAlice = Ipv4Peer(0x7F000001, 5000);
const PeerAddress kBob = Ipv4Peer(0x7F000001, 5001);
const PeerAddress kCarol = Ipv4Peer(0x7F000001, 5002);
constexpr uint32_t kAliceVideo = 0xA11CE;

class MediaRelayTest : public ::testing::Test {
 protected:
  MediaRelayTest()
      : relay_(
            out_, [this] { return now_ms_; },
            [this] {
              Ticket t{};
              t[0] = static_cast<uint8_t>(++issued_);
              return t;
            }) {}

  Ticket Login(ClientId id, const std::string& user, const PeerAddress& address) {
    const Ticket t = relay_.AddLogin(id, user);
    Register(t, address);
    return t;
  }
  void Register(const Ticket& t, const PeerAddress& address) {
    const auto d = kiv_media::WriteRegistration({kiv_media::RegistrationKind::kRegister, t});
    relay_.OnDatagram(address, d.data(), d.size());
  }
  kiv_media::RegistrationKind LastAnswer() const {
    kiv_media::Registration r;
    EXPECT_TRUE(kiv_media::ParseRegistration(out_.sent.back().data.data(), out_.sent.back().data.size(), &r));
    return r.kind;
  }
  void SendRtp(const PeerAddress& from, uint32_t ssrc, uint16_t seq = 1) {
    const uint8_t payload[] = {0x65, 1, 2, 3};
    std::vector<uint8_t> p;
    kiv_media::WriteRtp({true, 96, seq, 90000, ssrc}, payload, sizeof(payload), p);
    relay_.OnDatagram(from, p.data(), p.size());
  }
  // Alice (1) publishes video "1"; Bob (2) subscribes; Carol (3) is logged in.
  void Meeting() {
    Login(1, "alice", kAlice);
    Login(2, "bob", kBob);
    Login(3, "carol", kCarol);
    std::vector<SourceNotice> notices;
    ASSERT_EQ(relay_.Publish(1, kGroup, 2, "1", kAliceVideo, &notices), kiv_media::kPublishOk);
    const SourceNotice n = relay_.Subscribe(2, {kGroup, "alice", 2, "1"});
    EXPECT_EQ(n.ssrc, kAliceVideo);
    out_.sent.clear();
  }

  Recorder out_;
  uint64_t now_ms_ = 1000;
  int issued_ = 0;
  MediaRelay relay_;
};

TEST_F(MediaRelayTest, ForwardsOnlyToRegisteredSubscribersOfTheSource) {
  Meeting();
  SendRtp(kAlice, kAliceVideo);
  EXPECT_EQ(out_.CountTo(kBob), 1u);
  EXPECT_EQ(out_.CountTo(kCarol), 0u) << "not subscribed";
  EXPECT_EQ(out_.CountTo(kAlice), 0u) << "never back to the publisher";
  EXPECT_EQ(out_.sent[0].data.size(), 16u) << "forwarded unchanged";

  relay_.Unsubscribe(2, {kGroup, "alice", 2, "1"});
  SendRtp(kAlice, kAliceVideo, 2);
  EXPECT_EQ(out_.CountTo(kBob), 1u);
}

TEST_F(MediaRelayTest, SubscriptionBeforePublicationGetsNoticeAndPackets) {
  Login(1, "alice", kAlice);
  Login(2, "bob", kBob);
  EXPECT_EQ(relay_.Subscribe(2, {kGroup, "alice", 2, "1"}).ssrc, 0u);
  std::vector<SourceNotice> notices;
  ASSERT_EQ(relay_.Publish(1, kGroup, 2, "1", kAliceVideo, &notices), kiv_media::kPublishOk);
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_EQ(notices[0].to, 2u);
  EXPECT_EQ(notices[0].ssrc, kAliceVideo);
  out_.sent.clear();
  SendRtp(kAlice, kAliceVideo);
  EXPECT_EQ(out_.CountTo(kBob), 1u);

  const auto gone = relay_.Unpublish(1, 2, "1");
  ASSERT_EQ(gone.size(), 1u);
  EXPECT_EQ(gone[0].ssrc, 0u);
  SendRtp(kAlice, kAliceVideo, 2);
  EXPECT_EQ(out_.CountTo(kBob), 1u);
  EXPECT_EQ(relay_.counters().dropped_unknown_ssrc, 1u);
}

TEST_F(MediaRelayTest, OtherGroupsUnregisteredAddressesAndForeignSsrcsGetAndInjectNothing) {
  Meeting();
  // Carol subscribes to the same source name in another group.
  (void)relay_.Subscribe(3, {"app\x1fother", "alice", 2, "1"});
  SendRtp(kAlice, kAliceVideo);
  EXPECT_EQ(out_.CountTo(kCarol), 0u);

  // A stranger's address, and Carol sending under Alice's SSRC.
  SendRtp(Ipv4Peer(0x7F000001, 6000), kAliceVideo);
  EXPECT_EQ(relay_.counters().dropped_unregistered, 1u);
  SendRtp(kCarol, kAliceVideo);
  EXPECT_EQ(relay_.counters().dropped_foreign_ssrc, 1u);
  SendRtp(kCarol, 0xBAD);
  EXPECT_EQ(relay_.counters().dropped_unknown_ssrc, 1u);
  EXPECT_EQ(out_.CountTo(kBob), 1u) << "only Alice's own packet reached Bob";

  // Another host presenting Alice's ticket is refused while Alice is active.
  const Ticket alice = *relay_.TicketOf(1);
  Register(alice, Ipv4Peer(0x7F000001, 6001));
  EXPECT_EQ(LastAnswer(), kiv_media::RegistrationKind::kRefused);
  SendRtp(Ipv4Peer(0x7F000001, 6001), kAliceVideo);
  EXPECT_EQ(relay_.counters().dropped_unregistered, 2u);
  // An unknown ticket too.
  Ticket bogus{};
  bogus[5] = 42;
  Register(bogus, Ipv4Peer(0x7F000001, 6002));
  EXPECT_EQ(LastAnswer(), kiv_media::RegistrationKind::kRefused);
  // Carol's address cannot take Bob's ticket either.
  Register(*relay_.TicketOf(2), kCarol);
  EXPECT_EQ(LastAnswer(), kiv_media::RegistrationKind::kRefused);
  // After a long silence the ticket may move (a client whose port changed).
  now_ms_ += MediaRelay::kRebindQuietMs + 1;
  Register(alice, Ipv4Peer(0x7F000001, 6001));
  EXPECT_EQ(LastAnswer(), kiv_media::RegistrationKind::kAccepted);
}

TEST_F(MediaRelayTest, SsrcsAreUniqueAndLeavingEndsEverything) {
  Meeting();
  std::vector<SourceNotice> notices;
  EXPECT_EQ(relay_.Publish(3, kGroup, 2, "cam", kAliceVideo, &notices), kiv_media::kPublishSsrcInUse);
  EXPECT_EQ(relay_.Publish(3, "", 2, "cam", 5, &notices), kiv_media::kPublishNotInGroup);
  EXPECT_EQ(relay_.Publish(3, kGroup, 2, "cam", 0, &notices), kiv_media::kPublishBadRequest);

  const auto left = relay_.LeaveGroup(1);
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].to, 2u);
  EXPECT_EQ(left[0].ssrc, 0u);
  SendRtp(kAlice, kAliceVideo);
  EXPECT_EQ(out_.CountTo(kBob), 0u);

  // Bob logs out: his address no longer receives, and counts as unregistered.
  ASSERT_EQ(relay_.Publish(1, kGroup, 2, "1", kAliceVideo, &notices), kiv_media::kPublishOk);
  (void)relay_.RemoveLogin(2);
  SendRtp(kAlice, kAliceVideo, 2);
  SendRtp(kBob, 0x1234);
  EXPECT_EQ(out_.CountTo(kBob), 0u);
  EXPECT_EQ(relay_.counters().dropped_unregistered, 1u);
}

TEST_F(MediaRelayTest, FeedbackReachesThePublisherOnlyFromItsSubscribers) {
  Meeting();
  std::vector<uint8_t> pli;
  kiv_media::WritePli(0xB0B, kAliceVideo, pli);
  relay_.OnDatagram(kBob, pli.data(), pli.size());
  ASSERT_EQ(out_.CountTo(kAlice), 1u);
  EXPECT_EQ(out_.sent.back().data, pli);

  kiv_media::ReportBlock block;
  block.ssrc = kAliceVideo;
  block.fraction_lost = 12;
  std::vector<uint8_t> rr;
  kiv_media::WriteReceiverReport(0xB0B, {block}, rr);
  relay_.OnDatagram(kBob, rr.data(), rr.size());
  EXPECT_EQ(out_.CountTo(kAlice), 2u);

  relay_.OnDatagram(kCarol, pli.data(), pli.size());  // Carol does not subscribe
  EXPECT_EQ(out_.CountTo(kAlice), 2u);
  EXPECT_EQ(relay_.counters().dropped_feedback, 1u);
}

TEST_F(MediaRelayTest, MalformedTruncatedAndOversizedDatagramsAreCounted) {
  Meeting();
  const std::vector<std::vector<uint8_t>> bad = {
      {0x80, 96, 0},                  // truncated RTP
      {0x81, 201, 0, 9, 0, 0, 0, 1},  // RTCP length past the end
      {0x00, 1, 2, 3},                // neither RTP nor registration
      {'K', 'M', 'R', 1, 2},          // short registration
  };
  for (const auto& d : bad) relay_.OnDatagram(kAlice, d.data(), d.size());
  EXPECT_EQ(relay_.counters().dropped_malformed, bad.size());
  std::vector<uint8_t> huge(kiv_media::kMaxDatagram + 1, 0x80);
  relay_.OnDatagram(kAlice, huge.data(), huge.size());
  EXPECT_EQ(relay_.counters().dropped_oversized, 1u);
  EXPECT_TRUE(out_.sent.empty());
}

TEST_F(MediaRelayTest, LossSwitchDropsAShareAndBurstsDeterministically) {
  Meeting();
  relay_.loss().SetRandomLoss(5, 77);
  for (uint16_t i = 0; i < 2000; ++i) SendRtp(kAlice, kAliceVideo, i);
  const uint64_t dropped = relay_.counters().dropped_loss;
  EXPECT_GT(dropped, 60u);
  EXPECT_LT(dropped, 140u);

  LossSwitch a, b;
  a.SetRandomLoss(30, 9);
  b.SetRandomLoss(30, 9);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(a.Drop(), b.Drop()) << "same seed, same pattern";

  relay_.loss().SetRandomLoss(0, 1);
  relay_.loss().StartBurst(30);
  out_.sent.clear();
  for (uint16_t i = 0; i < 40; ++i) SendRtp(kAlice, kAliceVideo, i);
  EXPECT_EQ(out_.CountTo(kBob), 10u);
  EXPECT_FALSE(relay_.loss().active());
}

// What MediaBusiness uses of the server: its answers and log lines.
class FakeServer : public IServerContext {
 public:
  MeetingState& State() override { return state; }
  void SendBusiness(ClientId client, const rapidjson::Value& body) override {
    int id = 0, result = -1;
    (void)kiv_proto::GetInt(body, "id", &id);
    (void)kiv_proto::GetInt(body, "result", &result);
    answers.push_back({client, id, result});
  }
  void SendEncoded(ClientId, const std::string&) override {}
  void SendError(ClientId client, int code, const std::string&) override { answers.push_back({client, -1, code}); }
  void Log(const std::string& line) override { log.push_back(line); }

  struct Answer {
    ClientId to;
    int id;  // -1: an error answer
    int code;
  };
  MeetingState state;
  std::vector<Answer> answers;
  std::vector<std::string> log;
};

// A login's publications and subscriptions are bounded: beyond, 17003 carries 45 and a
// subscription gets error 45, logged once per login; what it holds keeps working.
TEST_F(MediaRelayTest, PublicationsAndSubscriptionsAreBoundedPerLogin) {
  Meeting();
  FakeServer server;
  MediaBusiness business(server, relay_, 4000);
  ClientInfo bob{2, true, "app", "bob", "{D}", "linux", "room"};
  auto message = [](int id, const std::string& members) {
    rapidjson::Document d;
    d.Parse(("{\"business\":\"MEDIA\",\"id\":" + std::to_string(id) + "," + members + "}").c_str());
    return d;
  };
  for (size_t i = 0; i < kMaxPublicationsPerLogin + 2; ++i) {
    const std::string media = std::to_string(i);
    business.OnBusiness(
        bob, "MEDIA", 17002,
        message(17002, R"("media_type":2,"media_id":")" + media + R"(","ssrc":)" + std::to_string(100 + i)));
  }
  ASSERT_EQ(server.answers.size(), kMaxPublicationsPerLogin + 2);
  EXPECT_EQ(server.answers[kMaxPublicationsPerLogin - 1].code, 0);
  EXPECT_EQ(server.answers[kMaxPublicationsPerLogin].code, kResultLimitReached);
  EXPECT_EQ(server.answers.back().code, kResultLimitReached);
  // A publication held may take a new SSRC.
  business.OnBusiness(bob, "MEDIA", 17002, message(17002, R"("media_type":2,"media_id":"0","ssrc":99)"));
  EXPECT_EQ(server.answers.back().code, 0);
  server.answers.clear();

  for (size_t i = 1; i < kMaxSubscriptionsPerLogin + 3; ++i) {  // bob subscribes to alice's "1" already
    business.OnBusiness(bob, "MEDIA", 17006,
                        message(17006, R"("user_id":"u)" + std::to_string(i) + R"(","media_type":1,"media_id":"a")"));
  }
  ASSERT_EQ(server.answers.size(), kMaxSubscriptionsPerLogin + 2);
  EXPECT_EQ(server.answers[kMaxSubscriptionsPerLogin - 2].id, 17007);
  EXPECT_EQ(server.answers[kMaxSubscriptionsPerLogin - 1].id, -1);
  EXPECT_EQ(server.answers.back().code, kResultLimitReached);
  EXPECT_EQ(server.log.size(), 2u) << "one line per login and bound";
  SendRtp(kAlice, kAliceVideo);
  EXPECT_EQ(out_.CountTo(kBob), 1u) << "subscriptions held keep working";
}

}  // namespace
}  // namespace kiv_server
