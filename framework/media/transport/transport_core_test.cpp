// Two clients' transport logic against the relay's logic and the MEDIA business, over a
// queued in-process network (both directions asynchronous, as on real sockets).
#include "transport_core.h"

#include <gtest/gtest.h>

#include <deque>

#include "protocol/media/rtcp_packet.h"
#include "protocol/media/rtp_packet.h"
#include "server/media/media_business.h"

namespace tessarine::media {
namespace {

using kiv_server::ClientId;

class Network : public kiv_server::IDatagramOut, public kiv_server::IServerContext {
 public:
  struct Client {
    ClientId id;
    kiv_server::PeerAddress address;
    std::unique_ptr<TransportCore> core;
  };

  Network() : relay_(*this, [this] { return now_us_ / 1000; }, [this] {
                kiv_media::Ticket t{};
                t[0] = static_cast<uint8_t>(++tickets_);
                return t;
              }),
              business_(*this, relay_, 4000) {}

  TransportCore& AddClient(ClientId id, const std::string& user, const std::string& group) {
    auto& c = clients_[id];
    c.id = id;
    c.address = kiv_server::Ipv4Peer(0x7F000001, static_cast<uint16_t>(5000 + id));
    TransportHooks hooks;
    hooks.send_datagram = [this, id](const uint8_t* d, size_t n) {
      datagrams_.push_back({id, true, clients_[id].address, std::vector<uint8_t>(d, d + n)});
    };
    hooks.send_control = [this, id](const rapidjson::Value& body) {
      auto doc = std::make_shared<rapidjson::Document>();
      doc->CopyFrom(body, doc->GetAllocator());
      control_.push_back({id, true, doc});
    };
    hooks.clock_us = [this] { return now_us_; };
    c.core = std::make_unique<TransportCore>(hooks, static_cast<uint32_t>(0x1000 + id));
    kiv_server::ClientInfo& info = state_.AddClient(id);
    info.logged_in = true;
    info.app_id = "app";
    info.user_id = user;
    info.group_id = group;
    business_.OnLogin(info);
    Pump();
    return *c.core;
  }

  void Pump() {
    for (int round = 0; round < 1000 && !(datagrams_.empty() && control_.empty()); ++round) {
      while (!control_.empty()) {
        ControlItem item = control_.front();
        control_.pop_front();
        const rapidjson::Value& body = *item.body;
        const int id = body["id"].GetInt();
        if (item.to_server) {
          business_.OnBusiness(*state_.Client(item.client), "MEDIA", id, body);
        } else {
          clients_[item.client].core->OnControl(id, body);
        }
      }
      while (!datagrams_.empty()) {
        Datagram d = datagrams_.front();
        datagrams_.pop_front();
        if (d.to_relay) {
          relay_.OnDatagram(d.address, d.data.data(), d.data.size());
        } else {
          for (auto& [id, c] : clients_) {
            if (c.address == d.address) c.core->OnDatagram(d.data.data(), d.data.size());
          }
        }
      }
    }
  }

  void Advance(uint64_t us) {
    now_us_ += us;
    for (auto& [id, c] : clients_) c.core->Tick();
    Pump();
  }

  // Server side.
  void SendTo(const kiv_server::PeerAddress& to, const uint8_t* data, size_t size) override {
    datagrams_.push_back({0, false, to, std::vector<uint8_t>(data, data + size)});
  }
  kiv_server::MeetingState& State() override { return state_; }
  void SendBusiness(ClientId client, const rapidjson::Value& body) override {
    auto doc = std::make_shared<rapidjson::Document>();
    doc->CopyFrom(body, doc->GetAllocator());
    control_.push_back({client, false, doc});
  }
  void SendError(ClientId, int, const std::string&) override { ++errors_; }

  kiv_server::MediaRelay& relay() { return relay_; }
  kiv_server::MediaBusiness& business() { return business_; }
  kiv_server::MeetingState& state() { return state_; }
  int errors_ = 0;

 private:
  struct Datagram {
    ClientId from;
    bool to_relay;
    kiv_server::PeerAddress address;
    std::vector<uint8_t> data;
  };
  struct ControlItem {
    ClientId client;
    bool to_server;
    std::shared_ptr<rapidjson::Document> body;
  };
  uint64_t now_us_ = 1000000;
  int tickets_ = 0;
  kiv_server::MeetingState state_;
  kiv_server::MediaRelay relay_;
  kiv_server::MediaBusiness business_;
  std::map<ClientId, Client> clients_;
  std::deque<Datagram> datagrams_;
  std::deque<ControlItem> control_;
};

constexpr uint32_t kSsrc = 0xCAFE;

TEST(MediaTransport, PublishedRtpReachesTheSubscriberWithFeedbackBack) {
  Network net;
  TransportCore& alice = net.AddClient(1, "alice", "room");
  TransportCore& bob = net.AddClient(2, "bob", "room");
  EXPECT_TRUE(alice.Registered());
  EXPECT_TRUE(bob.Registered());

  int keyframe_requests = 0;
  std::vector<ReceptionReport> reports;
  SourceFeedback feedback;
  feedback.on_keyframe_request = [&] { ++keyframe_requests; };
  feedback.on_receiver_report = [&](const ReceptionReport& r) { reports.push_back(r); };
  ASSERT_TRUE(alice.Publish(kMediaVideo, "1", kSsrc, feedback));
  EXPECT_FALSE(alice.Publish(kMediaVideo, "2", kSsrc, {})) << "SSRC of another source";

  std::vector<uint16_t> sequences;
  const SubscriptionId sub = bob.Subscribe({"alice", kMediaVideo, "1"}, [&](const RtpPacketIn& p) {
    sequences.push_back(p.sequence);
    EXPECT_EQ(p.payload_size, 3u);
  });
  ASSERT_NE(sub, 0u);
  net.Pump();
  const uint8_t payload[] = {1, 2, 3};
  for (int i = 0; i < 10; ++i) ASSERT_TRUE(alice.SendRtp(kSsrc, 96, true, 3000u * i, payload, 3));
  net.Pump();
  ASSERT_EQ(sequences.size(), 10u);
  EXPECT_EQ(sequences[9], 9);
  EXPECT_EQ(bob.Stats(sub).packets, 10u);
  EXPECT_EQ(bob.Stats(sub).ssrc, kSsrc);

  bob.RequestKeyframe(sub);
  net.Pump();
  EXPECT_EQ(keyframe_requests, 1);

  // Two packets lost on the way (the relay's loss switch): the next report says so.
  net.relay().loss().StartBurst(2);
  for (int i = 10; i < 20; ++i) ASSERT_TRUE(alice.SendRtp(kSsrc, 96, true, 3000u * i, payload, 3));
  net.Pump();
  net.Advance(TransportCore::kReportIntervalUs);
  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(reports.back().cumulative_lost, 2);
  EXPECT_GT(reports.back().fraction_lost, 0);
  EXPECT_EQ(reports.back().reporter_ssrc, 0x1002u);
  EXPECT_EQ(bob.Stats(sub).lost, 2u);

  // After Unpublish the subscriber gets nothing and the source's SSRC is 0.
  alice.Unpublish(kMediaVideo, "1");
  net.Pump();
  EXPECT_FALSE(alice.SendRtp(kSsrc, 96, true, 0, payload, 3));
  EXPECT_EQ(bob.Stats(sub).ssrc, 0u);

  // Publishing again later reaches the standing subscription.
  ASSERT_TRUE(alice.Publish(kMediaVideo, "1", kSsrc + 1, {}));
  net.Pump();
  ASSERT_TRUE(alice.SendRtp(kSsrc + 1, 96, true, 0, payload, 3));
  net.Pump();
  EXPECT_EQ(sequences.size(), 19u);

  bob.Unsubscribe(sub);
  net.Pump();
  ASSERT_TRUE(alice.SendRtp(kSsrc + 1, 96, true, 0, payload, 3));
  net.Pump();
  EXPECT_EQ(sequences.size(), 19u);
  EXPECT_EQ(net.errors_, 0);
}

TEST(MediaTransport, OutsidersAndGarbageAreDroppedAndCounted) {
  Network net;
  TransportCore& alice = net.AddClient(1, "alice", "room");
  TransportCore& bob = net.AddClient(2, "bob", "room");
  TransportCore& eve = net.AddClient(3, "eve", "");  // logged in, in no group
  ASSERT_TRUE(alice.Publish(kMediaVideo, "1", kSsrc, {}));
  int bob_packets = 0;
  int eve_packets = 0;
  (void)bob.Subscribe({"alice", kMediaVideo, "1"}, [&](const RtpPacketIn&) { ++bob_packets; });
  (void)eve.Subscribe({"alice", kMediaVideo, "1"}, [&](const RtpPacketIn&) { ++eve_packets; });
  net.Pump();
  EXPECT_EQ(net.errors_, 1) << "a subscription outside a group is refused";
  // Eve publishes under Alice's SSRC: refused at the relay, nothing injected.
  ASSERT_TRUE(eve.Publish(kMediaVideo, "x", kSsrc, {}));
  net.Pump();
  const uint8_t payload[] = {9};
  (void)eve.SendRtp(kSsrc, 96, true, 0, payload, 1);
  ASSERT_TRUE(alice.SendRtp(kSsrc, 96, true, 0, payload, 1));
  net.Pump();
  EXPECT_EQ(bob_packets, 1);
  EXPECT_EQ(eve_packets, 0);
  EXPECT_EQ(net.relay().counters().dropped_foreign_ssrc, 1u);

  // The receiver's own reader: malformed, oversized and unknown-SSRC datagrams.
  const std::vector<uint8_t> truncated = {0x80, 96, 0, 1};
  bob.OnDatagram(truncated.data(), truncated.size());
  std::vector<uint8_t> unknown;
  kiv_media::WriteRtp({true, 96, 1, 0, 0x5555}, payload, 1, unknown);
  bob.OnDatagram(unknown.data(), unknown.size());
  const std::vector<uint8_t> huge(2000, 0x80);
  bob.OnDatagram(huge.data(), huge.size());
  std::vector<uint8_t> pli;
  kiv_media::WritePli(1, 0x5555, pli);
  bob.OnDatagram(pli.data(), pli.size());
  EXPECT_EQ(bob.Counters().dropped_malformed, 2u);
  EXPECT_EQ(bob.Counters().dropped_unknown_ssrc, 2u);
  EXPECT_EQ(bob_packets, 1);
}

TEST(MediaTransport, ANewLoginRegistersAgainAndRestoresSourcesAndSubscriptions) {
  Network net;
  TransportCore& alice = net.AddClient(1, "alice", "room");
  TransportCore& bob = net.AddClient(2, "bob", "room");
  ASSERT_TRUE(alice.Publish(kMediaVideo, "1", kSsrc, {}));
  int received = 0;
  (void)bob.Subscribe({"alice", kMediaVideo, "1"}, [&](const RtpPacketIn&) { ++received; });
  net.Pump();
  // Both logins end and come back (a reconnection): new tickets.
  for (ClientId id : {ClientId{1}, ClientId{2}}) {
    net.business().OnLogout(*net.state().Client(id));
    net.business().OnLogin(*net.state().Client(id));
  }
  net.Pump();
  net.Advance(TransportCore::kRegisterRetryUs);
  EXPECT_TRUE(alice.Registered());
  const uint8_t payload[] = {9};
  ASSERT_TRUE(alice.SendRtp(kSsrc, 96, true, 0, payload, 1));
  net.Pump();
  EXPECT_EQ(received, 1);
}

}  // namespace
}  // namespace tessarine::media
