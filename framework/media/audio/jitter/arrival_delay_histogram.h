// Distribution of packets' arrival delays (ms) with forgetting: every sample weighs a fixed
// factor more than the one before it, so the weight of what was seen halves every
// `half_life` samples. Fixed memory (2 ms buckets up to 500 ms, longer delays count as
// 500) and fixed work per sample. Pure logic.
#pragma once

#include <array>
#include <cstdint>

namespace tessarine {

class ArrivalDelayHistogram {
 public:
  explicit ArrivalDelayHistogram(int half_life = 250);

  void Add(int64_t delay_ms);
  // The delay (ms, the bottom of its 2 ms bucket) that `quantile` of the weight lies at or
  // below; 0 when empty.
  [[nodiscard]] int64_t Quantile(double quantile) const;
  [[nodiscard]] bool empty() const { return total_ == 0; }
  void Reset();

  static constexpr int kBucketMs = 2;
  static constexpr int kBuckets = 250;

 private:
  std::array<double, kBuckets> weights_{};
  double total_ = 0;
  double next_weight_ = 1;
  double growth_;  // of the weight from one sample to the next
};

}  // namespace tessarine
