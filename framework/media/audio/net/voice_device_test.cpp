// Voice through the library's audio components on the test double of Quietwell.dll: a
// tone captured by one device, sent as Opus RTP, received into a playback stream of
// another device and pulled by the render callback; the stream's encoded-data sinks,
// the transcoder and the pitch processor.
#include <cmath>
#include <cstring>
#include <mutex>
#include <vector>

#include "audio_source_port.h"
#include "dll_fixture.h"
#include "fake_quietwell_control.h"
#include "opus_voice_codec.h"
#include "remote_audio_packet.h"
#include "voice_signal.h"
#include "voice_stream_sender.h"

namespace tessarine_test {
namespace {

using voice_test::MeasureFrequency;
using voice_test::RmsDbfs;
using voice_test::Slice;
using voice_test::Tone;

constexpr size_t kFrame = tessarine::kVoiceFrameSamples;

// Captured PCM of the sending device, encoded and delivered to a stream of the receiver
// with a 20 ms clock.
struct Loop : tessarine::IAudioSendSink {
  tessarine::IAudioSourcePort* to = nullptr;
  int32_t stream = 0;
  int64_t now_ms = 0;
  tessarine::VoiceStreamSender sender{99, [this](const tessarine::RtpHeader& h, const uint8_t* p, size_t n) {
                                        tessarine::VoicePacket packet{h.sequence, h.timestamp, h.ssrc, p, n, now_ms};
                                        to->DeliverVoicePacket(stream, &packet);
                                      }};
  void OnCapturedPcm(const int16_t* pcm, int32_t samples) override { sender.OnPcm(pcm, static_cast<size_t>(samples)); }
  void OnPluginBlock(const void*) override {}
};

struct PacketSink : avcore::IAudioDataSink {
  std::mutex mutex;
  std::vector<std::vector<uint8_t>> packets;
  int32_t AVCORE_CALL OnAudioData(const void* data, int32_t length, void*) override {
    std::lock_guard<std::mutex> lock(mutex);
    const auto* p = static_cast<const uint8_t*>(data);
    packets.emplace_back(p, p + length);
    return length;
  }
};

WAVEFORMATEX Pcm(DWORD rate) {
  WAVEFORMATEX f{};
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = 1;
  f.nSamplesPerSec = rate;
  f.wBitsPerSample = 16;
  f.nBlockAlign = 2;
  f.nAvgBytesPerSec = rate * 2;
  return f;
}

class VoiceDeviceTest : public FrameworkTest {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(FrameworkTest::SetUp());
    ASSERT_TRUE(fake_.loaded());
    ASSERT_NO_FATAL_FAILURE(StartWithRoot(logs_.path(), FakeQuietwellDirectory()));
  }
  TempDir logs_;
  FakeQuietwell fake_;
};

// A 1 kHz tone into A's microphone comes out of B's render callback at 1000 Hz within
// 1 % and within 3 dB; B's encoded-data sink gets one remote-audio packet per frame
// (codec 1, 48 kHz, timestamps 20 ms apart), which the transcoder turns into 16 kHz PCM
// of the same tone. The speaker switch silences B; a removed stream plays nothing.
TEST_F(VoiceDeviceTest, ToneTravelsFromOneDeviceToAnother) {
  Held<avcore::IAudioDevice> a, b;
  Create(avcore::CLSID_AudioDevice, avcore::IID_IAudioDevice, &a);
  Create(avcore::CLSID_AudioDevice, avcore::IID_IAudioDevice, &b);
  Held<tessarine::IAudioSourcePort> port_a, port_b;
  ASSERT_EQ(a->QueryInterface(tessarine::IID_IAudioSourcePort, port_a.out()), S_OK);
  ASSERT_EQ(b->QueryInterface(tessarine::IID_IAudioSourcePort, port_b.out()), S_OK);
  ASSERT_EQ(a->StartCapture(0), S_OK);
  ASSERT_EQ(b->StartPlay(0), S_OK);
  const int32_t stream = b->CreateAudioStream(1, 0);
  ASSERT_NE(stream, 0);
  PacketSink encoded;
  ASSERT_EQ(b->AddRemoteEncodedDataSink(stream, &encoded, nullptr), S_OK);
  Loop loop;
  loop.to = port_b.p;
  loop.stream = stream;
  ASSERT_EQ(port_a->SetSendSink(&loop), S_OK);

  const auto tone = Tone(1000, 0.3, 48000 * 2);
  std::vector<int16_t> played;
  short out[1920];
  for (size_t at = 0; at + kFrame <= tone.size(); at += kFrame, loop.now_ms += 20) {
    ASSERT_TRUE(fake_.Capture(tone.data() + at, static_cast<int>(kFrame * 2)));
    ASSERT_EQ(fake_.Render(out), 1920);
    played.insert(played.end(), out, out + kFrame);
  }
  const auto tail = Slice(played, 24000, 48000);
  EXPECT_NEAR(MeasureFrequency(tail), 1000.0, 10.0);
  EXPECT_NEAR(RmsDbfs(tail), RmsDbfs(tone), 3.0);
  int32_t level = 0, packets = 0, lost = -1;
  ASSERT_EQ(b->GetStreamInfo(stream, &level, &packets, &lost), S_OK);
  EXPECT_EQ(packets, 100);
  EXPECT_EQ(lost, 0);
  EXPECT_GT(level, 50);

  ASSERT_EQ(encoded.packets.size(), 100u);
  tessarine::RemoteAudioPacketView first, second;
  ASSERT_TRUE(tessarine::ReadRemoteAudioPacket(encoded.packets[0].data(), encoded.packets[0].size(), &first));
  ASSERT_TRUE(tessarine::ReadRemoteAudioPacket(encoded.packets[1].data(), encoded.packets[1].size(), &second));
  EXPECT_EQ(first.header.codec, tessarine::kRemoteAudioCodecOpus);
  EXPECT_EQ(tessarine::RemoteAudioRate(first.header.rate_code), 48000);
  EXPECT_EQ(first.frame_count, 1u);
  EXPECT_EQ(second.header.timestamp_ms - first.header.timestamp_ms, 20u);

  Held<avcore::IAudioTranscoder> transcoder;
  Create(avcore::CLSID_AudioTranscoder, avcore::IID_IAudioTranscoder, &transcoder);
  WAVEFORMATEX cd = Pcm(44100);
  EXPECT_EQ(transcoder->Init(0, 0, &cd), E_INVALIDARG);
  WAVEFORMATEX wanted = Pcm(16000);
  ASSERT_EQ(transcoder->Init(0, 0, &wanted), S_OK);
  std::vector<int16_t> decoded;
  uint8_t buffer[4096];
  for (const auto& p : encoded.packets) {
    ASSERT_EQ(transcoder->Transcode(p.data(), static_cast<int32_t>(p.size())), S_OK);
    const int32_t n = transcoder->GetOutput(buffer, sizeof(buffer));
    ASSERT_EQ(n, 6 + 640);
    const auto* pcm = reinterpret_cast<const int16_t*>(buffer + 6);
    decoded.insert(decoded.end(), pcm, pcm + 320);
  }
  EXPECT_NEAR(MeasureFrequency(Slice(decoded, 8000, 16000), 16000), 1000.0, 10.0);
  auto other = encoded.packets[0];
  other[0] = static_cast<uint8_t>((other[0] & 0xF0) | 2);
  EXPECT_EQ(transcoder->Transcode(other.data(), static_cast<int32_t>(other.size())), S_FALSE);
  EXPECT_EQ(transcoder->GetOutput(buffer, sizeof(buffer)), 0);
  EXPECT_EQ(transcoder->Transcode(other.data(), 6), S_FALSE);

  ASSERT_EQ(b->SetSpeakerSwitch(0), S_OK);
  for (int i = 0; i < 5; ++i, loop.now_ms += 20) {
    ASSERT_TRUE(fake_.Capture(tone.data(), static_cast<int>(kFrame * 2)));
    ASSERT_EQ(fake_.Render(out), 1920);
  }
  EXPECT_LT(RmsDbfs(std::vector<int16_t>(out, out + kFrame)), -90);
  ASSERT_EQ(b->SetSpeakerSwitch(1), S_OK);
  ASSERT_EQ(port_a->SetSendSink(nullptr), S_OK);
  ASSERT_EQ(b->RemoveAudioStream(stream), S_OK);
  tessarine::VoicePacket late{1, 0, 99, encoded.packets[0].data() + 8, 4, 0};
  EXPECT_EQ(port_b->DeliverVoicePacket(stream, &late), E_INVALIDARG);
  ASSERT_EQ(fake_.Render(out), 1920);
  EXPECT_LT(RmsDbfs(std::vector<int16_t>(out, out + kFrame)), -90);
}

// The pitch processor: 1920-byte frames of 48 kHz mono in, Opus packets out (after the
// shifter's start-up), whose decoded tone is shifted by the set semitones; bad set-ups,
// frame sizes and values are refused.
TEST_F(VoiceDeviceTest, PitchProcessorShiftsAndEncodes) {
  Held<avcore::IAudioProcessor> processor;
  Create(avcore::CLSID_AudioProcessor, avcore::IID_IAudioProcessor, &processor);
  avcore::AudioProcessorSetup setup{};
  setup.input = Pcm(48000);
  setup.output = Pcm(16000);
  EXPECT_EQ(processor->Init(&setup, 0), E_INVALIDARG);
  setup.output = Pcm(48000);
  ASSERT_EQ(processor->Init(&setup, 0), S_OK);
  EXPECT_EQ(processor->GetFrameSize(), 1920);
  const int32_t semitones = 4, too_far = 40;
  EXPECT_EQ(processor->SetParam(avcore::kAudioParamPitch, &too_far, 4), E_INVALIDARG);
  EXPECT_EQ(processor->SetParam(4106, &semitones, 4), E_INVALIDARG);
  ASSERT_EQ(processor->SetParam(avcore::kAudioParamPitch, &semitones, 4), S_OK);
  int32_t read = 0;
  ASSERT_EQ(processor->GetParam(avcore::kAudioParamPitch, &read, 4), S_OK);
  EXPECT_EQ(read, 4);

  const auto tone = Tone(300, 0.3, 48000 * 2);
  tessarine::OpusVoiceDecoder decoder;
  std::vector<int16_t> decoded(kFrame), out;
  uint8_t packet[512];
  int packets = 0;
  for (size_t at = 0; at + kFrame <= tone.size(); at += kFrame) {
    avcore::AudioProcessBuffer buffer{tone.data() + at, 1920, 0, packet, sizeof(packet), -1};
    const HRESULT hr = processor->Process(&buffer);
    ASSERT_GE(hr, 0);
    if (buffer.output_length == 0) continue;
    ++packets;
    ASSERT_TRUE(decoder.Decode(packet, static_cast<size_t>(buffer.output_length), decoded.data()));
    out.insert(out.end(), decoded.begin(), decoded.end());
  }
  EXPECT_GE(packets, 90);
  const double expected = 300 * std::pow(2.0, 4 / 12.0);
  EXPECT_NEAR(MeasureFrequency(Slice(out, 9600, 48000)), expected, expected * 0.01);
  avcore::AudioProcessBuffer wrong{tone.data(), 1000, 0, packet, sizeof(packet), -1};
  EXPECT_EQ(processor->Process(&wrong), E_INVALIDARG);
  EXPECT_EQ(wrong.output_length, 0);
}

}  // namespace
}  // namespace tessarine_test
