// Test support for the echo canceller's tests: deterministic signals and a log capture.
#pragma once

#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "audio_lib_log.h"

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

// Voiced, syllable-shaped signal: a gliding 110-220 Hz harmonic series under a 4 Hz
// on/off envelope, peak about `peak`.
inline std::vector<int16_t> SpeechLike(size_t samples, float peak, uint32_t seed) {
  std::vector<int16_t> out(samples);
  const double pi = 3.14159265358979323846;
  double phase = 0.0;
  for (size_t n = 0; n < samples; ++n) {
    const double t = static_cast<double>(n) / 48000.0;
    const double f0 = 165.0 + 55.0 * std::sin(2 * pi * 0.7 * t + seed);
    phase += 2 * pi * f0 / 48000.0;
    double v = 0.0;
    for (int k = 1; k <= 20; ++k) {
      const double fk = k * f0;
      const double formant = 1.0 / (1.0 + std::pow((fk - 700.0) / 400.0, 2)) +
                             0.5 / (1.0 + std::pow((fk - 1800.0) / 500.0, 2));
      v += formant / k * std::sin(k * phase);
    }
    const double syllable = std::fmod(t * 4.0 + 0.1 * seed, 1.0);
    const double env = syllable < 0.7 ? std::pow(std::sin(pi * syllable / 0.7), 2) : 0.0;
    out[n] = static_cast<int16_t>(peak * 0.8 * env * v);
  }
  return out;
}

inline double Energy(const int16_t* x, size_t n) {
  double e = 0.0;
  for (size_t i = 0; i < n; ++i) e += static_cast<double>(x[i]) * x[i];
  return e;
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
