// The p-quantile (0..1) of a non-empty sample, nearest rank.
#pragma once

#include <algorithm>
#include <vector>

namespace kiv_bench {

inline double Percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<size_t>(p * (v.size() - 1) + 0.5))];
}

}  // namespace kiv_bench
