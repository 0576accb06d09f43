#include "protocol/media/h264_packetizer.h"

#include <gtest/gtest.h>

namespace kiv_media {
namespace {

std::vector<uint8_t> Nal(uint8_t type, size_t size, uint8_t fill) {
  std::vector<uint8_t> n(size, fill);
  n[0] = static_cast<uint8_t>(0x60 | type);
  return n;
}

std::vector<uint8_t> AnnexB(const std::vector<std::vector<uint8_t>>& nals) {
  std::vector<uint8_t> out;
  for (const auto& n : nals) {
    out.insert(out.end(), {0, 0, 0, 1});
    out.insert(out.end(), n.begin(), n.end());
  }
  return out;
}

// RTP packets of one access unit, as the sender would send them.
struct Sender {
  uint16_t sequence = 100;
  std::vector<std::vector<uint8_t>> Frame(const std::vector<uint8_t>& annexb, uint32_t ts) {
    const auto payloads = PacketizeH264(SplitAnnexB(annexb.data(), annexb.size()));
    std::vector<std::vector<uint8_t>> packets;
    for (size_t i = 0; i < payloads.size(); ++i) {
      std::vector<uint8_t> p;
      WriteRtp(RtpHeader{i + 1 == payloads.size(), 96, sequence++, ts, 1}, payloads[i].data(), payloads[i].size(), p);
      packets.push_back(std::move(p));
    }
    return packets;
  }
};

H264Depacketizer::Result Feed(H264Depacketizer& d, const std::vector<uint8_t>& packet, AccessUnit* au) {
  RtpView v;
  EXPECT_TRUE(ParseRtp(packet.data(), packet.size(), &v));
  return d.Push(v, au);
}

TEST(H264Packetizer, SplitsAnnexBWithBothStartCodeLengths) {
  const std::vector<uint8_t> s = {0, 0, 1, 0x67, 1, 2, 0, 0, 0, 1, 0x68, 3, 0, 0, 1, 0x65};
  const auto nals = SplitAnnexB(s.data(), s.size());
  ASSERT_EQ(nals.size(), 3u);
  EXPECT_EQ(nals[0].size, 3u);
  EXPECT_EQ(nals[1].size, 2u);
  EXPECT_EQ(nals[2].data[0], 0x65);
}

TEST(H264Packetizer, SmallUnitsGoWholeLargeOnesAsFuAWithinTheMtu) {
  const std::vector<uint8_t> au = AnnexB({Nal(7, 10, 1), Nal(5, 3000, 2)});
  const auto payloads = PacketizeH264(SplitAnnexB(au.data(), au.size()));
  ASSERT_EQ(payloads.size(), 4u);  // SPS + 3 fragments of the IDR slice
  EXPECT_EQ(payloads[0].size(), 10u);
  for (const auto& p : payloads) EXPECT_LE(p.size(), kH264Mtu);
  EXPECT_EQ(payloads[1][0] & 0x1F, kNalFuA);
  EXPECT_EQ(payloads[1][1], 0x80 | kNalIdr);
  EXPECT_EQ(payloads[2][1], kNalIdr);
  EXPECT_EQ(payloads[3][1], 0x40 | kNalIdr);
}

TEST(H264Packetizer, RoundTripRebuildsTheAccessUnits) {
  Sender s;
  H264Depacketizer d;
  const std::vector<uint8_t> key = AnnexB({Nal(7, 12, 1), Nal(8, 4, 2), Nal(5, 5000, 3)});
  const std::vector<uint8_t> delta = AnnexB({Nal(1, 1500, 4)});
  AccessUnit au;
  int frames = 0;
  for (const auto& frame : {key, delta, delta}) {
    for (const auto& p : s.Frame(frame, 3000u * static_cast<uint32_t>(frames))) {
      if (Feed(d, p, &au) == H264Depacketizer::Result::kFrame) {
        EXPECT_EQ(au.annexb, frame);
        EXPECT_EQ(au.keyframe, frames == 0);
        ++frames;
      }
    }
  }
  EXPECT_EQ(frames, 3);
  EXPECT_FALSE(d.keyframe_needed());
}

TEST(H264Packetizer, LossDropsFramesUntilTheNextKeyframe) {
  Sender s;
  H264Depacketizer d;
  const std::vector<uint8_t> key = AnnexB({Nal(5, 3000, 3)});
  const std::vector<uint8_t> delta = AnnexB({Nal(1, 2000, 4)});
  AccessUnit au;
  for (const auto& p : s.Frame(key, 0)) (void)Feed(d, p, &au);
  auto lossy = s.Frame(delta, 1);
  lossy.erase(lossy.begin());  // first fragment lost
  for (const auto& p : lossy) EXPECT_NE(Feed(d, p, &au), H264Depacketizer::Result::kFrame);
  EXPECT_TRUE(d.keyframe_needed());
  for (const auto& p : s.Frame(delta, 2)) {
    EXPECT_NE(Feed(d, p, &au), H264Depacketizer::Result::kFrame) << "refers to the lost picture";
  }
  int frames = 0;
  for (const auto& p : s.Frame(key, 3)) frames += Feed(d, p, &au) == H264Depacketizer::Result::kFrame;
  EXPECT_EQ(frames, 1);
  EXPECT_FALSE(d.keyframe_needed());
  EXPECT_GE(d.counters().broken_frames, 2u);
}

TEST(H264Packetizer, LostMarkerAndDuplicatesAndMalformedPayloads) {
  Sender s;
  H264Depacketizer d;
  const std::vector<uint8_t> key = AnnexB({Nal(5, 100, 3)});
  AccessUnit au;
  auto first = s.Frame(key, 0);
  ASSERT_EQ(Feed(d, first[0], &au), H264Depacketizer::Result::kFrame);
  EXPECT_EQ(Feed(d, first[0], &au), H264Depacketizer::Result::kDropped) << "duplicate";
  EXPECT_EQ(d.counters().late, 1u);

  const std::vector<std::vector<uint8_t>> bad_payloads = {
      {0x80 | 5, 1},       // forbidden bit
      {0x7C},              // FU-A without its header
      {0x7C, 0xC5, 1},     // FU-A with start and end
      {0x78, 0, 9, 0x65},  // STAP-A entry longer than the packet
      {0x7E, 1, 2},        // type 30
  };
  for (const auto& payload : bad_payloads) {
    std::vector<uint8_t> p;
    WriteRtp(RtpHeader{true, 96, s.sequence++, 77, 1}, payload.data(), payload.size(), p);
    EXPECT_EQ(Feed(d, p, &au), H264Depacketizer::Result::kDropped);
  }
  EXPECT_EQ(d.counters().malformed, bad_payloads.size());

  // STAP-A aggregating an SPS and an IDR slice is accepted.
  const std::vector<uint8_t> stap = {0x78, 0, 2, 0x67, 1, 0, 3, 0x65, 2, 3};
  std::vector<uint8_t> p;
  WriteRtp(RtpHeader{true, 96, s.sequence++, 90, 1}, stap.data(), stap.size(), p);
  ASSERT_EQ(Feed(d, p, &au), H264Depacketizer::Result::kFrame);
  EXPECT_EQ(au.annexb, AnnexB({{0x67, 1}, {0x65, 2, 3}}));
}

}  // namespace
}  // namespace kiv_media
