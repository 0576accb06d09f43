#include "transient_bank.h"

#include <cmath>
#include <cstring>

namespace {

constexpr int kTaps = 4 * kTransientPhases;
constexpr int64_t kFloorStart = 10000000;
constexpr int32_t kCandidateFrom = 200;
constexpr int32_t kFloorAfter = 600;
constexpr int32_t kPartLimit = 8192;
constexpr int64_t kTransientSum = 4000000;
constexpr int64_t kQuietSum = 90000;
constexpr int64_t kRisingSum = 99999;
constexpr int32_t kRisingHold = 20;

// The bank's prototype: a 240-tap Hann window scaled by 4 in Q15, so that channel k is a
// 60-point DFT of the folded block at k x 800 Hz and neighbouring channels cross near -6 dB.
// Scale 4 is where a full-scale tone just reaches the part clamp (7700 of 8192) and a voiced
// -26 dBFS talker keeps the bank quiet in every block (largest sum 77000 of 90000); twice
// that left it unquiet in places. Then only loud broadband bursts count as transients:
// a 200-sample white burst gives a sum of 0.36 M at 4000 RMS and 5.7 M at 16000.
constexpr double kPrototypeScale = 4.0;

struct BankTables {
  int32_t prototype[kTaps];
  int32_t cosine[kTransientPhases];
  int32_t sine[kTransientPhases];
  BankTables() {
    const double pi = 3.14159265358979323846;
    for (int n = 0; n < kTaps; ++n) {
      const double hann = 0.5 - 0.5 * std::cos(2.0 * pi * (n + 0.5) / kTaps);
      prototype[n] = static_cast<int32_t>(std::lround(kPrototypeScale * 32767.0 * hann));
    }
    for (int n = 0; n < kTransientPhases; ++n) {
      cosine[n] = static_cast<int32_t>(std::lround(32767.0 * std::cos(2.0 * pi * n / kTransientPhases)));
      sine[n] = static_cast<int32_t>(std::lround(32767.0 * std::sin(2.0 * pi * n / kTransientPhases)));
    }
  }
};

const BankTables& Tables() {
  static const BankTables tables;
  return tables;
}

int32_t ClampPart(int64_t v) {
  return static_cast<int32_t>(v > kPartLimit ? kPartLimit : (v < -kPartLimit ? -kPartLimit : v));
}

// One block at 48 kHz from the input rate.
void ToFullRate(const int16_t* in, TransientBank* b, int16_t* out) {
  switch (b->rate) {
    case 32000:
      for (int i = 0; i < kTransientBlock / 3; ++i) {
        const int32_t a = in[2 * i];
        const int32_t c = in[2 * i + 1];
        const int32_t next = i + 1 < kTransientBlock / 3 ? in[2 * i + 2] : b->tail;
        out[3 * i] = static_cast<int16_t>(a);
        out[3 * i + 1] = static_cast<int16_t>(((21955 * c) >> 15) + ((10813 * a) >> 15));
        out[3 * i + 2] = static_cast<int16_t>(((21955 * c) >> 15) + ((10813 * next) >> 15));
      }
      b->tail = in[2 * (kTransientBlock / 3) - 1];
      break;
    case 16000:
    case 8000: {
      const int factor = b->rate == 16000 ? 3 : 6;
      for (int n = 0; n < kTransientBlock; ++n) out[n] = in[n / factor];
      break;
    }
    default:
      std::memcpy(out, in, sizeof(int16_t) * kTransientBlock);
  }
}

void TrackFloor(int c, int64_t average, TransientBank* b) {
  if (average < b->minimum[c]) {
    b->minimum[c] = average;
    b->candidate[c] = kFloorStart;
    b->count[c] = 0;
    return;
  }
  ++b->count[c];
  if (b->count[c] > kCandidateFrom && average < b->candidate[c]) b->candidate[c] = average;
  if (b->count[c] > kFloorAfter) {
    b->minimum[c] = b->candidate[c];
    b->candidate[c] = kFloorStart;
    b->count[c] = kCandidateFrom;
  }
}

}  // namespace

void transient_bank_init(TransientBank* b) {
  std::memset(b, 0, sizeof(*b));
  b->rate = 48000;
  for (int c = 0; c < kTransientChannels; ++c) {
    b->minimum[c] = kFloorStart;
    b->candidate[c] = kFloorStart;
  }
  frame_delay_switch_init(&b->delay);
}

void transient_bank_powers(const int16_t* block, int32_t* power) {
  const BankTables& t = Tables();
  // The newest 240 samples, folded to 60 polyphase sums of four taps.
  const int16_t* x = block + kTransientBlock - kTaps;
  int64_t folded[kTransientPhases];
  for (int n = 0; n < kTransientPhases; ++n) {
    int64_t sum = 0;
    for (int j = 0; j < 4; ++j) sum += static_cast<int64_t>(t.prototype[n + 60 * j]) * x[n + 60 * j];
    folded[n] = sum >> 15;
  }
  for (int k = 0; k < kTransientChannels; ++k) {
    int64_t re = 0, im = 0;
    for (int n = 0; n < kTransientPhases; ++n) {
      const int phase = (k * n) % kTransientPhases;
      re += folded[n] * t.cosine[phase];
      im -= folded[n] * t.sine[phase];
    }
    const int shift = 15 + (k == 0 ? 12 : (k == 1 ? 11 : 10));
    const int32_t r = ClampPart(re >> shift);
    const int32_t i = ClampPart(im >> shift);
    power[k] = r * r + i * i;
  }
}

int transient_bank_process(const int16_t* samples, TransientBank* b) {
  ToFullRate(samples, b, b->block);
  int32_t* power = b->power[b->ring_index % kTransientRing];
  transient_bank_powers(b->block, power);
  b->ring_index = (b->ring_index + 1) % kTransientRing;
  for (int c = 0; c < kTransientChannels; ++c) {
    int64_t sum = 0;
    for (int f = 0; f < kTransientRing; ++f) sum += b->power[f][c];
    TrackFloor(c, sum / kTransientRing, b);
  }
  transient_decide(power, b);
  return b->transient;
}

void transient_decide(const int32_t* power, TransientBank* b) {
  int64_t sum = 0;
  if (b->warm_up < kTransientRing) {
    ++b->warm_up;
  } else {
    for (int c = 0; c < kTransientChannels; ++c) {
      const int64_t excess = power[c] - 100 * b->minimum[c];
      if (excess > 0) sum += excess;
    }
  }
  std::memmove(b->sums, b->sums + 1, sizeof(b->sums[0]) * (kTransientSums - 1));
  b->sums[kTransientSums - 1] = sum;
  if (b->hold > 0) --b->hold;
  const int64_t* s = b->sums + kTransientSums - 4;
  if (s[0] <= s[1] && s[1] <= s[2] && s[2] <= s[3] && s[0] > kRisingSum) b->hold = kRisingHold;
  b->last_sum = sum;
  b->quiet = sum < kQuietSum ? 1 : 0;
  b->transient = (sum >= kQuietSum && sum > kTransientSum) ? 1 : 0;
}
