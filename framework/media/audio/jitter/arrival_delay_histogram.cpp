#include "arrival_delay_histogram.h"

#include <algorithm>
#include <cmath>

namespace tessarine {
namespace {

// Weights are rescaled before they could lose precision against the newest ones.
constexpr double kRescaleAbove = 1e100;

}  // namespace

ArrivalDelayHistogram::ArrivalDelayHistogram(int half_life) : growth_(std::pow(2.0, 1.0 / std::max(1, half_life))) {}

void ArrivalDelayHistogram::Reset() {
  weights_.fill(0);
  total_ = 0;
  next_weight_ = 1;
}

void ArrivalDelayHistogram::Add(int64_t delay_ms) {
  const int64_t bucket = std::clamp<int64_t>(delay_ms / kBucketMs, 0, kBuckets - 1);
  weights_[static_cast<size_t>(bucket)] += next_weight_;
  total_ += next_weight_;
  next_weight_ *= growth_;
  if (next_weight_ > kRescaleAbove) {
    for (double& w : weights_) w /= next_weight_;
    total_ /= next_weight_;
    next_weight_ = 1;
  }
}

int64_t ArrivalDelayHistogram::Quantile(double quantile) const {
  if (total_ == 0) return 0;
  const double wanted = std::clamp(quantile, 0.0, 1.0) * total_;
  double sum = 0;
  for (int b = 0; b < kBuckets; ++b) {
    sum += weights_[static_cast<size_t>(b)];
    if (sum >= wanted) return static_cast<int64_t>(b) * kBucketMs;
  }
  return static_cast<int64_t>(kBuckets - 1) * kBucketMs;
}

}  // namespace tessarine
