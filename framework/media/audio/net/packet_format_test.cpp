#include <gtest/gtest.h>

#include <vector>

#include "remote_audio_packet.h"
#include "rtp_opus_packet.h"

namespace {

using namespace tessarine;

std::vector<uint8_t> Packet(uint8_t b0, uint8_t b1, uint32_t word, size_t payload) {
  std::vector<uint8_t> p = {b0,
                            b1,
                            static_cast<uint8_t>(word),
                            static_cast<uint8_t>(word >> 8),
                            static_cast<uint8_t>(word >> 16),
                            static_cast<uint8_t>(word >> 24)};
  for (size_t i = 0; i < payload; ++i) p.push_back(static_cast<uint8_t>(i));
  return p;
}

// Reading: the header's codes and fields, equal frames 20 ms apart, the remainder
// ignored; too short, frame count 0 and an extension that leaves no frame are refused.
TEST(RemoteAudioPacketTest, ReadsHeaderAndSplitsFrames) {
  RemoteAudioPacketView v;
  EXPECT_FALSE(ReadRemoteAudioPacket(Packet(0xC1, 0, 1u << 27, 0).data(), 6, &v));
  auto seven = Packet(0xC1, 0, 1u << 27 | 1000, 1);
  ASSERT_TRUE(ReadRemoteAudioPacket(seven.data(), seven.size(), &v));
  EXPECT_EQ(v.frame_count, 1u);
  EXPECT_EQ(v.frame_bytes, 1u);
  EXPECT_EQ(v.header.codec, 1);
  EXPECT_EQ(RemoteAudioRate(v.header.rate_code), 48000);
  EXPECT_EQ(v.header.timestamp_ms, 1000u);

  auto three = Packet(0x42, 1, 3u << 27 | 2u << 29 | 5000, 2 + 100);
  ASSERT_TRUE(ReadRemoteAudioPacket(three.data(), three.size(), &v));
  EXPECT_EQ(v.header.codec, 2);
  EXPECT_EQ(RemoteAudioRate(v.header.rate_code), 16000);
  EXPECT_EQ(v.header.channel_code, 1);
  EXPECT_EQ(v.extension_bytes, 2u);
  EXPECT_EQ(v.frame_bytes, 33u);
  EXPECT_EQ(v.frame(2) - three.data(), 6 + 2 + 66);
  EXPECT_EQ(v.frame_timestamp(2), 5040u);

  auto no_count = Packet(0xC1, 0, 1000, 10);
  EXPECT_FALSE(ReadRemoteAudioPacket(no_count.data(), no_count.size(), &v));
  auto all_extension = Packet(0xC1, 0, 1u << 27 | 7u << 29, 7);
  EXPECT_FALSE(ReadRemoteAudioPacket(all_extension.data(), all_extension.size(), &v));
  auto short_frames = Packet(0xC1, 0, 3u << 27, 2);
  EXPECT_FALSE(ReadRemoteAudioPacket(short_frames.data(), short_frames.size(), &v));
}

// Writing: what is written reads back; unequal, empty or too many frames, a long
// extension and codes out of range are refused; the timestamp wraps at 27 bits.
TEST(RemoteAudioPacketTest, WritesWhatReadsBack) {
  RemoteAudioHeader h;
  h.timestamp_ms = (1u << 27) + 77;
  const uint8_t ext[3] = {9, 8, 7};
  std::vector<uint8_t> out;
  ASSERT_TRUE(WriteRemoteAudioPacket(h, ext, 3, {{1, 2}, {3, 4}, {5, 6}}, &out));
  ASSERT_EQ(out.size(), 6u + 3 + 6);
  RemoteAudioPacketView v;
  ASSERT_TRUE(ReadRemoteAudioPacket(out.data(), out.size(), &v));
  EXPECT_EQ(v.header.timestamp_ms, 77u);
  EXPECT_EQ(v.frame_count, 3u);
  EXPECT_EQ(v.extension[2], 7);
  EXPECT_EQ(v.frame(1)[1], 4);

  EXPECT_FALSE(WriteRemoteAudioPacket(h, nullptr, 0, {{1, 2}, {3}}, &out));
  EXPECT_FALSE(WriteRemoteAudioPacket(h, nullptr, 0, {}, &out));
  EXPECT_FALSE(WriteRemoteAudioPacket(h, nullptr, 0, {{1}, {2}, {3}, {4}}, &out));
  EXPECT_FALSE(WriteRemoteAudioPacket(h, nullptr, 0, {{}}, &out));
  const uint8_t long_ext[8] = {};
  EXPECT_FALSE(WriteRemoteAudioPacket(h, long_ext, 8, {{1}}, &out));
  h.codec = 16;
  EXPECT_FALSE(WriteRemoteAudioPacket(h, nullptr, 0, {{1}}, &out));

  const uint8_t opus[4] = {0xF8, 1, 2, 3};
  ASSERT_TRUE(WriteRemoteAudioFromOpusRtp(0x1234, 48000 * 3, opus, 4, &out));
  ASSERT_TRUE(ReadRemoteAudioPacket(out.data(), out.size(), &v));
  EXPECT_EQ(v.header.codec, kRemoteAudioCodecOpus);
  EXPECT_EQ(v.header.timestamp_ms, 3000u);
  EXPECT_EQ(v.extension[0] | v.extension[1] << 8, 0x1234);
  EXPECT_EQ(v.frame_bytes, 4u);
}

// RTP: a written packet reads back; CSRCs, a header extension and padding are skipped;
// a wrong version, padding or extension running past the end, an empty payload and
// (for Opus) another payload type are refused.
TEST(RtpOpusPacketTest, RoundTripAndMalformedPackets) {
  RtpHeader h;
  h.sequence = 65535;
  h.timestamp = 0xDEADBEEF;
  h.ssrc = 42;
  h.marker = true;
  const uint8_t payload[3] = {1, 2, 3};
  std::vector<uint8_t> out;
  WriteRtpPacket(h, payload, 3, &out);
  RtpPacketView v;
  ASSERT_TRUE(ReadOpusRtpPacket(out.data(), out.size(), &v));
  EXPECT_EQ(v.header.sequence, 65535);
  EXPECT_EQ(v.header.timestamp, 0xDEADBEEFu);
  EXPECT_EQ(v.header.ssrc, 42u);
  EXPECT_TRUE(v.header.marker);
  EXPECT_EQ(v.payload_bytes, 3u);

  // One CSRC, a one-word extension, two bytes of padding.
  std::vector<uint8_t> full = {0xB1, 111,  0, 1, 0, 0, 0, 0, 0, 0, 0, 9, 0, 0, 0, 5,  // CSRC
                               0xBE, 0xDE, 0, 1, 1, 2, 3, 4,                          // extension
                               7,    8,    9, 0, 2};                                  // payload + padding
  ASSERT_TRUE(ReadRtpPacket(full.data(), full.size(), &v));
  EXPECT_EQ(v.payload_bytes, 3u);
  EXPECT_EQ(v.payload[0], 7);

  auto bad = full;
  bad.back() = 40;  // padding longer than the payload
  EXPECT_FALSE(ReadRtpPacket(bad.data(), bad.size(), &v));
  bad = full;
  bad[19] = 9;  // extension longer than the packet
  EXPECT_FALSE(ReadRtpPacket(bad.data(), bad.size(), &v));
  bad = out;
  bad[0] = 0x40;  // version 1
  EXPECT_FALSE(ReadRtpPacket(bad.data(), bad.size(), &v));
  WriteRtpPacket(h, nullptr, 0, &out);
  EXPECT_FALSE(ReadRtpPacket(out.data(), out.size(), &v));
  h.payload_type = 96;
  WriteRtpPacket(h, payload, 3, &out);
  EXPECT_TRUE(ReadRtpPacket(out.data(), out.size(), &v));
  EXPECT_FALSE(ReadOpusRtpPacket(out.data(), out.size(), &v));
}

}  // namespace
