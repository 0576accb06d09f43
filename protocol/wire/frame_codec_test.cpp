#include "protocol/wire/frame_codec.h"

#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

namespace kiv_proto {
namespace {

// Frames fed one byte at a time come out whole and in order.
TEST(FrameCodec, ReassemblesFramesFromSingleBytes) {
  const std::string stream = EncodeFrame("{\"a\":1}") + EncodeFrame("x") + EncodeFrame(std::string(70000, 'z'));
  FrameDecoder dec;
  std::vector<std::string> got;
  std::string payload;
  for (char c : stream) {
    dec.Feed(&c, 1);
    while (dec.Next(&payload) == FrameDecoder::Status::kFrame) got.push_back(payload);
  }
  ASSERT_EQ(got.size(), 3u);
  EXPECT_EQ(got[0], "{\"a\":1}");
  EXPECT_EQ(got[1], "x");
  EXPECT_EQ(got[2], std::string(70000, 'z'));
  EXPECT_EQ(dec.buffered(), 0u);
}

// A truncated frame is held back until its last byte arrives.
TEST(FrameCodec, TruncatedFrameWaits) {
  const std::string frame = EncodeFrame("hello");
  FrameDecoder dec;
  std::string payload;
  dec.Feed(frame.data(), 3);
  EXPECT_EQ(dec.Next(&payload), FrameDecoder::Status::kNeedMore);
  dec.Feed(frame.data() + 3, frame.size() - 4);
  EXPECT_EQ(dec.Next(&payload), FrameDecoder::Status::kNeedMore);
  dec.Feed(frame.data() + frame.size() - 1, 1);
  ASSERT_EQ(dec.Next(&payload), FrameDecoder::Status::kFrame);
  EXPECT_EQ(payload, "hello");
}

// Lengths of zero or above the limit fail the stream for good; the limit itself passes.
TEST(FrameCodec, RejectsBadLengthsAndStaysFailed) {
  std::string payload;
  FrameDecoder zero;
  const char z[4] = {0, 0, 0, 0};
  zero.Feed(z, 4);
  EXPECT_EQ(zero.Next(&payload), FrameDecoder::Status::kBadLength);

  FrameDecoder big(16);
  const std::string too_long = EncodeFrame(std::string(17, 'a'));
  big.Feed(too_long.data(), 4);  // the header alone is enough to refuse
  EXPECT_EQ(big.Next(&payload), FrameDecoder::Status::kBadLength);
  const std::string fine = EncodeFrame("ok");
  big.Feed(fine.data(), fine.size());
  EXPECT_EQ(big.Next(&payload), FrameDecoder::Status::kBadLength);
  EXPECT_TRUE(big.failed());

  FrameDecoder limit(16);
  const std::string exact = EncodeFrame(std::string(16, 'b'));
  limit.Feed(exact.data(), exact.size());
  EXPECT_EQ(limit.Next(&payload), FrameDecoder::Status::kFrame);

  FrameDecoder huge;
  const unsigned char ff[4] = {0xff, 0xff, 0xff, 0xff};
  huge.Feed(reinterpret_cast<const char*>(ff), 4);
  EXPECT_EQ(huge.Next(&payload), FrameDecoder::Status::kBadLength);
}

// Lengths whose bytes have the top bit set are read unsigned, in network order.
TEST(FrameCodec, LengthBytesAreUnsignedBigEndian) {
  for (size_t n : {size_t{0x7F}, size_t{0x80}, size_t{0xFF}, size_t{0x100}, size_t{0x8080}, size_t{0xFFFF},
                   size_t{0x10000}, size_t{0x80FF80}}) {
    const std::string payload(n, 'p');
    const std::string frame = EncodeFrame(payload);
    ASSERT_EQ(frame.size(), n + kFrameHeaderBytes);
    EXPECT_EQ(static_cast<unsigned char>(frame[0]), (n >> 24) & 0xFF);
    EXPECT_EQ(static_cast<unsigned char>(frame[3]), n & 0xFF);
    FrameDecoder dec(0x1000000);
    dec.Feed(frame.data(), frame.size());
    std::string got;
    ASSERT_EQ(dec.Next(&got), FrameDecoder::Status::kFrame) << n;
    EXPECT_EQ(got.size(), n);
  }
}

// Several frames in one chunk come out in order; a frame split across chunks at every
// position of its header and body reads the same; the buffer empties once all are taken.
TEST(FrameCodec, FramesAcrossChunkBoundaries) {
  std::string stream;
  for (int i = 1; i <= 5; ++i) stream += EncodeFrame(std::string(static_cast<size_t>(i) * 3, char('a' + i)));
  for (size_t cut = 0; cut <= stream.size(); ++cut) {
    FrameDecoder dec;
    std::vector<std::string> got;
    std::string payload;
    dec.Feed(stream.data(), cut);
    while (dec.Next(&payload) == FrameDecoder::Status::kFrame) got.push_back(payload);
    dec.Feed(stream.data() + cut, stream.size() - cut);
    while (dec.Next(&payload) == FrameDecoder::Status::kFrame) got.push_back(payload);
    ASSERT_EQ(got.size(), 5u) << cut;
    for (int i = 1; i <= 5; ++i) EXPECT_EQ(got[i - 1], std::string(static_cast<size_t>(i) * 3, char('a' + i)));
    EXPECT_EQ(dec.buffered(), 0u);
  }
}

// A lowered limit applies to a frame already partly buffered; a raised one lets a frame
// through that the old one would have refused. Feeding a failed decoder buffers nothing.
TEST(FrameCodec, LimitChangesApplyToBufferedFrames) {
  const std::string frame = EncodeFrame(std::string(100, 'x'));
  std::string payload;
  FrameDecoder lowered;
  lowered.Feed(frame.data(), 10);
  EXPECT_EQ(lowered.Next(&payload), FrameDecoder::Status::kNeedMore);
  lowered.set_max_payload(99);
  EXPECT_EQ(lowered.Next(&payload), FrameDecoder::Status::kBadLength);
  lowered.Feed(frame.data(), frame.size());
  EXPECT_EQ(lowered.buffered(), 0u);

  FrameDecoder raised(50);
  raised.set_max_payload(100);
  raised.Feed(frame.data(), frame.size());
  ASSERT_EQ(raised.Next(&payload), FrameDecoder::Status::kFrame);
  EXPECT_EQ(payload.size(), 100u);
}

// Taking frames as they come keeps the buffer within a frame or two, however long the stream.
TEST(FrameCodec, BufferStaysBoundedOnALongStream) {
  FrameDecoder dec;
  const std::string frame = EncodeFrame(std::string(1000, 'y'));
  std::string payload;
  size_t most = 0;
  for (int i = 0; i < 5000; ++i) {
    dec.Feed(frame.data(), 700);
    dec.Feed(frame.data() + 700, frame.size() - 700);
    while (dec.Next(&payload) == FrameDecoder::Status::kFrame) {
    }
    most = std::max(most, dec.buffered());
  }
  EXPECT_LE(most, frame.size());
  EXPECT_EQ(dec.buffered(), 0u);
}

}  // namespace
}  // namespace kiv_proto
