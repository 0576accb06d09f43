#include "volume/digital_gain.h"

#include <cmath>

namespace {

struct GainTable {
  int32_t entries[256];
  GainTable() {
    for (int n = 0; n < 256; ++n) {
      const double db = n <= 127 ? -20.0 * (127 - n) / 127.0 : 30.0 * (n - 127) / 128.0;
      entries[n] = static_cast<int32_t>(std::lround(1024.0 * std::pow(10.0, db / 20.0)));
    }
  }
};

const GainTable& Table() {
  static const GainTable table;
  return table;
}

}  // namespace

int32_t DigitalGain::TableEntry(int index) {
  if (index < 0) index = 0;
  if (index > 255) index = 255;
  return Table().entries[index];
}

int DigitalGain::Apply(int16_t* samples, int count) {
  int index = gain_index < 0 ? 0 : (gain_index > 255 ? 255 : gain_index);
  int32_t gain = TableEntry(index);
  for (int i = 0; i < count; ++i) {
    const int32_t y = (static_cast<int32_t>(samples[i]) * gain) >> 10;
    if (y > 32767 || y < -32768) {
      samples[i] = y > 32767 ? 32767 : -32768;
      if (index > 0) --index;
      gain = TableEntry(index);
    } else {
      samples[i] = static_cast<int16_t>(y);
    }
  }
  gain_index = index;
  return 0;
}
