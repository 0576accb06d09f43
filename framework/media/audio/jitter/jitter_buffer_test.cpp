#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <random>
#include <vector>

#include "voice_arrival_traces.h"
#include "voice_jitter_buffer.h"
#include "voice_time_scaler.h"

namespace {

using namespace tessarine;

// A sender of numbered 20 ms packets through a network with delay jitter and loss, and a
// receiver that plays 20 ms every 20 ms, following the pace of each frame; records what
// every pop gave.
struct Playout {
  std::vector<VoiceFrameKind> kinds;  // per pop
  std::vector<VoicePace> paces;
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
  int queued = 0;  // samples the playout holds; it follows the pace of each frame
  for (int slot = 0; slot < total; ++slot) {
    const int64_t now = 20 * slot;
    for (; next != arrivals.end() && next->first <= now; ++next) {
      const uint8_t payload[2] = {static_cast<uint8_t>(next->second), static_cast<uint8_t>(next->second >> 8)};
      buffer->Put(static_cast<uint16_t>(first_sequence + next->second), payload, 2, next->first);
    }
    for (; queued < 960; queued += jitter_test::PaceSamples(run.paces.back())) {
      VoiceFrame frame = buffer->Pop();
      run.kinds.push_back(frame.kind);
      run.paces.push_back(frame.pace);
      if (frame.kind == VoiceFrameKind::kPacket) run.played.push_back(frame.payload[0] | frame.payload[1] << 8);
    }
    queued -= 960;
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

// When the jitter goes away the target comes back down to the floor and the playout,
// following the pace, comes down to it.
TEST(VoiceJitterBufferTest, ShrinksWhenJitterEnds) {
  VoiceJitterBuffer buffer;
  Playout noisy = Simulate(&buffer, 500, 60, 0, 3);
  ASSERT_GE(noisy.final_target, 4);
  // Same buffer, calm packets continuing the sequence 12 s later.
  int queued = 0;
  for (int f = 0; f < 1000; ++f) {
    const uint8_t payload[2] = {0, 0};
    const int64_t t = 20000 + 20 * f;
    buffer.Put(static_cast<uint16_t>(500 + f), payload, 2, t);
    while (queued < 960) queued += jitter_test::PaceSamples(buffer.Pop().pace);
    queued -= 960;
  }
  EXPECT_EQ(buffer.target_frames(), 1);
  EXPECT_LE(buffer.depth_frames(), 2);
}

// A playout that takes frames 7 % slower than the sender sends them (a device that keeps
// running short): the pace sheds as fast as the frames pile up, so the delay stays near
// the target instead of growing until the buffer is full.
TEST(VoiceJitterBufferTest, SlowPlayoutKeepsTheDelayNearTheTarget) {
  VoiceJitterBuffer buffer;
  int deepest_late = 0;
  int f = 0;
  int queued = 0;
  for (int slot = 0; slot < 3000; ++slot) {
    const int64_t now = slot * 214 / 10;
    for (; 20 * f <= now; ++f) {
      const uint8_t payload[2] = {0, 0};
      buffer.Put(static_cast<uint16_t>(f), payload, 2, 20 * f);
    }
    while (queued < 960) queued += jitter_test::PaceSamples(buffer.Pop().pace);
    queued -= 960;
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

// A playout clock 8 % slower or faster than the sender's (10 ms capture): the pace keeps
// the offset within a frame of the target, so the queue neither stands deeper than the
// target (slow) nor runs dry again and again (fast).
TEST(VoiceJitterBufferTest, DriftLeavesNoStandingExcess) {
  for (double ratio : {1.08, 0.92}) {
    VoiceJitterBuffer buffer;
    const jitter_test::ArrivalTrace trace = jitter_test::WithPlayoutRate(jitter_test::CaptureBursts(10, 120, 4), ratio);
    const jitter_test::PlayoutFigures run = jitter_test::Play(trace, &buffer);
    SCOPED_TRACE(trace.name);
    EXPECT_LE(jitter_test::Percentile(run.excess_ms, 0.5), 20.0);
    std::vector<int> over(run.depth.size());
    for (size_t i = 0; i < over.size(); ++i) over[i] = run.depth[i] - run.target[i];
    EXPECT_LE(jitter_test::Percentile(over, 0.5), 1);
    EXPECT_LE(jitter_test::Percentile(over, 0.95), 2);
    EXPECT_LE(run.underruns, run.pops / 200);
    EXPECT_EQ(run.lost + run.late, 0);
  }
}

// Capture bursts of 64 ms (three or four frames at once): the target covers them, and the
// playout settles without standing excess or repeated underruns.
TEST(VoiceJitterBufferTest, CaptureBurstsAreCoveredWithoutExcess) {
  VoiceJitterBuffer buffer;
  const jitter_test::PlayoutFigures run = jitter_test::Play(jitter_test::CaptureBursts(64, 120, 2), &buffer);
  EXPECT_GE(jitter_test::Percentile(run.target, 0.5), 3);
  EXPECT_LE(jitter_test::Percentile(run.excess_ms, 0.5), 20.0);
  EXPECT_LE(run.underruns, run.pops / 200);
  EXPECT_EQ(run.lost + run.late, 0);
}

// A rare stall (200 ms without packets, then all of them at once) is concealed while it
// lasts; the target does not cover it for the seconds after it, and the offset it leaves
// is shed.
TEST(VoiceJitterBufferTest, RareStallIsConcealedNotCovered) {
  VoiceJitterBuffer buffer;
  const jitter_test::ArrivalTrace trace = jitter_test::WithStalls(jitter_test::CaptureBursts(10, 24, 9), 20000, 200);
  const jitter_test::PlayoutFigures run = jitter_test::Play(trace, &buffer, 23000);
  EXPECT_GT(run.underruns, 0);
  EXPECT_LE(buffer.target_frames(), 2);
  EXPECT_LE(jitter_test::Percentile(run.excess_ms, 0.5), 20.0);
  EXPECT_EQ(run.lost + run.late, 0);
}

// A sender of 10 000 packets a second with sequence numbers all over the place and of
// every size: what the buffer keeps stays bounded.
TEST(VoiceJitterBufferTest, FloodKeepsMemoryBounded) {
  VoiceJitterBuffer buffer;
  std::mt19937 rng(5);
  std::uniform_int_distribution<int> jump(-200, 200);
  std::vector<uint8_t> payload(1200, 7);
  uint16_t sequence = 0;
  for (int64_t us = 0; us < 3000000; us += 100) {
    sequence = static_cast<uint16_t>(sequence + (us % 1000 == 0 ? jump(rng) : 1));
    buffer.Put(sequence, payload.data(), 1 + static_cast<size_t>(us / 100) % payload.size(), us / 1000);
    if (us % 20000 == 0) buffer.Pop();
    ASSERT_LE(buffer.queued_packets(), 2u * VoiceJitterConfig{}.max_frames);
    ASSERT_LE(buffer.remembered_arrivals(), 64u + VoiceJitterConfig{}.neighbours);
  }
}

// The time scaler on a 200 Hz tone (a period of 240 samples): shortened and lengthened by
// one period the tone goes on without a seam; a quiet frame is dropped only when allowed.
TEST(VoiceTimeScalerTest, ShortensAndLengthensByAPeriod) {
  std::vector<int16_t> tone(2000);
  for (size_t i = 0; i < tone.size(); ++i)
    tone[i] = static_cast<int16_t>(8000 * std::sin(2 * 3.14159265358979 * static_cast<double>(i) / 240.0));
  for (VoicePace pace : {VoicePace::kFaster, VoicePace::kSlower}) {
    std::vector<int16_t> out;
    const size_t n = VoiceTimeScaler::Append(pace, tone.data(), true, &out);
    ASSERT_EQ(n, pace == VoicePace::kFaster ? 720u : 1200u);
    ASSERT_EQ(out.size(), n);
    int worst = 0;
    for (size_t i = 0; i < n; ++i) worst = std::max(worst, std::abs(out[i] - tone[i % 240]));
    EXPECT_LE(worst, 40) << static_cast<int>(pace);
  }
  std::vector<int16_t> quiet(960, 20), out;
  EXPECT_EQ(VoiceTimeScaler::Append(VoicePace::kFaster, quiet.data(), true, &out), 0u);
  EXPECT_LT(VoiceTimeScaler::Append(VoicePace::kFaster, quiet.data(), false, &out), 960u);
  EXPECT_EQ(VoiceTimeScaler::Append(VoicePace::kNormal, tone.data(), true, &out), 960u);
}

}  // namespace
