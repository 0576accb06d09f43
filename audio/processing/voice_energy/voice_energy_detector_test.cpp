#include "voice_energy_detector.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "resampler.h"

namespace {

struct Result {
  int voice = 0;
  int confirmed = 0;
  float energy = 0.0f;
};

std::vector<Result> Feed(VoiceEnergyDetector* d, const std::vector<int16_t>& signal) {
  std::vector<Result> out;
  for (size_t start = 0; start + 160 <= signal.size(); start += 160) {
    Result r;
    d->Process(&signal[start], &r.voice, &r.confirmed, &r.energy);
    out.push_back(r);
  }
  return out;
}

std::vector<int16_t> Tone(double hz, double amplitude, int samples) {
  std::vector<int16_t> s(samples);
  for (int i = 0; i < samples; ++i)
    s[i] = static_cast<int16_t>(amplitude * std::sin(2 * 3.14159265358979 * hz * i / 8000.0));
  return s;
}

std::vector<int16_t> Noise(double rms, int samples, unsigned seed, bool pink) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> n(0.0, 1.0);
  std::vector<int16_t> s(samples);
  double b0 = 0, b1 = 0, b2 = 0;
  for (int i = 0; i < samples; ++i) {
    double x = n(rng);
    if (pink) {  // three-pole approximation of a 1/f spectrum
      b0 = 0.99765 * b0 + x * 0.0990460;
      b1 = 0.96300 * b1 + x * 0.2965164;
      b2 = 0.57000 * b2 + x * 1.0526913;
      x = (b0 + b1 + b2 + x * 0.1848) / 3.0;
    }
    s[i] = static_cast<int16_t>(std::max(-32768.0, std::min(32767.0, x * rms)));
  }
  return s;
}

// Speech from espeak-ng at 22050 Hz, brought to 48 kHz and decimated by six as the audio
// core feeds its detectors. Empty when espeak-ng is not installed.
std::vector<int16_t> Speech(const std::string& text) {
  const std::string command = "espeak-ng --stdout -v en -s 150 \"" + text + "\" 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return {};
  std::vector<uint8_t> bytes;
  uint8_t buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
  pclose(pipe);
  if (bytes.size() < 44) return {};
  std::vector<double> at22k;
  for (size_t i = 44; i + 1 < bytes.size(); i += 2) {
    at22k.push_back(static_cast<int16_t>(bytes[i] | (bytes[i + 1] << 8)));
  }
  std::vector<int16_t> at48k;
  for (size_t j = 0;; ++j) {
    const double t = j * 22050.0 / 48000.0;
    const size_t i = static_cast<size_t>(t);
    if (i + 1 >= at22k.size()) break;
    const double f = t - i;
    at48k.push_back(static_cast<int16_t>(at22k[i] * (1 - f) + at22k[i + 1] * f));
  }
  at48k.resize(at48k.size() / 960 * 960);
  HoldFilterState* state = Resampler::NewHoldFilterState();
  std::vector<int16_t> at8k(at48k.size() / 6);
  for (size_t f = 0; f < at48k.size() / 960; ++f) Resampler::Down6(state, &at48k[f * 960], 960, &at8k[f * 160]);
  Resampler::FreeState(state);
  return at8k;
}

double FrameRms(const std::vector<int16_t>& s, size_t frame) {
  double sum = 0;
  for (size_t i = frame * 160; i < frame * 160 + 160; ++i) sum += double(s[i]) * s[i];
  return std::sqrt(sum / 160);
}

}  // namespace

// Verifies that an all-zero frame writes energy 0, leaves the flags alone and makes the next
// changing frame start from a fresh detector.
TEST(VoiceEnergyDetectorTest, ConstantFrameLeavesFlagsAndRestarts) {
  VoiceEnergyDetector d;
  const std::vector<int16_t> tone = Tone(200, 8000, 160 * 50);
  Feed(&d, tone);
  ASSERT_GT(d.analyses(), 0);
  int voice = 7, confirmed = 9;
  float energy = 1.0f;
  const std::vector<int16_t> zeros(160, 0);
  d.Process(zeros.data(), &voice, &confirmed, &energy);
  EXPECT_EQ(voice, 7);
  EXPECT_EQ(confirmed, 9);
  EXPECT_EQ(energy, 0.0f);
  EXPECT_GT(d.analyses(), 0);  // the restart waits for a changing frame
  d.Process(tone.data(), &voice, &confirmed, &energy);
  EXPECT_EQ(d.analyses(), 1);
}

// Verifies that a loud steady tone raises the voice flag through its harmonicity alone and
// that the flag holds for 60 analyses after the tone ends.
TEST(VoiceEnergyDetectorTest, PureToneRaisesVoiceAndHangsOver) {
  VoiceEnergyDetector d;
  // 125 Hz lies below the low band (375 to 656 Hz): only the harmonicity can raise the flag.
  std::vector<Result> r = Feed(&d, Tone(125, 3000, 160 * 40));
  EXPECT_EQ(r.back().voice, 1);
  EXPECT_GT(d.last_harmonicity(), 0.9765625f);
  // White noise has no pitch: the hangover runs down over 60 analyses (48 frames of 160).
  r = Feed(&d, Noise(300, 160 * 60, 3, false));
  int held = 0;
  while (held < static_cast<int>(r.size()) && r[held].voice) ++held;
  EXPECT_GE(held, 46);
  EXPECT_LE(held, 49);
  EXPECT_EQ(r.back().voice, 0);
}

// Verifies that the floors follow a falling level at once and a rising one only after 300
// analyses, taking the lowest average seen from the 101st analysis on.
TEST(VoiceEnergyDetectorTest, FloorsFallAtOnceAndRiseLate) {
  VoiceEnergyDetector d;
  Feed(&d, Noise(3000, 160 * 400, 1, false));  // 500 analyses: the floor has settled
  const float loud = d.full_floor();
  Feed(&d, Noise(300, 160 * 40, 2, false));
  const float quiet = d.full_floor();
  EXPECT_LT(quiet, loud / 5);
  // 190 frames of 160 are 237 analyses: not yet 300 after the last new minimum.
  Feed(&d, Noise(3000, 160 * 190, 4, false));
  EXPECT_EQ(d.full_floor(), quiet);
  Feed(&d, Noise(3000, 160 * 60, 5, false));
  EXPECT_GT(d.full_floor(), loud * 0.8f);
  EXPECT_LT(d.full_floor(), loud * 1.25f);
}

// Verifies the detector on a labelled set: espeak-ng speech against silence and stationary
// white and pink noise. Prints the figures.
TEST(VoiceEnergyDetectorTest, LabelledSpeechAndNoise) {
  const char* sentences[] = {
      "The meeting will start in five minutes, please bring the signed contract.",
      "We can accept the second offer if the delivery date moves to March.",
      "Could you repeat the last number? The line was breaking up.",
      "Our side needs a written answer by Friday afternoon.",
  };
  int speech_frames = 0, found = 0, confirmed = 0;
  for (const char* text : sentences) {
    std::vector<int16_t> speech = Speech(text);
    if (speech.empty()) GTEST_SKIP() << "espeak-ng is not installed";
    double peak = 0;
    for (size_t f = 0; f < speech.size() / 160; ++f) peak = std::max(peak, FrameRms(speech, f));
    // A second of a quiet room, the sentence, another second; a faint noise floor under all.
    std::vector<int16_t> signal(8000, 0);
    signal.insert(signal.end(), speech.begin(), speech.end());
    signal.insert(signal.end(), 8000, 0);
    const std::vector<int16_t> floor = Noise(10, static_cast<int>(signal.size()), 11, false);
    for (size_t i = 0; i < signal.size(); ++i) signal[i] = static_cast<int16_t>(signal[i] + floor[i]);
    VoiceEnergyDetector d;
    const std::vector<Result> r = Feed(&d, signal);
    for (size_t f = 0; f < speech.size() / 160; ++f) {
      if (FrameRms(speech, f) < peak * 0.1) continue;  // speech frames: within 20 dB of the peak
      ++speech_frames;
      found += r[50 + f].voice;
      confirmed += r[50 + f].confirmed;
    }
  }
  int noise_frames = 0, false_voice = 0, silence_voice = 0, silence_frames = 0;
  for (bool pink : {false, true}) {
    for (double rms : {100.0, 1000.0, 5000.0}) {
      VoiceEnergyDetector d;
      for (const Result& r : Feed(&d, Noise(rms, 8000 * 20, pink ? 21 : 22, pink))) {
        ++noise_frames;
        false_voice += r.voice;
      }
    }
  }
  {
    VoiceEnergyDetector d;
    for (const Result& r : Feed(&d, std::vector<int16_t>(8000 * 10, 0))) {
      ++silence_frames;
      silence_voice += r.voice;
    }
  }
  const double found_rate = 100.0 * found / speech_frames;
  const double false_rate = 100.0 * false_voice / noise_frames;
  std::printf(
      "speech frames %d: voice %.1f %%, confirmed %.1f %%; noise frames %d: voice %.2f %%; "
      "silence frames %d: voice %d\n",
      speech_frames, found_rate, 100.0 * confirmed / speech_frames, noise_frames, false_rate, silence_frames,
      silence_voice);
  EXPECT_GT(speech_frames, 300);
  EXPECT_GE(found_rate, 95.0);
  EXPECT_LE(false_rate, 5.0);
  EXPECT_EQ(silence_voice, 0);
}

// Verifies that the confirmed-voice flag needs two qualifying analyses in a row.
TEST(VoiceEnergyDetectorTest, ConfirmedVoiceNeedsTwoAnalyses) {
  VoiceEnergyDetector d;
  Feed(&d, Noise(30, 160 * 40, 7, false));  // low floors first
  int voice = 0, confirmed = 0;
  float energy = 0;
  const std::vector<int16_t> tone = Tone(500, 6000, 160 * 20);  // in the low band
  int voice_at = -1, confirmed_at = -1;
  for (int f = 0; f < 20; ++f) {
    d.Process(&tone[f * 160], &voice, &confirmed, &energy);
    if (voice && voice_at < 0) voice_at = d.analyses();
    if (confirmed && confirmed_at < 0) confirmed_at = d.analyses();
  }
  ASSERT_GE(voice_at, 0);
  ASSERT_GE(confirmed_at, 0);
  EXPECT_GE(confirmed_at, voice_at + 1);
  EXPECT_GT(energy, 1000.0f);
}
