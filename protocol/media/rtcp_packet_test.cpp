#include "protocol/media/rtcp_packet.h"

#include <gtest/gtest.h>

#include "protocol/media/rtp_packet.h"

namespace kiv_media {
namespace {

TEST(RtcpPacket, CompoundReceiverReportAndPliRoundTrip) {
  ReportBlock b;
  b.ssrc = 0x11223344;
  b.fraction_lost = 25;
  b.cumulative_lost = -3;
  b.highest_sequence = 70000;
  b.jitter = 90;
  std::vector<uint8_t> out;
  WriteReceiverReport(7, {b, b}, out);
  WritePli(7, 0x11223344, out);
  ASSERT_TRUE(LooksLikeRtcp(out.data(), out.size()));
  RtcpCompound c;
  ASSERT_TRUE(ParseRtcp(out.data(), out.size(), &c));
  ASSERT_EQ(c.reports.size(), 1u);
  EXPECT_EQ(c.reports[0].sender_ssrc, 7u);
  ASSERT_EQ(c.reports[0].blocks.size(), 2u);
  const ReportBlock& r = c.reports[0].blocks[1];
  EXPECT_EQ(r.ssrc, b.ssrc);
  EXPECT_EQ(r.fraction_lost, 25);
  EXPECT_EQ(r.cumulative_lost, -3);
  EXPECT_EQ(r.highest_sequence, 70000u);
  EXPECT_EQ(r.jitter, 90u);
  ASSERT_EQ(c.plis.size(), 1u);
  EXPECT_EQ(c.plis[0].media_ssrc, 0x11223344u);
}

TEST(RtcpPacket, SkipsUnknownTypesAndReadsSenderReports) {
  std::vector<uint8_t> sr = {0x81, 200, 0, 12};  // SR with one block: 1 + 5 + 6 words
  sr.resize(4 + 4 + 20 + 24, 0);
  sr[7] = 9;
  sr[28 + 3] = 5;  // block ssrc 5
  std::vector<uint8_t> bye = {0x81, 203, 0, 1, 0, 0, 0, 9};
  sr.insert(sr.end(), bye.begin(), bye.end());
  RtcpCompound c;
  ASSERT_TRUE(ParseRtcp(sr.data(), sr.size(), &c));
  ASSERT_EQ(c.reports.size(), 1u);
  EXPECT_TRUE(c.reports[0].is_sender_report);
  ASSERT_EQ(c.reports[0].blocks.size(), 1u);
  EXPECT_EQ(c.reports[0].blocks[0].ssrc, 5u);
}

TEST(RtcpPacket, RefusesBadFraming) {
  std::vector<uint8_t> out;
  WritePli(1, 2, out);
  RtcpCompound c;
  EXPECT_FALSE(ParseRtcp(out.data(), 3, &c));
  std::vector<uint8_t> bad = out;
  bad[3] = 9;  // length past the datagram
  EXPECT_FALSE(ParseRtcp(bad.data(), bad.size(), &c));
  bad = out;
  bad[3] = 0;  // too short for a feedback packet
  EXPECT_FALSE(ParseRtcp(bad.data(), 4, &c));
  bad = out;
  bad[1] = 96;  // not an RTCP type
  EXPECT_FALSE(ParseRtcp(bad.data(), bad.size(), &c));
  std::vector<uint8_t> rr;
  WriteReceiverReport(1, {ReportBlock{}}, rr);
  rr[0] = 0x83;  // claims three blocks, holds one
  EXPECT_FALSE(ParseRtcp(rr.data(), rr.size(), &c));
  out.push_back(0x80);  // trailing garbage
  EXPECT_FALSE(ParseRtcp(out.data(), out.size(), &c));
}

}  // namespace
}  // namespace kiv_media
