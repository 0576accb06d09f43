// Figures of the voice path. Run natively or under wine64:
//   voice_bench [frames]
// Prints the cost of encoding and decoding one 20 ms Opus frame (median and p95), the delay
// the codec adds and the delay of sender + jitter buffer (at its floor) + mixer on a
// steady 20 ms clock, both found by cross-correlating a noise burst sent and received.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

#include "audio_stream_mixer.h"
#include "opus_voice_codec.h"
#include "voice_stream_receiver.h"
#include "voice_stream_sender.h"

namespace {

using namespace tessarine;
using Clock = std::chrono::steady_clock;

constexpr size_t kFrame = kVoiceFrameSamples;
constexpr double kPi = 3.14159265358979323846;

std::vector<int16_t> Speechlike(size_t samples, uint32_t seed) {
  // Noise shaped by a slow envelope: bursts with pauses, like syllables.
  std::mt19937 rng(seed);
  std::normal_distribution<double> noise(0, 0.15);
  std::vector<int16_t> out(samples);
  double low = 0;
  for (size_t i = 0; i < samples; ++i) {
    const double envelope = 0.5 + 0.5 * std::sin(2 * kPi * 4.0 * i / 48000);
    low += 0.2 * (noise(rng) - low);
    out[i] = static_cast<int16_t>(std::clamp(envelope * low * 32767 * 3, -32767.0, 32767.0));
  }
  return out;
}

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[static_cast<size_t>(p * (v.size() - 1))];
}

// Lag (samples) at which `out` best matches `in`, searched in [0, max_lag].
size_t BestLag(const std::vector<int16_t>& in, const std::vector<int16_t>& out, size_t max_lag) {
  size_t best = 0;
  double best_score = -1e300;
  const size_t n = std::min(in.size(), out.size()) - max_lag;
  for (size_t lag = 0; lag <= max_lag; ++lag) {
    double score = 0;
    for (size_t i = 0; i < n; i += 2) score += static_cast<double>(in[i]) * out[i + lag];
    if (score > best_score) {
      best_score = score;
      best = lag;
    }
  }
  return best;
}

void CodecCost(int frames) {
  OpusVoiceEncoder encoder;
  OpusVoiceDecoder decoder;
  const auto input = Speechlike(kFrame * static_cast<size_t>(frames), 1);
  std::vector<uint8_t> packet;
  std::vector<int16_t> pcm(kFrame);
  std::vector<double> enc_us, dec_us;
  size_t bytes = 0;
  for (int f = 0; f < frames; ++f) {
    auto t0 = Clock::now();
    encoder.Encode(input.data() + static_cast<size_t>(f) * kFrame, &packet);
    auto t1 = Clock::now();
    decoder.Decode(packet.data(), packet.size(), pcm.data());
    auto t2 = Clock::now();
    enc_us.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    dec_us.push_back(std::chrono::duration<double, std::micro>(t2 - t1).count());
    bytes += packet.size();
  }
  std::printf("opus encode per 20 ms frame: median %.1f us, p95 %.1f us\n", Percentile(enc_us, 0.5),
              Percentile(enc_us, 0.95));
  std::printf("opus decode per 20 ms frame: median %.1f us, p95 %.1f us\n", Percentile(dec_us, 0.5),
              Percentile(dec_us, 0.95));
  std::printf("opus bitrate: %.1f kbit/s (with in-band FEC)\n", bytes * 8.0 / (frames * 0.020) / 1000.0);
}

// Sender -> receiver -> mixer on one 20 ms clock: the packet of frame n arrives before
// the render pull of the same tick, the tightest the path can be.
void PathDelay() {
  VoiceJitterConfig config;
  config.startup_frames = config.floor_frames;
  auto receiver = std::make_shared<VoiceStreamReceiver>(config);
  AudioStreamMixer mixer;
  const int32_t id = mixer.Create();
  mixer.Attach(id, receiver);
  int64_t now = 0;
  VoiceStreamSender sender(
      1, [&](const RtpHeader& h, const uint8_t* p, size_t n) { receiver->OnPacket(h.sequence, h.ssrc, p, n, now); });
  const auto input = Speechlike(48000 * 3, 2);
  std::vector<int16_t> output, frame(kFrame);
  for (size_t at = 0; at + kFrame <= input.size(); at += kFrame, now += 20) {
    sender.OnPcm(input.data() + at, kFrame);
    mixer.MixNext(frame.data(), kFrame);
    output.insert(output.end(), frame.begin(), frame.end());
  }
  const size_t lag = BestLag(input, output, 48000 / 5);
  std::printf(
      "codec + jitter buffer at its floor (target %d frame) + mixer, packet in the "
      "same 20 ms tick as the pull: %.1f ms\n",
      receiver->target_frames(), lag / 48.0);
}

void CodecDelay() {
  OpusVoiceEncoder encoder;
  OpusVoiceDecoder decoder;
  const auto input = Speechlike(48000 * 2, 3);
  std::vector<uint8_t> packet;
  std::vector<int16_t> output, pcm(kFrame);
  for (size_t at = 0; at + kFrame <= input.size(); at += kFrame) {
    encoder.Encode(input.data() + at, &packet);
    decoder.Decode(packet.data(), packet.size(), pcm.data());
    output.insert(output.end(), pcm.begin(), pcm.end());
  }
  std::printf("opus algorithmic delay: %.1f ms\n", BestLag(input, output, 48000 / 10) / 48.0);
}

}  // namespace

int main(int argc, char** argv) {
  const int frames = argc > 1 ? std::max(10, std::atoi(argv[1])) : 2000;
  CodecCost(frames);
  CodecDelay();
  PathDelay();
  return 0;
}
