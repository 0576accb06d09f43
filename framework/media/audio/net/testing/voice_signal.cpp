#include "voice_signal.h"

#include <algorithm>
#include <cmath>

namespace voice_test {

std::vector<int16_t> Tone(double hz, double amplitude, size_t samples, int rate, size_t phase_offset) {
  std::vector<int16_t> out(samples);
  for (size_t i = 0; i < samples; ++i) {
    const double t = static_cast<double>(i + phase_offset) / rate;
    out[i] = static_cast<int16_t>(std::lround(amplitude * 32767.0 * std::sin(2 * kPi * hz * t)));
  }
  return out;
}

double MeasureFrequency(const std::vector<int16_t>& pcm, int rate) {
  double first = -1, last = -1;
  int crossings = 0;
  for (size_t i = 1; i < pcm.size(); ++i) {
    if (pcm[i - 1] < 0 && pcm[i] >= 0) {
      const double frac = -static_cast<double>(pcm[i - 1]) / (pcm[i] - pcm[i - 1]);
      const double at = static_cast<double>(i - 1) + frac;
      if (first < 0) {
        first = at;
      } else {
        ++crossings;
      }
      last = at;
    }
  }
  if (crossings == 0) return 0;
  return crossings * static_cast<double>(rate) / (last - first);
}

double RmsDbfs(const std::vector<int16_t>& pcm) {
  if (pcm.empty()) return -200;
  double sum = 0;
  for (int16_t s : pcm) sum += static_cast<double>(s) * s;
  const double rms = std::sqrt(sum / pcm.size()) / 32768.0;
  return rms > 0 ? 20 * std::log10(rms) : -200;
}

double LongestGapMs(const std::vector<int16_t>& pcm, double reference_dbfs, int rate) {
  const size_t window = static_cast<size_t>(rate / 200);
  size_t run = 0, longest = 0;
  for (size_t at = 0; at + window <= pcm.size(); at += window) {
    if (RmsDbfs(Slice(pcm, at, window)) < reference_dbfs - 30) {
      longest = std::max(longest, ++run);
    } else {
      run = 0;
    }
  }
  return longest * 5.0;
}

std::vector<int16_t> Slice(const std::vector<int16_t>& pcm, size_t from, size_t count) {
  from = std::min(from, pcm.size());
  count = std::min(count, pcm.size() - from);
  return std::vector<int16_t>(pcm.begin() + static_cast<std::ptrdiff_t>(from),
                              pcm.begin() + static_cast<std::ptrdiff_t>(from + count));
}

}  // namespace voice_test
