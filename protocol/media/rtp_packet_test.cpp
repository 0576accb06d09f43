#include "protocol/media/rtp_packet.h"

#include <gtest/gtest.h>

namespace kiv_media {
namespace {

std::vector<uint8_t> Packet(size_t payload = 10) {
  std::vector<uint8_t> payload_bytes(payload, 0xAB);
  std::vector<uint8_t> out;
  WriteRtp(RtpHeader{true, 96, 65535, 0x01020304, 0xDEADBEEF}, payload_bytes.data(), payload, out);
  return out;
}

TEST(RtpPacket, WriteThenParseKeepsEveryField) {
  const std::vector<uint8_t> p = Packet();
  RtpView v;
  ASSERT_TRUE(ParseRtp(p.data(), p.size(), &v));
  EXPECT_TRUE(v.header.marker);
  EXPECT_EQ(v.header.payload_type, 96);
  EXPECT_EQ(v.header.sequence, 65535);
  EXPECT_EQ(v.header.timestamp, 0x01020304u);
  EXPECT_EQ(v.header.ssrc, 0xDEADBEEFu);
  EXPECT_EQ(v.payload_size, 10u);
  EXPECT_EQ(v.payload, p.data() + 12);
  EXPECT_TRUE(LooksLikeRtpOrRtcp(p.data(), p.size()));
  EXPECT_FALSE(LooksLikeRtcp(p.data(), p.size()));
}

TEST(RtpPacket, SkipsCsrcsAndExtensionAndStripsPadding) {
  std::vector<uint8_t> p = Packet(8);
  p[0] = 0x80 | 0x20 | 0x10 | 1;                    // padding, extension, one CSRC
  std::vector<uint8_t> extra = {0,    0,    0, 7,   // CSRC
                                0xBE, 0xDE, 0, 1,   // extension header, one word
                                1,    2,    3, 4};  // extension word
  p.insert(p.begin() + 12, extra.begin(), extra.end());
  p.back() = 3;  // last three payload bytes are padding
  RtpView v;
  ASSERT_TRUE(ParseRtp(p.data(), p.size(), &v));
  EXPECT_EQ(v.payload, p.data() + 24);
  EXPECT_EQ(v.payload_size, 5u);
}

TEST(RtpPacket, RefusesMalformedInput) {
  RtpView v;
  std::vector<uint8_t> p = Packet();
  EXPECT_FALSE(ParseRtp(p.data(), 11, &v)) << "shorter than the fixed header";
  EXPECT_FALSE(ParseRtp(nullptr, 0, &v));
  std::vector<uint8_t> bad = p;
  bad[0] = 0x40;
  EXPECT_FALSE(ParseRtp(bad.data(), bad.size(), &v)) << "version 1";
  bad = p;
  bad[0] = 0x8F;  // 15 CSRCs past the end
  EXPECT_FALSE(ParseRtp(bad.data(), bad.size(), &v));
  bad = p;
  bad[0] = 0x90;
  bad[14] = 0xFF;  // extension longer than the packet
  EXPECT_FALSE(ParseRtp(bad.data(), bad.size(), &v));
  bad = p;
  bad[0] = 0xA0;
  bad.back() = 0;
  EXPECT_FALSE(ParseRtp(bad.data(), bad.size(), &v)) << "zero padding count";
  bad.back() = 200;
  EXPECT_FALSE(ParseRtp(bad.data(), bad.size(), &v)) << "padding past the payload";
  bad = p;
  bad[1] = 0x80 | 72;  // RTCP SR type with the marker bit
  EXPECT_FALSE(ParseRtp(bad.data(), bad.size(), &v));
  const std::vector<uint8_t> huge = Packet(kMaxDatagram);
  EXPECT_FALSE(ParseRtp(huge.data(), huge.size(), &v)) << "oversized datagram";
}

}  // namespace
}  // namespace kiv_media
