#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <random>
#include <vector>

#include "voice_jitter_buffer.h"

namespace {

using namespace tessarine;

// A sender of numbered 20 ms packets through a network with delay jitter and loss, and a
// receiver that pops one frame every 20 ms; records what every slot played.
struct Playout {
  std::vector<VoiceFrameKind> kinds;
  std::vector<int> played;  // frame numbers played as packets, in order
  int max_target = 0;
  int final_target = 0;
  VoiceJitterStats stats;
};

Playout Simulate(VoiceJitterBuffer* buffer, int frames, int jitter_ms, double loss, uint32_t seed,
                 uint16_t first_sequence = 0, int tail_frames = 0) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> jitter(0, jitter_ms);
  std::bernoulli_distribution lost(loss);
  std::multimap<int64_t, int> arrivals;  // time -> frame
  for (int f = 0; f < frames; ++f) {
    if (lost(rng)) continue;
    arrivals.emplace(20 * f + 5 + jitter(rng), f);
  }
  Playout run;
  auto next = arrivals.begin();
  const int total = frames + tail_frames + 20;
  for (int slot = 0; slot < total; ++slot) {
    const int64_t now = 20 * slot;
    for (; next != arrivals.end() && next->first <= now; ++next) {
      const uint8_t payload[2] = {static_cast<uint8_t>(next->second), static_cast<uint8_t>(next->second >> 8)};
      buffer->Put(static_cast<uint16_t>(first_sequence + next->second), payload, 2, next->first);
    }
    VoiceFrame frame = buffer->Pop();
    run.kinds.push_back(frame.kind);
    if (frame.kind == VoiceFrameKind::kPacket) run.played.push_back(frame.payload[0] | frame.payload[1] << 8);
    run.max_target = std::max(run.max_target, buffer->target_frames());
  }
  run.final_target = buffer->target_frames();
  run.stats = buffer->stats();
  return run;
}

int CountKind(const Playout& run, VoiceFrameKind kind) {
  return static_cast<int>(std::count(run.kinds.begin(), run.kinds.end(), kind));
}

// Steady packets: everything plays in order, across the sequence wrap, and once the start-up
// period is over the target is the floor and the buffer sheds what start-up added.
TEST(VoiceJitterBufferTest, SteadyStreamPlaysInOrderAtTheFloor) {
  VoiceJitterBuffer buffer;
  Playout run = Simulate(&buffer, 500, 0, 0, 1, 65500);
  ASSERT_EQ(run.played.size(), 500u - run.stats.shed);
  EXPECT_TRUE(std::is_sorted(run.played.begin(), run.played.end()));
  EXPECT_EQ(run.final_target, 1);
  EXPECT_EQ(run.stats.late, 0);
  EXPECT_EQ(run.stats.lost, 0);
  EXPECT_LE(run.stats.shed, 2);
}

// 60 ms of jitter: the target grows to cover it, no packet arrives after its frame was
// given up, every packet plays, in order.
TEST(VoiceJitterBufferTest, GrowsUnderJitterWithoutLateDrops) {
  for (uint32_t seed = 1; seed <= 5; ++seed) {
    VoiceJitterBuffer buffer;
    Playout run = Simulate(&buffer, 1500, 60, 0, seed);
    EXPECT_GE(run.max_target, 4) << "seed " << seed;
    EXPECT_EQ(run.stats.late, 0) << "seed " << seed;
    EXPECT_EQ(run.stats.lost, 0) << "seed " << seed;
    EXPECT_EQ(run.played.size() + run.stats.shed, 1500u) << "seed " << seed;
    EXPECT_TRUE(std::is_sorted(run.played.begin(), run.played.end()));
  }
}

// When the jitter goes away the target comes back down to the floor after the history
// window and the buffer sheds frames to meet it.
TEST(VoiceJitterBufferTest, ShrinksWhenJitterEnds) {
  VoiceJitterBuffer buffer;
  Playout noisy = Simulate(&buffer, 500, 60, 0, 3);
  ASSERT_GE(noisy.final_target, 4);
  // Same buffer, calm packets continuing the sequence 12 s later.
  for (int f = 0; f < 1000; ++f) {
    const uint8_t payload[2] = {0, 0};
    const int64_t t = 20000 + 20 * f;
    buffer.Put(static_cast<uint16_t>(500 + f), payload, 2, t);
    buffer.Pop();
  }
  EXPECT_EQ(buffer.target_frames(), 1);
  EXPECT_LE(buffer.depth_frames(), 2);
}

// A playout that takes frames 7 % slower than the sender sends them (a device that keeps
// running short): the buffer sheds as fast as the frames pile up, so the delay stays near
// the target instead of growing until the buffer is full.
TEST(VoiceJitterBufferTest, SlowPlayoutKeepsTheDelayNearTheTarget) {
  VoiceJitterBuffer buffer;
  int deepest_late = 0;
  int f = 0;
  for (int slot = 0; slot < 3000; ++slot) {
    const int64_t now = slot * 214 / 10;
    for (; 20 * f <= now; ++f) {
      const uint8_t payload[2] = {0, 0};
      buffer.Put(static_cast<uint16_t>(f), payload, 2, 20 * f);
    }
    buffer.Pop();
    if (slot > 1000) deepest_late = std::max(deepest_late, buffer.depth_frames());
  }
  EXPECT_EQ(buffer.target_frames(), 1);
  EXPECT_LE(deepest_late, buffer.target_frames() + 3);
  EXPECT_EQ(buffer.stats().lost, 0);
}

// 5 % loss: every lost frame is given up in its slot (rebuilt from the next packet's
// redundancy when that one is there, or replaced by the frame concealed while playout
// held for it), so playout never stops; nothing arrives late.
TEST(VoiceJitterBufferTest, ConcealsLossWithoutHoles) {
  VoiceJitterBuffer buffer;
  Playout run = Simulate(&buffer, 2000, 10, 0.05, 7);
  EXPECT_GT(run.stats.lost, 50);
  EXPECT_GT(run.stats.recovered + run.stats.covered, run.stats.lost * 8 / 10);
  EXPECT_EQ(run.stats.late, 0);
  EXPECT_EQ(CountKind(run, VoiceFrameKind::kFec), run.stats.recovered);
  // After start-up every slot plays something: a packet, redundancy or concealment.
  auto first = std::find(run.kinds.begin(), run.kinds.end(), VoiceFrameKind::kPacket);
  EXPECT_EQ(std::count(first, run.kinds.end(), VoiceFrameKind::kSilence), 0);
}

// A sender that runs 30 % slow for its first second (a capture starting up) does not
// pile up as jitter (its 300 ms of drift would be a 16-frame target): the target stays
// within a few frames; a frame lost later is given up as soon as the next packet is there
// and rebuilt from it, not waited for.
TEST(VoiceJitterBufferTest, SlowStartIsNotJitter) {
  VoiceJitterBuffer buffer;
  std::map<int64_t, int> arrivals;
  for (int f = 0; f < 400; ++f) {
    if (f == 300) continue;  // lost
    arrivals.emplace(f < 50 ? 26 * f : 26 * 50 + 20 * (f - 50) + 3, f);
  }
  auto next = arrivals.begin();
  int max_target_after_start = 0;
  for (int slot = 0; slot < 460; ++slot) {
    for (; next != arrivals.end() && next->first <= 20 * slot; ++next) {
      const uint8_t p[1] = {1};
      buffer.Put(static_cast<uint16_t>(next->second), p, 1, next->first);
    }
    buffer.Pop();
    if (slot > 100) max_target_after_start = std::max(max_target_after_start, buffer.target_frames());
  }
  EXPECT_LE(max_target_after_start, 3);
  EXPECT_EQ(buffer.stats().lost, 1);
  EXPECT_EQ(buffer.stats().recovered + buffer.stats().covered, 1);
  EXPECT_EQ(buffer.stats().late, 0);
}

// Packets in bursts of three every 60 ms keep their order: the target covers the bursts,
// and a lost frame is not waited for (nothing ever arrived behind a later packet): it is
// rebuilt from the next packet at once, or, when it was the last of a burst, the frame
// concealed while the buffer ran dry takes its place; playout never holds for it.
TEST(VoiceJitterBufferTest, BurstsWithoutReorderingDoNotWaitForLosses) {
  VoiceJitterBuffer buffer;
  std::multimap<int64_t, int> arrivals;
  int dropped = 0;
  for (int f = 0; f < 600; ++f) {
    if (f > 100 && f % 25 == 10) {
      ++dropped;
      continue;
    }
    arrivals.emplace(60 * (f / 3) + 5, f);
  }
  auto next = arrivals.begin();
  int64_t held_before = -1;
  for (int slot = 0; slot < 600; ++slot) {
    for (; next != arrivals.end() && next->first <= 20 * slot; ++next) {
      const uint8_t p[1] = {1};
      buffer.Put(static_cast<uint16_t>(next->second), p, 1, next->first);
    }
    if (slot == 100) held_before = buffer.stats().held;
    buffer.Pop();
  }
  EXPECT_GE(buffer.target_frames(), 3);
  EXPECT_EQ(buffer.reorder_ms(), 0);
  EXPECT_EQ(buffer.stats().lost, dropped);
  EXPECT_EQ(buffer.stats().recovered + buffer.stats().covered, dropped);
  EXPECT_GT(buffer.stats().recovered, dropped / 2);
  EXPECT_EQ(buffer.stats().held, held_before) << "no playout hold after start-up";
  EXPECT_EQ(buffer.stats().late, 0);
}

// Duplicates and packets for frames already played are refused and counted; empty
// payloads are refused; a far jump in sequence (a new sender) starts over.
TEST(VoiceJitterBufferTest, RefusesDuplicatesLateAndEmpty) {
  VoiceJitterConfig config;
  config.startup_frames = 1;
  VoiceJitterBuffer buffer(config);
  const uint8_t p[1] = {1};
  EXPECT_TRUE(buffer.Put(10, p, 1, 0));
  EXPECT_FALSE(buffer.Put(10, p, 1, 1));
  EXPECT_FALSE(buffer.Put(11, p, 0, 1));
  EXPECT_FALSE(buffer.Put(11, nullptr, 1, 1));
  EXPECT_EQ(buffer.Pop().kind, VoiceFrameKind::kPacket);
  EXPECT_FALSE(buffer.Put(10, p, 1, 25));
  EXPECT_EQ(buffer.stats().duplicates, 1);
  EXPECT_EQ(buffer.stats().late, 1);
  // Nothing newer: playout holds (concealment) and the next packet still plays.
  EXPECT_EQ(buffer.Pop().kind, VoiceFrameKind::kConceal);
  EXPECT_TRUE(buffer.Put(11, p, 1, 45));
  EXPECT_EQ(buffer.Pop().kind, VoiceFrameKind::kPacket);
  EXPECT_TRUE(buffer.Put(40000, p, 1, 60));
  EXPECT_EQ(buffer.depth_frames(), 1);
  EXPECT_EQ(buffer.Pop().kind, VoiceFrameKind::kPacket);
}

}  // namespace
