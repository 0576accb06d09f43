#include "ring_buffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <thread>
#include <vector>

namespace {

std::vector<uint8_t> Sequence(size_t n, uint8_t start) {
  std::vector<uint8_t> v(n);
  std::iota(v.begin(), v.end(), start);
  return v;
}

// Verifies the all-or-nothing limits: a full write, one byte too many, empty and zero reads.
TEST(RingBufferTest, WriteAndReadAreAllOrNothing) {
  RingBuffer ring(16, "RingBuffer");
  EXPECT_EQ(ring.Filled(), 0);
  EXPECT_EQ(ring.Free(), 16);

  uint8_t byte = 0;
  EXPECT_EQ(ring.Read(&byte, 1), RingBuffer::kNotEnoughData);
  EXPECT_EQ(ring.Read(&byte, 0), RingBuffer::kOk);

  auto data = Sequence(16, 1);
  EXPECT_EQ(ring.Write(data.data(), 16), RingBuffer::kOk);
  EXPECT_EQ(ring.Free(), 0);
  EXPECT_EQ(ring.Write(&byte, 1), RingBuffer::kNoRoom);
  EXPECT_EQ(ring.Filled(), 16);

  std::vector<uint8_t> out(17, 0xEE);
  EXPECT_EQ(ring.Read(out.data(), 17), RingBuffer::kNotEnoughData);
  EXPECT_EQ(out[0], 0xEE);
  EXPECT_EQ(ring.Read(out.data(), 16), RingBuffer::kOk);
  EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 16), data);
  EXPECT_EQ(ring.Filled(), 0);
  EXPECT_EQ(ring.Free(), 16);
}

// Verifies that data written across the end of storage reads back in order, whole or in pieces.
TEST(RingBufferTest, WrappedDataKeepsItsOrder) {
  RingBuffer ring(10, "RingBuffer");
  auto first = Sequence(7, 0);
  std::vector<uint8_t> sink(7);
  ASSERT_EQ(ring.Write(first.data(), 7), RingBuffer::kOk);
  ASSERT_EQ(ring.Read(sink.data(), 7), RingBuffer::kOk);

  auto wrapped = Sequence(8, 100);  // 3 bytes to the end, 5 at the start
  ASSERT_EQ(ring.Write(wrapped.data(), 8), RingBuffer::kOk);
  std::vector<uint8_t> whole(8);
  ASSERT_EQ(ring.Read(whole.data(), 8), RingBuffer::kOk);
  EXPECT_EQ(whole, wrapped);

  ASSERT_EQ(ring.Write(wrapped.data(), 8), RingBuffer::kOk);
  std::vector<uint8_t> pieces;
  for (int i = 0; i < 4; ++i) {
    uint8_t two[2];
    ASSERT_EQ(ring.Read(two, 2), RingBuffer::kOk);
    pieces.insert(pieces.end(), two, two + 2);
  }
  EXPECT_EQ(pieces, wrapped);
}

// Verifies that a read larger than what is stored keeps the bytes for a later read that fits.
TEST(RingBufferTest, ShortReadKeepsStoredBytes) {
  RingBuffer ring(8, "RingBuffer");
  auto data = Sequence(3, 9);
  ASSERT_EQ(ring.Write(data.data(), 3), RingBuffer::kOk);
  std::vector<uint8_t> out(4, 0);
  EXPECT_EQ(ring.Read(out.data(), 4), RingBuffer::kNotEnoughData);
  EXPECT_EQ(ring.Filled(), 3);
  EXPECT_EQ(ring.Read(out.data(), 3), RingBuffer::kOk);
  EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + 3), data);
}

// Verifies that a write of exactly the bytes up to the end wraps the next write to the start.
TEST(RingBufferTest, ExactEndThenWrapAround) {
  RingBuffer ring(6, "RingBuffer");
  auto a = Sequence(6, 0);
  std::vector<uint8_t> out(6);
  for (int round = 0; round < 5; ++round) {
    ASSERT_EQ(ring.Write(a.data(), 4), RingBuffer::kOk);
    ASSERT_EQ(ring.Write(a.data() + 4, 2), RingBuffer::kOk);
    ASSERT_EQ(ring.Read(out.data(), 6), RingBuffer::kOk);
    EXPECT_EQ(out, a);
  }
}

// Verifies that bad arguments and Clear leave a consistent, empty ring.
TEST(RingBufferTest, NullPointersAndClear) {
  RingBuffer ring(8, "RingBuffer");
  EXPECT_EQ(ring.Write(nullptr, 4), RingBuffer::kNoRoom);
  EXPECT_EQ(ring.Filled(), 0);
  uint8_t data[5] = {1, 2, 3, 4, 5};
  ASSERT_EQ(ring.Write(data, 5), RingBuffer::kOk);
  EXPECT_EQ(ring.Read(nullptr, 2), RingBuffer::kNotEnoughData);
  EXPECT_EQ(ring.Write(data, 0xFFFFFFFFu), RingBuffer::kNoRoom);
  ring.Clear();
  EXPECT_EQ(ring.Filled(), 0);
  EXPECT_EQ(ring.Free(), 8);
  ASSERT_EQ(ring.Write(data, 5), RingBuffer::kOk);
  uint8_t out[5] = {};
  ASSERT_EQ(ring.Read(out, 5), RingBuffer::kOk);
  EXPECT_EQ(out[4], 5);
  EXPECT_EQ(ring.Name(), "RingBuffer");
}

// Verifies that one producer and one consumer thread move a byte stream without loss or reorder.
TEST(RingBufferTest, ProducerAndConsumerThreads) {
  RingBuffer ring(1000, "RingBuffer");
  constexpr int kChunks = 20000;
  constexpr int kChunk = 37;
  std::thread producer([&] {
    uint8_t value = 0;
    for (int i = 0; i < kChunks; ++i) {
      uint8_t chunk[kChunk];
      for (auto& b : chunk) b = value++;
      while (ring.Write(chunk, kChunk) != RingBuffer::kOk) std::this_thread::yield();
    }
  });
  uint8_t expected = 0;
  bool ordered = true;
  for (int i = 0; i < kChunks; ++i) {
    uint8_t chunk[kChunk];
    while (ring.Read(chunk, kChunk) != RingBuffer::kOk) std::this_thread::yield();
    for (uint8_t b : chunk) ordered = ordered && (b == expected++);
  }
  producer.join();
  EXPECT_TRUE(ordered);
  EXPECT_EQ(ring.Filled(), 0);
}

}  // namespace
