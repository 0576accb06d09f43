// Clients' transport logic against the relay's logic and the MEDIA business.
#include "transport_core.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

#include "framework/media/transport/testing/test_network.h"
#include "protocol/media/rtcp_packet.h"
#include "protocol/media/rtp_packet.h"

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

// A socket whose send of an RTP datagram can be held: the sending thread stops inside it
// until the test releases it.
class LatchedSocket {
 public:
  static constexpr auto kGuard = std::chrono::seconds(10);  // a hung step fails, never waits forever

  void Arm() {
    std::lock_guard<std::mutex> lock(mutex_);
    armed_ = true;
  }
  void OnDatagram(const uint8_t* data, size_t size) {
    std::unique_lock<std::mutex> lock(mutex_);
    const bool rtp = !kiv_media::LooksLikeRegistration(data, size) && !kiv_media::LooksLikeRtcp(data, size);
    if (rtp) ++rtp_sent_;
    if (!rtp || !armed_) return;
    armed_ = false;
    held_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return released_; });
  }
  void OnControl(const rapidjson::Value& body) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (body.HasMember("id") && body["id"].IsInt()) controls_.push_back(body["id"].GetInt());
    changed_.notify_all();
  }
  [[nodiscard]] bool WaitHeld() {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, kGuard, [this] { return held_; });
  }
  [[nodiscard]] bool WaitControl(int id) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, kGuard, [&] { return std::count(controls_.begin(), controls_.end(), id) > 0; });
  }
  void Release() {
    std::lock_guard<std::mutex> lock(mutex_);
    released_ = true;
    changed_.notify_all();
  }
  [[nodiscard]] int rtp_sent() {
    std::lock_guard<std::mutex> lock(mutex_);
    return rtp_sent_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool armed_ = false;
  bool held_ = false;
  bool released_ = false;
  int rtp_sent_ = 0;
  std::vector<int> controls_;
};

// A transport on the latched socket, registered at a relay that accepted its ticket.
class LatchedTransportTest : public ::testing::Test {
 protected:
  LatchedTransportTest() {
    TransportHooks hooks;
    hooks.send_datagram = [this](const uint8_t* d, size_t n) { socket_.OnDatagram(d, n); };
    hooks.send_control = [this](const rapidjson::Value& body) { socket_.OnControl(body); };
    hooks.clock_us = [] { return uint64_t{1000}; };
    core_ = std::make_unique<TransportCore>(hooks, 0x1001);
    kiv_media::Ticket ticket{};
    ticket[0] = 7;
    core_->OnControl(kiv_media::kMediaTicket, kiv_media::EncodeTicket({kiv_media::TicketToHex(ticket), 4000}));
    const auto accepted = kiv_media::WriteRegistration({kiv_media::RegistrationKind::kAccepted, ticket});
    core_->OnDatagram(accepted.data(), accepted.size());
  }
  ~LatchedTransportTest() override {
    socket_.Release();
    for (auto& t : threads_) t.join();
  }
  // SendRtp of kSsrc on its own thread, held in the socket.
  std::future<bool> HeldSend() {
    socket_.Arm();
    auto sent = std::make_shared<std::promise<bool>>();
    std::future<bool> result = sent->get_future();
    threads_.emplace_back([this, sent] { sent->set_value(core_->SendRtp(kSsrc, 96, true, 0, payload_, 1)); });
    EXPECT_TRUE(socket_.WaitHeld());
    return result;
  }

  LatchedSocket socket_;
  std::unique_ptr<TransportCore> core_;
  std::vector<std::thread> threads_;
  const uint8_t payload_[1] = {7};
};

// While one source's packet is in the socket, the transport serves every other call:
// counters, another source's packets, received packets, ticks and publishing.
TEST_F(LatchedTransportTest, ASendInTheSocketHoldsNoTransportLock) {
  ASSERT_TRUE(core_->Registered());
  ASSERT_TRUE(core_->Publish(kMediaVideo, "1", kSsrc, {}));
  ASSERT_TRUE(core_->Publish(kMediaAudio, "a", kSsrc + 1, {}));
  int received = 0;
  const SubscriptionId sub = core_->Subscribe({"bob", kMediaAudio, "b"}, [&](const RtpPacketIn&) { ++received; });
  core_->OnControl(kiv_media::kMediaSource,
                   kiv_media::EncodeSource(kiv_media::kMediaSource, {"bob", kMediaAudio, "b", 0x7777}));
  std::future<bool> held = HeldSend();

  auto others = std::async(std::launch::async, [&] {
    const uint64_t sent_before = core_->Counters().sent_packets;
    EXPECT_TRUE(core_->SendRtp(kSsrc + 1, 111, false, 960, payload_, 1));
    std::vector<uint8_t> in;
    kiv_media::WriteRtp({false, 111, 5, 960, 0x7777}, payload_, 1, in);
    core_->OnDatagram(in.data(), in.size());
    core_->Tick();
    EXPECT_TRUE(core_->Publish(kMediaVideo, "2", kSsrc + 2, {}));
    EXPECT_EQ(core_->Counters().sent_packets, sent_before + 1);
    EXPECT_EQ(core_->Stats(sub).packets, 1u);
  });
  ASSERT_EQ(others.wait_for(LatchedSocket::kGuard), std::future_status::ready)
      << "the transport waited for a send in the socket";
  EXPECT_EQ(received, 1);
  EXPECT_EQ(held.wait_for(std::chrono::seconds(0)), std::future_status::timeout) << "the held send went on";
  socket_.Release();
  EXPECT_TRUE(held.get());
  EXPECT_EQ(core_->Counters().sent_packets, 2u);
  EXPECT_EQ(socket_.rtp_sent(), 2);
}

// Unpublish returns only after a send of that source in progress has left, and no
// packet of the source leaves after it.
TEST_F(LatchedTransportTest, UnpublishWaitsForTheSourcesSendInProgress) {
  ASSERT_TRUE(core_->Publish(kMediaVideo, "1", kSsrc, {}));
  std::future<bool> held = HeldSend();
  std::atomic<bool> unpublished{false};
  threads_.emplace_back([&] {
    core_->Unpublish(kMediaVideo, "1");
    unpublished = true;
  });
  // The relay is told at once; the call itself waits for the packet in the socket.
  ASSERT_TRUE(socket_.WaitControl(kiv_media::kMediaUnpublish));
  EXPECT_FALSE(unpublished.load());
  socket_.Release();
  EXPECT_TRUE(held.get());
  threads_.back().join();
  threads_.pop_back();
  EXPECT_TRUE(unpublished.load());
  EXPECT_FALSE(core_->SendRtp(kSsrc, 96, true, 0, payload_, 1));
  EXPECT_EQ(socket_.rtp_sent(), 1);
  EXPECT_EQ(core_->Counters().sent_packets, 1u);
}

}  // namespace
}  // namespace tessarine::media
