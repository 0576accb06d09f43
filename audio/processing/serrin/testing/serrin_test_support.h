// Test support for the echo canceller's tests: deterministic signals and a log capture.
#pragma once

#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "audio_lib_log.h"
#include "filter_bank.h"
#include "min_statistics.h"

namespace serrin_test {

// Uniform white noise of the given RMS from a fixed-seed generator.
inline std::vector<int16_t> WhiteNoise(size_t samples, float rms, uint32_t seed) {
  std::vector<int16_t> out(samples);
  const float scale = rms * 1.7320508f;  // uniform in [-a, a] has RMS a / sqrt(3)
  for (int16_t& v : out) {
    seed = seed * 1664525u + 1013904223u;
    const float u = static_cast<float>(static_cast<int32_t>(seed)) / 2147483648.0f;
    v = static_cast<int16_t>(u * scale);
  }
  return out;
}

// Voiced, syllable-shaped signal: a harmonic series gliding over f0 +- glide Hz (110-220 Hz
// unless told) under an on/off envelope of `syllable_hz` syllables a second, peak about
// `peak`.
inline std::vector<int16_t> SpeechLike(size_t samples, float peak, uint32_t seed, double syllable_hz = 4.0,
                                       double f0_centre = 165.0, double glide = 55.0) {
  std::vector<int16_t> out(samples);
  const double pi = 3.14159265358979323846;
  double phase = 0.0;
  for (size_t n = 0; n < samples; ++n) {
    const double t = static_cast<double>(n) / 48000.0;
    const double f0 = f0_centre + glide * std::sin(2 * pi * 0.7 * t + seed);
    phase += 2 * pi * f0 / 48000.0;
    double v = 0.0;
    for (int k = 1; k <= 20; ++k) {
      const double fk = k * f0;
      const double formant =
          1.0 / (1.0 + std::pow((fk - 700.0) / 400.0, 2)) + 0.5 / (1.0 + std::pow((fk - 1800.0) / 500.0, 2));
      v += formant / k * std::sin(k * phase);
    }
    const double syllable = std::fmod(t * syllable_hz + 0.1 * seed, 1.0);
    const double env = syllable < 0.7 ? std::pow(std::sin(pi * syllable / 0.7), 2) : 0.0;
    out[n] = static_cast<int16_t>(peak * 0.8 * env * v);
  }
  return out;
}

// A talker: syllables of 120 to 320 ms with pauses, each voiced on a gliding pitch around
// `pitch_hz` through two formants drawn per syllable, some with a noisy onset; RMS of the
// voiced parts about `rms`. Talkers of different seeds and pitches are uncorrelated.
inline std::vector<int16_t> Talker(size_t samples, float rms, double pitch_hz, uint32_t seed) {
  const double pi = 3.14159265358979323846;
  std::vector<double> v(samples, 0.0);
  uint32_t s = seed;
  auto uniform = [&s] {
    s = s * 1664525u + 1013904223u;
    return (s >> 8) / 16777216.0;
  };
  size_t pos = static_cast<size_t>(uniform() * 0.2 * 48000.0);
  double phase = 0.0, sum = 0.0;
  size_t voiced = 0;
  while (pos < samples) {
    if (uniform() < 0.4) {  // fricative onset: high-passed noise
      const size_t len = static_cast<size_t>((0.03 + 0.05 * uniform()) * 48000.0);
      double prev = 0.0;
      for (size_t i = 0; i < len && pos < samples; ++i, ++pos) {
        const double w = 2.0 * uniform() - 1.0;
        v[pos] = 0.3 * std::sin(pi * i / len) * (w - prev);
        prev = w;
      }
    }
    const size_t len = static_cast<size_t>((0.12 + 0.2 * uniform()) * 48000.0);
    const double f_start = pitch_hz * (0.85 + 0.3 * uniform());
    const double f_end = f_start * (0.8 + 0.3 * uniform());
    const double f1 = 300.0 + 600.0 * uniform(), f2 = 900.0 + 1600.0 * uniform();
    const double amp = 0.5 + 0.5 * uniform();
    for (size_t i = 0; i < len && pos < samples; ++i, ++pos) {
      const double t = static_cast<double>(i) / len;
      const double f0 = f_start + (f_end - f_start) * t;
      phase += 2.0 * pi * f0 / 48000.0;
      double x = 0.0;
      for (int k = 1; k * f0 < 5000.0; ++k) {
        const double fk = k * f0;
        const double formants =
            1.0 / (1.0 + std::pow((fk - f1) / 120.0, 2)) + 0.6 / (1.0 + std::pow((fk - f2) / 180.0, 2)) + 0.02;
        x += formants * std::sin(k * phase);
      }
      x *= amp * std::sin(pi * t);
      v[pos] = x;
      sum += x * x;
      ++voiced;
    }
    pos += static_cast<size_t>((0.05 + 0.25 * uniform()) * 48000.0);  // pause
  }
  const double gain = voiced > 0 && sum > 0.0 ? rms / std::sqrt(sum / voiced) : 0.0;
  std::vector<int16_t> out(samples);
  for (size_t n = 0; n < samples; ++n) {
    const double y = std::fmax(-32768.0, std::fmin(32767.0, v[n] * gain));
    out[n] = static_cast<int16_t>(std::lround(y));
  }
  return out;
}

inline double Energy(const int16_t* x, size_t n) {
  double e = 0.0;
  for (size_t i = 0; i < n; ++i) e += static_cast<double>(x[i]) * x[i];
  return e;
}

// The level the core's output gain works on, measured on an analysis bank of its own:
// 0.01 x the root of the energy of bins 10..79 of a frame's spectrum.
class LevelMeter {
 public:
  LevelMeter() : bank_(new AnalysisBank) { serrin_analysis_init(bank_.get()); }
  float Level(const int16_t* frame) {
    serrin_analysis(frame, spectrum_, bank_.get());
    double e = 0.0;
    for (int k = 10; k <= 79; ++k) e += spectrum_[k].re * spectrum_[k].re + spectrum_[k].im * spectrum_[k].im;
    return static_cast<float>(0.01 * std::sqrt(e));
  }

 private:
  std::unique_ptr<AnalysisBank> bank_;
  SerrinComplex spectrum_[kSpectralBins];
};

// Mean level of the 960-sample frames of x at or above 10 (the frames the gain control
// counts as active).
inline double MeanActiveLevel(const std::vector<int16_t>& x) {
  LevelMeter meter;
  double sum = 0.0;
  int count = 0;
  for (size_t f = 0; f + 960 <= x.size(); f += 960) {
    const float l = meter.Level(&x[f]);
    if (l >= 10.0f) {
      sum += l;
      ++count;
    }
  }
  return count > 0 ? sum / count : 0.0;
}

// Collects every AudioLibLog line while it exists.
class LogCapture {
 public:
  LogCapture() {
    Lines().clear();
    SetAudioLibLogCallback(&Callback);
  }
  ~LogCapture() { SetAudioLibLogCallback(nullptr); }
  const std::vector<std::string>& lines() const { return Lines(); }
  int Count(const std::string& text) const {
    int n = 0;
    for (const std::string& l : Lines()) n += l.find(text) != std::string::npos ? 1 : 0;
    return n;
  }
  void Clear() { Lines().clear(); }

 private:
  static std::vector<std::string>& Lines() {
    static std::vector<std::string> lines;
    return lines;
  }
  static void Callback(const char* format, va_list args) {
    char line[1024];
    std::vsnprintf(line, sizeof(line), format, args);
    Lines().push_back(line);
  }
};

}  // namespace serrin_test
