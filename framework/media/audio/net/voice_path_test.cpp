#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <vector>

#include "audio_stream_mixer.h"
#include "pitched_voice_encoder.h"
#include "remote_audio_packet.h"
#include "remote_audio_transcoder.h"
#include "voice_pcm_converter.h"
#include "voice_signal.h"
#include "voice_stream_receiver.h"
#include "voice_stream_sender.h"

namespace {

using namespace tessarine;
using namespace voice_test;

constexpr size_t kFrame = kVoiceFrameSamples;

struct Network {
  double loss = 0;
  int jitter_ms = 0;
  std::mt19937 rng{11};
  std::multimap<int64_t, std::vector<uint8_t>> in_flight;

  void Send(const RtpHeader& h, const uint8_t* p, size_t n, int64_t now) {
    if (std::bernoulli_distribution(loss)(rng)) return;
    const int64_t delay = 2 + std::uniform_int_distribution<int>(0, jitter_ms)(rng);
    std::vector<uint8_t> rtp;
    WriteRtpPacket(h, p, n, &rtp);
    in_flight.emplace(now + delay, std::move(rtp));
  }
  void Deliver(int64_t now, VoiceStreamReceiver* to) {
    while (!in_flight.empty() && in_flight.begin()->first <= now) {
      to->OnRtp(in_flight.begin()->second.data(), in_flight.begin()->second.size(), in_flight.begin()->first);
      in_flight.erase(in_flight.begin());
    }
  }
};

// Sends `input` through sender, network and receiver, one 20 ms frame per tick, and
// returns what the mixer played.
std::vector<int16_t> Carry(const std::vector<int16_t>& input, Network* net,
                           std::shared_ptr<VoiceStreamReceiver> receiver) {
  AudioStreamMixer mixer;
  const int32_t id = mixer.Create();
  mixer.Attach(id, receiver);
  int64_t now = 0;
  VoiceStreamSender sender(7, [&](const RtpHeader& h, const uint8_t* p, size_t n) { net->Send(h, p, n, now); });
  std::vector<int16_t> out;
  std::vector<int16_t> frame(kFrame);
  for (size_t at = 0; at + kFrame <= input.size(); at += kFrame, now += 20) {
    sender.OnPcm(input.data() + at, kFrame);
    net->Deliver(now, receiver.get());
    mixer.MixNext(frame.data(), kFrame);
    out.insert(out.end(), frame.begin(), frame.end());
  }
  return out;
}

// A 1 kHz tone comes out at 1000 Hz within 1 % and its level within 3 dB.
TEST(VoicePathTest, ToneKeepsFrequencyAndLevel) {
  const auto tone = Tone(1000, 0.3, 48000 * 3);
  Network net;
  auto out = Carry(tone, &net, std::make_shared<VoiceStreamReceiver>());
  const auto tail = Slice(out, 48000, 48000 * 2 - 2 * kFrame);
  EXPECT_NEAR(MeasureFrequency(tail), 1000.0, 10.0);
  EXPECT_NEAR(RmsDbfs(tail), RmsDbfs(tone), 3.0);
}

// 5 % loss with jitter: concealment leaves no gap longer than 60 ms.
TEST(VoicePathTest, LossLeavesNoLongGap) {
  const auto tone = Tone(440, 0.3, 48000 * 10);
  Network net;
  net.loss = 0.05;
  net.jitter_ms = 20;
  auto receiver = std::make_shared<VoiceStreamReceiver>();
  auto out = Carry(tone, &net, receiver);
  const auto tail = Slice(out, 48000, out.size() - 48000);
  EXPECT_GT(receiver->stats().lost, 10);
  EXPECT_LE(LongestGapMs(tail, RmsDbfs(tone)), 60.0);
  EXPECT_NEAR(MeasureFrequency(tail), 440.0, 4.4);
}

// 60 ms of jitter: the buffer grows and no packet is dropped late.
TEST(VoicePathTest, JitterGrowsTheBufferWithoutLateDrops) {
  const auto tone = Tone(1000, 0.3, 48000 * 10);
  Network net;
  net.jitter_ms = 60;
  auto receiver = std::make_shared<VoiceStreamReceiver>();
  auto out = Carry(tone, &net, receiver);
  EXPECT_GE(receiver->target_frames(), 4);
  EXPECT_EQ(receiver->stats().late, 0);
  EXPECT_EQ(receiver->stats().lost, 0);
  EXPECT_NEAR(MeasureFrequency(Slice(out, 48000 * 2, 48000 * 7)), 1000.0, 10.0);
}

// Two streams mixed: both tones are in the output.
TEST(VoicePathTest, MixerSumsStreams) {
  AudioStreamMixer mixer;
  auto ra = std::make_shared<VoiceStreamReceiver>(), rb = std::make_shared<VoiceStreamReceiver>();
  const int32_t a = mixer.Create(), b = mixer.Create();
  mixer.Attach(a, ra);
  mixer.Attach(b, rb);
  int64_t now = 0;
  VoiceStreamSender sa(
      1, [&](const RtpHeader& h, const uint8_t* p, size_t n) { ra->OnPacket(h.sequence, h.ssrc, p, n, now); });
  VoiceStreamSender sb(
      2, [&](const RtpHeader& h, const uint8_t* p, size_t n) { rb->OnPacket(h.sequence, h.ssrc, p, n, now); });
  const auto ta = Tone(500, 0.2, 48000 * 2), tb = Tone(1500, 0.2, 48000 * 2);
  std::vector<int16_t> out, frame(kFrame);
  for (size_t at = 0; at + kFrame <= ta.size(); at += kFrame, now += 20) {
    sa.OnPcm(ta.data() + at, kFrame);
    sb.OnPcm(tb.data() + at, kFrame);
    EXPECT_LE(mixer.MixNext(frame.data(), kFrame), 2u);
    out.insert(out.end(), frame.begin(), frame.end());
  }
  // Correlate the second second with each tone at its best phase.
  auto power_at = [&](double hz) {
    double re = 0, im = 0;
    for (size_t i = 48000; i < 96000; ++i) {
      re += out[i] * std::cos(2 * kPi * hz * i / 48000);
      im += out[i] * std::sin(2 * kPi * hz * i / 48000);
    }
    return std::sqrt(re * re + im * im) / 48000 / 32768 * 2;
  };
  EXPECT_NEAR(power_at(500), 0.2, 0.05);
  EXPECT_NEAR(power_at(1500), 0.2, 0.05);
  EXPECT_LT(power_at(1000), 0.01);
  AudioStreamInfo info;
  ASSERT_TRUE(mixer.Info(a, &info));
  EXPECT_EQ(info.packets, 100);
}

// The transcoder: Opus packets decode to 16 kHz PCM behind a 6-byte header holding the
// packet's timestamp; other codecs and malformed packets give nothing; output that
// does not fit stays pending.
TEST(RemoteAudioTranscoderTest, DecodesOpusTo16kHz) {
  RemoteAudioTranscoder transcoder;
  EXPECT_FALSE(transcoder.Init(2, 16000, 16));
  EXPECT_FALSE(transcoder.Init(1, 44100, 16));
  ASSERT_TRUE(transcoder.Init(1, 16000, 16));
  OpusVoiceEncoder encoder;
  const auto tone = Tone(1000, 0.3, 48000 * 2);
  std::vector<int16_t> pcm16;
  std::vector<uint8_t> opus, packet;
  uint8_t out[4096];
  for (size_t f = 0; f * kFrame < tone.size(); ++f) {
    ASSERT_TRUE(encoder.Encode(tone.data() + f * kFrame, &opus));
    ASSERT_TRUE(WriteRemoteAudioFromOpusRtp(static_cast<uint16_t>(f), static_cast<uint32_t>(f * 960), opus.data(),
                                            opus.size(), &packet));
    ASSERT_TRUE(transcoder.Transcode(packet.data(), packet.size()));
    EXPECT_EQ(transcoder.TakeOutput(out, 100), 0u);
    const size_t n = transcoder.TakeOutput(out, sizeof(out));
    ASSERT_EQ(n, 6u + 640);
    RemoteAudioPacketView v;
    ASSERT_TRUE(ReadRemoteAudioPacket(out, n, &v));
    EXPECT_EQ(v.header.timestamp_ms, f * 20);
    EXPECT_EQ(RemoteAudioRate(v.header.rate_code), 16000);
    const auto* s = reinterpret_cast<const int16_t*>(out + 6);
    pcm16.insert(pcm16.end(), s, s + 320);
  }
  EXPECT_NEAR(MeasureFrequency(Slice(pcm16, 16000, 16000), 16000), 1000.0, 10.0);
  EXPECT_NEAR(RmsDbfs(Slice(pcm16, 16000, 16000)), RmsDbfs(tone), 3.0);

  packet[0] = static_cast<uint8_t>((packet[0] & 0xF0) | 2);
  EXPECT_FALSE(transcoder.Transcode(packet.data(), packet.size()));
  EXPECT_EQ(transcoder.TakeOutput(out, sizeof(out)), 0u);
  EXPECT_FALSE(transcoder.Transcode(packet.data(), 6));
  transcoder.Uninit();
  EXPECT_FALSE(transcoder.ready());
}

// The pitch shifter moves a tone's frequency by the set number of semitones, and the
// encoder emits one Opus packet per 20 ms once the shifter's own delay is filled.
TEST(PitchedVoiceEncoderTest, ShiftsByTheSetSemitones) {
  for (int semitones : {4, -5, 12}) {
    PitchedVoiceEncoder shifter;
    ASSERT_TRUE(shifter.SetSemitones(semitones));
    const auto tone = Tone(300, 0.3, 48000 * 2);
    std::vector<int16_t> out;
    for (size_t at = 0; at + kFrame <= tone.size(); at += kFrame) shifter.Shift(tone.data() + at, kFrame, &out);
    const double expected = 300 * std::pow(2.0, semitones / 12.0);
    EXPECT_NEAR(MeasureFrequency(Slice(out, 9600, 48000)), expected, expected * 0.01) << semitones << " semitones";
  }
  PitchedVoiceEncoder encoder;
  EXPECT_FALSE(encoder.SetSemitones(13));
  ASSERT_TRUE(encoder.SetSemitones(3));
  const auto tone = Tone(300, 0.3, 48000);
  int packets = 0;
  std::vector<uint8_t> packet;
  for (size_t at = 0; at + kFrame <= tone.size(); at += kFrame) packets += encoder.Process(tone.data() + at, &packet);
  EXPECT_GE(packets, 40);
  EXPECT_LE(packets, 50);
}

}  // namespace

namespace {

using namespace tessarine;
using namespace voice_test;

// Plug-in PCM of another rate and two channels becomes 48 kHz mono: a tone keeps its
// frequency and level across odd block sizes; rates out of range are refused.
TEST(VoicePcmConverterTest, ResamplesAndDownmixes) {
  for (int rate : {8000, 16000, 44100, 48000}) {
    const auto mono = Tone(1000, 0.3, static_cast<size_t>(rate) * 2, rate);
    std::vector<int16_t> stereo;
    for (int16_t s : mono) {
      stereo.push_back(s);
      stereo.push_back(s);
    }
    VoicePcmConverter converter;
    std::vector<int16_t> out;
    for (size_t at = 0; at < mono.size(); at += 331) {
      const size_t n = std::min<size_t>(331, mono.size() - at);
      ASSERT_TRUE(converter.Convert(stereo.data() + 2 * at, n, rate, 2, &out));
    }
    EXPECT_NEAR(static_cast<double>(out.size()), 96000.0, 2.0) << rate;
    EXPECT_NEAR(MeasureFrequency(out), 1000.0, 2.0) << rate;
    EXPECT_NEAR(RmsDbfs(out), RmsDbfs(mono), 0.5) << rate;
    // No step at block joins: neighbouring samples of a 1 kHz tone differ by < 1/7 of
    // the amplitude at 48 kHz.
    int max_step = 0;
    for (size_t i = 1; i < out.size(); ++i) max_step = std::max(max_step, std::abs(out[i] - out[i - 1]));
    EXPECT_LT(max_step, 0.3 * 32767 * 2 * kPi * 1000 / 48000 * 1.1) << rate;
  }
  VoicePcmConverter converter;
  std::vector<int16_t> out;
  const int16_t pcm[4] = {};
  EXPECT_FALSE(converter.Convert(pcm, 4, 96000, 1, &out));
  EXPECT_FALSE(converter.Convert(pcm, 4, 16000, 3, &out));
  EXPECT_TRUE(out.empty());
}

}  // namespace
