#include "core/frames/remote_audio_packet.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using kiv_core::RemoteAudioHeader;
using kiv_core::RemoteAudioPacketError;

std::vector<uint8_t> Packet(int codec, int rateCode, int channelCode, uint32_t timestamp, int frames, int extension,
                            size_t payload) {
  std::vector<uint8_t> packet(6 + static_cast<size_t>(extension) + payload, 0xAB);
  packet[0] = static_cast<uint8_t>(codec | (rateCode << 6));
  packet[1] = static_cast<uint8_t>(channelCode);
  const uint32_t word =
      (timestamp & 0x07FFFFFFu) | (static_cast<uint32_t>(frames) << 27) | (static_cast<uint32_t>(extension) << 29);
  for (int i = 0; i < 4; ++i) packet[2 + i] = static_cast<uint8_t>(word >> (8 * i));
  return packet;
}

}  // namespace

// Codes, timestamp, frame count and extension come from their bits.
TEST(RemoteAudioPacketTest, ReadsHeaderFields) {
  const auto packet = Packet(1, 3, 1, 0x05ABCDEF, 3, 2, 9);
  RemoteAudioHeader header;
  ASSERT_EQ(kiv_core::ReadRemoteAudioHeader(packet.data(), static_cast<int32_t>(packet.size()), &header),
            RemoteAudioPacketError::kNone);
  EXPECT_EQ(header.codec, 1);
  EXPECT_EQ(header.sampleRate, 48000);
  EXPECT_EQ(header.channels, 2);
  EXPECT_EQ(header.timestampMs, 0x05ABCDEFu);
  EXPECT_EQ(header.frameCount, 3);
  EXPECT_EQ(header.extensionBytes, 2);
  EXPECT_EQ(kiv_core::RemoteAudioTimestamp(packet.data()), 0x05ABCDEFu);
}

// 6 bytes are too short, 7 give one 1-byte frame; three frames of 100 bytes give 33 each.
TEST(RemoteAudioPacketTest, SplitsFramesAndRejectsBadPackets) {
  RemoteAudioHeader header;
  auto six = Packet(1, 1, 0, 0, 1, 0, 0);
  EXPECT_EQ(kiv_core::ReadRemoteAudioHeader(six.data(), 6, &header), RemoteAudioPacketError::kTooShort);
  auto seven = Packet(1, 1, 0, 0, 1, 0, 1);
  ASSERT_EQ(kiv_core::ReadRemoteAudioHeader(seven.data(), 7, &header), RemoteAudioPacketError::kNone);
  auto frames = kiv_core::SplitRemoteAudioFrames(header, 7);
  EXPECT_EQ(frames.count, 1);
  EXPECT_EQ(frames.first, 6);
  EXPECT_EQ(frames.length, 1);

  auto three = Packet(1, 0, 0, 100, 3, 0, 100);
  ASSERT_EQ(kiv_core::ReadRemoteAudioHeader(three.data(), 106, &header), RemoteAudioPacketError::kNone);
  EXPECT_EQ(header.sampleRate, 8000);
  EXPECT_EQ(header.channels, 1);
  frames = kiv_core::SplitRemoteAudioFrames(header, 106);
  EXPECT_EQ(frames.count, 3);
  EXPECT_EQ(frames.length, 33);

  auto none = Packet(1, 0, 0, 0, 0, 0, 10);
  EXPECT_EQ(kiv_core::ReadRemoteAudioHeader(none.data(), 16, &header), RemoteAudioPacketError::kNoFrames);
  // An extension that reaches past the packet is refused rather than read beyond it.
  auto overrun = Packet(1, 0, 0, 0, 1, 7, 0);
  overrun.resize(8);
  EXPECT_EQ(kiv_core::ReadRemoteAudioHeader(overrun.data(), 8, &header), RemoteAudioPacketError::kExtensionOverrun);
  EXPECT_EQ(kiv_core::ReadRemoteAudioHeader(nullptr, 100, &header), RemoteAudioPacketError::kTooShort);
}
