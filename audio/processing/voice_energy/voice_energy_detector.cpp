#include "voice_energy_detector.h"

#include <cmath>
#include <cstring>
#include <initializer_list>

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kFloorStart = 10000000.0f;
// Third-order high-pass, direct form II: unity gain at half the sampling rate, -3 dB at
// 0.0125 of it.
constexpr float kDen[4] = {1.0f, -2.8304152f, 2.6707685f, -0.8394280f};
constexpr float kNum[4] = {0.9183972f, -2.7519085f, 2.7519085f, -0.9183972f};
constexpr float kVoicing = 0.6713867f;
constexpr float kStrongVoicing = 0.9765625f;
constexpr float kLoudLow = 16000.0f;
constexpr int kHangover = 60;

// Sum of `squares` over [a, b), samples at the edges weighted by the part inside.
float IntervalSum(const float* squares, float a, float b) {
  float sum = 0.0f;
  int n = static_cast<int>(std::floor(a));
  for (; n < b; ++n) {
    const float lo = n < a ? a : static_cast<float>(n);
    const float hi = n + 1 > b ? b : static_cast<float>(n + 1);
    if (hi > lo && n >= 0 && n < 512) sum += squares[n] * (hi - lo);
  }
  return sum;
}

}  // namespace

VoiceEnergyDetector::VoiceEnergyDetector() { Init(); }

void VoiceEnergyDetector::Init() {
  std::memset(&state_, 0, sizeof state_);
  state_.long_frames = true;
  for (MinimumTracker* t : {&state_.low, &state_.full}) {
    t->floor = kFloorStart;
    t->candidate = kFloorStart;
  }
  for (int j = 0; j < 64; ++j) window_[j] = std::sqrt(0.5f - 0.5f * std::cos(kPi * j / 64.0f));
  for (int k = 0; k < 128; ++k) {
    cos_[k] = std::cos(2.0f * kPi * k / 256.0f);
    sin_[k] = std::sin(2.0f * kPi * k / 256.0f);
  }
  for (int i = 0; i < 256; ++i) {
    int r = 0;
    for (int b = 0; b < 8; ++b) r |= ((i >> b) & 1) << (7 - b);
    bit_reverse_[i] = static_cast<uint8_t>(r);
  }
}

void VoiceEnergyDetector::Process(const int16_t* frame, int* voice, int* confirmed, float* energy) {
  *energy = 0.0f;
  const int count = state_.long_frames ? 160 : 80;
  bool constant = true;
  for (int i = 1; i < count && constant; ++i) constant = frame[i] == frame[0];
  if (constant) {
    state_.constant_frame = true;
    return;
  }
  if (state_.constant_frame) {
    VORAX::AutoLock lock(lock_);
    const bool long_frames = state_.long_frames;
    Init();
    state_.long_frames = long_frames;
  }
  Filter(frame, count);
  *voice = state_.voice_hangover > 0 ? 1 : 0;
  *confirmed = state_.confirmed_hangover > 0 ? 1 : 0;
  *energy = state_.energy;
}

void VoiceEnergyDetector::Filter(const int16_t* in, int count) {
  State& s = state_;
  for (int start = 0; start + 16 <= count; start += 16) {
    float* half = s.halves[s.newest_half];
    std::memmove(s.squares, s.squares + 16, (512 - 16) * sizeof(float));
    for (int i = 0; i < 16; ++i) {
      const float w = in[start + i] - kDen[1] * s.hp[0] - kDen[2] * s.hp[1] - kDen[3] * s.hp[2];
      const float y = kNum[0] * w + kNum[1] * s.hp[0] + kNum[2] * s.hp[1] + kNum[3] * s.hp[2];
      s.hp[2] = s.hp[1];
      s.hp[1] = s.hp[0];
      s.hp[0] = w;
      half[s.fill + i] = y;
      s.squares[512 - 16 + i] = y * y;
    }
    s.fill += 16;
    if (s.fill > 127) {
      Analyse();
      s.fill -= 128;
      s.newest_half ^= 1;
    }
  }
}

void VoiceEnergyDetector::Track(MinimumTracker* t, float level, int slot) {
  t->ring[slot] = level;
  const float a = (t->ring[0] + t->ring[1] + t->ring[2] + t->ring[3]) / 4.0f;
  ++t->counter;
  if (t->counter > 100 && a < t->candidate) t->candidate = a;
  if (a < t->floor) {
    t->floor = a;
    t->counter = 0;
    t->candidate = kFloorStart;
  } else if (t->counter > 300) {
    t->floor = t->candidate;
    t->counter = 100;
    t->candidate = kFloorStart;
  }
}

void VoiceEnergyDetector::Analyse() {
  State& s = state_;
  float frame[256];
  std::memcpy(frame, s.halves[s.newest_half ^ 1], sizeof(float) * 128);
  std::memcpy(frame + 128, s.halves[s.newest_half], sizeof(float) * 128);
  for (int j = 0; j < 64; ++j) {
    frame[j] *= window_[j];
    frame[255 - j] *= window_[j];
  }
  float power[128] = {};
  Spectrum(frame, power);

  float low = 0.0f, full = 0.0f;
  for (int k = 12; k <= 21; ++k) low += power[k];
  for (int k = 4; k <= 123; ++k) full += power[k];
  const float l = std::sqrt(low) * 361.24f;
  const float f = std::sqrt(full) * 2.82f;
  const int slot = s.analyses % 4;
  Track(&s.low, l, slot);
  Track(&s.full, 0.75f * f, slot);

  s.smoothed_low = s.smoothed_low == 0.0f ? l : 0.85f * s.smoothed_low + 0.15f * l;
  s.speech_energy = s.smoothed_low > 4.0f * s.low.floor;
  s.energy = 0.75f * f;

  std::memmove(s.pitch + 1, s.pitch, 2 * sizeof(float));
  std::memmove(s.harmonicity + 1, s.harmonicity, 2 * sizeof(float));
  std::memmove(s.energy_history + 1, s.energy_history, 9 * sizeof(float));
  s.energy_history[0] = l + f;
  PitchAndHarmonicity(power, &s.pitch[0], &s.harmonicity[0]);

  int k = 0;
  float sum = 0.0f, square_sum = 0.0f, harmonicity_sum = 0.0f;
  for (int i = 0; i < 3; ++i) {
    if (s.pitch[i] == 0.0f) continue;
    ++k;
    sum += s.pitch[i];
    square_sum += s.pitch[i] * s.pitch[i];
    harmonicity_sum += s.harmonicity[i];
  }
  float mean = sum, variance = 9999.0f;
  if (k == 3) {
    mean = sum / 3.0f;
    variance = square_sum / 3.0f - mean * mean;
  }

  float v = 0.0f;
  const bool rising =
      s.energy_history[0] * 4.0f >= s.energy_history[1] && s.energy_history[0] * 4.0f * 1.07f >= s.energy_history[2];
  if (s.pitch[0] != 0.0f && variance < 60.0f && static_cast<int>(mean) != 0 && rising && PeriodsLookVoiced(mean)) {
    v = k == 3 ? harmonicity_sum / 3.0f : harmonicity_sum;
  }
  std::memmove(s.voicing + 1, s.voicing, 2 * sizeof(float));
  s.voicing[0] = v;

  const bool qualifies = v > kVoicing && l > kLoudLow && s.speech_energy;
  if (qualifies || v > kStrongVoicing) s.voice_hangover = kHangover;
  if (s.voice_hangover > 0) --s.voice_hangover;
  if (qualifies) {
    if (s.confirm_armed) s.confirmed_hangover = kHangover;
    s.confirm_armed = true;
  } else {
    s.confirm_armed = false;
  }
  if (s.confirmed_hangover > 0) --s.confirmed_hangover;
  ++s.analyses;
}

// Power of bins 2..123 of the 256-point transform of `frame`, the transform scaled by 1/256
// (so that the band levels come out on the 16-bit sample scale).
void VoiceEnergyDetector::Spectrum(const float* frame, float* power) {
  float re[256], im[256] = {};
  std::memcpy(re, frame, sizeof re);
  Fft(re, im, false);
  for (int k = 2; k <= 123; ++k) {
    const float a = re[k] / 256.0f, b = im[k] / 256.0f;
    power[k] = a * a + b * b;
  }
}

void VoiceEnergyDetector::PitchAndHarmonicity(const float* power, float* pitch, float* harmonicity) {
  float re[256] = {}, im[256] = {};
  for (int k = 5; k <= 78; ++k) {
    const float q = power[k] - (power[k - 2] + power[k + 2]) / 2.0f;
    if (q > 0.0f) re[k] = re[256 - k] = q;
  }
  Fft(re, im, true);
  *pitch = 0.0f;
  *harmonicity = 0.0f;
  if (re[0] <= 0.0f) return;
  int best = 35;
  for (int lag = 36; lag <= 107; ++lag) {
    if (re[lag] > re[best]) best = lag;
  }
  *harmonicity = re[best] / re[0];
  *pitch = *harmonicity < 0.3f ? 0.0f : 2.0f * best;
}

// The energy of the signal's consecutive pitch periods: even, smooth and without a strong
// tilt for voiced speech.
bool VoiceEnergyDetector::PeriodsLookVoiced(float mean_pitch) const {
  const float period = mean_pitch / 2.0f;
  if (period <= 0.0f) return false;
  int r = 4;
  while (r * period < 280.0f) r += 2;
  if (r * period > 512.0f) return false;
  const float start = 256.0f - period * r / 2.0f;
  float energies[16];
  float sum = 0.0f, square_sum = 0.0f;
  for (int i = 0; i < r; ++i) {
    energies[i] = IntervalSum(state_.squares, start + i * period, start + (i + 1) * period);
    sum += energies[i];
    square_sum += energies[i] * energies[i];
  }
  const float mean = sum / r;
  if (square_sum <= 0.0f || mean <= 0.0f) return false;
  const float spread = 1.0f - (mean * mean) / (square_sum / r);
  float roughness = 0.0f;
  for (int i = 0; i + 1 < r; ++i) {
    const float a = energies[i] > energies[i + 1] ? energies[i] : energies[i + 1];
    const float b = energies[i] > energies[i + 1] ? energies[i + 1] : energies[i];
    roughness += b > 0.0f ? a / b - 1.0f : 1e9f;
  }
  roughness /= (r - 1);
  float first = 0.0f;
  for (int i = 0; i < r / 2; ++i) first += energies[i];
  const float tilt = (first - (sum - first)) / (mean * r);
  return spread < 0.51f && spread - tilt / 2.0f < 0.2f && roughness < 1.2f;
}

// In-place radix-2 transform of 256 points; the inverse is unscaled.
void VoiceEnergyDetector::Fft(float* re, float* im, bool inverse) const {
  for (int i = 0; i < 256; ++i) {
    const int j = bit_reverse_[i];
    if (j > i) {
      float t = re[i];
      re[i] = re[j];
      re[j] = t;
      t = im[i];
      im[i] = im[j];
      im[j] = t;
    }
  }
  const float sign = inverse ? 1.0f : -1.0f;
  for (int size = 2; size <= 256; size <<= 1) {
    const int half = size / 2, step = 256 / size;
    for (int start = 0; start < 256; start += size) {
      for (int j = 0; j < half; ++j) {
        const float wr = cos_[j * step], wi = sign * sin_[j * step];
        const int a = start + j, b = a + half;
        const float tr = re[b] * wr - im[b] * wi;
        const float ti = re[b] * wi + im[b] * wr;
        re[b] = re[a] - tr;
        im[b] = im[a] - ti;
        re[a] += tr;
        im[a] += ti;
      }
    }
  }
}
