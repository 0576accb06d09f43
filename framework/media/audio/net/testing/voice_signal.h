// Test signals and measurements for voice tests: tones, their frequency and level,
// silent gaps, envelope correlation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace voice_test {

inline constexpr double kPi = 3.14159265358979323846;

std::vector<int16_t> Tone(double hz, double amplitude, size_t samples, int rate = 48000, size_t phase_offset = 0);
// Frequency from interpolated rising zero crossings over the whole signal; 0 without any.
double MeasureFrequency(const std::vector<int16_t>& pcm, int rate = 48000);
double RmsDbfs(const std::vector<int16_t>& pcm);
// Longest run, in ms, of 5 ms windows whose level is more than 30 dB under `reference_dbfs`.
double LongestGapMs(const std::vector<int16_t>& pcm, double reference_dbfs, int rate = 48000);
std::vector<int16_t> Slice(const std::vector<int16_t>& pcm, size_t from, size_t count);

}  // namespace voice_test
