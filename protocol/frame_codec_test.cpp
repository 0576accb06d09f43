#include "protocol/frame_codec.h"

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

}  // namespace
}  // namespace kiv_proto
