#include "bench_signals.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRate = 48000.0;

struct Rng {
  uint32_t s;
  uint32_t Next() {
    s = s * 1664525u + 1013904223u;
    return s;
  }
  double Uniform() { return (Next() >> 8) / 16777216.0; }  // [0, 1)
  double Symmetric() { return 2.0 * Uniform() - 1.0; }
};

double Dbfs(float dbfs) { return 32768.0 * std::pow(10.0, dbfs / 20.0); }

// Scales x so that the RMS over its samples above 1% of the peak is the target.
void ScaleActive(std::vector<float>* x, float level_dbfs) {
  float peak = 0.0f;
  for (float v : *x) peak = std::max(peak, std::fabs(v));
  double sum = 0.0;
  size_t n = 0;
  for (float v : *x) {
    if (std::fabs(v) > 0.01f * peak) {
      sum += static_cast<double>(v) * v;
      ++n;
    }
  }
  if (n == 0 || sum <= 0.0) return;
  const double gain = Dbfs(level_dbfs) / std::sqrt(sum / n);
  for (float& v : *x) v = static_cast<float>(v * gain);
}

bool Run(const std::string& command) { return std::system(command.c_str()) == 0; }

}  // namespace

std::vector<float> SyntheticSpeech(size_t samples, float level_dbfs, float pitch_hz, uint32_t seed) {
  std::vector<float> out(samples, 0.0f);
  Rng rng{seed};
  size_t pos = static_cast<size_t>(rng.Uniform() * 0.3 * kRate);
  double phase = 0.0;
  while (pos < samples) {
    // One syllable: an optional fricative onset, then a voiced nucleus.
    const size_t fric = rng.Uniform() < 0.4 ? static_cast<size_t>((0.03 + 0.05 * rng.Uniform()) * kRate) : 0;
    double hp = 0.0, prev = 0.0;
    for (size_t i = 0; i < fric && pos < samples; ++i, ++pos) {
      const double w = rng.Symmetric();
      hp = 0.7 * (hp + w - prev);  // high-passed noise
      prev = w;
      const double env = std::sin(kPi * i / fric);
      out[pos] += static_cast<float>(0.25 * env * hp);
    }
    const size_t len = static_cast<size_t>((0.12 + 0.2 * rng.Uniform()) * kRate);
    const double f_start = pitch_hz * (0.85 + 0.3 * rng.Uniform());
    const double f_end = f_start * (0.8 + 0.3 * rng.Uniform());
    const double f1 = 300.0 + 600.0 * rng.Uniform();
    const double f2 = 900.0 + 1600.0 * rng.Uniform();
    const double amp = 0.5 + 0.5 * rng.Uniform();
    for (size_t i = 0; i < len && pos < samples; ++i, ++pos) {
      const double t = static_cast<double>(i) / len;
      const double f0 = f_start + (f_end - f_start) * t;
      phase += 2.0 * kPi * f0 / kRate;
      double v = 0.0;
      for (int k = 1; k * f0 < 5000.0; ++k) {
        const double fk = k * f0;
        const double formants =
            1.0 / (1.0 + std::pow((fk - f1) / 120.0, 2)) + 0.6 / (1.0 + std::pow((fk - f2) / 180.0, 2)) + 0.05;
        v += formants / std::sqrt(static_cast<double>(k)) * std::sin(k * phase);
      }
      const double env = std::pow(std::sin(kPi * t), 0.6);
      out[pos] += static_cast<float>(amp * env * v);
    }
    // Pause between syllables, now and then a longer one between phrases.
    const double pause = rng.Uniform() < 0.15 ? 0.3 + 0.5 * rng.Uniform() : 0.02 + 0.12 * rng.Uniform();
    pos += static_cast<size_t>(pause * kRate);
  }
  ScaleActive(&out, level_dbfs);
  return out;
}

std::string EspeakVersion() {
  FILE* p = popen("espeak-ng --version 2>/dev/null", "r");
  if (p == nullptr) return std::string();
  char line[256] = {};
  const bool got = std::fgets(line, sizeof(line), p) != nullptr;
  pclose(p);
  if (!got) return std::string();
  std::string s(line);
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
  return s;
}

bool EspeakSpeech(const std::string& voice, const std::string& text, size_t samples, float level_dbfs,
                  std::vector<float>* out, std::string* reason) {
  char dir[] = "/tmp/echo_bench_XXXXXX";
  if (mkdtemp(dir) == nullptr) {
    *reason = "cannot make a temporary folder";
    return false;
  }
  const std::string d(dir);
  const std::string txt = d + "/text.txt";
  {
    std::ofstream f(txt);
    f << text;
  }
  const std::string wav = d + "/speech.wav";
  const std::string raw = d + "/speech.raw";
  bool ok = Run("espeak-ng -v '" + voice + "' -s 150 -f '" + txt + "' -w '" + wav + "' 2>/dev/null");
  if (!ok) *reason = "espeak-ng failed";
  if (ok) {
    ok = Run("sox '" + wav + "' -r 48000 -c 1 -b 16 -e signed-integer -t raw '" + raw + "' 2>/dev/null");
    if (!ok) *reason = "sox failed";
  }
  std::vector<int16_t> pcm;
  if (ok) {
    std::ifstream f(raw, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    pcm.resize(bytes.size() / 2);
    for (size_t i = 0; i < pcm.size(); ++i) {
      pcm[i] = static_cast<int16_t>(static_cast<uint8_t>(bytes[2 * i]) | (static_cast<uint8_t>(bytes[2 * i + 1]) << 8));
    }
    if (pcm.empty()) {
      ok = false;
      *reason = "no samples recorded";
    }
  }
  Run("rm -rf '" + d + "'");
  if (!ok) return false;
  out->assign(samples, 0.0f);
  for (size_t i = 0; i < samples; ++i) (*out)[i] = pcm[i % pcm.size()];
  ScaleActive(out, level_dbfs);
  return true;
}

std::vector<float> RoomImpulseResponse(int delay_samples, int tail_samples, float rt60_s, float gain_db,
                                       uint32_t seed) {
  std::vector<float> h(static_cast<size_t>(delay_samples + tail_samples), 0.0f);
  Rng rng{seed};
  const double decay = std::log(1000.0) / (rt60_s * kRate);  // amplitude: -60 dB at RT60
  h[delay_samples] = 1.0f;
  // A few early reflections, then the diffuse tail.
  for (int r = 0; r < 6; ++r) {
    const int at = delay_samples + 40 + static_cast<int>(rng.Uniform() * 1500.0);
    h[at] += static_cast<float>((rng.Uniform() < 0.5 ? -1 : 1) * 0.5 * std::exp(-decay * (at - delay_samples)));
  }
  double lp = 0.0;
  for (int i = 1; i < tail_samples; ++i) {
    lp = 0.6 * lp + 0.4 * rng.Symmetric();
    h[delay_samples + i] += static_cast<float>(0.25 * lp * std::exp(-decay * i));
  }
  double energy = 0.0;
  for (float v : h) energy += static_cast<double>(v) * v;
  const double g = std::pow(10.0, gain_db / 20.0) / std::sqrt(energy);
  for (float& v : h) v = static_cast<float>(v * g);
  return h;
}

std::vector<float> DiffuseRoomResponse(int delay_samples, int tail_samples, float rt60_s, float drr_db, float gain_db,
                                       uint32_t seed) {
  std::vector<float> h(static_cast<size_t>(delay_samples + tail_samples), 0.0f);
  Rng rng{seed};
  const double decay = std::log(1000.0) / (rt60_s * kRate);
  double tail_energy = 0.0;
  for (int i = 1; i < tail_samples; ++i) {
    const double v = rng.Symmetric() * std::exp(-decay * i);
    h[delay_samples + i] = static_cast<float>(v);
    tail_energy += v * v;
  }
  // Direct path 1; the tail scaled to drr_db below it.
  const double t = std::sqrt(std::pow(10.0, -drr_db / 10.0) / tail_energy);
  for (int i = 1; i < tail_samples; ++i) h[delay_samples + i] = static_cast<float>(h[delay_samples + i] * t);
  h[delay_samples] = 1.0f;
  double energy = 0.0;
  for (float v : h) energy += static_cast<double>(v) * v;
  const double g = std::pow(10.0, gain_db / 20.0) / std::sqrt(energy);
  for (float& v : h) v = static_cast<float>(v * g);
  return h;
}

std::vector<float> Convolve(const std::vector<float>& x, const std::vector<float>& h) {
  size_t first = 0;
  while (first < h.size() && h[first] == 0.0f) ++first;
  std::vector<float> y(x.size(), 0.0f);
  for (size_t n = first; n < x.size(); ++n) {
    const size_t kmax = std::min(h.size() - 1, n);
    float acc = 0.0f;
    for (size_t k = first; k <= kmax; ++k) acc += h[k] * x[n - k];
    y[n] = acc;
  }
  return y;
}

std::vector<float> Noise(size_t samples, float rms_dbfs, uint32_t seed) {
  std::vector<float> out(samples);
  Rng rng{seed};
  double lp = 0.0;
  double sum = 0.0;
  for (float& v : out) {
    lp = 0.5 * lp + rng.Symmetric();
    v = static_cast<float>(lp);
    sum += lp * lp;
  }
  const double g = Dbfs(rms_dbfs) / std::sqrt(sum / samples);
  for (float& v : out) v = static_cast<float>(v * g);
  return out;
}

std::vector<float> WhiteNoise(size_t samples, float rms_dbfs, uint32_t seed) {
  std::vector<float> out(samples);
  Rng rng{seed};
  double sum = 0.0;
  for (float& v : out) {
    v = static_cast<float>(rng.Symmetric());
    sum += static_cast<double>(v) * v;
  }
  const double g = Dbfs(rms_dbfs) / std::sqrt(sum / samples);
  for (float& v : out) v = static_cast<float>(v * g);
  return out;
}

std::vector<int16_t> ToPcm16(const std::vector<float>& x) {
  std::vector<int16_t> out(x.size());
  for (size_t i = 0; i < x.size(); ++i) {
    const float v = std::round(x[i]);
    out[i] = static_cast<int16_t>(v > 32767.0f ? 32767.0f : (v < -32768.0f ? -32768.0f : v));
  }
  return out;
}
