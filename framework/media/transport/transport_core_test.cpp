// Clients' transport logic against the relay's logic and the MEDIA business.
#include "transport_core.h"

#include <gtest/gtest.h>

#include "protocol/media/rtcp_packet.h"
#include "protocol/media/rtp_packet.h"
#include "framework/media/transport/testing/test_network.h"

namespace tessarine::media {
namespace {

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
    net.RequestTicket(id);
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
